// A mutex that admits waiters in the order they arrived. The engine's render
// thread competes with a UI thread that may call into the plug-in hundreds of
// times in a row (the treatments at start-up); with a plain mutex the UI thread
// can take the lock back again and again before the render thread wakes, so
// the render thread would wait for the whole series instead of one call.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

class FairMutex {
  public:
    // Thread: any. Meets the Lockable requirements, so std::lock_guard works.
    void lock() {
        std::unique_lock guard(mutex_);
        const uint64_t ticket = nextTicket_++;
        turn_.wait(guard, [&] { return serving_ == ticket; });
    }

    void unlock() {
        {
            std::lock_guard guard(mutex_);
            ++serving_;
        }
        turn_.notify_all();
    }

    bool try_lock() {
        std::lock_guard guard(mutex_);
        if (serving_ != nextTicket_) {
            return false;
        }
        ++nextTicket_;
        return true;
    }

  private:
    std::mutex mutex_;
    std::condition_variable turn_;
    uint64_t nextTicket_ = 0;
    uint64_t serving_ = 0;
};
