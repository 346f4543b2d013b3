// Carries finished wave buffers from the audio device's thread to the thread of
// their owner. The device posts; the owner drains on its own thread and hands
// each buffer to the engine. A Qt window sets a wake-up that queues a drain on
// its event loop; tests and tools call drain or waitAndDrain themselves.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>

#include "app/platform/wave_format.h"

class WaveDoneQueue final : public WaveNotificationSink {
  public:
    using Handler = std::function<void(WaveHeader* header)>;
    using Wakeup = std::function<void()>;

    // Called after every post, on the posting thread; it must only arrange for
    // a drain on the owner's thread. Thread: owner, before the device opens.
    void setWakeup(Wakeup wakeup);

    // Thread: any (the device's).
    void post(WaveHeader* header) override;

    // Hands every waiting header to handler, oldest first, and returns how many.
    // Headers posted meanwhile wait for the next drain. Thread: owner.
    std::size_t drain(const Handler& handler);

    // Waits until a header is waiting or the timeout passes, then drains.
    // Thread: owner.
    std::size_t waitAndDrain(const Handler& handler, std::chrono::milliseconds timeout);

    // Forgets every waiting header; the owner does this before it destroys what
    // they point into. Thread: owner.
    void discard();

    // Thread: any.
    std::size_t pending() const;

  private:
    mutable std::mutex mutex_;
    std::condition_variable posted_;
    std::deque<WaveHeader*> headers_;
    Wakeup wakeup_;
};
