// The --schedule view of korvane-mididump.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "player_fixture.h"
#include "tools/mididump/schedule_mode.h"

TEST(ScheduleModeTest, PrintsCallbacksMessagesAndTheEndInTimeOrder) {
    TrackBytes track;
    track.tempo(0, 500000).event(0, {0x90, 60, 100}).event(96, {0x80, 60, 0}).endOfTrack();
    CMidiFormat0Data song(writeTempFile(formatZeroFile(96, track)).c_str(), kSongCapacity);

    std::FILE* out = std::tmpfile();
    ASSERT_NE(out, nullptr);
    WriteSchedule(song, out);
    std::rewind(out);
    std::string text;
    for (int c = std::fgetc(out); c != EOF; c = std::fgetc(out)) {
        text.push_back(static_cast<char>(c));
    }
    std::fclose(out);

    // The tempo goes out in the pre-roll (50 ms), the first tick comes 5 ms
    // later, a quarter at 120 beats per minute lasts 500 ms, and the playback
    // thread sees the end at its next 100 ms poll.
    EXPECT_EQ(text,
              "cb 0 0 0 - - - -\n"
              "out 0 F07E7F0901F7\n"
              "cb 55 1 0 90 0 60 100\n"
              "out 55 903C64\n"
              "cb 555 2 96 80 0 60 64\n"
              "out 555 803C00\n"
              "cb 555 3 96 FF 255 0 0\n"
              "end 650\n");
    EXPECT_EQ(song.playCopy, nullptr);  // the loaded song is left as it was
}
