#include "app/midi/midi_playback.h"

#include "app/midi/error_catalogs.h"
#include "app/platform/midi_output.h"
#include "app/platform/timer_service.h"

namespace {

constexpr std::uint32_t kFinishPollMs = 100;
constexpr std::uint32_t kPlayerPollMs = 50;
constexpr int kPollsBeforeStopRequest = 50;
constexpr int kPollsBeforeGivingUp = 100;
constexpr int kStopPlayerPolls = 30;
constexpr int kStopFinishPolls = 20;
constexpr std::uint32_t kStopSettleMs = 1000;

}  // namespace

CMidiPlayback& Playback() {
    static CMidiPlayback playback;
    return playback;
}

CMidiPlayback::~CMidiPlayback() {
    // At the end of the process a thread that still runs is let go rather than
    // ending the process with a joinable thread.
    if (thread_.joinable()) {
        if (finished == 1) {
            thread_.join();
        } else {
            thread_.detach();
        }
    }
}

void CMidiPlayback::ReportError(std::uint32_t code) {
    ReportCatalogError(CatalogModule::MDSP, code);
}

bool CMidiPlayback::Start(CMidiFormat0Data* song, PlayEventCallback eventCallback,
                          std::int32_t startPosition, std::int32_t startTick,
                          std::int32_t endPosition, PlayEndCallback endCallback) {
    this->eventCallback = nullptr;
    if (song == nullptr || song->state != CMidiFormat0Data::kStateOnOff) {
        ReportError(kPlaybackWrongState);
    }
    if (eventCallback != nullptr) {
        this->eventCallback = eventCallback;
        CallBackPlayer* player =
            endCallback != nullptr
                ? new CallBackPlayer(song, kDefaultMidiOutput, endCallback, eventCallback,
                                     startPosition, startTick, endPosition)
                : new CallBackPlayer(song, kDefaultMidiOutput, eventCallback, startPosition,
                                     startTick, endPosition);
        simplePlayer = nullptr;
        callbackPlayer = player;
        return player->HasOpenDevice();
    }
    CMidiPlayer* player = new CMidiPlayer(song, kDefaultMidiOutput);
    callbackPlayer = nullptr;
    simplePlayer = player;
    return player->HasOpenDevice();
}

void CMidiPlayback::WaitForEnd(const PlayThreadParams& params) {
    PlayerCoreState& core = PlayerCore();
    while (core.playerRunning == 1) {
        timerService().sleep(kFinishPollMs);
    }
    if (!core.stopRequested && params.endCallback != nullptr) {
        params.endCallback();
    }
}

void CMidiPlayback::Release() {
    if (eventCallback.load() != nullptr) {
        CallBackPlayer* player = callbackPlayer.exchange(nullptr);
        if (player != nullptr) {
            player->Release();
            delete player;
        }
        eventCallback = nullptr;
    } else {
        CMidiPlayer* player = simplePlayer.exchange(nullptr);
        if (player != nullptr) {
            player->Release();
            delete player;
        }
    }
}

void CMidiPlayback::RequestStop() {
    if (HasPlayer()) {
        PlayerCore().stopRequested = 1;
    }
}

void CMidiPlayback::KillTimer() {
    // The timer ids live in the core, so a player that its thread is just
    // releasing is never touched from here.
    KillPendingTimers();
    PlayerCore().playerRunning = 0;
}

bool CMidiPlayback::HasPlayer() const {
    return simplePlayer.load() != nullptr || callbackPlayer.load() != nullptr;
}

bool CMidiPlayback::JoinFinishedThread() {
    if (finished == 0) {
        return false;
    }
    if (thread_.joinable()) {
        thread_.join();
    }
    return true;
}

void PlaybackThread(PlayThreadParams& params) {
    CMidiPlayback& playback = Playback();
    playback.finished = 0;
    bool started = playback.Start(params.song, params.eventCallback, params.startPosition,
                                  params.startTick, params.endPosition, params.endCallback);
    if (started) {
        playback.WaitForEnd(params);
        // The timer chain stops and the device closes before the song may go.
        playback.Release();
    } else if (params.endCallback != nullptr) {
        params.endCallback();
    }
    if (params.songDisposal.exchange(2) == 1) {
        delete params.song;
    }
    playback.finished = 1;
}

void StartPlayThread(CMidiFormat0Data* song, PlayEndCallback endCallback,
                     PlayEventCallback eventCallback, std::int32_t startPosition, bool ownsSong,
                     std::int32_t startTick, std::int32_t endPosition) {
    CMidiPlayback& playback = Playback();
    TimerService& timers = timerService();
    for (int polls = 0; playback.finished == 0;) {
        timers.sleep(kFinishPollMs);
        ++polls;
        if (polls == kPollsBeforeStopRequest) {
            playback.RequestStop();
        }
        if (polls > kPollsBeforeGivingUp) {
            ReportGeneralError(kGenePerformanceDropped);
            break;
        }
    }
    if (playback.thread_.joinable()) {
        if (playback.finished == 1) {
            playback.thread_.join();
        } else {
            playback.thread_.detach();
        }
    }
    if (playback.finished == 1) {
        // A player left behind by a start that failed: its device never opened
        // and it armed no timer.
        delete playback.callbackPlayer.exchange(nullptr);
        delete playback.simplePlayer.exchange(nullptr);
        playback.eventCallback = nullptr;
    }

    auto params = std::make_shared<PlayThreadParams>();
    params->song = song;
    params->endCallback = endCallback;
    params->eventCallback = eventCallback;
    params->startPosition = startPosition;
    params->ownsSong = ownsSong;
    params->startTick = startTick;
    params->endPosition = endPosition;
    params->songDisposal = ownsSong ? 1 : 0;
    playback.params_ = params;

    // Marked here, not only in the thread, so that the wait below cannot miss a
    // run that ends before its first poll.
    playback.finished = 0;
    playback.thread_ = timers.startThread([params] { PlaybackThread(*params); });
    while (!playback.HasPlayer() && playback.finished == 0) {
        timers.sleep(kPlayerPollMs);
    }
}

void DisposePlayCopy(CMidiFormat0Data& song) {
    CMidiFormat0Data* copy = song.playCopy;
    song.playCopy = nullptr;
    if (copy == nullptr) {
        return;
    }
    std::shared_ptr<PlayThreadParams> params = Playback().params_;
    if (params && params->song == copy) {
        int expected = 0;
        if (params->songDisposal.compare_exchange_strong(expected, 1) || expected == 1) {
            return;  // the playback thread destroys it when it is done
        }
    }
    delete copy;
}

void Play(CMidiFormat0Data& song, PlayEndCallback endCallback, PlayEventCallback eventCallback,
          int startMode) {
    DisposePlayCopy(song);
    CMidiFormat0Data* copy = new CMidiFormat0Data(song, kSongCapacity);
    song.playCopy = copy;
    copy->SetDivision(kPlayDivision);
    copy->ToOnOffForm();
    std::int32_t startPosition = startMode == 1 ? TrimLeadingMeasures(*copy) : 0;
    if (eventCallback != nullptr) {
        eventCallback(0, startPosition, nullptr);
    }
    StartPlayThread(copy, endCallback, eventCallback, startPosition, false, 0, -1);
}

int Stop(CMidiFormat0Data& song) {
    CMidiPlayback& playback = Playback();
    TimerService& timers = timerService();
    for (int polls = 0; !playback.HasPlayer();) {
        timers.sleep(kFinishPollMs);
        if (++polls > kStopPlayerPolls) {
            CMidiFormat0Data::ReportError(kSongStopFailed);
            break;
        }
    }
    playback.RequestStop();
    for (int polls = 0; playback.finished == 0;) {
        timers.sleep(kFinishPollMs);
        if (++polls > kStopFinishPolls) {
            playback.KillTimer();
            break;
        }
    }
    DisposePlayCopy(song);
    timers.sleep(kStopSettleMs);
    return 1;
}

std::int32_t TrimLeadingMeasures(CMidiFormat0Data& song) {
    if (song.state != CMidiFormat0Data::kStateOnOff &&
        song.state != CMidiFormat0Data::kStateNoteForm) {
        CMidiFormat0Data::ReportError(kSongWrongState);
        return 0;
    }
    CMidiTrackData* track = song.track;
    if (track == nullptr || track->count == 0) {
        return 0;
    }
    std::int32_t signature = song.timeSignature;
    for (std::int32_t i = 0; signature == 0 && i < track->count; ++i) {
        const CMusicEvent* event = track->EventAt(i);
        if (event->status == kStatusMeta && event->subtype == kMetaTimeSignature) {
            signature = event->value;
        }
    }
    std::int64_t ticksPerMeasure = 384;
    if (signature != 0) {
        std::int32_t numerator = signature / 256;
        std::int32_t denominator = signature % 256;
        // A denominator of 0 cannot be divided by; the measure keeps 384 ticks.
        if (denominator > 0) {
            ticksPerMeasure =
                static_cast<std::int64_t>(4.0 / denominator * numerator * song.division);
        }
    }
    if (ticksPerMeasure <= 0) {
        return 0;
    }
    std::int32_t noteStatus =
        song.state == CMidiFormat0Data::kStateOnOff ? kStatusNoteOn : kStatusNote;
    std::int64_t firstNote = -1;
    std::int64_t ticks = 0;
    for (std::int32_t i = 0; i < track->count; ++i) {
        const CMusicEvent* event = track->EventAt(i);
        ticks += event->delta;
        if (event->status == noteStatus) {
            firstNote = ticks;
            break;
        }
    }
    if (firstNote < 0) {
        return 0;  // nothing sounds: nothing to trim toward
    }
    std::int64_t removed = firstNote / ticksPerMeasure * ticksPerMeasure;
    if (removed == 0) {
        return 0;
    }
    std::int64_t sum = 0;
    for (std::int32_t i = 0; i < track->count; ++i) {
        CMusicEvent* event = track->EventAt(i);
        sum += event->delta;
        if (sum > removed) {
            event->delta = static_cast<std::int32_t>(sum - removed);
            break;
        }
        event->delta = 0;
    }
    return static_cast<std::int32_t>(removed);
}
