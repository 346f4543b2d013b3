#include <gtest/gtest.h>

#include <memory>

#include "tests/midi/midi_test_support.h"

namespace {

using TrackPtr = std::unique_ptr<CMidiTrackData>;

std::string Hex(const CMusicEvent& e) {
    if (e.data == nullptr || e.length <= 0) {
        return "-";
    }
    std::string out;
    char two[3];
    for (int i = 0; i < e.length; ++i) {
        std::snprintf(two, sizeof two, "%02X", e.data[i]);
        out += two;
    }
    return out;
}

struct EventCase {
    const char* name;
    Bytes bytes;  // delta and event
    std::int32_t status, channel, note, velocity, subtype, value, length;
    const char* data;
    std::vector<std::string> reports;
};

void PrintTo(const EventCase& c, std::ostream* out) {
    *out << c.name;
}

class ParsedEvent : public ReportRecorder, public ::testing::WithParamInterface<EventCase> {};

TEST_P(ParsedEvent, FillsTheRecord) {
    const EventCase& c = GetParam();
    TrackPtr track(ParseTrackBytes(c.bytes));
    ASSERT_EQ(track->count, 1);
    EXPECT_EQ(track->state, CMidiTrackData::kStateOnOff);
    EXPECT_EQ(track->position, track->size);
    const CMusicEvent& e = *track->events[0];
    EXPECT_EQ(e.status, c.status);
    EXPECT_EQ(e.channel, c.channel);
    EXPECT_EQ(e.note, c.note);
    EXPECT_EQ(e.velocity, c.velocity);
    EXPECT_EQ(e.subtype, c.subtype);
    EXPECT_EQ(e.value, c.value);
    EXPECT_EQ(e.length, c.length);
    EXPECT_EQ(Hex(e), c.data);
    EXPECT_EQ(ReportCodes(), c.reports);
}

const std::vector<std::string> kNone;

INSTANTIATE_TEST_SUITE_P(
    Events, ParsedEvent,
    ::testing::Values(
        EventCase{
            "NoteOnZeroIsNoteOff", {0, 0x90, 0x3C, 0x00}, 0x80, 0, 60, 0, 0, 0, 3, "903C00", kNone},
        EventCase{"NoteOn", {0, 0x93, 0x3C, 0x40}, 0x90, 3, 60, 64, 0, 0, 3, "933C40", kNone},
        EventCase{"NoteOff", {0, 0x85, 0x3C, 0x40}, 0x80, 5, 60, 64, 0, 0, 3, "853C40", kNone},
        EventCase{"NoteAbove127",
                  {0, 0x90, 0x85, 0x40},
                  0x90,
                  0,
                  0,
                  0,
                  0,
                  0,
                  3,
                  "908540",
                  {"MDTK0D000017"}},
        EventCase{"NoteOffAbove127",
                  {0, 0x90, 0x85, 0x00},
                  0x80,
                  0,
                  0,
                  0,
                  0,
                  0,
                  3,
                  "908500",
                  {"MDTK0D000017"}},
        EventCase{"KeyPressure", {0, 0xA4, 0x3C, 0x20}, 0xA0, 4, 60, 0, 0, 32, 3, "A43C20", kNone},
        EventCase{"Control", {0, 0xB1, 0x07, 0x64}, 0xB0, 1, 0, 0, 7, 100, 3, "B10764", kNone},
        EventCase{"Program", {0, 0xC2, 0x05}, 0xC0, 2, 0, 0, 0, 5, 2, "C205", kNone},
        EventCase{
            "ProgramAbove127", {0, 0xC2, 0x85}, 0xC0, 2, 0, 0, 0, 0, 2, "C285", {"MDTK0D00000C"}},
        EventCase{"ChannelPressure", {0, 0xD3, 0x40}, 0xD0, 3, 0, 0, 0, 64, 2, "D340", kNone},
        EventCase{"PitchBend", {0, 0xEF, 0x01, 0x40}, 0xE0, 15, 1, 0, 0, 64, 3, "EF0140", kNone},
        EventCase{"Tempo",
                  {0, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20},
                  0xFF,
                  255,
                  0,
                  0,
                  0x51,
                  500000,
                  0,
                  "-",
                  kNone},
        EventCase{"TempoZero",
                  {0, 0xFF, 0x51, 0x03, 0, 0, 0},
                  0xFF,
                  255,
                  0,
                  0,
                  0x51,
                  500000,
                  0,
                  "-",
                  {"MDTK0D000005"}},
        EventCase{"TimeSignature",
                  {0, 0xFF, 0x58, 0x04, 0x06, 0x03, 0x18, 0x08},
                  0xFF,
                  255,
                  0,
                  0,
                  0x58,
                  1544,
                  4,
                  "06031808",
                  kNone},
        EventCase{"TimeSignatureZero",
                  {0, 0xFF, 0x58, 0x04, 0x00, 0x02, 0x18, 0x08},
                  0xFF,
                  255,
                  0,
                  0,
                  0x58,
                  1028,
                  4,
                  "00021808",
                  {"MDTK0D000027"}},
        EventCase{"KeySignature",
                  {0, 0xFF, 0x59, 0x02, 0xFE, 0x01},
                  0xFF,
                  255,
                  0,
                  0,
                  0x59,
                  0,
                  2,
                  "FE01",
                  kNone},
        EventCase{"EndOfTrack", {0, 0xFF, 0x2F, 0x00}, 0xFF, 255, 0, 0, 0x2F, 0, 0, "-", kNone},
        EventCase{"TrackName",
                  {0, 0xFF, 0x03, 0x03, 'a', 'b', 'c'},
                  0xFF,
                  255,
                  0,
                  0,
                  3,
                  0,
                  3,
                  "616263",
                  kNone},
        EventCase{"EmptyText", {0, 0xFF, 0x01, 0x00}, 0xFF, 255, 0, 0, 1, 0, 1, "00", kNone},
        EventCase{"DeviceNameBecomesInstrument",
                  {0, 0xFF, 0x09, 0x02, 'x', 'y'},
                  0xFF,
                  255,
                  0,
                  0,
                  4,
                  0,
                  2,
                  "7879",
                  kNone},
        EventCase{"UnknownMetaIsDropped",
                  {0, 0xFF, 0x21, 0x01, 0x00},
                  0x00,
                  255,
                  0,
                  0,
                  0x21,
                  0,
                  1,
                  "00",
                  kNone},
        EventCase{"TextRunningPastTheChunkIsCut",
                  {0, 0xFF, 0x01, 0x7F, 'a'},
                  0xFF,
                  255,
                  0,
                  0,
                  1,
                  0,
                  1,
                  "61",
                  {"MDTK0D000001"}},
        EventCase{"Escape",
                  {0, 0xF7, 0x03, 0x01, 0x02, 0x03},
                  0xF7,
                  255,
                  0,
                  0,
                  0,
                  0,
                  5,
                  "F70301020"
                  "3",
                  kNone},
        EventCase{"GeneralMidiOn",
                  {0, 0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7},
                  0xF0,
                  255,
                  0,
                  0,
                  9,
                  0,
                  7,
                  "F0057E7F0901F7",
                  kNone},
        EventCase{"MasterVolume",
                  {0, 0xF0, 0x07, 0x7F, 0x7F, 0x04, 0x01, 0x00, 0x64, 0xF7},
                  0xF0,
                  255,
                  0,
                  0,
                  1,
                  100,
                  9,
                  "F0077F7F04010064F7",
                  kNone},
        EventCase{"MasterBalance",
                  {0, 0xF0, 0x07, 0x7F, 0x7F, 0x04, 0x02, 0x00, 0x40, 0xF7},
                  0xF0,
                  255,
                  0,
                  0,
                  40,
                  64,
                  9,
                  "F0077F7F04020040F7",
                  kNone},
        EventCase{"RolandMasterVolume",
                  {0, 0xF0, 0x0A, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x04, 0x64, 0x58, 0xF7},
                  0xF0,
                  255,
                  0,
                  0,
                  1,
                  100,
                  12,
                  "F00A41104212400004645"
                  "8F7",
                  kNone},
        EventCase{"RolandPartParameter",
                  {0, 0xF0, 0x0A, 0x41, 0x10, 0x42, 0x12, 0x40, 0x1A, 0x15, 0x02, 0x0F, 0xF7},
                  0xF0,
                  10,
                  0,
                  0,
                  18,
                  2,
                  12,
                  "F00A411042124"
                  "01A15020FF7",
                  kNone},
        EventCase{"RolandDrumPart",
                  {0, 0xF0, 0x0A, 0x41, 0x10, 0x42, 0x12, 0x40, 0x40, 0x20, 0x05, 0x00, 0xF7},
                  0xF0,
                  9,
                  0,
                  0,
                  69,
                  5,
                  12,
                  "F00A41104212404020050"
                  "0F7",
                  kNone},
        EventCase{"RolandEffect",
                  {0, 0xF0, 0x0A, 0x41, 0x10, 0x42, 0x12, 0x40, 0x01, 0x5A, 0x03, 0x00, 0xF7},
                  0xF0,
                  255,
                  0,
                  0,
                  64,
                  3,
                  12,
                  "F00A4110421240015A0300F7",
                  kNone},
        EventCase{"RolandReset",
                  {0, 0xF0, 0x0A, 0x41, 0x10, 0x42, 0x12, 0x00, 0x00, 0x7F, 0x00, 0x01, 0xF7},
                  0xF0,
                  255,
                  0,
                  0,
                  19,
                  0,
                  12,
                  "F00A41104212"
                  "00007F0001F7",
                  kNone},
        EventCase{"YamahaExempt",
                  {0, 0xF0, 0x07, 0x43, 0x79, 0x06, 0x7F, 0x01, 0x02, 0xF7},
                  0xF0,
                  255,
                  0,
                  0,
                  127,
                  0,
                  9,
                  "F0074379067F0102F7",
                  kNone}),
    [](const ::testing::TestParamInfo<EventCase>& info) { return std::string(info.param.name); });

class TrackParsing : public ReportRecorder {};

TEST_F(TrackParsing, FixedMetaLengthIgnoresTheStoredLength) {
    // A sequence number of stored length 0 is still taken as two bytes long:
    // the two bytes after it are swallowed.
    TrackPtr track(ParseTrackBytes({0, 0xFF, 0x00, 0x00, 0x11, 0x22, 0, 0xC0, 0x05}));
    ASSERT_EQ(track->count, 2);
    EXPECT_EQ(track->events[0]->subtype, 0);
    EXPECT_EQ(track->events[1]->status, 0xC0);
    EXPECT_EQ(track->events[1]->value, 5);
}

TEST_F(TrackParsing, RunningStatusWithinAndAcrossTracks) {
    TrackPtr first(ParseTrackBytes({0, 0x90, 0x3C, 0x40, 0, 0x3E, 0x40}));
    ASSERT_EQ(first->count, 2);
    EXPECT_EQ(first->events[1]->status, 0x90);
    EXPECT_EQ(first->events[1]->note, 62);
    EXPECT_EQ(Hex(*first->events[1]), "003E40");  // the byte in front stands for the status

    TrackPtr control(ParseTrackBytes({0, 0xB2, 0x07, 0x64}));
    // The next track (as the next file) starts with running status.
    TrackPtr next(ParseTrackBytes({0, 0x0A, 0x50}));
    ASSERT_EQ(next->count, 1);
    EXPECT_EQ(next->events[0]->status, 0xB0);
    EXPECT_EQ(next->events[0]->channel, 2);
    EXPECT_EQ(next->events[0]->subtype, 10);
    EXPECT_EQ(next->events[0]->value, 0x50);
    EXPECT_TRUE(reports.empty());
}

TEST_F(TrackParsing, MetaEventsDoNotBecomeTheRunningStatus) {
    TrackPtr track(ParseTrackBytes({0, 0xC1, 0x05, 0, 0xFF, 0x2F, 0x00, 0, 0x07}));
    ASSERT_EQ(track->count, 3);
    EXPECT_EQ(track->events[2]->status, 0xC0);
    EXPECT_EQ(track->events[2]->value, 7);
}

TEST_F(TrackParsing, UndefinedByteIsReportedAndSkipped) {
    // No running status yet: F4 decodes neither way. The parse moves past it
    // instead of reading it again for ever.
    TrackPtr track(ParseTrackBytes({0, 0xF4, 0, 0xC0, 0x05}));
    ASSERT_EQ(track->count, 2);
    EXPECT_EQ(track->events[0]->status, 0);
    EXPECT_EQ(track->events[1]->status, 0xC0);
    EXPECT_EQ(ReportCodes(), std::vector<std::string>{"MDTK0D000002"});
    // A data byte as the very first event behaves the same.
    CMidiTrackData::SetRunningStatus(0);
    reports.clear();
    TrackPtr data(ParseTrackBytes({0, 0x3C, 0, 0xC0, 0x05}));
    EXPECT_EQ(data->events[data->count - 1]->status, 0xC0);
    EXPECT_EQ(CountReports("MDTK0D000002"), 1);
}

TEST_F(TrackParsing, DamagedEndsStopAtTheChunkEnd) {
    struct Case {
        Bytes bytes;
        int reports;
    } cases[] = {
        {{0x81, 0x81, 0x81}, 2},                // delta running into the end
        {{0, 0xF0, 0x01, 0x02, 0x03}, 1},       // exclusive without its F7
        {{0, 0xFF, 0x01, 0x81, 0x81}, 2},       // text length running into the end
        {{0, 0x90, 0x3C}, 0},                   // note cut short: reads the spare zeros
        {{0, 0xFF, 0x01, 0x83, 0x7F, 'a'}, 1},  // a text far longer than the chunk
    };
    for (const Case& c : cases) {
        reports.clear();
        TrackPtr track(ParseTrackBytes(c.bytes));
        EXPECT_EQ(track->state, CMidiTrackData::kStateOnOff);
        EXPECT_GE(track->position, track->size);
        EXPECT_EQ(CountReports("MDTK0D000001"), c.reports) << ::testing::PrintToString(c.bytes);
    }
}

TEST_F(TrackParsing, AFullListDropsFurtherEventsAndReportsOnce) {
    // Running status packs an event into two bytes, more than a track of this
    // capacity has slots for (45 / 3 = 15).
    Bytes bytes{0, 0xC0, 0};
    for (int i = 1; i < 18; ++i) {
        bytes.insert(bytes.end(), {0, static_cast<std::uint8_t>(i)});
    }
    TrackPtr track(ParseTrackBytes(bytes, 45));
    ASSERT_EQ(track->count, 15);
    EXPECT_EQ(track->events[14]->value, 14);
    EXPECT_EQ(track->position, track->size);
    EXPECT_EQ(ReportCodes(), std::vector<std::string>{"MDTK0D000006"});
}

TEST_F(TrackParsing, ChunksThatCannotBeRead) {
    struct Case {
        Bytes file;
        std::int32_t capacity;
        const char* report;
    } cases[] = {
        {TrackChunk({0, 0xC0, 1}, "MThd"), 300, "MDTK0D000007"},
        {Bytes{'M', 'T', 'r', 'k', 0, 0, 0, 9, 0, 0xC0, 1}, 300, "MDTK0D000001"},  // past the file
        {TrackChunk(Bytes(40, 0)), 30, "MDTK0D000006"},  // longer than the track holds
        {Bytes{'M', 'T'}, 300, "MDTK0D000007"},
    };
    for (const Case& c : cases) {
        reports.clear();
        CMidiTrackData track(static_cast<std::int32_t>(c.file.size()), 0, c.file.data(),
                             c.capacity);
        EXPECT_EQ(track.size, 0);
        EXPECT_EQ(track.count, 0);
        EXPECT_EQ(track.state, CMidiTrackData::kStateLoaded);
        EXPECT_EQ(ReportCodes(), std::vector<std::string>{c.report});
    }
    Bytes xf = TrackChunk({0, 0xC0, 1}, "XFKM");
    CMidiTrackData accepted(static_cast<std::int32_t>(xf.size()), 0, xf.data(), 300);
    EXPECT_EQ(accepted.count, 1);
}

TEST_F(TrackParsing, LargeEventsWarnOnceWhileParsingAndOnEveryDestruction) {
    Bytes big{0, 0xF0, 0x7F};
    big.insert(big.end(), 297, 0x11);
    big.push_back(0xF7);  // 300 bytes from F0
    auto* track = ParseTrackBytes(Concat({big, big, big}), 3000);
    ASSERT_EQ(track->count, 3);
    EXPECT_EQ(track->events[0]->length, 300);
    EXPECT_EQ(ReportCodes(), std::vector<std::string>{"MDTK0D00000B"});
    reports.clear();
    track->events[2]->subtype = kExclusiveLargeAllowed;  // exempt from the warnings
    track->state = CMidiTrackData::kStateNoteForm;
    auto* copy = new CMidiTrackData(*track, 3000);
    delete copy;
    EXPECT_EQ(ReportCodes(), std::vector<std::string>(2, "MDTK0D00001A"));
    // A merge's working copy holds them too and is destroyed by the merge.
    CMidiTrackData* sources[] = {track};
    auto* merged = new CMidiTrackData(3000);
    merged->state = CMidiTrackData::kStateNoteForm;
    merged->Merge(1, sources);
    EXPECT_EQ(ReportCodes(), std::vector<std::string>(4, "MDTK0D00001A"));
    delete merged;
    delete track;
    EXPECT_EQ(ReportCodes(), std::vector<std::string>(8, "MDTK0D00001A"));
}

TEST_F(TrackParsing, BadNoteNumbersWarnOncePerParse) {
    Bytes events{0, 0x90, 0x90, 0x40, 0, 0x80, 0x90, 0x40, 0, 0x90, 0xA0, 0x40};
    TrackPtr first(ParseTrackBytes(events));
    TrackPtr second(ParseTrackBytes(events));
    EXPECT_EQ(CountReports("MDTK0D000017"), 2);
}

TEST_F(TrackParsing, CopyNeedsNoteForm) {
    TrackPtr source(ParseTrackBytes({0, 0xC0, 0x05}));
    CMidiTrackData copy(*source, 300);
    EXPECT_EQ(copy.count, 0);
    EXPECT_EQ(ReportCodes(), std::vector<std::string>{"MDTK0D000001"});
}

class MusicEvents : public ReportRecorder {};

TEST_F(MusicEvents, DataBlockAccess) {
    CMusicEvent e(5);
    EXPECT_EQ(e.channel, 255);
    EXPECT_EQ(e.delta, 5);
    EXPECT_EQ(e.ByteAt(0), 0);  // no block
    e.PutByteAt(0, 1);          // no block
    EXPECT_EQ(ReportCodes(), (std::vector<std::string>{"MUEV06000002", "MUEV06000002"}));
    reports.clear();

    const std::uint8_t bytes[] = {1, 2, 3};
    e.SetData(bytes, 3);
    e.SetData(bytes, 0);  // nothing happens
    EXPECT_EQ(e.length, 3);
    EXPECT_EQ(e.ByteAt(2), 3);
    EXPECT_EQ(e.ByteAt(10), 0);  // a spare byte
    EXPECT_TRUE(reports.empty());
    EXPECT_EQ(e.ByteAt(11), 0);
    EXPECT_EQ(ReportCodes(), std::vector<std::string>{"MUEV06000002"});

    e.PutByteAt(20, 9);  // grows the block
    EXPECT_EQ(e.length, 3);
    e.length = 21;
    EXPECT_EQ(e.ByteAt(20), 9);
    EXPECT_EQ(e.ByteAt(1), 2);

    CMusicEvent copy;
    copy.CopyFrom(e);
    EXPECT_NE(copy.data, e.data);
    EXPECT_EQ(copy.length, 21);
    EXPECT_EQ(copy.ByteAt(20), 9);
    EXPECT_EQ(copy.delta, 5);
}

}  // namespace
