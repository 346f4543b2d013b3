#include "app/midi/midi_format1_data.h"

#include "app/midi/error_catalogs.h"
#include "app/midi/general_routines.h"
#include "app/midi/midi_format0_data.h"

CMidiFormat1Data::CMidiFormat1Data(const char* path, std::int32_t readerCapacity)
    : CMidiFileBuffer(readerCapacity) {
    ReportOnce(0);
    if (FileSizeOf(path) > static_cast<std::uint32_t>(capacity)) {
        size = 0;
        ReportError(kReaderTooLarge);
        return;
    }
    // A file that cannot be opened is reported by the read and leaves nothing
    // to parse: the header check below fails without a further message.
    ReadFileInto(path, data, size, capacity);
    if (ReadHeader()) {
        ReadTracks();
        ToNoteForm();
    }
    CheckMasterVolume(false);
}

CMidiFormat1Data::~CMidiFormat1Data() {
    DeleteTracks();
}

void CMidiFormat1Data::DeleteTracks() {
    for (CMidiTrackData*& track : tracks) {
        delete track;
        track = nullptr;
    }
}

bool CMidiFormat1Data::ReadHeader() {
    if (size == 0) {
        return false;
    }
    auto headerAt = [&](std::int32_t offset) {
        return ByteAt(offset) == 'M' && ByteAt(offset + 1) == 'T' && ByteAt(offset + 2) == 'h' &&
               ByteAt(offset + 3) == 'd';
    };
    if (!headerAt(0) && DropMacBinaryHeader(data, "MThd", size) == 0) {
        ReportError(kReaderNoHeader);
        return false;
    }
    position = 8;
    if (ByteAt(position) != 0 || ByteAt(position + 1) != 1) {
        ReportError(kReaderNotFormat1);
        return false;
    }
    position += 2;
    trackCount = (ByteAt(position) << 8) | ByteAt(position + 1);
    if (trackCount >= kMaxTracks) {
        ReportError(kReaderTooManyTracks);
        trackCount = kTracksAfterCut;
    }
    position += 2;
    division = (ByteAt(position) << 8) | ByteAt(position + 1);
    position += 2;
    if (division == 0) {
        // Zero ticks per quarter note cannot be played or converted: the file
        // is refused like one with a damaged header.
        ReportError(kReaderBadData);
        trackCount = 0;
        return false;
    }
    return true;
}

void CMidiFormat1Data::ReadTracks() {
    if (state != kStateNone) {
        ReportError(kReaderWrongState);
        return;
    }
    for (std::int32_t i = 0; i < trackCount; ++i) {
        if (position >= size) {
            size = position;
            trackCount = i;
            ReportError(kReaderFewerChunks);
            break;
        }
        tracks[i] = new CMidiFormat1TrackData(size, position, data, capacity);
        // A chunk that cannot be read has size 0, so the next track is tried at
        // the same place.
        position += tracks[i]->size;
    }
    state = kStateParsed;
}

void CMidiFormat1Data::ToNoteForm() {
    if (state != kStateParsed) {
        ReportError(kReaderWrongState);
        return;
    }
    for (std::int32_t i = 0; i < trackCount; ++i) {
        tracks[i]->ToNoteForm();
    }
    state = kStateNoteForm;
}

void CMidiFormat1Data::CheckMasterVolume(bool report) {
    std::int32_t result = -1;
    for (std::int32_t i = 0; i < trackCount; ++i) {
        if (tracks[i] == nullptr) {
            continue;
        }
        std::int32_t value = tracks[i]->FindMasterVolume();
        if (value != -1) {
            if (result == -1) {
                result = value;
            } else {
                ReportError(kReaderManyMasterVolumes);
            }
        }
    }
    if (result == -1) {
        if (report) {
            ReportError(kReaderMasterVolumeSet);
        }
        InsertMasterVolume(127);
    }
}

void CMidiFormat1Data::InsertMasterVolume(std::int32_t value) {
    if (trackCount <= 0 || tracks[0] == nullptr) {
        return;
    }
    CMidiTrackData* target = tracks[0];
    for (std::int32_t i = 0; i < trackCount; ++i) {
        if (tracks[i] != nullptr && tracks[i]->FirstChannel() != 255) {
            target = tracks[i];
            break;
        }
    }
    target->InsertMasterVolume(value);
}

void CMidiFormat1Data::MergeInto(CMidiFormat0Data& song) {
    if (state != kStateNoteForm || song.track == nullptr) {
        ReportError(kReaderWrongState);
        return;
    }
    song.division = division;
    song.track->Merge(trackCount, tracks);
}

void CMidiFormat1Data::SplitByChannel(const CMidiFormat0Data& song) {
    constexpr std::int32_t kSplitTracks = 17;
    if (song.state != CMidiFormat0Data::kStateNoteForm || song.track == nullptr ||
        song.track->state != CMidiTrackData::kStateNoteForm) {
        ReportError(kReaderWrongState);
        return;
    }
    DeleteTracks();
    std::int64_t lastTick[kSplitTracks] = {};
    for (std::int32_t k = 0; k < kSplitTracks; ++k) {
        tracks[k] = new CMidiFormat1TrackData(capacity);
        tracks[k]->state = CMidiTrackData::kStateNoteForm;
    }
    std::int64_t tick = 0;
    const CMidiTrackData& source = *song.track;
    for (std::int32_t i = 0; i < source.count; ++i) {
        const CMusicEvent& event = *source.events[i];
        tick += event.delta;
        std::int32_t k = 0;
        if (event.status == kStatusExclusive || event.status == kStatusExclusiveEscape) {
            k = 1;
        } else if (event.channel >= 0 && event.channel <= 15) {
            k = event.channel + 1;
        }
        auto* copy = new CMusicEvent();
        copy->CopyFrom(event);
        copy->delta = static_cast<std::int32_t>(tick - lastTick[k]);
        if (!tracks[k]->Append(copy)) {
            delete copy;
            continue;
        }
        lastTick[k] = tick;
    }
    for (std::int32_t k = 0; k < kSplitTracks; ++k) {
        tracks[k]->NormalizeEndOfTrack();
    }
    trackCount = kSplitTracks;
    division = song.division;
    state = kStateNoteForm;
}

void CMidiFormat1Data::ReportError(std::uint32_t code) {
    ReportCatalogError(CatalogModule::M1DT, code);
}

void CMidiFormat1Data::ReportOnce(std::uint32_t code) {
    ReportCatalogOnce(CatalogModule::M1DT, code);
}
