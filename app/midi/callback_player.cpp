#include "app/midi/callback_player.h"

#include <atomic>

#include "app/midi/error_catalogs.h"
#include "app/platform/app_message.h"

namespace {

// Reaching the end position without an end callback is shown once per process.
std::atomic<int> endWithoutCallbackShown{0};

}  // namespace

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
    timerId = StartPlayerRun(song, deviceId, startTick, &CallBackPlayer::TimerProc, this);
}

bool CallBackPlayer::HasOpenDevice() const {
    return PlayerCore().outputDevice != nullptr;
}

void CallBackPlayer::Release() {
    ReleasePlayerRun();
    timerId = 0;
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
    CMusicEvent* event = DueEvent();
    if (event == nullptr) {
        return;
    }
    PlayerCoreState& core = PlayerCore();
    CMidiTrackData* track = core.currentSong->track;
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
        std::int64_t delay = GapInMs(delta);
        if (delay < 0) {
            return;
        }
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
