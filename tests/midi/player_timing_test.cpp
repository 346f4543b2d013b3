// Timing of a playback on the virtual timer: when each event reaches the
// event callback, what reaches the output device and when.
#include <gtest/gtest.h>

#include "app/midi/midi_player_core.h"
#include "player_fixture.h"

namespace {

using Times = std::vector<std::pair<std::uint64_t, int>>;  // (ms since Play, note)

// (time, note) of the note-on callbacks.
Times noteOnTimes(const std::vector<CallbackCall>& calls) {
    Times times;
    for (const CallbackCall& call : calls) {
        if (call.status == kStatusNoteOn) {
            times.emplace_back(call.timeMs, call.note);
        }
    }
    return times;
}

}  // namespace

TEST_F(PlayerTest, QuarterNoteLasts250MsWithoutTempoAndSongStaysUnchanged) {
    // 480 ticks per quarter in the file; the play copy has 96.
    TrackBytes track;
    track.event(0, {0x90, 60, 100})
        .event(480, {0x80, 60, 0})
        .event(0, {0x90, 62, 100})
        .event(480, {0x80, 62, 0})
        .endOfTrack();
    CMidiFormat0Data song(writeTempFile(formatZeroFile(480, track)).c_str(), kSongCapacity);
    ASSERT_EQ(song.division, 480);

    play(song);
    runToEnd();

    std::vector<CallbackCall> calls = eventCalls();
    ASSERT_EQ(calls.size(), 5u);
    // The first event at the first tick (timerPeriod = 60000 / (96 * 240) = 2).
    EXPECT_EQ(calls[0].timeMs, 2u);
    EXPECT_EQ(calls[1].timeMs, 252u);  // note off 60
    EXPECT_EQ(calls[1].status, kStatusNoteOff);
    EXPECT_EQ(calls[1].tick, 96);
    EXPECT_EQ(calls[2].timeMs, 252u);  // note on 62, same tick
    EXPECT_EQ(calls[3].timeMs, 502u);  // note off 62
    EXPECT_EQ(calls[3].tick, 192);
    ASSERT_EQ(recordedEnds().size(), 1u);

    // The song is untouched and plays the same way again.
    EXPECT_EQ(song.division, 480);
    EXPECT_EQ(song.state, CMidiFormat0Data::kStateNoteForm);
    std::vector<CallbackCall> first = calls;
    play(song);
    runToEnd();
    std::vector<CallbackCall> second = eventCalls();
    ASSERT_EQ(second.size(), 10u);
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(second[5 + i].timeMs, first[i].timeMs) << i;
        EXPECT_EQ(second[5 + i].index, first[i].index) << i;
    }
}

TEST_F(PlayerTest, TempoEventSetsTheGapsThatFollowIt) {
    // A tempo of 500000 (120 beats per minute) in front of the first note: the
    // pre-roll sends it, so timerPeriod is 60000 / 11520 = 5 and gaps of 96, 48
    // and 1 tick last 500, 250 and 5 ms.
    TrackBytes track;
    track.tempo(0, 500000)
        .event(0, {0x90, 60, 100})
        .event(480, {0x80, 60, 0})
        .event(0, {0x90, 62, 100})
        .event(240, {0x80, 62, 0})
        .event(0, {0x90, 64, 100})
        .event(5, {0x80, 64, 0})
        .endOfTrack();
    CMidiFormat0Data song(writeTempFile(formatZeroFile(480, track)).c_str(), kSongCapacity);

    play(song);
    runToEnd();

    EXPECT_EQ(PlayerCore().timerPeriod, 5);
    // 50 ms of pre-roll after the tempo, then the first tick 5 ms later.
    Times expected = {{55, 60}, {555, 62}, {805, 64}};
    EXPECT_EQ(noteOnTimes(eventCalls()), expected);
    std::vector<CallbackCall> calls = eventCalls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back().timeMs, 810u);  // the End-of-Track after the 1-tick note
    // The pre-rolled tempo went around the callback: indexes start at 1.
    EXPECT_EQ(calls.front().index, 1);
    EXPECT_EQ(reportsStartingWith("MDPL"), 0);
}

TEST_F(PlayerTest, TempoOutsideTheRangeIsClampedWithItsReport) {
    struct Case {
        std::uint32_t tempo;
        const char* report;   // expected report prefix, or null
        std::uint64_t gapMs;  // of the quarter note after the tempo
    };
    const Case cases[] = {
        {7000000, "MDPL08000003", 6000},  // 8 beats per minute: played at 10
        {999, "MDPL08000006", 1000},      // below 1000 microseconds: played at 60
        {1999, nullptr, 1},               // 60000 beats per minute
        {6000000, nullptr, 6000},         // exactly 10 beats per minute
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tempo);
        TrackBytes track;
        track.event(0, {0x90, 60, 100}).tempo(0, c.tempo).event(96, {0x80, 60, 0}).endOfTrack();
        CMidiFormat0Data song(writeTempFile(formatZeroFile(96, track)).c_str(), kSongCapacity);
        int before = c.report ? reportsStartingWith(c.report) : 0;
        std::size_t callsBefore = eventCalls().size();

        play(song);
        runToEnd();

        std::vector<CallbackCall> calls = eventCalls();
        ASSERT_EQ(calls.size(), callsBefore + 4);
        EXPECT_EQ(calls[callsBefore + 2].timeMs - calls[callsBefore + 1].timeMs, c.gapMs);
        if (c.report) {
            EXPECT_EQ(reportsStartingWith(c.report), before + 1);
        }
    }
    EXPECT_EQ(reportsStartingWith("MDPL08000003") + reportsStartingWith("MDPL08000006"), 2);
}

TEST_F(PlayerTest, SilenceBeforeTheFirstNoteIsNotPlayed) {
    // Two seconds (8 quarters at 240 beats per minute) before the first event.
    TrackBytes track;
    track.event(3840, {0x90, 60, 100}).event(480, {0x80, 60, 0}).endOfTrack();
    CMidiFormat0Data song(writeTempFile(formatZeroFile(480, track)).c_str(), kSongCapacity);

    play(song);
    runToEnd();

    std::vector<CallbackCall> calls = eventCalls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].timeMs, 2u);
    EXPECT_EQ(calls[0].tick, 768);  // the tick position still counts the silence
    EXPECT_EQ(calls[1].timeMs, 252u);
}

TEST_F(PlayerTest, CallbackSeesTheAnnouncementThenConsecutiveEventsFromTheFirstNote) {
    TrackBytes track;
    track
        .event(0, {0xC0, 5})        // pre-rolled: straight to the device
        .event(0, {0xB0, 7, 100})   // pre-rolled
        .event(0, {0x90, 60, 100})  // index 2: the first the callback sees
        .event(0, {0xB0, 10, 64})   // same tick
        .event(96, {0x80, 60, 0})
        .endOfTrack();
    CMidiFormat0Data song(writeTempFile(formatZeroFile(96, track)).c_str(), kSongCapacity);

    play(song);
    runToEnd();

    std::vector<CallbackCall> calls = recordedCalls();
    ASSERT_EQ(calls.size(), 5u);
    EXPECT_FALSE(calls[0].hasEvent);
    EXPECT_EQ(calls[0].index, 0);
    EXPECT_EQ(calls[0].tick, 0);
    EXPECT_EQ(calls[0].timeMs, 0u);
    for (std::size_t i = 1; i < calls.size(); ++i) {
        EXPECT_TRUE(calls[i].hasEvent);
        EXPECT_EQ(calls[i].index, static_cast<int>(i) + 1);
    }
    // The pre-roll waits 50 ms after each event it sends.
    EXPECT_EQ(calls[1].timeMs, 100u + 2u);

    using Sent = std::vector<std::pair<std::uint64_t, std::vector<std::uint8_t>>>;
    Sent expected = {
        {0, {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7}},  // General MIDI system on
        {0, {0xC0, 5}},
        {50, {0xB0, 7, 100}},
        {102, {0x90, 60, 100}},
        {102, {0xB0, 10, 64}},
        {352, {0x80, 60, 0}},
    };
    EXPECT_EQ(sent(), expected);
}

TEST_F(PlayerTest, ConsumedEventsDoNotReachTheDevice) {
    setEventTreatment(EventTreatment::consumeNotes);
    TrackBytes track;
    track.event(0, {0x90, 60, 100})
        .event(0, {0xB0, 7, 90})
        .event(96, {0x80, 60, 64})
        .event(0, {0xE0, 0, 64})
        .endOfTrack();
    CMidiFormat0Data song(writeTempFile(formatZeroFile(96, track)).c_str(), kSongCapacity);

    play(song);
    runToEnd();

    using Sent = std::vector<std::pair<std::uint64_t, std::vector<std::uint8_t>>>;
    Sent expected = {
        {0, {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7}},
        {2, {0xB0, 7, 90}},
        {252, {0xE0, 0, 64}},
    };
    EXPECT_EQ(sent(), expected);
    EXPECT_EQ(eventCalls().size(), 5u);  // the callback still saw every event
}
