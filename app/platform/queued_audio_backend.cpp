#include "app/platform/queued_audio_backend.h"

#include <algorithm>
#include <atomic>

bool QueuedAudioBackend::isPlayableFormat(const WaveFormat& format) {
    return format.formatTag == 1 && format.bitsPerSample == 16 &&
           (format.channels == 1 || format.channels == 2) &&
           format.blockAlign == format.channels * 2 && format.samplesPerSec > 0;
}

bool QueuedAudioBackend::queryFormat(int deviceId, const WaveFormat& format) {
    return isPlayableFormat(format);
}

bool QueuedAudioBackend::open(int deviceId, const WaveFormat& format, WaveNotificationSink* sink) {
    {
        std::lock_guard lock(mutex_);
        if (open_ || !isPlayableFormat(format)) {
            return false;
        }
    }
    if (!onOpen(deviceId, format)) {
        return false;
    }
    std::lock_guard lock(mutex_);
    open_ = true;
    paused_ = false;
    format_ = format;
    sink_ = sink;
    queue_.clear();
    headOffset_ = 0;
    position_ = 0;
    return true;
}

bool QueuedAudioBackend::close() {
    {
        std::lock_guard lock(mutex_);
        if (!open_) {
            return true;
        }
    }
    // The subclass stops its playing thread first, so nothing consumes while the
    // queue is dropped.
    onClose();
    std::lock_guard lock(mutex_);
    for (WaveHeader* header : queue_) {
        header->flags.fetch_and(~static_cast<uint32_t>(kWaveHeaderInQueue));
    }
    queue_.clear();
    headOffset_ = 0;
    position_ = 0;
    open_ = false;
    sink_ = nullptr;
    return true;
}

bool QueuedAudioBackend::prepare(WaveHeader& header) {
    std::lock_guard lock(mutex_);
    if (!open_ || header.data == nullptr || header.bufferLength == 0) {
        return false;
    }
    header.flags.fetch_or(kWaveHeaderPrepared);
    return true;
}

bool QueuedAudioBackend::unprepare(WaveHeader& header) {
    std::lock_guard lock(mutex_);
    if (!open_ || (header.flags.load() & kWaveHeaderInQueue) != 0) {
        return false;
    }
    header.flags.fetch_and(~static_cast<uint32_t>(kWaveHeaderPrepared));
    return true;
}

bool QueuedAudioBackend::write(WaveHeader& header) {
    std::lock_guard lock(mutex_);
    const uint32_t flags = header.flags.load();
    if (!open_ || (flags & kWaveHeaderPrepared) == 0 || (flags & kWaveHeaderInQueue) != 0) {
        return false;
    }
    header.flags.store((flags & ~static_cast<uint32_t>(kWaveHeaderDone)) | kWaveHeaderInQueue);
    queue_.push_back(&header);
    return true;
}

bool QueuedAudioBackend::pause() {
    std::lock_guard lock(mutex_);
    if (!open_) {
        return false;
    }
    paused_ = true;
    return true;
}

bool QueuedAudioBackend::restart() {
    std::lock_guard lock(mutex_);
    if (!open_) {
        return false;
    }
    paused_ = false;
    return true;
}

bool QueuedAudioBackend::reset() {
    std::vector<WaveHeader*> done;
    {
        std::lock_guard lock(mutex_);
        if (!open_) {
            return false;
        }
        done.reserve(queue_.size());
        for (WaveHeader* header : queue_) {
            finishLocked(header, done);
        }
        queue_.clear();
        headOffset_ = 0;
        position_ = 0;
        paused_ = false;
    }
    postAll(done);
    return true;
}

uint64_t QueuedAudioBackend::position() {
    std::lock_guard lock(mutex_);
    return open_ ? position_ : 0;
}

bool QueuedAudioBackend::isOpen() {
    std::lock_guard lock(mutex_);
    return open_;
}

uint32_t QueuedAudioBackend::frameBytes() {
    std::lock_guard lock(mutex_);
    return open_ ? format_.blockAlign : 0;
}

void QueuedAudioBackend::finishLocked(WaveHeader* header, std::vector<WaveHeader*>& done) {
    uint32_t flags = header->flags.load();
    flags = (flags & ~static_cast<uint32_t>(kWaveHeaderInQueue)) | kWaveHeaderDone;
    header->flags.store(flags);
    done.push_back(header);
}

void QueuedAudioBackend::postAll(const std::vector<WaveHeader*>& done) {
    WaveNotificationSink* sink = nullptr;
    {
        std::lock_guard lock(mutex_);
        sink = sink_;
    }
    if (sink == nullptr) {
        return;
    }
    for (WaveHeader* header : done) {
        sink->post(header);
    }
}

uint64_t QueuedAudioBackend::consume(uint64_t frames, int16_t* out) {
    uint64_t taken = 0;
    // Only the playing thread consumes, so the scratch list is its own; it is
    // reserved at open so that a normal pass allocates nothing.
    std::vector<WaveHeader*>& done = doneScratch_;
    done.clear();
    WaveNotificationSink* sink = nullptr;
    {
        std::lock_guard lock(mutex_);
        if (!open_ || paused_) {
            return 0;
        }
        sink = sink_;
        const uint32_t bytesPerFrame = format_.blockAlign;
        const uint32_t samplesPerFrame = format_.channels;
        while (taken < frames && !queue_.empty()) {
            WaveHeader* head = queue_.front();
            const uint32_t headFrames = head->bufferLength / bytesPerFrame;
            const uint32_t offsetFrames = headOffset_ / bytesPerFrame;
            const uint64_t count =
                std::min<uint64_t>(frames - taken, headFrames - std::min(offsetFrames, headFrames));
            if (out != nullptr && count > 0) {
                // The render thread writes the ring while it plays, so the samples
                // are read as relaxed atomics (the writer stores them the same way).
                auto* samples = reinterpret_cast<int16_t*>(head->data + headOffset_);
                int16_t* target = out + taken * samplesPerFrame;
                for (uint64_t i = 0; i < count * samplesPerFrame; ++i) {
                    target[i] =
                        std::atomic_ref<int16_t>(samples[i]).load(std::memory_order_relaxed);
                }
            }
            taken += count;
            headOffset_ += static_cast<uint32_t>(count * bytesPerFrame);
            if (headOffset_ / bytesPerFrame >= headFrames) {
                queue_.pop_front();
                headOffset_ = 0;
                finishLocked(head, done);
            }
        }
        position_ += taken;
    }
    if (sink != nullptr) {
        for (WaveHeader* header : done) {
            sink->post(header);
        }
    }
    return taken;
}
