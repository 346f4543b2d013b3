#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "tests/midi/midi_test_support.h"

namespace {

using TrackPtr = std::unique_ptr<CMidiTrackData>;
constexpr std::int32_t kOnOff = CMidiTrackData::kStateOnOff;
constexpr std::int32_t kNoteForm = CMidiTrackData::kStateNoteForm;

// (delta, subtype) of every event: the order of a merge shows in these.
std::vector<std::pair<int, int>> DeltaSubtypes(const CMidiTrackData& track) {
    std::vector<std::pair<int, int>> out;
    for (int i = 0; i < track.count; ++i) {
        out.emplace_back(track.events[i]->delta, track.events[i]->subtype);
    }
    return out;
}

class Transformations : public ReportRecorder {};

TEST_F(Transformations, NoteFormAndBack) {
    TrackPtr track(
        MakeTrack({On(0, 60), Off(96, 60), On(0, 62), Off(96, 62), EndOfTrack(0)}, kOnOff));
    track->ToNoteForm();
    EXPECT_EQ(track->state, kNoteForm);
    EXPECT_EQ(Rows(*track),
              (std::vector<Row>{{0, 0x10, 60, 96}, {96, 0x10, 62, 96}, {96, 0xFF, 0, 0}}));

    track->ToOnOffForm();
    EXPECT_EQ(track->state, kOnOff);
    EXPECT_EQ(Rows(*track), (std::vector<Row>{{0, 0x90, 60, 0},
                                              {96, 0x80, 60, 0},
                                              {0, 0x90, 62, 0},
                                              {96, 0x80, 62, 0},
                                              {0, 0xFF, 0, 0}}));
    EXPECT_EQ(track->events[1]->velocity, 64);
    EXPECT_TRUE(reports.empty());
}

TEST_F(Transformations, NoteFormPairsEarliestOnWithEarliestOff) {
    struct Case {
        const char* name;
        std::vector<EventInit> input;
        std::vector<Row> expected;
    } cases[] = {
        {"overlapping notes of one key",
         {On(0, 60), On(10, 60), Off(10, 60), Off(10, 60), EndOfTrack(0)},
         {{0, 0x10, 60, 20}, {10, 0x10, 60, 20}, {20, 0xFF, 0, 0}}},
        {"velocity 0 ends the note",
         {On(0, 60), On(30, 60, 0), EndOfTrack(5)},
         {{0, 0x10, 60, 30}, {35, 0xFF, 0, 0}}},
        {"another channel does not end it; both disappear",
         {On(0, 60, 100, 0), Off(10, 60, 1), Control(5, 7), EndOfTrack(5)},
         {{15, 0xB0, 0, 0}, {5, 0xFF, 0, 0}}},
        {"a lone note off disappears, its time kept",
         {Control(0, 7), Off(40, 64), Control(2, 10)},
         {{0, 0xB0, 0, 0}, {42, 0xB0, 0, 0}}},
    };
    for (const Case& c : cases) {
        auto* track = new CMidiTrackData(3000);
        for (const EventInit& item : c.input) {
            auto* e = new CMusicEvent(item.delta);
            e->status = item.status;
            e->note = item.note;
            e->velocity = item.velocity;
            e->channel = item.status == kStatusMeta ? 255 : item.channel;
            e->subtype = item.subtype;
            track->Append(e);
        }
        track->state = kOnOff;
        track->ToNoteForm();
        EXPECT_EQ(Rows(*track), c.expected) << c.name;
        delete track;
    }
}

TEST_F(Transformations, OnOffFormPlacesNoteOffsAndEndOfTrack) {
    struct Case {
        const char* name;
        std::vector<EventInit> input;
        std::vector<Row> expected;
    } cases[] = {
        {"End-of-Track before the note's end moves behind its note off",
         {Note(0, 60, 100), EndOfTrack(50)},
         {{0, 0x90, 60, 0}, {100, 0x80, 60, 0}, {0, 0xFF, 0, 0}}},
        {"a note off that ends where another event starts comes first",
         {Note(0, 60, 96), Control(96, 7)},
         {{0, 0x90, 60, 0}, {96, 0x80, 60, 0}, {0, 0xB0, 0, 0}}},
        {"a note off inside a gap splits it",
         {Note(0, 60, 30), Control(100, 7)},
         {{0, 0x90, 60, 0}, {30, 0x80, 60, 0}, {70, 0xB0, 0, 0}}},
        {"a negative duration puts the note off in front, on the note's tick",
         {Control(10, 7), Note(5, 60, -5)},
         {{10, 0xB0, 0, 0}, {5, 0x80, 60, 0}, {0, 0x90, 60, 0}}},
        {"a repeated note is not cut short",
         {Note(0, 60, 96), Note(96, 60, 96)},
         {{0, 0x90, 60, 0}, {96, 0x80, 60, 0}, {0, 0x90, 60, 0}, {96, 0x80, 60, 0}}},
        {"notes of duration or velocity 0 go, their time kept",
         {Note(10, 60, 0), Note(5, 61, 10, 0), Control(1, 7)},
         {{16, 0xB0, 0, 0}}},
    };
    for (const Case& c : cases) {
        auto* track = new CMidiTrackData(3000);
        for (const EventInit& item : c.input) {
            auto* e = new CMusicEvent(item.delta);
            e->status = item.status;
            e->note = item.note;
            e->velocity = item.velocity;
            e->duration = item.duration;
            e->channel = item.status == kStatusMeta ? 255 : item.channel;
            e->subtype = item.subtype;
            track->Append(e);
        }
        track->state = kNoteForm;
        track->ToOnOffForm();
        EXPECT_EQ(Rows(*track), c.expected) << c.name;
        delete track;
    }
}

TEST_F(Transformations, NoteOffGoesBeforeTheNoteOnOfItsTick) {
    TrackPtr track(MakeTrack({On(0, 60), On(10, 62), Off(0, 60)}, kOnOff));
    track->OrderNoteOffsFirst();
    EXPECT_EQ(Rows(*track),
              (std::vector<Row>{{0, 0x90, 60, 0}, {10, 0x80, 60, 0}, {0, 0x90, 62, 0}}));
}

TEST_F(Transformations, OnOffFormDropsNotesThatFindNoRoomForTheirNoteOff) {
    // 12 / 3 = 4 slots: the three notes leave room for one note off. The notes
    // after it go rather than sound without an end.
    TrackPtr track(MakeTrack({Note(0, 60, 10), Note(0, 62, 10), Note(0, 64, 10)}, kNoteForm, 12));
    track->ToOnOffForm();
    EXPECT_EQ(Rows(*track), (std::vector<Row>{{0, 0x90, 60, 0}, {10, 0x80, 60, 0}}));
    EXPECT_EQ(ReportCodes(), std::vector<std::string>{"MDTK0D000006"});
}

TEST_F(Transformations, ChangeDivisionCarriesTheTruncation) {
    struct Case {
        std::vector<std::int32_t> deltas, expected;
    } cases[] = {
        {{100, 100, 100, 100, 100}, {20, 20, 20, 20, 20}},
        {{1, 1, 1, 1, 1}, {0, 0, 0, 0, 1}},
        {{7, 3, 0, 5}, {1, 1, 0, 1}},
    };
    for (const Case& c : cases) {
        TrackPtr track(MakeTrack({}, kNoteForm));
        for (std::int32_t delta : c.deltas) {
            auto* e = new CMusicEvent(delta);
            e->status = kStatusControl;
            track->Append(e);
        }
        EXPECT_FALSE(track->ChangeDivision(480, 96, false));
        std::vector<std::int32_t> got;
        for (int i = 0; i < track->count; ++i) {
            got.push_back(track->events[i]->delta);
        }
        EXPECT_EQ(got, c.expected);
    }
}

TEST_F(Transformations, ChangeDivisionOfShortNotes) {
    TrackPtr kept(MakeTrack({Note(10, 60, 3), Note(0, 62, 10), EndOfTrack(100)}, kNoteForm));
    EXPECT_TRUE(kept->ChangeDivision(480, 96, false));
    EXPECT_EQ(Rows(*kept),
              (std::vector<Row>{{2, 0x10, 60, 1}, {0, 0x10, 62, 2}, {20, 0xFF, 0, 0}}));

    TrackPtr dropped(MakeTrack({Note(10, 60, 3), EndOfTrack(100)}, kNoteForm));
    EXPECT_TRUE(dropped->ChangeDivision(480, 96, true));
    EXPECT_EQ(Rows(*dropped), (std::vector<Row>{{22, 0xFF, 0, 0}}));

    // Upward conversion.
    TrackPtr up(MakeTrack({Note(96, 60, 48)}, kNoteForm));
    EXPECT_FALSE(up->ChangeDivision(96, 480, false));
    EXPECT_EQ(Rows(*up), (std::vector<Row>{{480, 0x10, 60, 240}}));
    EXPECT_TRUE(reports.empty());
}

TEST_F(Transformations, ChangeDivisionRefusals) {
    TrackPtr track(MakeTrack({Note(10, 60, 30)}, kOnOff));
    EXPECT_FALSE(track->ChangeDivision(96, 96, false));  // nothing to do, any state
    EXPECT_TRUE(reports.empty());
    EXPECT_FALSE(track->ChangeDivision(480, 96, false));  // wrong state
    track->state = kNoteForm;
    EXPECT_FALSE(track->ChangeDivision(0, 96, false));  // no tick length to convert from
    EXPECT_EQ(Rows(*track), (std::vector<Row>{{10, 0x10, 60, 30}}));
    EXPECT_EQ(ReportCodes(), (std::vector<std::string>{"MDTK0D000001", "MDTK0D000001"}));

    // The empty track of a failed load has nothing to convert, whatever its
    // division: playing such a song shows no report of its own.
    TrackPtr empty(MakeTrack({}, kNoteForm));
    EXPECT_FALSE(empty->ChangeDivision(0, 96, false));
    EXPECT_EQ(ReportCodes().size(), 2u);
}

TEST_F(Transformations, MergeKeepsTimeAndTrackOrder) {
    TrackPtr a(MakeTrack({Control(0, 1), Control(10, 2)}, kNoteForm));
    TrackPtr b(MakeTrack({Control(5, 3), Control(5, 4)}, kNoteForm));
    TrackPtr c(MakeTrack({Control(3, 5), Control(2, 6)}, kNoteForm));
    CMidiTrackData* sources[] = {a.get(), b.get()};
    TrackPtr merged(MakeTrack({Control(0, 99)}, CMidiTrackData::kStateNoteForm));
    merged->Merge(2, sources);
    EXPECT_EQ(DeltaSubtypes(*merged),
              (std::vector<std::pair<int, int>>{{0, 1}, {5, 3}, {5, 2}, {0, 4}, {0, 0x2F}}));
    EXPECT_EQ(a->count, 2);  // the sources keep their events
    EXPECT_EQ(b->events[0]->delta, 5);

    // Equal ticks: lower track first, whatever the deltas that led there.
    CMidiTrackData* three[] = {a.get(), b.get(), c.get()};
    merged->Merge(3, three);
    EXPECT_EQ(DeltaSubtypes(*merged),
              (std::vector<std::pair<int, int>>{
                  {0, 1}, {3, 5}, {2, 3}, {0, 6}, {5, 2}, {0, 4}, {0, 0x2F}}));
    EXPECT_TRUE(reports.empty());
}

TEST_F(Transformations, MergeKeepsOneEndOfTrackAtTheEnd) {
    TrackPtr a(MakeTrack({Control(0, 1), EndOfTrack(10)}, kNoteForm));
    TrackPtr b(MakeTrack({Control(20, 2), EndOfTrack(5)}, kNoteForm));
    CMidiTrackData* sources[] = {a.get(), b.get()};
    TrackPtr merged(MakeTrack({}, kNoteForm));
    merged->Merge(2, sources);
    EXPECT_EQ(DeltaSubtypes(*merged),
              (std::vector<std::pair<int, int>>{{0, 1}, {20, 2}, {5, 0x2F}}));

    TrackPtr e1(MakeTrack({}, kNoteForm)), e2(MakeTrack({}, kNoteForm)),
        e3(MakeTrack({}, kNoteForm));
    CMidiTrackData* empties[] = {e1.get(), e2.get(), e3.get()};
    merged->Merge(3, empties);
    EXPECT_EQ(DeltaSubtypes(*merged), (std::vector<std::pair<int, int>>{{0, 0x2F}}));
}

TEST_F(Transformations, MergeFailures) {
    TrackPtr merged(MakeTrack({Control(0, 7)}, kNoteForm));
    merged->Merge(0, nullptr);
    EXPECT_EQ(merged->count, 1);  // unchanged
    EXPECT_EQ(ReportCodes(), std::vector<std::string>{"MDTK0D000026"});
    reports.clear();

    TrackPtr unparsed(MakeTrack({Control(0, 1)}, kOnOff));
    TrackPtr fine(MakeTrack({Control(4, 2)}, kNoteForm));
    CMidiTrackData* sources[] = {unparsed.get(), fine.get()};
    merged->Merge(2, sources);
    EXPECT_EQ(DeltaSubtypes(*merged), (std::vector<std::pair<int, int>>{{4, 2}, {0, 0x2F}}));
    EXPECT_EQ(ReportCodes(), std::vector<std::string>{"MDTK0D000001"});
    reports.clear();

    // More events than the track holds: it stops with room for the End-of-Track.
    TrackPtr many(
        MakeTrack({Control(0, 1), Control(1, 2), Control(1, 3), Control(1, 4)}, kNoteForm));
    CMidiTrackData* one[] = {many.get()};
    TrackPtr small(MakeTrack({}, kNoteForm, 12));
    small->Merge(1, one);
    EXPECT_EQ(DeltaSubtypes(*small),
              (std::vector<std::pair<int, int>>{{0, 1}, {1, 2}, {1, 3}, {0, 0x2F}}));
    EXPECT_EQ(ReportCodes(), std::vector<std::string>{"MDTK0D000006"});
}

TEST_F(Transformations, MergeBeginsWithTheFirstTracksName) {
    struct Case {
        std::string stored;
        std::string expected;
    } cases[] = {
        {"Piano", "Piano"},
        {std::string("Pi\0ano", 6), "Pi"},
        {std::string(300, 'n'), std::string(255, 'n')},
    };
    for (const Case& c : cases) {
        Bytes name{0, 0xFF, 0x03};
        if (c.stored.size() > 127) {
            name.push_back(static_cast<std::uint8_t>(0x80 | (c.stored.size() >> 7)));
        }
        name.push_back(static_cast<std::uint8_t>(c.stored.size() & 0x7F));
        name.insert(name.end(), c.stored.begin(), c.stored.end());
        TrackPtr named(ParseTrackBytes(Concat({{0, 0xC0, 1}, name}), 3000));
        named->ToNoteForm();
        TrackPtr other(MakeTrack({Control(0, 7)}, kNoteForm));
        CMidiTrackData* sources[] = {named.get(), other.get()};
        TrackPtr merged(MakeTrack({}, kNoteForm, 6000));
        merged->Merge(2, sources);
        ASSERT_GE(merged->count, 1);
        const CMusicEvent& first = *merged->events[0];
        EXPECT_EQ(first.status, 0xFF);
        EXPECT_EQ(first.subtype, 3);
        EXPECT_EQ(first.delta, 0);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(first.data), first.length), c.expected);
    }
}

TEST_F(Transformations, NormalizeEndOfTrack) {
    TrackPtr track(
        MakeTrack({Control(0, 1), EndOfTrack(5), EndOfTrack(3), Control(2, 2)}, kNoteForm));
    track->NormalizeEndOfTrack();
    EXPECT_EQ(DeltaSubtypes(*track),
              (std::vector<std::pair<int, int>>{{0, 1}, {10, 2}, {0, 0x2F}}));
    TrackPtr ended(MakeTrack({Control(0, 1), EndOfTrack(5)}, kNoteForm));
    ended->NormalizeEndOfTrack();
    EXPECT_EQ(DeltaSubtypes(*ended), (std::vector<std::pair<int, int>>{{0, 1}, {5, 0x2F}}));
}

TEST_F(Transformations, MasterVolume) {
    const Bytes volume100{0, 0xF0, 0x07, 0x7F, 0x7F, 0x04, 0x01, 0x00, 0x64, 0xF7};
    const Bytes volume80{5, 0xF0, 0x07, 0x7F, 0x7F, 0x04, 0x01, 0x00, 0x50, 0xF7};
    TrackPtr twice(ParseTrackBytes(Concat({volume100, volume80, volume80})));
    EXPECT_EQ(twice->FindMasterVolume(), 80);
    EXPECT_EQ(ReportCodes(), std::vector<std::string>{"MDTK0D000011"});

    TrackPtr none(ParseTrackBytes({0, 0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7, 7, 0x93, 60, 1}));
    EXPECT_EQ(none->FindMasterVolume(), -1);
    EXPECT_EQ(none->FirstChannel(), 3);  // the exclusive message has no channel
    none->InsertMasterVolume(127);
    ASSERT_EQ(none->count, 3);
    const CMusicEvent& inserted = *none->events[0];
    EXPECT_EQ(inserted.delta, 0);
    EXPECT_EQ(inserted.status, 0xF0);
    EXPECT_EQ(inserted.subtype, 1);
    EXPECT_EQ(inserted.value, 127);
    EXPECT_EQ(Bytes(inserted.data, inserted.data + inserted.length),
              (Bytes{0xF0, 0x07, 0x7F, 0x7F, 0x04, 0x01, 0x00, 0x7F, 0xF7}));
    EXPECT_EQ(none->events[2]->delta, 7);  // the others keep their deltas
    EXPECT_EQ(none->FindMasterVolume(), 127);

    reports.clear();
    none->InsertMasterVolume(200);  // reported, inserted all the same
    EXPECT_EQ(ReportCodes(), std::vector<std::string>{"MDTK0D000001"});
    EXPECT_EQ(none->count, 4);

    TrackPtr meta(ParseTrackBytes({0, 0xFF, 0x2F, 0x00}));
    EXPECT_EQ(meta->FirstChannel(), 255);
}

}  // namespace
