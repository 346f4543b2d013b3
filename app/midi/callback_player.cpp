#include "app/midi/callback_player.h"

#include <atomic>
#include <limits>

#include "app/midi/error_catalogs.h"
#include "app/platform/app_message.h"
#include "app/platform/timer_service.h"

namespace {

// Reaching the end position without an end callback is shown once per process.
std::atomic<int> endWithoutCallbackShown{0};

}  // namespace

std::uint32_t ArmPlayerTimer(std::int64_t delayMs, std::uint32_t resolutionMs,
                             void (*proc)(std::uint32_t, void*), void* player) {
    PlayerCoreState& core = PlayerCore();
    constexpr std::int64_t kLongest = std::numeric_limits<std::uint32_t>::max();
    std::uint32_t delay = static_cast<std::uint32_t>(delayMs < kLongest ? delayMs : kLongest);
    std::uint32_t id = timerService().setEvent(delay, resolutionMs, proc, player);
    core.pendingTimer = id;
    if (id == 0) {
        // No tick would ever come; the run ends instead of hanging.
        ReportPlayerError(kPlayerNoTimer);
        core.playerRunning = 0;
    }
    return id;
}

void CloseOutputDevice() {
    PlayerCoreState& core = PlayerCore();
    if (core.outputDevice != nullptr) {
        core.outputDevice->Close();
        delete core.outputDevice;
        core.outputDevice = nullptr;
    }
}

CallBackPlayer::CallBackPlayer(CMidiFormat0Data* song, int deviceId,
                               PlayEventCallback eventCallback, std::int32_t startPosition,
                               std::int32_t startTick, std::int32_t endPosition) {
    Begin(song, deviceId, nullptr, eventCallback, startPosition, startTick, endPosition);
}

CallBackPlayer::CallBackPlayer(CMidiFormat0Data* song, int deviceId, PlayEndCallback endCallback,
                               PlayEventCallback eventCallback, std::int32_t startPosition,
                               std::int32_t startTick, std::int32_t endPosition) {
    Begin(song, deviceId, endCallback, eventCallback, startPosition, startTick, endPosition);
}

void CallBackPlayer::Begin(CMidiFormat0Data* song, int deviceId, PlayEndCallback endCallback,
                           PlayEventCallback eventCallback, std::int32_t startPosition,
                           std::int32_t startTick, std::int32_t endPosition) {
    PlayerCoreState& core = PlayerCore();
    core.eventCallback = eventCallback;
    core.endCallback = endCallback;
    core.tickPosition = startPosition;
    core.endPosition = endPosition;
    std::int32_t offset = 0;
    std::uint32_t resolution = PreparePlayback(song, deviceId, startTick, offset);
    core.tickPosition += offset;
    if (resolution != 0 && core.playerRunning == 1) {
        timerId = ArmPlayerTimer(core.timerPeriod, resolution, &CallBackPlayer::TimerProc, this);
    }
}

bool CallBackPlayer::HasOpenDevice() const {
    return PlayerCore().outputDevice != nullptr;
}

void CallBackPlayer::Release() {
    KillPendingTimers();
    timerId = 0;
    EndTimerPeriod();
    CloseOutputDevice();
}

void CallBackPlayer::TimerProc(std::uint32_t /*timerId*/, void* user) {
    if (user != nullptr) {
        static_cast<CallBackPlayer*>(user)->Tick();
    }
}

bool CallBackPlayer::Arm(std::int64_t delayMs, std::uint32_t resolutionMs) {
    timerId = ArmPlayerTimer(delayMs, resolutionMs, &CallBackPlayer::TimerProc, this);
    return timerId != 0;
}

void CallBackPlayer::Dispatch(CMusicEvent& event) {
    PlayerCoreState& core = PlayerCore();
    core.tickPosition += event.delta;
    if (core.eventCallback != nullptr) {
        core.eventCallback(core.eventIndex, core.tickPosition, &event);
    }
}

void CallBackPlayer::Tick() {
    PlayerCoreState& core = PlayerCore();
    if (core.stopRequested) {
        core.playerRunning = 0;
        return;
    }
    CMidiTrackData* track = core.currentSong != nullptr ? core.currentSong->track : nullptr;
    CMusicEvent* event = track != nullptr ? track->EventAt(core.eventIndex) : nullptr;
    if (event == nullptr) {
        ReportPlayerError(kPlayerBadPosition);
        core.playerRunning = 0;
        return;
    }
    Dispatch(*event);
    std::int32_t delta = AdvanceEvent(*event);
    for (;;) {
        if (delta < 0) {
            // The playback thread sees the run has ended and calls the end
            // callback itself.
            core.playerRunning = 0;
            return;
        }
        if (core.endPosition != -1 &&
            static_cast<std::int64_t>(core.tickPosition) + delta >= core.endPosition) {
            core.playerRunning = 0;
            if (core.endCallback != nullptr) {
                core.endCallback();
            } else if (endWithoutCallbackShown.exchange(1) == 0) {
                showAppMessage("CallBackPlayer Error!", kCatalogCaption);
            }
            return;
        }
        std::int64_t ticksPerMinute = TicksPerMinute();
        if (ticksPerMinute == 0) {
            core.playerRunning = 0;
            ReportPlayerError(kPlayerBadTempo);
            return;
        }
        std::int64_t delay = static_cast<std::int64_t>(delta) * 60000 / ticksPerMinute;
        if (delay > 0) {
            Arm(delay, static_cast<std::uint32_t>(core.timerPeriod));
            return;
        }
        // Due now: events less than a millisecond apart go out in one tick.
        event = track->EventAt(core.eventIndex);
        Dispatch(*event);
        delta = AdvanceEvent(*event);
    }
}
