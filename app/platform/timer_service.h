// The timer service the MIDI player runs on: one-shot timer events with
// millisecond delays, the timer's period range and period requests, and the
// sleeps and threads of the player. Two implementations: the real one (one
// timer thread on the steady clock) and a virtual one whose time only moves
// when every thread taking part is asleep, so that a whole playback runs
// deterministically and faster than real time.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>

class TimerService {
  public:
    // Runs on the service's timer thread. `user` is the value given to setEvent.
    using Callback = void (*)(std::uint32_t timerId, void* user);

    virtual ~TimerService() = default;

    // Smallest period and delay the timer supports, in milliseconds.
    // Thread: any.
    virtual std::uint32_t minimumPeriod() const { return 1; }

    // Raises the timer's resolution to `periodMs` until the matching
    // endPeriod. Fails for a period below minimumPeriod(). Every successful
    // begin must be paired with one end of the same period. Thread: any.
    bool beginPeriod(std::uint32_t periodMs);
    // Ends a period begun with beginPeriod; false when none of that period is
    // in use. Thread: any.
    bool endPeriod(std::uint32_t periodMs);
    // Periods begun and not yet ended. Thread: any.
    int periodsInUse() const { return periodsInUse_.load(); }

    // Arms a one-shot event: `callback` (id, user) runs on the timer thread
    // `delayMs` after now. Returns the event's id, never 0, or 0 when the event
    // cannot be armed. Ids are not reused. Thread: any, the timer thread too.
    virtual std::uint32_t setEvent(std::uint32_t delayMs, std::uint32_t resolutionMs,
                                   Callback callback, void* user) = 0;

    // Cancels a pending event. If its callback is running on the timer thread
    // right now, waits until it has returned (unless called from that very
    // callback), so that once this returns the callback touches nothing more.
    // True when the event was pending or running. Thread: any.
    virtual bool killEvent(std::uint32_t timerId) = 0;

    // Sleeps `ms` milliseconds of this service's time. Thread: any thread that
    // takes part (see the virtual service), never the timer thread.
    virtual void sleep(std::uint32_t ms) = 0;

    // Milliseconds since the service was made. Thread: any.
    virtual std::uint64_t now() const = 0;

    // Starts a thread that takes part in this service's time. Thread: any.
    virtual std::thread startThread(std::function<void()> body) = 0;

  private:
    std::atomic<int> periodsInUse_{0};
};

// The service the player uses: the real one unless another was installed.
// Thread: any.
TimerService& timerService();

// Installs a service (null restores the real one) and returns the previous
// one. Install before a playback starts and keep it alive until it has
// finished. Thread: any.
TimerService* setTimerService(TimerService* service);

// The process's real timer service.
TimerService& realTimerService();
