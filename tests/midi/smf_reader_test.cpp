#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <tuple>

#include "app/midi/midi_format0_data.h"
#include "app/midi/midi_format1_data.h"
#include "tests/midi/midi_test_support.h"

namespace {

using SongPtr = std::unique_ptr<CMidiFormat0Data>;

// Every field that a song's meaning depends on.
using EventRow = std::tuple<int, int, int, int, int, int, int, int, Bytes>;
std::vector<EventRow> SongRows(const CMidiFormat0Data& song) {
    std::vector<EventRow> rows;
    for (int i = 0; i < song.track->count; ++i) {
        const CMusicEvent& e = *song.track->events[i];
        rows.emplace_back(e.delta, e.status, e.channel, e.note, e.velocity, e.duration, e.subtype,
                          e.value, e.data ? Bytes(e.data, e.data + e.length) : Bytes{});
    }
    return rows;
}

Bytes Format0(const Bytes& events, int division = 96) {
    return Concat({HeaderChunk(0, 1, division), TrackChunk(events)});
}

Bytes Format1(const std::vector<Bytes>& tracks, int declared = -1, int division = 96) {
    Bytes file =
        HeaderChunk(1, declared < 0 ? static_cast<int>(tracks.size()) : declared, division);
    for (const Bytes& events : tracks) {
        Bytes chunk = TrackChunk(events);
        file.insert(file.end(), chunk.begin(), chunk.end());
    }
    return file;
}

const Bytes kEnd{0, 0xFF, 0x2F, 0x00};
const Bytes kMasterVolume{0, 0xF0, 0x07, 0x7F, 0x7F, 0x04, 0x01, 0x00, 0x64, 0xF7};

class SmfReader : public ReportRecorder {
  protected:
    SongPtr Load(const Bytes& file, std::int32_t capacity = kSongCapacity) {
        std::string path = dir.Write("song" + std::to_string(files++) + ".mid", file);
        return SongPtr(new CMidiFormat0Data(path.c_str(), capacity));
    }
    static bool Empty(const CMidiFormat0Data& song) {
        return song.state == CMidiFormat0Data::kStateNoteForm && song.track->count == 0;
    }

    TempDir dir;
    int files = 0;
};

TEST_F(SmfReader, Format0LoadsIntoNoteForm) {
    SongPtr song = Load(
        Format0(Concat({{0, 0xC0, 0x05, 0, 0x90, 0x3C, 0x64, 0x60, 0x80, 0x3C, 0x40}, kEnd}), 480));
    EXPECT_TRUE(song->FileOpened());
    EXPECT_EQ(song->division, 480);
    EXPECT_EQ(song->state, CMidiFormat0Data::kStateNoteForm);
    ASSERT_EQ(song->track->count, 3);  // a format-0 song gets no master volume
    EXPECT_EQ(song->track->events[1]->status, 0x10);
    EXPECT_EQ(song->track->events[1]->duration, 96);
    EXPECT_EQ(song->track->events[2]->subtype, 0x2F);
    EXPECT_EQ(song->track->events[2]->delta, 96);
    EXPECT_TRUE(reports.empty());
}

TEST_F(SmfReader, MacBinaryHeaderMakesNoDifference) {
    Bytes format0 = Format0(Concat({{0, 0x90, 0x3C, 0x64, 0x60, 0x3C, 0x00}, kEnd}));
    Bytes format1 = Format1({Concat({{0, 0xFF, 0x03, 0x01, 'A'}, kEnd}),
                             Concat({{0, 0x91, 0x40, 0x50, 0x30, 0x40, 0x00}, kEnd})});
    for (const Bytes& file : {format0, format1}) {
        SongPtr plain = Load(file);
        SongPtr wrapped = Load(MacBinary(file));
        EXPECT_EQ(SongRows(*plain), SongRows(*wrapped));
        EXPECT_EQ(plain->division, wrapped->division);
        EXPECT_GT(plain->track->count, 1);
    }
    EXPECT_TRUE(reports.empty());
}

TEST_F(SmfReader, FilesThatAreNotFormat0Or1) {
    struct Case {
        const char* name;
        Bytes file;
        std::vector<std::string> reports;
    } cases[] = {
        {"no header", Bytes(300, 'x'), {"M1DT03000004", "M1DT03000003"}},
        {"format 2", Format1({kEnd}), {}},
        {"empty file", {}, {"M1DT03000003"}},
        {"division 0", Format1({kEnd}, -1, 0), {"M1DT03000021", "M1DT03000003"}},
    };
    cases[1].file[9] = 2;
    cases[1].reports = {"M1DT03000002", "M1DT03000003"};
    for (const Case& c : cases) {
        reports.clear();
        SongPtr song = Load(c.file);
        EXPECT_TRUE(Empty(*song)) << c.name;
        EXPECT_EQ(ReportCodes(), c.reports) << c.name;
    }
    reports.clear();
    SongPtr song = Load(Bytes(300, 'x'));
    EXPECT_EQ(reports[0],
              "M1DT03000004 Midiファイルではないか、ファイルにマックバイナリがついています。");
    EXPECT_EQ(reports[1], "M1DT03000003 Midiのフォーマット１のデータで内部エラーが発生しました。");
}

TEST_F(SmfReader, Format0Failures) {
    Bytes tooLong = HeaderChunk(0, 1, 96);
    AppendBigEndian(tooLong, 'M' << 24 | 'T' << 16 | 'r' << 8 | 'k', 4);
    AppendBigEndian(tooLong, 400000, 4);
    tooLong.resize(400100, 0);
    Bytes longHeader = Concat({HeaderChunk(0, 1, 96, 8), {0, 0}, TrackChunk(kEnd)});

    struct Case {
        const char* name;
        Bytes file;
        std::vector<std::string> reports;
    } cases[] = {
        {"track beyond the capacity", tooLong, {"MDTK0D000001", "MDTK0D000001"}},
        {"header length 8", longHeader, {"MDTK0D000007", "MDTK0D000001"}},
        {"division 0", Format0(kEnd, 0), {"M0DT04000009"}},
    };
    for (const Case& c : cases) {
        reports.clear();
        SongPtr song = Load(c.file);
        EXPECT_TRUE(Empty(*song)) << c.name;
        EXPECT_EQ(ReportCodes(), c.reports) << c.name;
    }
}

TEST_F(SmfReader, TimeCodeDivisionIsReadAsTicks) {
    SongPtr song = Load(Format0(kEnd, 0xE250));
    EXPECT_EQ(song->division, 0xE250);
}

TEST_F(SmfReader, FileThatCannotBeOpenedFailsTheLoad) {
    std::string missing = (dir.path() / "missing.mid").string();
    CMidiFormat0Data song(missing.c_str(), kSongCapacity);
    EXPECT_FALSE(song.FileOpened());
    EXPECT_TRUE(Empty(song));
    EXPECT_EQ(ReportCodes(), std::vector<std::string>{"GENE01000007"});
}

TEST_F(SmfReader, TooManyTracksAreCutTo32) {
    std::vector<Bytes> tracks;
    for (int i = 0; i < 70; ++i) {
        tracks.push_back(Concat({{0, 0xB0, 0x07, static_cast<std::uint8_t>(i)}, kEnd}));
    }
    SongPtr song = Load(Format1(tracks));
    EXPECT_EQ(ReportCodes(), std::vector<std::string>{"M1DT03000001"});
    std::vector<int> volumes;
    for (int i = 0; i < song->track->count; ++i) {
        if (song->track->events[i]->status == 0xB0) {
            volumes.push_back(song->track->events[i]->value);
        }
    }
    std::sort(volumes.begin(), volumes.end());
    ASSERT_EQ(volumes.size(), 32u);
    EXPECT_EQ(volumes.front(), 0);
    EXPECT_EQ(volumes.back(), 31);
}

TEST_F(SmfReader, FewerChunksThanDeclared) {
    SongPtr song =
        Load(Format1({Concat({{0, 0xB0, 0x07, 1}, kEnd}), Concat({{0, 0xB0, 0x07, 2}, kEnd})}, 3));
    ASSERT_EQ(ReportCodes(), std::vector<std::string>{"M1DT00000000"});
    EXPECT_EQ(reports[0], "M1DT00000000 Midiのフォーマット１のデータでエラーが発生しました。");
    int controls = 0;
    for (int i = 0; i < song->track->count; ++i) {
        controls += song->track->events[i]->status == 0xB0 ? 1 : 0;
    }
    EXPECT_EQ(controls, 2);
}

TEST_F(SmfReader, MasterVolumeGoesToTheFirstTrackWithAChannelEvent) {
    TempDir files;
    std::string path =
        files.Write("a.mid", Format1({Concat({{0, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20}, kEnd}),
                                      Concat({{5, 0x92, 0x40, 0x50, 0x30, 0x40, 0x00}, kEnd})}));
    CMidiFormat1Data reader(path.c_str(), kSongCapacity);
    ASSERT_EQ(reader.trackCount, 2);
    EXPECT_EQ(reader.tracks[0]->count, 2);
    const CMidiTrackData& target = *reader.tracks[1];
    ASSERT_EQ(target.count, 3);
    EXPECT_EQ(target.events[0]->delta, 0);
    EXPECT_EQ(target.events[0]->subtype, 1);
    EXPECT_EQ(Bytes(target.events[0]->data, target.events[0]->data + 9),
              (Bytes{0xF0, 0x07, 0x7F, 0x7F, 0x04, 0x01, 0x00, 0x7F, 0xF7}));
    EXPECT_EQ(target.events[1]->delta, 5);  // the former first event keeps its delta
    EXPECT_TRUE(reports.empty());

    // Without any channel event track 0 receives it.
    std::string metaOnly = files.Write("b.mid", Format1({kEnd, kEnd}));
    CMidiFormat1Data quiet(metaOnly.c_str(), kSongCapacity);
    EXPECT_EQ(quiet.tracks[0]->events[0]->subtype, 1);
    EXPECT_EQ(quiet.tracks[1]->count, 1);

    // A file without tracks gets none; with reporting on, the check says so.
    std::string noTracks = files.Write("c.mid", Format1({}));
    CMidiFormat1Data empty(noTracks.c_str(), kSongCapacity);
    EXPECT_TRUE(reports.empty());
    empty.CheckMasterVolume(true);
    EXPECT_EQ(ReportCodes(), std::vector<std::string>{"M1DT03000016"});
    reports.clear();
    SongPtr song = Load(Format1({}));
    EXPECT_TRUE(Empty(*song));
    EXPECT_EQ(ReportCodes(), std::vector<std::string>{"MDTK0D000026"});
}

TEST_F(SmfReader, MasterVolumeInTwoTracksIsReportedOnceAndKept) {
    SongPtr song = Load(Format1({Concat({kMasterVolume, kEnd}), Concat({kMasterVolume, kEnd}),
                                 Concat({{0, 0x90, 0x3C, 0x40, 1, 0x3C, 0}, kEnd})}));
    ASSERT_EQ(ReportCodes(), std::vector<std::string>{"M1DT03000006"});
    EXPECT_EQ(reports[0], "M1DT03000006 マスターボリュームが複数設定されています。");
    int volumes = 0;
    for (int i = 0; i < song->track->count; ++i) {
        volumes += song->track->events[i]->subtype == 1 ? 1 : 0;
    }
    EXPECT_EQ(volumes, 2);
}

TEST_F(SmfReader, MergedSongBeginsWithTheNameAndKeepsTrackOrder) {
    SongPtr song = Load(Format1({Concat({{0, 0xFF, 0x03, 0x02, 'H', 'i'}, kEnd}),
                                 Concat({{0, 0x90, 0x3C, 0x40, 10, 0x80, 0x3C, 0}, kEnd}),
                                 Concat({{0, 0x91, 0x30, 0x40, 10, 0x30, 0}, kEnd})}));
    const CMidiTrackData& t = *song->track;
    ASSERT_GE(t.count, 5);
    EXPECT_EQ(t.events[0]->subtype, 3);
    EXPECT_EQ(t.events[1]->subtype, 3);  // the track's own name event follows
    std::vector<int> notes;
    for (int i = 0; i < t.count; ++i) {
        if (t.events[i]->status == 0x10) {
            notes.push_back(t.events[i]->note);
            EXPECT_EQ(t.events[i]->duration, 10);
        }
    }
    // One event per track and pass at a tick: track 1's master volume comes
    // first, so track 2's note precedes track 1's.
    EXPECT_EQ(notes, (std::vector<int>{0x30, 0x3C}));
    EXPECT_EQ(t.events[t.count - 1]->subtype, 0x2F);
}

TEST_F(SmfReader, Format1LimitsOfTheCapacity) {
    Bytes big = Format1({Concat({{0, 0xB0, 0x07, 1}, kEnd})});
    big.resize(2000, 0);
    reports.clear();
    SongPtr tooLarge = Load(big, 1000);
    EXPECT_TRUE(Empty(*tooLarge));
    EXPECT_EQ(ReportCodes(), (std::vector<std::string>{"M1DT03000019", "M1DT03000003"}));

    // A chunk that fits the file but not a track (half the capacity) is refused.
    Bytes events(600, 0);
    for (std::size_t i = 0; i + 2 < events.size(); i += 3) {
        events[i + 1] = 0xC0;
    }
    reports.clear();
    SongPtr refused = Load(Format1({events}), 1000);
    EXPECT_EQ(ReportCodes(),
              (std::vector<std::string>{"MDTK0D000006", "MDTK0D000001", "MDTK0D000001"}));
    EXPECT_EQ(refused->track->count, 1);  // the End-of-Track only
}

TEST_F(SmfReader, HeaderCheckWithReporting) {
    SongPtr song = Load(Format1({kEnd}));
    reports.clear();
    EXPECT_FALSE(song->ReadHeader(true));
    EXPECT_EQ(ReportCodes(), std::vector<std::string>{"M0DT04000001"});
}

TEST_F(SmfReader, PlayCopyIsAt96TicksInOnOffForm) {
    SongPtr song =
        Load(Format0(Concat({{0, 0x90, 0x3C, 0x64, 0x83, 0x60, 0x80, 0x3C, 0x40}, kEnd}), 480));
    std::unique_ptr<CMidiFormat0Data> copy(song->MakePlayCopy());
    EXPECT_EQ(copy->division, 96);
    EXPECT_EQ(copy->state, CMidiFormat0Data::kStateOnOff);
    ASSERT_EQ(copy->track->count, 3);
    EXPECT_EQ(copy->track->events[1]->status, 0x80);
    EXPECT_EQ(copy->track->events[1]->delta, 96);
    // The song is unchanged and can be copied again.
    EXPECT_EQ(song->division, 480);
    EXPECT_EQ(song->track->events[0]->duration, 480);
    std::unique_ptr<CMidiFormat0Data> again(song->MakePlayCopy());
    EXPECT_EQ(again->track->count, 3);
    EXPECT_TRUE(reports.empty());
}

}  // namespace
