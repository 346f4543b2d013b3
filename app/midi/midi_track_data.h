// CMidiTrackData: one track of a Standard MIDI File, first as a copy of its
// chunk's bytes, then as a list of CMusicEvent records, in on/off form or in
// note form, with the transformations between them.
//
// Tracks are used by one thread at a time. The parser's running status and the
// once-only report flags are process-wide, so two tracks must not be parsed at
// the same time.
#pragma once

#include <cstdint>

#include "app/midi/midi_file_buffer.h"
#include "app/midi/music_event.h"

class CMidiTrackData : public CMidiFileBuffer {
  public:
    enum State : std::int32_t {
        kStateEmpty = -1,    // made for filling; the owner sets the state
        kStateLoaded = 0,    // chunk copied, not parsed
        kStateOnOff = 1,     // separate note-on and note-off events
        kStateNoteForm = 2,  // one 0x10 event per note, with its duration
    };

    // Builds and parses the track whose chunk starts at `chunkPosition` of a file
    // image of `fileSize` bytes. A chunk with another id than "MTrk" or "XFKM"
    // (0D000007), one that runs past the image (0D000001), or one longer than
    // this track's capacity (0D000006) leaves an empty track in state 0 with
    // size 0. Thread: the loading thread.
    CMidiTrackData(std::int32_t fileSize, std::int32_t chunkPosition, const std::uint8_t* fileData,
                   std::int32_t capacity);

    // An empty track in state -1. Thread: any.
    explicit CMidiTrackData(std::int32_t capacity);

    // A deep copy of a track in note form; any other source reports 0D000001
    // and gives an empty copy in state 0. Thread: the thread owning both.
    CMidiTrackData(const CMidiTrackData& source, std::int32_t capacity);

    // Reports 0D00001A for each event of 256 bytes or more not exempt by
    // subtype 127, then releases everything. Thread: owner's.
    ~CMidiTrackData() override;

    // --- Parsing (the chunk constructor runs these) ---

    // Parses the whole chunk from byte 8 to its end, then state 1. Requires
    // state 0. Thread: loading.
    void ParseEvents();
    // One event: its delta, then its body. An event that arrives when the list
    // is full is read and dropped; 0D000006 shows once per parse.
    void ParseEvent();
    // A variable-length number at `position`.
    std::int32_t ReadVarLen();
    void ParseEventBody(CMusicEvent& event);
    // Fills the event from status byte s (the bytes after it are read at
    // position + 1 ...) and returns the bytes it occupies from its status byte
    // on, or 0 when s is no status this parser takes.
    std::int32_t DecodeStatus(std::int32_t s, CMusicEvent& event);
    // Meta event at `position` (0xFF); returns its bytes.
    std::int32_t ParseMeta(CMusicEvent& event);
    // Sets subtype (and for some classes value and channel) of an exclusive
    // message from its stored bytes.
    static void ClassifyExclusive(CMusicEvent& event);
    // numerator * 256 + 2^power; 0 or an unusable value reports 0D000027 and
    // gives 4/4 (1028).
    static std::int32_t PackTimeSignature(std::int32_t numerator, std::int32_t power);

    // The parser's process-wide running status. It carries over from event to
    // event, track to track and file to file. Thread: loading.
    static std::uint8_t GetRunningStatus();
    static void SetRunningStatus(std::uint8_t status);

    // --- The list ---

    // Stores an event at the end and takes it over; a full list reports
    // 0D000006 and returns false, and the caller keeps the event.
    // Thread: owner's.
    bool Append(CMusicEvent* event);
    // Destroys every event; count 0. Thread: owner's.
    void Clear();
    // The event at i, or null outside the list. Thread: owner's.
    CMusicEvent* EventAt(std::int32_t i) const { return i >= 0 && i < count ? events[i] : nullptr; }
    // Events this track can hold (capacity / 3).
    std::int32_t MaxEvents() const { return maxEvents_; }

    // --- Transformations (all: thread owner's) ---

    // On/off form to note form; requires state 1.
    void ToNoteForm();
    // Every note on of velocity 0 becomes a note off; requires state 1.
    void NoteOnZeroToNoteOff();
    // Note form to on/off form; requires state 2.
    void ToOnOffForm();
    // At one tick a note off goes before the nearest note on that shares it;
    // requires state 1.
    void OrderNoteOffsFirst();
    // Exchanges two events, each index keeping its delta.
    void SwapEvents(std::int32_t i, std::int32_t j);
    // Removes every event of status 0; its delta goes to the following event.
    void RemoveDeleted();
    // Converts the deltas (and durations) from `oldDivision` to `newDivision`
    // ticks per quarter note without adding up truncation errors. Returns true
    // when a note's duration became 0 (then dropped or made 1). Requires state
    // 2 when the divisions differ; a division below 1 reports 0D000001 and
    // changes nothing when the track holds events (an empty one has nothing to
    // convert).
    bool ChangeDivision(std::int32_t oldDivision, std::int32_t newDivision, bool dropShortNotes);
    // Fills this track with the events of `n` tracks (in note form) in time
    // order, lower track first at equal ticks.
    void Merge(std::int32_t n, CMidiTrackData* const* tracks);
    // Exactly one End-of-Track, at the end.
    void NormalizeEndOfTrack();
    // Removes event i; its delta goes to the next event.
    void RemoveAt(std::int32_t i);
    // Inserts an event at i and takes it over; the caller sets the deltas.
    // A full list reports 0D000006 and returns false (the caller keeps it).
    bool InsertAt(std::int32_t i, CMusicEvent* event);
    // Value of the last master-volume message, or -1; more than one reports the
    // once-only 0D000011.
    std::int32_t FindMasterVolume();
    // A master-volume message (F0 07 7F 7F 04 01 00 value F7) at the start.
    void InsertMasterVolume(std::int32_t value);
    // Channel of the first channel event, or 255.
    std::int32_t FirstChannel() const;

    // --- Reports ---

    // MDTK plain report. Thread: any.
    static void ReportError(std::uint32_t code);
    // MDTK once-only report (code 0 clears the flags). Thread: any.
    static void ReportOnce(std::uint32_t code);

    std::int32_t count = 0;
    std::int32_t state = kStateLoaded;
    CMusicEvent** events;  // capacity / 3 entries, owned

  private:
    // Copies `n` bytes of the image from `from` into the event's data, zeros
    // past the image.
    void SetDataFromImage(CMusicEvent& event, std::int64_t from, std::int32_t n) const;
    bool RequireState(std::int32_t required) const;

    std::int32_t maxEvents_;
    bool fullReported_ = false;  // 0D000006 already shown in this parse
};

// A track of a format-1 file: half the reader's capacity, and the format-1
// track warnings (M1TK) cleared whenever one is made.
class CMidiFormat1TrackData : public CMidiTrackData {
  public:
    // Thread: loading.
    CMidiFormat1TrackData(std::int32_t fileSize, std::int32_t chunkPosition,
                          const std::uint8_t* fileData, std::int32_t readerCapacity);
    explicit CMidiFormat1TrackData(std::int32_t readerCapacity);

    // M1TK once-only report (code 0 clears the flags). Thread: any.
    static void ReportOnce(std::uint32_t code);
};

// MDTK codes raised by the library.
inline constexpr std::uint32_t kTrackInternalError = 0x0D000001;
inline constexpr std::uint32_t kTrackUndefinedEvent = 0x0D000002;
inline constexpr std::uint32_t kTrackBadTempo = 0x0D000005;
inline constexpr std::uint32_t kTrackTooMuchData = 0x0D000006;
inline constexpr std::uint32_t kTrackNotATrackChunk = 0x0D000007;
inline constexpr std::uint32_t kTrackLargeEvent = 0x0D00000B;
inline constexpr std::uint32_t kTrackBadProgram = 0x0D00000C;
inline constexpr std::uint32_t kTrackManyMasterVolumes = 0x0D000011;
inline constexpr std::uint32_t kTrackBadNoteNumber = 0x0D000017;
inline constexpr std::uint32_t kTrackLargeEventKept = 0x0D00001A;
inline constexpr std::uint32_t kTrackNoTracksToMerge = 0x0D000026;
inline constexpr std::uint32_t kTrackBadTimeSignature = 0x0D000027;
