#include "app/midi/midi_format0_data.h"

#include "app/midi/error_catalogs.h"
#include "app/midi/general_routines.h"
#include "app/midi/midi_format1_data.h"

CMidiFormat0Data::CMidiFormat0Data(const char* path, std::int32_t songCapacity)
    : CMidiFileBuffer(songCapacity) {
    ReportOnce(0);
    if (ReadFileInto(path, data, size, capacity) == 0) {
        // Reported already; the song stays empty and the caller sees the failure.
        fileOpened_ = false;
        MakeEmptyTrack();
        state = kStateNoteForm;
        return;
    }
    state = kStateLoaded;
    if (ReadHeader(false)) {
        if (division == 0) {
            // Zero ticks per quarter note has no tempo to play at and no way to
            // convert to the player's resolution: the song is refused.
            ReportError(kSongBadData);
            MakeEmptyTrack();
            state = kStateNoteForm;
            return;
        }
        ParseTrack();
        ToNoteForm();
        return;
    }
    auto* reader = new CMidiFormat1Data(path, capacity);
    MakeEmptyTrack();
    reader->MergeInto(*this);
    delete reader;
    state = kStateNoteForm;
}

CMidiFormat0Data::CMidiFormat0Data(const CMidiFormat0Data& source, std::int32_t copyCapacity)
    : CMidiFileBuffer(copyCapacity),
      division(source.division),
      state(source.state),
      timeSignature(source.timeSignature),
      fileOpened_(source.fileOpened_) {
    ReportOnce(0);
    if (source.track != nullptr) {
        track = new CMidiTrackData(*source.track, copyCapacity);
    } else {
        MakeEmptyTrack();
    }
}

CMidiFormat0Data::~CMidiFormat0Data() {
    delete playCopy;
    delete track;
}

void CMidiFormat0Data::MakeEmptyTrack() {
    delete track;
    track = new CMidiTrackData(capacity);
    track->state = CMidiTrackData::kStateNoteForm;
}

bool CMidiFormat0Data::ReadHeader(bool report) {
    if (size == 0) {
        return false;
    }
    const bool headerFirst =
        ByteAt(0) == 'M' && ByteAt(1) == 'T' && ByteAt(2) == 'h' && ByteAt(3) == 'd';
    if (!headerFirst && DropMacBinaryHeader(data, "MThd", size) == 0) {
        if (report) {
            ReportError(kSongNoHeader);
        }
        return false;
    }
    position = 8;
    if (ByteAt(position) != 0 || ByteAt(position + 1) != 0) {
        if (report) {
            ReportError(kSongNotFormat0);
        }
        return false;
    }
    position += 2;
    if (ByteAt(position) != 0 || ByteAt(position + 1) != 1) {
        if (report) {
            ReportError(kSongBadTrackCount);
        }
        return false;
    }
    position += 2;
    division = (ByteAt(position) << 8) | ByteAt(position + 1);
    position += 2;  // the first track chunk follows the 6-byte header
    return true;
}

void CMidiFormat0Data::ParseTrack() {
    if (state != kStateLoaded) {
        ReportError(kSongWrongState);
        return;
    }
    delete track;
    track = new CMidiTrackData(size, position, data, capacity);
    position += track->size;
    state = kStateOnOff;
}

void CMidiFormat0Data::ToNoteForm() {
    if (state != kStateOnOff || track == nullptr) {
        ReportError(kSongWrongState);
        return;
    }
    track->ToNoteForm();
    state = kStateNoteForm;
}

void CMidiFormat0Data::SetDivision(std::int32_t newDivision) {
    if (track == nullptr) {
        ReportError(kSongWrongState);
        return;
    }
    track->ChangeDivision(division, newDivision, false);
    // Ticks cannot be converted from or to a zero division (the track reports
    // it and keeps its ticks), so the song then keeps its division too. A song
    // without events has no ticks to keep and takes the new division.
    if ((division > 0 && newDivision > 0) || track->count == 0) {
        division = newDivision;
    }
}

void CMidiFormat0Data::ToOnOffForm() {
    if (state != kStateNoteForm || track == nullptr) {
        ReportError(kSongWrongState);
        return;
    }
    track->ToOnOffForm();
    state = kStateOnOff;
}

CMidiFormat0Data* CMidiFormat0Data::MakePlayCopy() const {
    auto* copy = new CMidiFormat0Data(*this, kSongCapacity);
    copy->SetDivision(kPlayDivision);
    copy->ToOnOffForm();
    return copy;
}

void CMidiFormat0Data::ReportError(std::uint32_t code) {
    ReportCatalogError(CatalogModule::M0DT, code);
}

void CMidiFormat0Data::ReportOnce(std::uint32_t code) {
    ReportCatalogOnce(CatalogModule::M0DT, code);
}
