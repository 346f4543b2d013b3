// Playback of a song: the playback record (reports under MDSP), its thread,
// and the song operations that start and stop a playback. There is one
// playback at a time per process. Play and Stop run on the caller's thread
// (the user-interface thread); each Play makes one playback thread, which
// starts the player, waits for the end, calls the end callback and cleans up;
// the timer thread dispatches the events.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

#include "app/midi/callback_player.h"
#include "app/midi/midi_format0_data.h"
#include "app/midi/midi_player.h"
#include "app/midi/play_callbacks.h"

// What a playback thread runs with.
struct PlayThreadParams {
    CMidiFormat0Data* song = nullptr;
    PlayEndCallback endCallback = nullptr;
    PlayEventCallback eventCallback = nullptr;
    std::int32_t startPosition = 0;
    bool ownsSong = false;
    std::int32_t startTick = 0;
    std::int32_t endPosition = -1;
    // Who destroys the song: 0 its owner, 1 the playback thread when it is done
    // with it (an owned song, or a play copy whose stop could not wait for the
    // end), 2 the thread is done with it and left it to its owner.
    std::atomic<int> songDisposal{0};
};

class CMidiPlayback {
  public:
    CMidiPlayback() = default;
    ~CMidiPlayback();
    CMidiPlayback(const CMidiPlayback&) = delete;
    CMidiPlayback& operator=(const CMidiPlayback&) = delete;

    // Creates the player for the song: a CallBackPlayer when there is an event
    // callback, else a CMidiPlayer, on the default output. True when its output
    // device opened; otherwise the player stays, unused, until the next start.
    // A song not in on/off form reports 09000001 first. Thread: playback.
    bool Start(CMidiFormat0Data* song, PlayEventCallback eventCallback, std::int32_t startPosition,
               std::int32_t startTick, std::int32_t endPosition, PlayEndCallback endCallback);
    // Polls every 100 ms until the player has stopped running, then calls the
    // end callback unless a stop was requested. Thread: playback.
    void WaitForEnd(const PlayThreadParams& params);
    // Releases and destroys the player. Thread: playback.
    void Release();
    // Asks the running player to stop at its next tick. Thread: any.
    void RequestStop();
    // Kills the running player's pending timer (waiting for a running tick)
    // and marks it not running. Thread: any but the timer thread.
    void KillTimer();
    // Whether a player exists. Thread: any.
    bool HasPlayer() const;
    // MDSP report. Thread: any.
    static void ReportError(std::uint32_t code);

    // Joins the playback thread once it has finished; false while it still
    // runs. Thread: the caller's (the one that starts playbacks).
    bool JoinFinishedThread();

    std::atomic<int> finished{1};  // 1 while no playback thread runs
    std::atomic<PlayEventCallback> eventCallback{nullptr};
    std::atomic<CMidiPlayer*> simplePlayer{nullptr};
    std::atomic<CallBackPlayer*> callbackPlayer{nullptr};

  private:
    friend void StartPlayThread(CMidiFormat0Data*, PlayEndCallback, PlayEventCallback, std::int32_t,
                                bool, std::int32_t, std::int32_t);
    friend void DisposePlayCopy(CMidiFormat0Data& song);

    std::thread thread_;                        // the latest playback thread
    std::shared_ptr<PlayThreadParams> params_;  // what it runs with
};

// The process's playback record. Thread: any.
CMidiPlayback& Playback();

// Plays a copy of the song: the copy (capacity 393216) is converted to 96 ticks
// per quarter note and on/off form, the event callback is called with (0, start
// position, no event), and a playback thread plays it. Start mode 1 first
// removes the whole measures in front of the first note. Returns once the
// playback thread has created its player (or already ended). Thread: UI.
void Play(CMidiFormat0Data& song, PlayEndCallback endCallback, PlayEventCallback eventCallback,
          int startMode);

// Ends the running playback (at its next tick, or by killing its timer after
// about 2 s), destroys the play copy and returns 1, about a second later.
// Thread: UI.
int Stop(CMidiFormat0Data& song);

// Waits for an earlier playback to finish (asking it to stop after 5 s, giving
// up with GENE 01000004 after 10 s), then starts a playback thread for `song`
// and returns once it has created its player or finished. Thread: UI.
void StartPlayThread(CMidiFormat0Data* song, PlayEndCallback endCallback,
                     PlayEventCallback eventCallback, std::int32_t startPosition, bool ownsSong,
                     std::int32_t startTick, std::int32_t endPosition);

// The playback thread's body. Thread: playback.
void PlaybackThread(PlayThreadParams& params);

// Removes the whole measures in front of the first note from the start of the
// track and returns the ticks removed. Requires state 1 or 2 (else 04000005
// and 0). Thread: UI.
std::int32_t TrimLeadingMeasures(CMidiFormat0Data& song);

// Destroys the song's play copy now, or, while a playback thread still works
// on it, hands it to that thread to destroy when done. Thread: UI.
void DisposePlayCopy(CMidiFormat0Data& song);

inline constexpr std::uint32_t kPlaybackWrongState = 0x09000001;
inline constexpr std::uint32_t kSongStopFailed = 0x0400000A;
