// A format-1 file written by Debian's csvmidi is loaded and compared with what
// midicsv lists for the same file: the notes (start, channel, key, velocity,
// length), controller, program and pitch-bend events and tempos.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <deque>
#include <map>
#include <memory>
#include <sstream>
#include <tuple>

#include "app/midi/midi_format0_data.h"
#include "tests/midi/midi_test_support.h"

namespace {

using NoteRow = std::tuple<long, int, int, int, long>;  // tick, channel, key, velocity, length
using OtherRow = std::tuple<long, int, int, int, int>;  // tick, status, channel, a, b

std::string RunCapture(const std::string& command) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return out;
    }
    char buffer[4096];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        out.append(buffer, got);
    }
    pclose(pipe);
    return out;
}

// Three tracks: a conductor track with tempo changes, and two instrument tracks
// with chords, repeated keys, controllers, program changes and pitch bends.
std::string MakeCsv() {
    std::ostringstream csv;
    csv << "0, 0, Header, 1, 3, 480\n";
    csv << "1, 0, Start_track\n1, 0, Title_t, \"Conductor\"\n1, 0, Tempo, 500000\n"
           "1, 0, Time_signature, 3, 2, 24, 8\n1, 1920, Tempo, 400000\n"
           "1, 5000, Tempo, 600000\n1, 9000, End_track\n";
    unsigned seed = 12345;
    auto next = [&seed](unsigned range) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) % range;
    };
    for (int track = 2; track <= 3; ++track) {
        const int channel = track == 2 ? 0 : 9;
        std::vector<std::pair<long, std::string>> lines;
        lines.emplace_back(
            0, "Program_c, " + std::to_string(channel) + ", " + std::to_string(track * 7));
        long tick = 0;
        for (int i = 0; i < 120; ++i) {
            tick += next(4) * 60;
            const int chord = 1 + static_cast<int>(next(3));
            for (int k = 0; k < chord; ++k) {
                const int key = 40 + static_cast<int>(next(40));
                const long length = 30 + static_cast<long>(next(8)) * 45;
                const int velocity = 1 + static_cast<int>(next(127));
                lines.emplace_back(tick, "Note_on_c, " + std::to_string(channel) + ", " +
                                             std::to_string(key) + ", " + std::to_string(velocity));
                // Half of the note offs as note ons of velocity 0.
                const std::string ch = std::to_string(channel) + ", " + std::to_string(key);
                lines.emplace_back(tick + length,
                                   next(2) ? "Note_off_c, " + ch + ", " + std::to_string(next(128))
                                           : "Note_on_c, " + ch + ", 0");
            }
            if (next(5) == 0) {
                lines.emplace_back(tick, "Control_c, " + std::to_string(channel) + ", 7, " +
                                             std::to_string(next(128)));
            }
            if (next(7) == 0) {
                lines.emplace_back(tick + 10, "Pitch_bend_c, " + std::to_string(channel) + ", " +
                                                  std::to_string(next(16384)));
            }
        }
        std::stable_sort(lines.begin(), lines.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        csv << track << ", 0, Start_track\n";
        for (const auto& [at, text] : lines) {
            csv << track << ", " << at << ", " << text << "\n";
        }
        csv << track << ", " << (lines.empty() ? 0 : lines.back().first) << ", End_track\n";
    }
    csv << "0, 0, End_of_file\n";
    return csv.str();
}

struct Listing {
    std::vector<NoteRow> notes;
    std::vector<OtherRow> others;
    std::vector<std::pair<long, int>> tempos;
};

// What midicsv lists, with note ons paired to the earliest following note off
// of their key (a note on of velocity 0 ends a note).
Listing ParseMidicsv(const std::string& text) {
    Listing out;
    std::map<std::tuple<int, int, int>, std::deque<std::pair<long, int>>> sounding;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> f;
        std::istringstream fields(line);
        std::string field;
        while (std::getline(fields, field, ',')) {
            field.erase(0, field.find_first_not_of(' '));
            f.push_back(field);
        }
        if (f.size() < 3) {
            continue;
        }
        const int track = std::stoi(f[0]);
        const long tick = std::stol(f[1]);
        const std::string& type = f[2];
        if (type == "Note_on_c" || type == "Note_off_c") {
            const int channel = std::stoi(f[3]), key = std::stoi(f[4]), velocity = std::stoi(f[5]);
            auto& queue = sounding[{track, channel, key}];
            if (type == "Note_on_c" && velocity > 0) {
                queue.emplace_back(tick, velocity);
            } else if (!queue.empty()) {
                auto [start, startVelocity] = queue.front();
                queue.pop_front();
                if (tick > start) {
                    out.notes.emplace_back(start, channel, key, startVelocity, tick - start);
                }
            }
        } else if (type == "Control_c") {
            out.others.emplace_back(tick, 0xB0, std::stoi(f[3]), std::stoi(f[4]), std::stoi(f[5]));
        } else if (type == "Program_c") {
            out.others.emplace_back(tick, 0xC0, std::stoi(f[3]), std::stoi(f[4]), 0);
        } else if (type == "Pitch_bend_c") {
            const int value = std::stoi(f[4]);
            out.others.emplace_back(tick, 0xE0, std::stoi(f[3]), value & 0x7F, value >> 7);
        } else if (type == "Tempo") {
            out.tempos.emplace_back(tick, std::stoi(f[3]));
        }
    }
    return out;
}

Listing FromSong(const CMidiFormat0Data& song) {
    Listing out;
    long tick = 0;
    for (int i = 0; i < song.track->count; ++i) {
        const CMusicEvent& e = *song.track->events[i];
        tick += e.delta;
        switch (e.status) {
            case kStatusNote:
                out.notes.emplace_back(tick, e.channel, e.note, e.velocity, e.duration);
                break;
            case kStatusControl:
                out.others.emplace_back(tick, 0xB0, e.channel, e.subtype, e.value);
                break;
            case kStatusProgram:
                out.others.emplace_back(tick, 0xC0, e.channel, e.value, 0);
                break;
            case kStatusPitchBend:
                out.others.emplace_back(tick, 0xE0, e.channel, e.note, e.value);
                break;
            case kStatusMeta:
                if (e.subtype == kMetaTempo) {
                    out.tempos.emplace_back(tick, e.value);
                }
                break;
        }
    }
    return out;
}

class MidicsvComparison : public ReportRecorder {};

TEST_F(MidicsvComparison, LoadedSongMatchesTheListing) {
    const std::string csvmidi = KORVANE_CSVMIDI;
    const std::string midicsv = KORVANE_MIDICSV;
    if (csvmidi.empty() || midicsv.empty() || csvmidi.find("NOTFOUND") != std::string::npos ||
        midicsv.find("NOTFOUND") != std::string::npos) {
        GTEST_SKIP() << "csvmidi/midicsv (Debian package midicsv) is not installed";
    }
    TempDir dir;
    const std::string csvPath = (dir.path() / "song.csv").string();
    const std::string midPath = (dir.path() / "song.mid").string();
    {
        std::string text = MakeCsv();
        dir.Write("song.csv", Bytes(text.begin(), text.end()));
    }
    ASSERT_EQ(std::system(("'" + csvmidi + "' '" + csvPath + "' '" + midPath + "'").c_str()), 0);
    Listing expected = ParseMidicsv(RunCapture("'" + midicsv + "' '" + midPath + "'"));
    ASSERT_GT(expected.notes.size(), 300u);

    CMidiFormat0Data song(midPath.c_str(), kSongCapacity);
    EXPECT_TRUE(reports.empty()) << reports.front();
    EXPECT_EQ(song.division, 480);
    Listing got = FromSong(song);

    // At one tick the merge may order tracks' events differently from the file;
    // times, keys and lengths must agree.
    for (Listing* listing : {&expected, &got}) {
        std::sort(listing->notes.begin(), listing->notes.end());
        std::sort(listing->others.begin(), listing->others.end());
    }
    EXPECT_EQ(got.notes, expected.notes);
    EXPECT_EQ(got.others, expected.others);
    EXPECT_EQ(got.tempos, expected.tempos);
    // The ticks of the merged track run in order and end with one End-of-Track.
    const CMusicEvent& last = *song.track->events[song.track->count - 1];
    EXPECT_EQ(last.subtype, kMetaEndOfTrack);
}

}  // namespace
