#include "app/midi/midi_player.h"

#include "app/midi/callback_player.h"

std::atomic<std::uint32_t> CMidiPlayer::timerId{0};

CMidiPlayer::CMidiPlayer(CMidiFormat0Data* song, int deviceId, bool looping) : looping(looping) {
    PlayerCoreState& core = PlayerCore();
    core.eventCallback = nullptr;
    core.endCallback = nullptr;
    core.tickPosition = 0;
    core.endPosition = -1;
    std::int32_t offset = 0;
    std::uint32_t resolution = PreparePlayback(song, deviceId, 0, offset);
    core.tickPosition = offset;
    if (resolution != 0 && core.playerRunning == 1) {
        timerId = ArmPlayerTimer(core.timerPeriod, resolution, &CMidiPlayer::TimerProc, this);
    }
}

bool CMidiPlayer::HasOpenDevice() const {
    return PlayerCore().outputDevice != nullptr;
}

void CMidiPlayer::Release() {
    KillPendingTimers();
    timerId = 0;
    EndTimerPeriod();
    CloseOutputDevice();
}

void CMidiPlayer::TimerProc(std::uint32_t /*timerId*/, void* user) {
    if (user != nullptr) {
        static_cast<CMidiPlayer*>(user)->Tick();
    }
}

void CMidiPlayer::Tick() {
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
    std::int32_t delta = AdvanceEvent(*event);
    bool restarted = false;
    for (;;) {
        if (delta < 0) {
            // A song without any gap would restart for ever inside one tick.
            if (!looping || restarted || core.eventIndex < track->count) {
                core.playerRunning = 0;
                return;
            }
            // Again from the first event, which sounds right away.
            core.eventIndex = 0;
            delta = 0;
            restarted = true;
        }
        std::int64_t ticksPerMinute = TicksPerMinute();
        if (ticksPerMinute == 0) {
            core.playerRunning = 0;
            ReportPlayerError(kPlayerBadTempo);
            return;
        }
        std::int64_t delay = static_cast<std::int64_t>(delta) * 60000 / ticksPerMinute;
        if (delay > 0) {
            timerId = ArmPlayerTimer(delay, static_cast<std::uint32_t>(core.timerPeriod),
                                     &CMidiPlayer::TimerProc, this);
            return;
        }
        event = track->EventAt(core.eventIndex);
        delta = AdvanceEvent(*event);
    }
}
