// CMidiPlayer: the timer-driven player without callbacks. It plays a song on
// the output device with the same preparation and timing as CallBackPlayer,
// and at the end of the track stops, or starts again at the first event when
// looping is on. The application plays with CallBackPlayer; this one serves
// a playback started without an event callback.
#pragma once

#include <atomic>
#include <cstdint>

#include "app/midi/midi_player_core.h"

class CMidiPlayer {
  public:
    // Prepares the run from the start of the song on `deviceId` and arms the
    // first timer. Thread: playback.
    CMidiPlayer(CMidiFormat0Data* song, int deviceId, bool looping = false);
    virtual ~CMidiPlayer() = default;
    CMidiPlayer(const CMidiPlayer&) = delete;
    CMidiPlayer& operator=(const CMidiPlayer&) = delete;

    // Stops the timer chain, ends the timer period, closes the device.
    // Thread: playback.
    void Release();
    // Whether the run's output device opened. Thread: playback.
    bool HasOpenDevice() const;

    // The timer callback; `user` is the player. Thread: timer.
    static void TimerProc(std::uint32_t timerId, void* user);

    // The timer event of the next tick; one per process, as the player is.
    static std::atomic<std::uint32_t> timerId;

    bool looping;

  private:
    void Tick();
};
