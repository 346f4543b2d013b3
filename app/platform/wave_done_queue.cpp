#include "app/platform/wave_done_queue.h"

void WaveDoneQueue::setWakeup(Wakeup wakeup) {
    std::lock_guard lock(mutex_);
    wakeup_ = std::move(wakeup);
}

void WaveDoneQueue::post(WaveHeader* header) {
    Wakeup wakeup;
    {
        std::lock_guard lock(mutex_);
        headers_.push_back(header);
        wakeup = wakeup_;
    }
    posted_.notify_all();
    if (wakeup) {
        wakeup();
    }
}

std::size_t WaveDoneQueue::drain(const Handler& handler) {
    std::deque<WaveHeader*> taken;
    {
        std::lock_guard lock(mutex_);
        taken.swap(headers_);
    }
    // The handler runs without the lock: it requeues into the device, which may
    // post again.
    for (WaveHeader* header : taken) {
        handler(header);
    }
    return taken.size();
}

std::size_t WaveDoneQueue::waitAndDrain(const Handler& handler, std::chrono::milliseconds timeout) {
    {
        std::unique_lock lock(mutex_);
        posted_.wait_for(lock, timeout, [this] { return !headers_.empty(); });
    }
    return drain(handler);
}

void WaveDoneQueue::discard() {
    std::lock_guard lock(mutex_);
    headers_.clear();
}

std::size_t WaveDoneQueue::pending() const {
    std::lock_guard lock(mutex_);
    return headers_.size();
}
