#include "app/midi/midi_player.h"

std::atomic<std::uint32_t> CMidiPlayer::timerId{0};

CMidiPlayer::CMidiPlayer(CMidiFormat0Data* song, int deviceId, bool looping) : looping(looping) {
    PlayerCoreState& core = PlayerCore();
    core.eventCallback = nullptr;
    core.endCallback = nullptr;
    core.tickPosition = 0;
    core.endPosition = -1;
    timerId = StartPlayerRun(song, deviceId, 0, &CMidiPlayer::TimerProc, this);
}

bool CMidiPlayer::HasOpenDevice() const {
    return PlayerCore().outputDevice != nullptr;
}

void CMidiPlayer::Release() {
    ReleasePlayerRun();
    timerId = 0;
}

void CMidiPlayer::TimerProc(std::uint32_t /*timerId*/, void* user) {
    if (user != nullptr) {
        static_cast<CMidiPlayer*>(user)->Tick();
    }
}

void CMidiPlayer::Tick() {
    CMusicEvent* event = DueEvent();
    if (event == nullptr) {
        return;
    }
    PlayerCoreState& core = PlayerCore();
    CMidiTrackData* track = core.currentSong->track;
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
        std::int64_t delay = GapInMs(delta);
        if (delay < 0) {
            return;
        }
        if (delay > 0) {
            timerId = ArmPlayerTimer(delay, static_cast<std::uint32_t>(core.timerPeriod),
                                     &CMidiPlayer::TimerProc, this);
            return;
        }
        event = track->EventAt(core.eventIndex);
        delta = AdvanceEvent(*event);
    }
}
