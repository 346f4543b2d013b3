// Starting, ending and stopping playbacks on the virtual timer, and the ways a
// run ends early.
#include <gtest/gtest.h>

#include "app/midi/midi_player_core.h"
#include "app/platform/timer_service.h"
#include "player_fixture.h"

namespace {

TrackBytes twoNotes() {
    TrackBytes track;
    track.event(0, {0x90, 60, 100})
        .event(96, {0x80, 60, 0})
        .event(0, {0x90, 62, 100})
        .event(96, {0x80, 62, 0})
        .endOfTrack();
    return track;
}

// A virtual timer whose events can be made to fail.
class FailingTimers final : public TimerService {
  public:
    explicit FailingTimers(TimerService& inner) : inner_(inner) {}
    std::uint32_t setEvent(std::uint32_t delayMs, std::uint32_t resolutionMs, Callback callback,
                           void* user) override {
        return fail ? 0 : inner_.setEvent(delayMs, resolutionMs, callback, user);
    }
    bool killEvent(std::uint32_t timerId) override { return inner_.killEvent(timerId); }
    void sleep(std::uint32_t ms) override { inner_.sleep(ms); }
    std::uint64_t now() const override { return inner_.now(); }
    std::thread startThread(std::function<void()> body) override {
        return inner_.startThread(std::move(body));
    }
    bool fail = true;

  private:
    TimerService& inner_;
};

}  // namespace

TEST_F(PlayerTest, StopDuringALongRestKillsTheTimerAndEndsWithoutTheEndCallback) {
    // A five-second rest (20 quarters at 240 beats per minute) after the first note.
    TrackBytes track;
    track.event(0, {0x90, 60, 100}).event(1920, {0x80, 60, 0}).endOfTrack();
    CMidiFormat0Data song(writeTempFile(formatZeroFile(96, track)).c_str(), kSongCapacity);

    play(song);
    timers.sleep(100);
    std::uint64_t stopAt = timers.now();
    EXPECT_EQ(Stop(song), 1);

    // 21 polls of 100 ms, then the timer is killed; then one second of settling.
    EXPECT_EQ(timers.now() - stopAt, 2100u + 1000u);
    EXPECT_EQ(song.playCopy, nullptr);
    runToEnd();
    timers.sleep(10000);  // well past where the rest would have ended
    EXPECT_EQ(eventCalls().size(), 1u);
    EXPECT_TRUE(recordedEnds().empty());
    EXPECT_EQ(timers.pendingEvents(), 0u);
    EXPECT_EQ(outputs.openDevices(), 0);
    EXPECT_EQ(timerService().periodsInUse(), 0);
    // The device was reset before it closed.
    std::vector<RecordedMidiMessage> messages = outputs.messages();
    ASSERT_GE(messages.size(), 2u);
    EXPECT_EQ(messages[messages.size() - 2].kind, RecordedMidiMessage::Kind::reset);
    EXPECT_EQ(messages.back().kind, RecordedMidiMessage::Kind::close);
}

TEST_F(PlayerTest, StopBetweenShortGapsTakesEffectAtTheNextTick) {
    TrackBytes track;
    for (int i = 0; i < 40; ++i) {
        track.event(0, {0x90, 60, 100}).event(48, {0x80, 60, 0});
    }
    track.endOfTrack();
    CMidiFormat0Data song(writeTempFile(formatZeroFile(96, track)).c_str(), kSongCapacity);

    play(song);
    timers.sleep(1000);
    std::uint64_t stopAt = timers.now();
    std::size_t callsAtStop = eventCalls().size();
    Stop(song);

    // The next tick (at most 125 ms on) sees the request; both waits poll
    // every 100 ms; then one second of settling.
    EXPECT_GT(timers.now() - stopAt, 1000u);
    EXPECT_LE(timers.now() - stopAt, 1000u + 125u + 200u);
    EXPECT_EQ(eventCalls().size(), callsAtStop);
    EXPECT_TRUE(recordedEnds().empty());
}

TEST_F(PlayerTest, SongThatFailedToLoadEndsAtOnceWithTheEndCallback) {
    CMidiFormat0Data song("/nonexistent/korvane/none.mid", kSongCapacity);
    EXPECT_EQ(reportsStartingWith("GENE01000007"), 1);

    play(song);
    runToEnd();

    EXPECT_EQ(recordedEnds().size(), 1u);
    EXPECT_TRUE(eventCalls().empty());
    EXPECT_EQ(recordedCalls().size(), 1u);  // the announcement only
    EXPECT_EQ(outputs.openDevices(), 0);

    // A file that is no MIDI file loads into an empty song of division 0; its
    // play copy takes 96 ticks per quarter note and playing it adds no report
    // to the two of the load.
    CMidiFormat0Data junk(writeTempFile(std::vector<std::uint8_t>(300, 'x')).c_str(),
                          kSongCapacity);
    const std::size_t loadReports = recordedReports().size();
    EXPECT_EQ(reportsStartingWith("M1DT03000004"), 1);
    EXPECT_EQ(reportsStartingWith("M1DT03000003"), 1);
    play(junk);
    ASSERT_NE(junk.playCopy, nullptr);
    EXPECT_EQ(junk.playCopy->division, kPlayDivision);
    runToEnd();
    EXPECT_EQ(recordedEnds().size(), 2u);
    EXPECT_EQ(recordedReports().size(), loadReports);
}

TEST_F(PlayerTest, RunWithoutOutputDeviceEndsAtOnceAndReportsOnceForAMissingSystem) {
    CMidiFormat0Data song(writeTempFile(formatZeroFile(96, twoNotes())).c_str(), kSongCapacity);
    outputs.setDeviceCount(0);
    for (int run = 0; run < 2; ++run) {
        play(song);
        runToEnd();
    }
    EXPECT_EQ(recordedEnds().size(), 2u);
    EXPECT_TRUE(eventCalls().empty());
    EXPECT_EQ(reportsStartingWith("MDCT07000001"), 1);

    // A device that exists but does not open reports every time.
    outputs.setDeviceCount(1);
    outputs.setOpenFails(true);
    for (int run = 0; run < 2; ++run) {
        play(song);
        runToEnd();
    }
    EXPECT_EQ(recordedEnds().size(), 4u);
    EXPECT_EQ(reportsStartingWith("MDCT07000001"), 3);
}

TEST_F(PlayerTest, RunWhoseTimerCannotStartEndsAtOnceWithTheEndCallback) {
    // A tempo of 1000 microseconds in the pre-roll makes the period 0 ms, below
    // the timer's minimum.
    {
        TrackBytes track;
        track.tempo(0, 1000).event(0, {0x90, 60, 100}).event(96, {0x80, 60, 0}).endOfTrack();
        CMidiFormat0Data song(writeTempFile(formatZeroFile(96, track)).c_str(), kSongCapacity);
        play(song);
        runToEnd();
        EXPECT_EQ(reportsStartingWith("MDPL08000001"), 1);
        EXPECT_EQ(recordedEnds().size(), 1u);
    }
    // The first timer cannot be armed.
    {
        FailingTimers failing(timers);
        setTimerService(&failing);
        CMidiFormat0Data song(writeTempFile(formatZeroFile(96, twoNotes())).c_str(), kSongCapacity);
        play(song);
        runToEnd();
        setTimerService(&timers);
        EXPECT_EQ(reportsStartingWith("MDPL08000002"), 1);
        EXPECT_EQ(recordedEnds().size(), 2u);
    }
    EXPECT_TRUE(eventCalls().empty());
    EXPECT_EQ(outputs.openDevices(), 0);
    EXPECT_EQ(timerService().periodsInUse(), 0);
}

TEST_F(PlayerTest, EveryRunEndsTheTimerPeriodItBegan) {
    CMidiFormat0Data song(writeTempFile(formatZeroFile(96, twoNotes())).c_str(), kSongCapacity);
    play(song);
    EXPECT_EQ(timerService().periodsInUse(), 1);
    runToEnd();
    EXPECT_EQ(timerService().periodsInUse(), 0);
    play(song);
    Stop(song);
    runToEnd();
    EXPECT_EQ(timerService().periodsInUse(), 0);
}

TEST_F(PlayerTest, EndCallbackComesAtTheNextPollAfterTheLastEvent) {
    CMidiFormat0Data song(writeTempFile(formatZeroFile(96, twoNotes())).c_str(), kSongCapacity);
    play(song);
    runToEnd();
    std::vector<CallbackCall> calls = eventCalls();
    ASSERT_EQ(calls.size(), 5u);
    EXPECT_EQ(calls.back().timeMs, 502u);
    ASSERT_EQ(recordedEnds().size(), 1u);
    EXPECT_GE(recordedEnds()[0], 502u);
    EXPECT_LE(recordedEnds()[0], 602u);
    EXPECT_EQ(outputs.openDevices(), 0);
}

TEST_F(PlayerTest, PlayWhileAnEarlierPlaybackRunsWaitsForIt) {
    struct Case {
        std::uint32_t restTicks;    // of the earlier song, after its first note
        std::uint64_t earliestMs;   // the second Play returns no sooner
        std::uint64_t latestMs;     // ... and no later
        std::size_t endsOfEarlier;  // end callbacks of the earlier run
    };
    const Case cases[] = {
        {768, 2002, 2202, 1},  // ends on its own after 2 s, then its thread finishes
        // A 6.25 s rest: asked to stop after 50 polls, it stops at its next tick.
        {2400, 6252, 6452, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.restTicks);
        TrackBytes longTrack;
        longTrack.event(0, {0x90, 60, 100}).event(c.restTicks, {0x80, 60, 0}).endOfTrack();
        CMidiFormat0Data first(writeTempFile(formatZeroFile(96, longTrack)).c_str(), kSongCapacity);
        CMidiFormat0Data second(writeTempFile(formatZeroFile(96, twoNotes())).c_str(),
                                kSongCapacity);
        std::size_t endsBefore = recordedEnds().size();

        play(first);
        std::uint64_t firstStart = playStart;
        timers.sleep(10);
        play(second);
        std::uint64_t returned = timers.now() - firstStart;

        EXPECT_GE(returned, c.earliestMs);
        EXPECT_LE(returned, c.latestMs);
        EXPECT_EQ(recordedEnds().size(), endsBefore + c.endsOfEarlier);
        runToEnd();
        EXPECT_EQ(recordedEnds().size(), endsBefore + c.endsOfEarlier + 1);
    }
    EXPECT_EQ(reportsStartingWith("GENE01000004"), 0);
}

TEST_F(PlayerTest, TrimLeadingMeasuresStartsAtTheMeasureOfTheFirstNote) {
    // 4/4 at 96 ticks per quarter: 384 ticks per measure. The first note at
    // tick 900 is in the third measure, so 768 ticks go.
    TrackBytes track;
    track.event(0, {0xFF, 0x58, 0x04, 0x04, 0x02, 0x18, 0x08})
        .event(500, {0xB0, 7, 100})
        .event(400, {0x90, 60, 100})
        .event(96, {0x80, 60, 0})
        .endOfTrack();
    CMidiFormat0Data song(writeTempFile(formatZeroFile(96, track)).c_str(), kSongCapacity);

    play(song, 1);
    runToEnd();

    std::vector<CallbackCall> calls = recordedCalls();
    ASSERT_FALSE(calls.empty());
    EXPECT_FALSE(calls[0].hasEvent);
    EXPECT_EQ(calls[0].tick, 768);  // announced start position
    std::vector<CallbackCall> events = eventCalls();
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events[0].tick, 768 + 132);  // 900: the note keeps its place

    CMidiFormat0Data copy(song, kSongCapacity);
    copy.SetDivision(kPlayDivision);
    EXPECT_EQ(TrimLeadingMeasures(copy), 768);
    EXPECT_EQ(copy.track->EventAt(0)->delta, 0);
    EXPECT_EQ(copy.track->EventAt(1)->delta, 0);  // 500 lies within the trimmed part
    EXPECT_EQ(copy.track->EventAt(2)->delta, 132);
}

TEST_F(PlayerTest, StartInsideTheSongSendsWhatTheEventsBeforeItLeftSet) {
    TrackBytes track;
    track.event(0, {0xC1, 12})
        .event(0, {0xB1, 7, 80})
        .tempo(0, 500000)
        .event(0, {0x91, 60, 100})
        .event(96, {0x81, 60, 0})
        .event(0, {0x91, 64, 100})
        .event(96, {0x81, 64, 0})
        .endOfTrack();
    CMidiFormat0Data song(writeTempFile(formatZeroFile(96, track)).c_str(), kSongCapacity);
    CMidiFormat0Data* copy = new CMidiFormat0Data(song, kSongCapacity);
    copy->SetDivision(kPlayDivision);
    copy->ToOnOffForm();
    playStart = timers.now();

    StartPlayThread(copy, &recordEnd, &recordEvent, 0, true, 96, -1);
    runToEnd();

    using Sent = std::vector<std::pair<std::uint64_t, std::vector<std::uint8_t>>>;
    Sent expected = {
        {0, {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7}},
        // What the events before tick 96 left set, at once.
        {0, {0xC1, 12}},
        {0, {0xB1, 7, 80}},
        // The pre-roll sends the note off in front of the first note on.
        {0, {0x81, 60, 0}},
        // At 120 beats per minute (the chased tempo) the period is 5 ms.
        {55, {0x91, 64, 100}},
        {555, {0x81, 64, 0}},
    };
    EXPECT_EQ(sent(), expected);
    std::vector<CallbackCall> events = eventCalls();
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events[0].note, 64);
    EXPECT_EQ(events[0].index, 5);
    EXPECT_EQ(recordedEnds().size(), 1u);
}

TEST_F(PlayerTest, PlaybackWithoutEventCallbackPlaysEverythingOnTheDevice) {
    CMidiFormat0Data song(writeTempFile(formatZeroFile(96, twoNotes())).c_str(), kSongCapacity);
    CMidiFormat0Data* copy = new CMidiFormat0Data(song, kSongCapacity);
    copy->SetDivision(kPlayDivision);
    copy->ToOnOffForm();
    playStart = timers.now();

    StartPlayThread(copy, &recordEnd, nullptr, 0, true, 0, -1);
    runToEnd();

    using Sent = std::vector<std::pair<std::uint64_t, std::vector<std::uint8_t>>>;
    Sent expected = {
        {0, {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7}},
        {2, {0x90, 60, 100}},
        {252, {0x80, 60, 0}},
        {252, {0x90, 62, 100}},
        {502, {0x80, 62, 0}},
    };
    EXPECT_EQ(sent(), expected);
    EXPECT_EQ(recordedEnds().size(), 1u);
    EXPECT_TRUE(recordedCalls().empty());
}
