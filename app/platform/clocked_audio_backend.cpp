#include "app/platform/clocked_audio_backend.h"

#include <chrono>

namespace {

// Fine enough that the position moves smoothly against a 10 ms render period.
constexpr auto kTick = std::chrono::milliseconds(2);

}  // namespace

ClockedAudioBackend::ClockedAudioBackend(std::string wavPath) : wavPath_(std::move(wavPath)) {}

ClockedAudioBackend::~ClockedAudioBackend() {
    close();
}

bool ClockedAudioBackend::close() {
    const bool ok = QueuedAudioBackend::close();
    return ok && !writeFailed_;
}

bool ClockedAudioBackend::onOpen(int deviceId, const WaveFormat& format) {
    writeFailed_ = false;
    if (!wavPath_.empty() && !writer_.open(wavPath_, format)) {
        return false;
    }
    {
        std::lock_guard lock(stopMutex_);
        stopping_ = false;
    }
    thread_ = std::thread(&ClockedAudioBackend::run, this, format.samplesPerSec, format.channels);
    return true;
}

void ClockedAudioBackend::onClose() {
    {
        std::lock_guard lock(stopMutex_);
        stopping_ = true;
    }
    stopSignal_.notify_all();
    if (thread_.joinable()) {
        thread_.join();
    }
    if (writer_.isOpen() && !writer_.finish()) {
        writeFailed_ = true;
    }
}

void ClockedAudioBackend::run(uint32_t rate, uint32_t channels) {
    using Clock = std::chrono::steady_clock;
    const bool recording = writer_.isOpen();
    std::vector<int16_t> block;
    auto last = Clock::now();
    double owed = 0.0;  // frames of real time not yet played
    std::unique_lock lock(stopMutex_);
    while (!stopping_) {
        stopSignal_.wait_for(lock, kTick, [this] { return stopping_; });
        if (stopping_) {
            break;
        }
        const auto now = Clock::now();
        owed += std::chrono::duration<double>(now - last).count() * rate;
        last = now;
        const auto frames = static_cast<uint64_t>(owed);
        owed -= static_cast<double>(frames);
        if (frames == 0) {
            continue;
        }
        lock.unlock();
        if (recording) {
            block.resize(frames * channels);
            const uint64_t played = consume(frames, block.data());
            // Only what was taken from the queue is written: frame k of the file
            // is the frame the device reported as position k.
            if (played > 0 && !writer_.append(block.data(), played)) {
                writeFailed_ = true;
            }
        } else {
            consume(frames, nullptr);
        }
        lock.lock();
    }
}
