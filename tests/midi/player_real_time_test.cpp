// One playback on the real timer, to its end.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "app/platform/app_message.h"
#include "app/platform/timer_service.h"
#include "player_fixture.h"

TEST(RealTimePlaybackTest, ShortSongPlaysToItsEndOnTheRealTimer) {
    setEventTreatment(EventTreatment::leave);
    RecordingMidiOutputSystem outputs;
    setMidiOutputSystem(&outputs);
    std::vector<std::string> reports;
    setAppMessageHandler(
        [&](const std::string& text, const std::string&) { reports.push_back(text); });

    TrackBytes track;
    track.event(0, {0x90, 60, 100})
        .event(96, {0x80, 60, 0})
        .event(0, {0x90, 64, 100})
        .event(48, {0x80, 64, 0})
        .endOfTrack();
    std::size_t endsBefore = recordedEnds().size();
    {
        CMidiFormat0Data song(writeTempFile(formatZeroFile(96, track)).c_str(), kSongCapacity);
        Play(song, &recordEnd, &recordEvent, 0);
        // Bounded wait: the song lasts 375 ms.
        for (int i = 0; i < 500 && !Playback().JoinFinishedThread(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        ASSERT_TRUE(Playback().JoinFinishedThread());
    }
    setAppMessageHandler(nullptr);
    setMidiOutputSystem(nullptr);

    EXPECT_EQ(recordedEnds().size(), endsBefore + 1);
    EXPECT_TRUE(reports.empty());
    EXPECT_EQ(timerService().periodsInUse(), 0);

    std::vector<RecordedMidiMessage> notes;
    for (const RecordedMidiMessage& message : outputs.messages()) {
        if (message.kind == RecordedMidiMessage::Kind::shortMessage) {
            notes.push_back(message);
        }
    }
    using Bytes = std::vector<std::uint8_t>;
    ASSERT_EQ(notes.size(), 4u);
    EXPECT_EQ(notes[0].bytes, (Bytes{0x90, 60, 100}));
    EXPECT_EQ(notes[1].bytes, (Bytes{0x80, 60, 0}));
    EXPECT_EQ(notes[2].bytes, (Bytes{0x90, 64, 100}));
    EXPECT_EQ(notes[3].bytes, (Bytes{0x80, 64, 0}));
    // A timer never fires early: the gaps last at least their length.
    EXPECT_GE(notes[1].timeMs - notes[0].timeMs, 250u);
    EXPECT_GE(notes[3].timeMs - notes[2].timeMs, 125u);
    EXPECT_EQ(outputs.openDevices(), 0);
}
