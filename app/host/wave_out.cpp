#include "app/host/wave_out.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>

#include "app/host/host_messages.h"
#include "app/platform/app_message.h"

namespace {

void report(const char* text) {
    showAppMessage(text, kHostMessageCaption);
}

}  // namespace

CWaveBufferPool::CWaveBufferPool(int32_t bufferBytes, int32_t bufferCount)
    : bufferBytes_(bufferBytes), bufferCount_(bufferCount) {
    bool ok = bufferBytes > 0 && bufferCount > 0;
    if (ok) {
        // Every allocation is tried, as the ring is all or nothing anyway.
        for (int32_t i = 0; i < bufferCount; ++i) {
            auto header = std::unique_ptr<WaveHeader>(new (std::nothrow) WaveHeader{});
            auto buffer = std::unique_ptr<char[]>(new (std::nothrow) char[bufferBytes]());
            ok = ok && header != nullptr && buffer != nullptr;
            headers_.push_back(std::move(header));
            buffers_.push_back(std::move(buffer));
        }
    }
    ready_ = ok;
    if (!ready_) {
        report(kMsgBufferAllocFailed);
    }
}

void CWaveBufferPool::clear() {
    if (!ready_) {
        return;
    }
    for (auto& buffer : buffers_) {
        std::memset(buffer.get(), 0, static_cast<size_t>(bufferBytes_));
    }
}

int32_t CWaveBufferPool::indexOf(const WaveHeader* header) const {
    for (size_t i = 0; i < headers_.size(); ++i) {
        if (headers_[i].get() == header) {
            return static_cast<int32_t>(i);
        }
    }
    return -1;
}

CWaveOut::CWaveOut(int32_t deviceId, const WaveFormat* format, int32_t bufferBytes,
                   int32_t bufferCount, std::unique_ptr<AudioBackend> backend)
    : deviceId_(deviceId),
      format_(format),
      pool_(std::make_unique<CWaveBufferPool>(bufferBytes, bufferCount)),
      backend_(backend ? std::move(backend) : createAudioBackendFromEnvironment()) {}

int32_t CWaveOut::framesPerBuffer() const {
    if (format_ == nullptr || format_->blockAlign == 0) {
        return 0;
    }
    return pool_->bufferBytes() / format_->blockAlign;
}

bool CWaveOut::queryFormat() {
    if (format_ == nullptr || !backend_->queryFormat(deviceId_, *format_)) {
        report(kMsgNoAudioDevice);
        return false;
    }
    return true;
}

bool CWaveOut::open(WaveNotificationSink* owner) {
    if (open_) {
        report(kMsgDeviceAlreadyOpen);
        return false;
    }
    if (format_ == nullptr || !backend_->open(deviceId_, *format_, owner)) {
        report(kMsgDeviceOpenFailed);
        return false;
    }
    open_ = true;
    return true;
}

bool CWaveOut::close() {
    if (!open_) {
        return true;
    }
    const bool ok = backend_->close();
    open_ = false;
    if (!ok) {
        report(kMsgDeviceCloseFailed);
        return false;
    }
    return true;
}

bool CWaveOut::queueAll() {
    if (!pool_->ready() || !open_) {
        return false;
    }
    pool_->clear();
    backend_->pause();
    for (int32_t i = 0; i < pool_->bufferCount(); ++i) {
        WaveHeader& header = pool_->header(i);
        header.data = pool_->buffer(i);
        header.bufferLength = static_cast<uint32_t>(pool_->bufferBytes());
        header.user = 0;
        header.flags.store(0);
        header.loops = 0;
        if (!backend_->prepare(header)) {
            report(kMsgQueueAllPrepareFailed);
            return false;
        }
        if (!backend_->write(header)) {
            report(kMsgQueueFailed);
            return false;
        }
    }
    return true;
}

bool CWaveOut::requeue(WaveHeader* header) {
    // Only our own buffers, and only once the device has finished them: a
    // stale or foreign notification changes nothing.
    if (header == nullptr || pool_->indexOf(header) < 0) {
        return false;
    }
    constexpr uint32_t kFinished = kWaveHeaderPrepared | kWaveHeaderDone;
    if ((header->flags.load() & kFinished) != kFinished) {
        return false;
    }
    if (!backend_->unprepare(*header)) {
        report(kMsgUnprepareFailed);
    }
    header->flags.store(0);
    if (!backend_->prepare(*header)) {
        report(kMsgRequeuePrepareFailed);
    }
    if (!backend_->write(*header)) {
        report(kMsgQueueFailed);
        return false;
    }
    return true;
}

bool CWaveOut::restart() {
    if (!open_) {
        return false;
    }
    return backend_->restart();
}

bool CWaveOut::reset() {
    if (!pool_->ready() || !open_) {
        return false;
    }
    backend_->reset();
    constexpr uint32_t kFinished = kWaveHeaderPrepared | kWaveHeaderDone;
    for (int32_t i = 0; i < pool_->bufferCount(); ++i) {
        WaveHeader& header = pool_->header(i);
        if ((header.flags.load() & kFinished) == kFinished) {
            backend_->unprepare(header);
        }
    }
    return true;
}

uint32_t CWaveOut::position() {
    return static_cast<uint32_t>(backend_->position());
}

void CWaveOut::write(int32_t bufferIndex, int32_t frameOffset, const int16_t* values,
                     int32_t frames) {
    const int32_t f = framesPerBuffer();
    const int32_t c = pool_->bufferCount();
    if (!pool_->ready() || values == nullptr || f <= 0 || frames <= 0) {
        return;
    }
    const int32_t samplesPerFrame = format_->blockAlign / 2;
    bufferIndex = std::clamp(bufferIndex, 0, c - 1);
    frameOffset = std::clamp(frameOffset, 0, f - 1);
    // The ring holds F x C frames; more than that would overwrite itself.
    int64_t remaining = std::min<int64_t>(frames, static_cast<int64_t>(f) * c);

    // The device reads the ring while this writes it, so every sample is stored
    // as a relaxed atomic (the device loads them the same way).
    auto copy = [&](int32_t index, int32_t offset, int64_t count) {
        auto* target = reinterpret_cast<int16_t*>(pool_->buffer(index)) +
                       static_cast<int64_t>(offset) * samplesPerFrame;
        const int64_t samples = count * samplesPerFrame;
        for (int64_t i = 0; i < samples; ++i) {
            std::atomic_ref<int16_t>(target[i]).store(values[i], std::memory_order_relaxed);
        }
        values += samples;
    };

    int64_t first = std::min<int64_t>(remaining, f - frameOffset);
    copy(bufferIndex, frameOffset, first);
    remaining -= first;
    int32_t index = bufferIndex;
    while (remaining > 0) {
        index = (index + 1) % c;
        const int64_t count = std::min<int64_t>(remaining, f);
        copy(index, 0, count);
        remaining -= count;
    }
}
