// The player core (reports under MDPL): the process-wide state of the one
// playback a process runs at a time, its preparation, and the sending and
// advancing of events that the timer-driven players share.
//
// Timing: the gap after an event is d ticks * 60000 / T milliseconds, with
// T = division * tempoPercent * tempoBpm / 100 ticks per minute, computed after
// that event was sent, so a tempo event takes effect for the gap behind it.
#pragma once

#include <atomic>
#include <cstdint>

#include "app/midi/midi_control.h"
#include "app/midi/midi_format0_data.h"
#include "app/midi/music_event.h"
#include "app/midi/play_callbacks.h"

struct PlayerCoreState {
    CMidiFormat0Data* currentSong = nullptr;  // the play copy being played
    std::int32_t eventIndex = 0;              // next event to dispatch
    std::int32_t tickPosition = 0;            // start plus the deltas dispatched
    std::int32_t endPosition = -1;            // tick of an early end, -1 none
    PlayEventCallback eventCallback = nullptr;
    PlayEndCallback endCallback = nullptr;
    std::uint32_t tempoBpm = 240;     // whole beats per minute, 240 at each start
    std::int32_t tempoPercent = 100;  // speed factor, never changed
    std::int32_t timerPeriod = 0;     // milliseconds, computed at each start
    std::atomic<int> stopRequested{0};
    std::atomic<int> playerRunning{0};
    CMidiControl* outputDevice = nullptr;  // owned by the running player
    // The timer period begun for this run (0: none), ended when it is released.
    std::uint32_t periodBegun = 0;
    // The timer event the running player armed last: what a stop kills.
    std::atomic<std::uint32_t> pendingTimer{0};
};

// The one player state of the process. Thread: any (see the fields).
PlayerCoreState& PlayerCore();

// Opens the output device, sends General MIDI system on, resets the state and
// positions the run at `startTick` (the chase of the state table when it is
// not 0), pre-rolls to the first note and computes timerPeriod. `offset` gets
// the ticks before the first event. Returns the resolution of the first timer,
// or 0 when the run cannot start: the song not in on/off form (08000004), no
// device, a timer period below the timer's minimum (08000001). A run that must
// not arm a timer (pre-roll reached the end, or a failure after the device
// opened) leaves playerRunning 0, so it ends at once. Thread: playback.
std::uint32_t PreparePlayback(CMidiFormat0Data* song, int deviceId, std::int32_t startTick,
                              std::int32_t& offset);

// Sends one event to the output device by its status; a tempo event sets
// tempoBpm (below 1000 microseconds: 60 with 08000006; below 10 beats per
// minute: 10 with 08000003). Thread: timer or playback.
void SendEvent(const CMusicEvent& event);

// Sends the event, moves to the next and returns its delta, or -1 at the end of
// the track; a negative delta reports 08000007. Thread: timer or playback.
std::int32_t AdvanceEvent(const CMusicEvent& event);

// Sends the events in front of the first note on straight to the device, 50 ms
// apart. False when the track has no events or the end is reached (every event
// was then sent). Thread: playback.
bool PrerollToFirstNote();

// Ticks per minute at the current tempo (truncated), 0 when there is no tempo.
// Thread: timer or playback.
std::int64_t TicksPerMinute();

// Kills every timer event the running player armed, waiting for a tick that is
// running, and clears pendingTimer. Thread: any but the timer thread.
void KillPendingTimers();

// Ends the timer period begun by the preparation, if any. Thread: playback.
void EndTimerPeriod();

// Arms a one-shot tick for the running player and records it as the pending
// timer; a failure reports 08000002 and ends the run. Thread: playback, timer.
std::uint32_t ArmPlayerTimer(std::int64_t delayMs, std::uint32_t resolutionMs,
                             void (*proc)(std::uint32_t, void*), void* player);

// Prepares the run (PreparePlayback), adds the ticks before the first event to
// tickPosition and arms the first tick timerPeriod milliseconds ahead. Returns
// that timer, or 0 when the run ends at once. Thread: playback.
std::uint32_t StartPlayerRun(CMidiFormat0Data* song, int deviceId, std::int32_t startTick,
                             void (*proc)(std::uint32_t, void*), void* player);

// Stops the timer chain (waiting for a running tick), ends the timer period and
// closes and destroys the output device. Thread: playback.
void ReleasePlayerRun();

// The event a tick is due to play, or null when the run ends here (a stop was
// asked for, or the position lies outside the track: 08000005). Thread: timer.
CMusicEvent* DueEvent();

// Milliseconds until an event `delta` ticks ahead at the current tempo, or -1
// when there is no tempo (08000006; the run ends). Thread: timer.
std::int64_t GapInMs(std::int32_t delta);

// MDPL report. Thread: any.
void ReportPlayerError(std::uint32_t code);

inline constexpr std::uint32_t kPlayerPeriodTooSmall = 0x08000001;
inline constexpr std::uint32_t kPlayerNoTimer = 0x08000002;
inline constexpr std::uint32_t kPlayerTempoTooSlow = 0x08000003;
inline constexpr std::uint32_t kPlayerWrongState = 0x08000004;
inline constexpr std::uint32_t kPlayerBadPosition = 0x08000005;
inline constexpr std::uint32_t kPlayerBadTempo = 0x08000006;
inline constexpr std::uint32_t kPlayerNegativeDelta = 0x08000007;
