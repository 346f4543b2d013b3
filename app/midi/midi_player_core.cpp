#include "app/midi/midi_player_core.h"

#include <limits>

#include "app/midi/error_catalogs.h"
#include "app/midi/general_routines.h"
#include "app/midi/player_state_table.h"
#include "app/platform/timer_service.h"

namespace {

constexpr std::uint32_t kStartTempoBpm = 240;
constexpr std::uint32_t kSlowestTempoBpm = 10;
constexpr std::uint32_t kTooFastTempoBpm = 60;
constexpr std::uint32_t kPrerollGapMs = 50;

const CMidiTrackData* currentTrack() {
    CMidiFormat0Data* song = PlayerCore().currentSong;
    return song != nullptr ? song->track : nullptr;
}

}  // namespace

PlayerCoreState& PlayerCore() {
    static PlayerCoreState state;
    return state;
}

void ReportPlayerError(std::uint32_t code) {
    ReportCatalogError(CatalogModule::MDPL, code);
}

std::int64_t TicksPerMinute() {
    const PlayerCoreState& core = PlayerCore();
    CMidiFormat0Data* song = core.currentSong;
    if (song == nullptr) {
        return 0;
    }
    double ticks = static_cast<double>(song->division) * core.tempoPercent * core.tempoBpm * 0.01;
    return ticks > 0 ? static_cast<std::int64_t>(ticks) : 0;
}

std::uint32_t PreparePlayback(CMidiFormat0Data* song, int deviceId, std::int32_t startTick,
                              std::int32_t& offset) {
    PlayerCoreState& core = PlayerCore();
    offset = 0;
    if (song == nullptr || song->state != CMidiFormat0Data::kStateOnOff) {
        ReportPlayerError(kPlayerWrongState);
        return 0;
    }
    core.currentSong = song;
    core.outputDevice = new CMidiControl(deviceId);
    if (!core.outputDevice->IsOpen()) {
        delete core.outputDevice;
        core.outputDevice = nullptr;
        core.playerRunning = 0;
        return 0;
    }
    core.outputDevice->SendGmSystemOn();

    core.stopRequested = 0;
    core.playerRunning = 1;
    core.tempoBpm = kStartTempoBpm;
    core.tempoPercent = 100;
    core.periodBegun = 0;
    core.pendingTimer = 0;

    if (startTick == 0 || song->track == nullptr) {
        core.eventIndex = 0;
    } else {
        offset = ChaseToTick(*song->track, startTick, core.eventIndex);
    }

    if (!PrerollToFirstNote()) {
        // Every event has been sent: the run ends as at the end of the song.
        core.playerRunning = 0;
        return 0;
    }

    std::int64_t ticksPerMinute = TicksPerMinute();
    if (ticksPerMinute <= 0) {
        // No gap could be timed; the run ends instead of waiting for a tick
        // that never comes.
        ReportPlayerError(kPlayerBadTempo);
        core.playerRunning = 0;
        return 0;
    }
    core.timerPeriod = static_cast<std::int32_t>(60000 / ticksPerMinute);
    TimerService& timers = timerService();
    if (core.timerPeriod < static_cast<std::int32_t>(timers.minimumPeriod())) {
        // Without a timer no tick would ever come; the run ends at once.
        ReportPlayerError(kPlayerPeriodTooSmall);
        core.playerRunning = 0;
        return 0;
    }
    if (timers.beginPeriod(static_cast<std::uint32_t>(core.timerPeriod))) {
        core.periodBegun = static_cast<std::uint32_t>(core.timerPeriod);
    }
    return timers.minimumPeriod();
}

bool PrerollToFirstNote() {
    PlayerCoreState& core = PlayerCore();
    const CMidiTrackData* track = currentTrack();
    if (track == nullptr || track->count == 0) {
        return false;
    }
    for (;;) {
        const CMusicEvent* event = track->EventAt(core.eventIndex);
        if (event == nullptr) {
            return false;
        }
        if (event->status == kStatusNoteOn) {
            return true;
        }
        AdvanceEvent(*event);
        if (core.eventIndex >= track->count) {
            return false;
        }
        timerService().sleep(kPrerollGapMs);
    }
}

void SendEvent(const CMusicEvent& event) {
    PlayerCoreState& core = PlayerCore();
    CMidiControl* device = core.outputDevice;
    if (device == nullptr) {
        return;
    }
    int channel = event.channel & 0x0F;
    switch (event.status) {
        case kStatusNoteOff:
            device->NoteOff(event.note, event.channel);
            break;
        case kStatusNoteOn:
            device->NoteOn(event.note, event.velocity, event.channel);
            break;
        case kStatusControl:
            device->ShortMessage(event.value, event.subtype, kStatusControl + channel);
            break;
        case kStatusProgram:
            device->ProgramChange(event.value, event.channel);
            break;
        case kStatusPitchBend:
            device->ShortMessage(event.value, event.note, kStatusPitchBend + channel);
            break;
        case kStatusExclusive:
        case kStatusExclusiveEscape:
            device->SendExclusive(event.length, event.GetData());
            break;
        case kStatusMeta:
            if (event.subtype == kMetaTempo) {
                std::uint32_t tempo = static_cast<std::uint32_t>(event.value);
                if (tempo / 1000 == 0) {
                    ReportPlayerError(kPlayerBadTempo);
                    core.tempoBpm = kTooFastTempoBpm;
                } else {
                    core.tempoBpm = TempoToBeatsPerMinute(tempo);
                    if (core.tempoBpm < kSlowestTempoBpm) {
                        ReportPlayerError(kPlayerTempoTooSlow);
                        core.tempoBpm = kSlowestTempoBpm;
                    }
                }
            }
            break;
        default:
            break;
    }
}

std::int32_t AdvanceEvent(const CMusicEvent& event) {
    PlayerCoreState& core = PlayerCore();
    SendEvent(event);
    core.eventIndex += 1;
    const CMidiTrackData* track = currentTrack();
    const CMusicEvent* next = track != nullptr ? track->EventAt(core.eventIndex) : nullptr;
    if (next == nullptr) {
        return -1;
    }
    if (next->delta < 0) {
        ReportPlayerError(kPlayerNegativeDelta);
    }
    return next->delta;
}

void KillPendingTimers() {
    PlayerCoreState& core = PlayerCore();
    TimerService& timers = timerService();
    // A tick that is running when it is killed may arm the next one before it
    // returns; that one is killed in the next round.
    for (std::uint32_t id = core.pendingTimer.exchange(0); id != 0;
         id = core.pendingTimer.exchange(0)) {
        timers.killEvent(id);
    }
}

void EndTimerPeriod() {
    PlayerCoreState& core = PlayerCore();
    if (core.periodBegun != 0) {
        timerService().endPeriod(core.periodBegun);
        core.periodBegun = 0;
    }
}

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

std::uint32_t StartPlayerRun(CMidiFormat0Data* song, int deviceId, std::int32_t startTick,
                             void (*proc)(std::uint32_t, void*), void* player) {
    PlayerCoreState& core = PlayerCore();
    std::int32_t offset = 0;
    std::uint32_t resolution = PreparePlayback(song, deviceId, startTick, offset);
    core.tickPosition += offset;
    if (resolution == 0 || core.playerRunning != 1) {
        return 0;
    }
    return ArmPlayerTimer(core.timerPeriod, resolution, proc, player);
}

void ReleasePlayerRun() {
    KillPendingTimers();
    EndTimerPeriod();
    PlayerCoreState& core = PlayerCore();
    if (core.outputDevice != nullptr) {
        core.outputDevice->Close();
        delete core.outputDevice;
        core.outputDevice = nullptr;
    }
}

CMusicEvent* DueEvent() {
    PlayerCoreState& core = PlayerCore();
    if (core.stopRequested) {
        core.playerRunning = 0;
        return nullptr;
    }
    CMidiTrackData* track = core.currentSong != nullptr ? core.currentSong->track : nullptr;
    CMusicEvent* event = track != nullptr ? track->EventAt(core.eventIndex) : nullptr;
    if (event == nullptr) {
        ReportPlayerError(kPlayerBadPosition);
        core.playerRunning = 0;
    }
    return event;
}

std::int64_t GapInMs(std::int32_t delta) {
    std::int64_t ticksPerMinute = TicksPerMinute();
    if (ticksPerMinute == 0) {
        PlayerCore().playerRunning = 0;
        ReportPlayerError(kPlayerBadTempo);
        return -1;
    }
    return static_cast<std::int64_t>(delta) * 60000 / ticksPerMinute;
}
