#include "app/host/vst_host_main.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "app/host/host_messages.h"
#include "app/platform/app_message.h"

namespace {

void report(const char* text) {
    showAppMessage(text, kHostMessageCaption);
}

// The render thread should win against the UI; raise it where the system
// allows an unprivileged process to, and carry on at normal priority where not.
void raiseRenderPriority() {
    const auto tid = static_cast<id_t>(gettid());
    if (setpriority(PRIO_PROCESS, tid, -10) != 0) {
        setpriority(PRIO_PROCESS, tid, -5);
    }
}

}  // namespace

CVstHostMain::CVstHostMain(WaveNotificationSink* owner, int32_t deviceId, int32_t bufferBytes,
                           int32_t bufferCount, int32_t latencyMs, int32_t periodMs,
                           std::unique_ptr<AudioBackend> backend)
    : bufferBytes_(bufferBytes),
      bufferCount_(bufferCount),
      periodMs_(std::max(periodMs, 0)),
      owner_(owner),
      deviceId_(deviceId) {
    latencyFrames_ = static_cast<int32_t>(std::trunc((latencyMs + periodMs) * 0.001 * kSampleRate));
    blockFrames_ = std::max(static_cast<int32_t>(std::trunc(periodMs * kSampleRate * 0.002)), 0);
    format_ = WaveFormat{};  // PCM, mono, 44100 Hz, 16 bits
    try {
        device_ = std::make_unique<CWaveOut>(deviceId, &format_, bufferBytes, bufferCount,
                                             std::move(backend));
        renderedPosition_ = std::make_unique<CRingPosition>(bufferBytes, bufferCount, &format_);
        targetPosition_ = std::make_unique<CRingPosition>(bufferBytes, bufferCount, &format_);
        mixBuffer_.assign(static_cast<size_t>(blockFrames_), 0);
    } catch (const std::bad_alloc&) {
        report(kMsgOutOfMemory);
        // Passes render nothing without a mix buffer.
        mixBuffer_.clear();
        blockFrames_ = 0;
        if (!device_) {
            device_ = std::make_unique<CWaveOut>(deviceId, &format_, 0, 0, nullptr);
        }
        if (!renderedPosition_) {
            renderedPosition_ = std::make_unique<CRingPosition>(0, 0, &format_);
        }
        if (!targetPosition_) {
            targetPosition_ = std::make_unique<CRingPosition>(0, 0, &format_);
        }
    }
}

CVstHostMain::~CVstHostMain() {
    if (running_.load()) {
        stop();
    }
    // A plug-in still loaded would otherwise keep its instance and library for
    // the life of the process.
    for (int32_t slot = 0; slot < kSlotCount; ++slot) {
        unloadPlugin(slot);
    }
}

int CVstHostMain::loadPlugin(int32_t slot, const std::string& path) {
    if (!validSlot(slot)) {
        report(kMsgBadChannel);
        return 0;
    }
    unloadPlugin(slot);

    // Loading reads the instrument's whole sample set: done outside the lock,
    // as nobody else can reach the new plug-in yet.
    auto plugin = std::make_unique<CVstPlugin>(kSampleRate, blockFrames_, kEventsPerPlugin);
    if (!plugin->load(path)) {
        return 0;
    }

    std::unique_ptr<VstMidiEvent[]> store;
    int32_t capacity = 0;
    {
        std::lock_guard lock(engineLock_);
        capacity = kEventsPerPlugin * (pluginCount_ + 1);
    }
    try {
        store = std::make_unique<VstMidiEvent[]>(static_cast<size_t>(capacity));
    } catch (const std::bad_alloc&) {
        report(kMsgOutOfMemory);
        return 0;
    }

    std::unique_ptr<VstMidiEvent[]> oldStore;
    {
        std::lock_guard lock(engineLock_);
        slots_[slot] = std::move(plugin);
        ++pluginCount_;
        // The waiting events point into the old store, which goes away: they are
        // dropped rather than left dangling.
        for (auto& loaded : slots_) {
            if (loaded) {
                loaded->clearEvents();
            }
        }
        oldStore = std::move(events_);
        events_ = std::move(store);
        eventCapacity_ = kEventsPerPlugin * pluginCount_;
        eventCount_ = 0;
    }
    return 1;
}

void CVstHostMain::unloadPlugin(int32_t slot) {
    if (!validSlot(slot)) {
        return;
    }
    std::unique_ptr<CVstPlugin> plugin;
    {
        std::lock_guard lock(engineLock_);
        if (!slots_[slot]) {
            return;
        }
        plugin = std::move(slots_[slot]);
        --pluginCount_;
    }
    // Out of the slot, no pass can reach it: closing it needs no lock.
    plugin->unload();
}

void CVstHostMain::resumePlugin(int32_t slot) {
    if (!validSlot(slot)) {
        return;
    }
    std::lock_guard lock(engineLock_);
    if (slots_[slot]) {
        slots_[slot]->resume();
    }
}

void CVstHostMain::suspendPlugin(int32_t slot) {
    if (!validSlot(slot)) {
        return;
    }
    std::lock_guard lock(engineLock_);
    if (slots_[slot]) {
        slots_[slot]->suspend();
    }
}

void CVstHostMain::setPluginProgram(int32_t slot, int32_t program) {
    if (!validSlot(slot)) {
        return;
    }
    std::lock_guard lock(engineLock_);
    if (slots_[slot]) {
        slots_[slot]->setProgram(program);
    }
}

void CVstHostMain::setPluginParameter(int32_t slot, int32_t index, float value) {
    if (!validSlot(slot)) {
        return;
    }
    std::lock_guard lock(engineLock_);
    if (slots_[slot]) {
        slots_[slot]->setParameter(index, value);
    }
}

void CVstHostMain::sendMidiMessage(int status, int data1, int data2) {
    bool storeFull = false;
    {
        std::lock_guard lock(engineLock_);
        if (eventCount_ < eventCapacity_) {
            VstMidiEvent& event = events_[eventCount_];
            std::memset(&event, 0, sizeof(event));
            event.type = kVstMidiType;
            event.byteSize = static_cast<int32_t>(sizeof(VstMidiEvent));
            // Unsigned arithmetic: the frame counters may wrap, the offset does not.
            const uint32_t due = device_->position() + static_cast<uint32_t>(latencyFrames_);
            event.deltaFrames = static_cast<int32_t>(due - renderedPosition_->absoluteFrame());
            event.midiData[0] = static_cast<char>(status & 0xFF);
            event.midiData[1] = static_cast<char>(data1 & 0xFF);
            event.midiData[2] = static_cast<char>(data2 & 0xFF);
            event.midiData[3] = 0;
            if (CVstPlugin* plugin = slots_[status & 0x0F].get()) {
                plugin->addEvent(&event);
            }
            ++eventCount_;
        } else {
            // Without any plug-in there is no store, and nothing to complain about.
            storeFull = eventCount_ != 0 || eventCapacity_ != 0;
        }
    }
    if (storeFull) {
        report(kMsgEventStoreFull);
    }
}

bool CVstHostMain::start(RenderDrive drive) {
    if (running_.load()) {
        return true;
    }
    if (!device_->queryFormat() || !device_->open(owner_)) {
        return false;
    }
    if (!device_->queueAll()) {
        // Left open, the device would refuse every later start as already open.
        device_->reset();
        device_->close();
        return false;
    }
    device_->restart();
    {
        std::lock_guard lock(engineLock_);
        renderedPosition_->set(0);
        targetPosition_->set(0);
    }
    {
        std::lock_guard lock(wakeMutex_);
        running_.store(true);
    }
    if (drive == RenderDrive::thread) {
        renderThread_ = std::thread(&CVstHostMain::renderLoop, this);
    }
    return true;
}

void CVstHostMain::stop() {
    {
        std::lock_guard lock(wakeMutex_);
        running_.store(false);
    }
    wake_.notify_all();
    if (renderThread_.joinable()) {
        renderThread_.join();
    }
    // The buffers the reset hands back arrive while not running and are ignored.
    device_->reset();
    device_->close();
}

void CVstHostMain::onWaveBufferDone(WaveHeader* header) {
    if (!running_.load()) {
        return;
    }
    device_->requeue(header);
}

void CVstHostMain::renderLoop() {
    raiseRenderPriority();
    const auto period = std::chrono::milliseconds(periodMs_);
    std::unique_lock lock(wakeMutex_);
    while (running_.load()) {
        lock.unlock();
        renderPass();
        lock.lock();
        wake_.wait_for(lock, period, [this] { return !running_.load(); });
    }
}

void CVstHostMain::renderPass() {
    const auto asked = std::chrono::steady_clock::now();
    std::lock_guard lock(engineLock_);
    const int64_t waited = std::chrono::duration_cast<std::chrono::nanoseconds>(
                               std::chrono::steady_clock::now() - asked)
                               .count();
    int64_t longest = longestLockWaitNs_.load(std::memory_order_relaxed);
    while (waited > longest &&
           !longestLockWaitNs_.compare_exchange_weak(longest, waited, std::memory_order_relaxed)) {
    }

    targetPosition_->set(device_->position() + static_cast<uint32_t>(latencyFrames_));
    // Measured on the absolute frames: around the ring a lag of a whole ring
    // would look like none. Absolute frame 0 is where every start begins.
    const uint32_t rendered = renderedPosition_->absoluteFrame();
    const auto ahead = static_cast<int32_t>(targetPosition_->absoluteFrame() - rendered);
    if (rendered != 0 && ahead > blockFrames_) {
        latePasses_.fetch_add(1, std::memory_order_relaxed);
    }
    const int32_t frames = std::min(renderedPosition_->distanceTo(*targetPosition_), blockFrames_);
    if (frames <= 0) {
        return;
    }

    for (auto& plugin : slots_) {
        if (plugin) {
            plugin->flushEvents();
            plugin->process(frames);
        }
    }
    eventCount_ = 0;

    const double gain = outputGain.load(std::memory_order_relaxed);
    for (int32_t i = 0; i < frames; ++i) {
        double sum = 0.0;
        for (auto& plugin : slots_) {
            // A plug-in without outputs has nothing to add (and no average).
            if (!plugin || plugin->numOutputs() <= 0) {
                continue;
            }
            const float* const* outputs = plugin->outputs();
            double channels = 0.0;
            for (int32_t c = 0; c < plugin->numOutputs(); ++c) {
                channels += outputs[c][i];
            }
            sum += channels / plugin->numOutputs();
        }
        const double value = std::clamp(sum * gain, -1.0, 1.0);
        mixBuffer_[static_cast<size_t>(i)] = static_cast<int16_t>(std::trunc(value * 32767.0));
    }

    device_->write(renderedPosition_->bufferIndex(), renderedPosition_->frameOffset(),
                   mixBuffer_.data(), frames);
    renderedPosition_->copyFrom(*targetPosition_);
}

CVstPlugin* CVstHostMain::plugin(int32_t slot) {
    if (!validSlot(slot)) {
        return nullptr;
    }
    std::lock_guard lock(engineLock_);
    return slots_[slot].get();
}

int32_t CVstHostMain::pluginCount() {
    std::lock_guard lock(engineLock_);
    return pluginCount_;
}

int32_t CVstHostMain::eventCapacity() {
    std::lock_guard lock(engineLock_);
    return eventCapacity_;
}

int32_t CVstHostMain::eventCount() {
    std::lock_guard lock(engineLock_);
    return eventCount_;
}

uint32_t CVstHostMain::renderedFrame() {
    std::lock_guard lock(engineLock_);
    return renderedPosition_->absoluteFrame();
}

std::chrono::nanoseconds CVstHostMain::longestRenderLockWait() const {
    return std::chrono::nanoseconds(longestLockWaitNs_.load());
}

void CVstHostMain::resetRenderLockWait() {
    longestLockWaitNs_.store(0);
}
