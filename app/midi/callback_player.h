// CallBackPlayer: the timer-driven player with callbacks that the application
// uses. Each due event goes first to the event callback, then to the output
// device; one one-shot timer is armed for each gap between events.
#pragma once

#include <atomic>
#include <cstdint>

#include "app/midi/midi_player_core.h"

class CallBackPlayer {
  public:
    // Prepares the run (see PreparePlayback) on device `deviceId` and arms the
    // first timer timerPeriod milliseconds ahead: the first event sounds then,
    // whatever its own delta. When that timer cannot be armed (08000002) the run
    // ends at once. Thread: playback.
    CallBackPlayer(CMidiFormat0Data* song, int deviceId, PlayEventCallback eventCallback,
                   std::int32_t startPosition, std::int32_t startTick, std::int32_t endPosition);
    // The same with an end callback, which the timer calls when the end
    // position is reached. Thread: playback.
    CallBackPlayer(CMidiFormat0Data* song, int deviceId, PlayEndCallback endCallback,
                   PlayEventCallback eventCallback, std::int32_t startPosition,
                   std::int32_t startTick, std::int32_t endPosition);
    virtual ~CallBackPlayer() = default;
    CallBackPlayer(const CallBackPlayer&) = delete;
    CallBackPlayer& operator=(const CallBackPlayer&) = delete;

    // Stops the timer chain (waiting for a running tick), ends the timer period
    // and closes and destroys the output device. Thread: playback.
    void Release();

    // Whether the run's output device opened. Thread: playback.
    bool HasOpenDevice() const;

    // The timer callback; `user` is the player. Thread: timer.
    static void TimerProc(std::uint32_t timerId, void* user);

    std::atomic<std::uint32_t> timerId{0};  // the timer event of the next tick

  private:
    void Begin(CMidiFormat0Data* song, int deviceId, PlayEndCallback endCallback,
               PlayEventCallback eventCallback, std::int32_t startPosition, std::int32_t startTick,
               std::int32_t endPosition);
    void Tick();
    void Dispatch(CMusicEvent& event);
    // Arms the next tick; false (and the run ends) when no timer can be had.
    bool Arm(std::int64_t delayMs, std::uint32_t resolutionMs);
};
