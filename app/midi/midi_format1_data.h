// CMidiFormat1Data: the reader of format-1 files. It parses every track chunk,
// brings each track into note form, makes sure a master volume is set and
// merges the tracks into a song's single track. Every operation runs on the
// loading thread (the UI thread), never beside another load.
#pragma once

#include <cstdint>

#include "app/midi/midi_file_buffer.h"
#include "app/midi/midi_track_data.h"

class CMidiFormat0Data;

class CMidiFormat1Data : public CMidiFileBuffer {
  public:
    static constexpr std::int32_t kMaxTracks = 64;
    // Tracks kept when a file declares kMaxTracks or more.
    static constexpr std::int32_t kTracksAfterCut = 32;

    enum State : std::int32_t { kStateNone = 0, kStateParsed = 1, kStateNoteForm = 2 };

    // Reads the file at `path` and everything up to the master-volume check.
    // Thread: UI (loading must not run beside another).
    CMidiFormat1Data(const char* path, std::int32_t capacity);
    ~CMidiFormat1Data() override;

    // Header: "MThd" at 0 or behind a MacBinary header, format 1, the track
    // count (64 or more is cut to 32), a division of at least 1.
    bool ReadHeader();
    // Builds a track from each chunk; requires state 0.
    void ReadTracks();
    // Every track into note form; requires state 1.
    void ToNoteForm();
    // Without any master-volume message one of 127 is inserted; with messages in
    // several tracks 03000006 shows once per further track.
    void CheckMasterVolume(bool report);
    // Into the first track with a channel event (else track 0); nothing without
    // tracks.
    void InsertMasterVolume(std::int32_t value);
    // The song takes the division and the merge of all tracks; requires state 2
    // (else the song's track stays as it is). Thread: UI.
    void MergeInto(CMidiFormat0Data& song);
    // Replaces the tracks with 17 built from a song's single track in note form:
    // track 0 holds the events without a channel (meta events), track c + 1 the
    // events of channel c, exclusive messages go with track 1. Each event keeps
    // its tick. Thread: UI.
    void SplitByChannel(const CMidiFormat0Data& song);

    // M1DT reports. Thread: any.
    static void ReportError(std::uint32_t code);
    static void ReportOnce(std::uint32_t code);

    std::int32_t division = 0;
    std::int32_t state = kStateNone;
    std::int32_t timeSignature = 0;
    std::int32_t trackCount = 0;
    CMidiTrackData* tracks[kMaxTracks] = {};

  private:
    void DeleteTracks();
};

inline constexpr std::uint32_t kReaderFewerChunks = 0x00000000;
inline constexpr std::uint32_t kReaderTooManyTracks = 0x03000001;
inline constexpr std::uint32_t kReaderNotFormat1 = 0x03000002;
inline constexpr std::uint32_t kReaderWrongState = 0x03000003;
inline constexpr std::uint32_t kReaderNoHeader = 0x03000004;
inline constexpr std::uint32_t kReaderManyMasterVolumes = 0x03000006;
inline constexpr std::uint32_t kReaderMasterVolumeSet = 0x03000016;
inline constexpr std::uint32_t kReaderTooLarge = 0x03000019;
inline constexpr std::uint32_t kReaderBadData = 0x03000021;
