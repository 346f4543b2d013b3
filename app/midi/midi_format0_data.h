// CMidiFormat0Data: a song, the whole of a Standard MIDI File (format 0 or 1)
// as one track in note form. Operations without a thread of their own run on
// the UI thread, which loads and plays songs.
#pragma once

#include <cstdint>

#include "app/midi/midi_file_buffer.h"
#include "app/midi/midi_track_data.h"

// The capacity the program loads songs and makes play copies with.
inline constexpr std::int32_t kSongCapacity = 393216;
// Ticks per quarter note of a play copy.
inline constexpr std::int32_t kPlayDivision = 96;

class CMidiFormat0Data : public CMidiFileBuffer {
  public:
    enum State : std::int32_t { kStateLoaded = 0, kStateOnOff = 1, kStateNoteForm = 2 };

    // Loads the file at `path`: a format-0 file is parsed directly, any other
    // is handed to the format-1 reader and merged. Always yields a song: a
    // problem is reported and leaves an empty or partial song in state 2. A file
    // that cannot be opened reports GENE 01000007 and leaves an empty song whose
    // FileOpened() is false. Thread: UI (loading must not run beside another).
    CMidiFormat0Data(const char* path, std::int32_t capacity);

    // A play copy: a song of `capacity` bytes with the same state, division and
    // time signature and a copy of the track; no file image and no play copy of
    // its own. Thread: UI.
    CMidiFormat0Data(const CMidiFormat0Data& source, std::int32_t capacity);

    // Destroys the play copy and the track. Stopping a playback of the play copy
    // first is the caller's duty. Thread: UI.
    ~CMidiFormat0Data() override;

    // The format-0 header check: "MThd" at 0 (or at 128 behind a MacBinary
    // header, which is then dropped), format 0, one track; reads the division.
    // With `report` the failures show M0DT reports. Thread: UI.
    bool ReadHeader(bool report);
    // Builds the track from the chunk at `position`; requires state 0.
    void ParseTrack();
    // Brings the track into note form; requires state 1.
    void ToNoteForm();
    // Converts the track to `newDivision` ticks per quarter note (durations kept
    // at least 1 tick) and takes it as the song's division. Thread: UI.
    void SetDivision(std::int32_t newDivision);
    // Note form to on/off form; requires state 2. Thread: UI.
    void ToOnOffForm();
    // A new copy made the way playback needs it: capacity 393216, 96 ticks per
    // quarter note, on/off form. The caller owns it. Thread: UI.
    CMidiFormat0Data* MakePlayCopy() const;

    // False when the file could not be opened (the load failed). Thread: any.
    bool FileOpened() const { return fileOpened_; }

    // M0DT reports. Thread: any.
    static void ReportError(std::uint32_t code);
    static void ReportOnce(std::uint32_t code);

    std::int32_t division = 0;
    std::int32_t state = kStateLoaded;
    std::int32_t timeSignature = 0;        // numerator * 256 + denominator, 0 for none
    CMidiFormat0Data* playCopy = nullptr;  // owned
    CMidiTrackData* track = nullptr;       // owned

  private:
    void MakeEmptyTrack();

    bool fileOpened_ = true;
};

inline constexpr std::uint32_t kSongNotFormat0 = 0x04000001;
inline constexpr std::uint32_t kSongBadTrackCount = 0x04000003;
inline constexpr std::uint32_t kSongNoHeader = 0x04000004;
inline constexpr std::uint32_t kSongWrongState = 0x04000005;
inline constexpr std::uint32_t kSongBadData = 0x04000009;
