// A timer service whose time is advanced by the threads that take part in it
// rather than by a clock: time moves on only when every taking-part thread is
// asleep in sleep(), and then jumps straight to the next due timer event or
// wake-up. Exactly one thing runs at a time (one woken sleeper or one timer
// callback), in order of time and then of arming, so a playback runs the same
// way every time and as fast as the machine allows.
//
// Taking part: the thread that constructs the service, and every thread made
// with startThread. A taking-part thread must not block on anything but
// sleep() while others wait for time to move (it would stop the clock).
#pragma once

#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <thread>
#include <tuple>
#include <unordered_map>

#include "app/platform/timer_service.h"

class VirtualTimerService final : public TimerService {
  public:
    // Thread: becomes the first taking-part thread (the driver).
    VirtualTimerService();
    // Every thread made with startThread must have ended (joined) before.
    // Thread: the driver.
    ~VirtualTimerService() override;

    VirtualTimerService(const VirtualTimerService&) = delete;
    VirtualTimerService& operator=(const VirtualTimerService&) = delete;

    std::uint32_t setEvent(std::uint32_t delayMs, std::uint32_t resolutionMs, Callback callback,
                           void* user) override;
    bool killEvent(std::uint32_t timerId) override;
    // Lets time run for `ms` for this thread. Thread: a taking-part thread.
    void sleep(std::uint32_t ms) override;
    std::uint64_t now() const override;
    // The new thread takes part; the caller goes on once it sleeps or ends.
    std::thread startThread(std::function<void()> body) override;

    // Timer events armed and not yet fired or killed. Thread: any.
    std::size_t pendingEvents() const;

  private:
    void schedule();

    struct Entry {
        std::uint32_t id;
        Callback callback;
        void* user;
    };
    using Key = std::pair<std::uint64_t, std::uint64_t>;  // due time, order of arming

    mutable std::mutex mutex_;
    std::condition_variable idle_;   // a taking-part thread went to sleep or ended
    std::condition_variable woken_;  // a sleeper may go on
    std::uint64_t now_ = 0;
    std::uint64_t sequence_ = 0;
    int running_ = 1;  // taking-part threads not asleep; the driver counts
    std::map<Key, Entry> timers_;
    std::unordered_map<std::uint32_t, Key> keyOf_;
    std::map<Key, bool*> sleepers_;  // wake time, order of sleeping -> woken flag
    std::uint32_t nextId_ = 1;
    bool quit_ = false;
    std::thread scheduler_;
    std::thread::id schedulerId_;
};
