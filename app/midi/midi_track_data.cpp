#include "app/midi/midi_track_data.h"

#include <algorithm>
#include <cstring>

#include "app/midi/error_catalogs.h"
#include "app/midi/general_routines.h"

namespace {

constexpr std::int32_t kChunkHeaderBytes = 8;
constexpr std::int32_t kLargeEventBytes = 256;

std::uint8_t runningStatus = 0;

std::int32_t eventSlots(std::int32_t capacity) {
    return std::max(capacity, 0) / 3;
}

CMusicEvent** allocateSlots(std::int32_t slots) {
    return static_cast<CMusicEvent**>(
        AllocZeroed(static_cast<std::size_t>(slots) * sizeof(CMusicEvent*)));
}

bool isLargeEvent(const CMusicEvent& event) {
    return event.length >= kLargeEventBytes && event.subtype != kExclusiveLargeAllowed;
}

}  // namespace

CMidiTrackData::CMidiTrackData(std::int32_t fileSize, std::int32_t chunkPosition,
                               const std::uint8_t* fileData, std::int32_t trackCapacity)
    : CMidiFileBuffer(trackCapacity),
      events(allocateSlots(eventSlots(trackCapacity))),
      maxEvents_(eventSlots(trackCapacity)) {
    ReportOnce(0);
    count = 0;
    state = kStateLoaded;

    // Bytes of the file image, zeros outside it.
    auto fileByte = [&](std::int64_t offset) -> std::uint8_t {
        return fileData != nullptr && offset >= 0 && offset < fileSize ? fileData[offset] : 0;
    };
    const std::int64_t at = chunkPosition;
    char id[4];
    for (int i = 0; i < 4; ++i) {
        id[i] = static_cast<char>(fileByte(at + i));
    }
    if (at < 0 || (std::memcmp(id, "MTrk", 4) != 0 && std::memcmp(id, "XFKM", 4) != 0)) {
        ReportError(kTrackNotATrackChunk);
        size = 0;
        return;
    }
    std::uint32_t length = (std::uint32_t{fileByte(at + 4)} << 24) |
                           (std::uint32_t{fileByte(at + 5)} << 16) |
                           (std::uint32_t{fileByte(at + 6)} << 8) | fileByte(at + 7);
    const std::int64_t chunkBytes = std::int64_t{length} + kChunkHeaderBytes;
    if (at + chunkBytes > fileSize) {
        ReportError(kTrackInternalError);
        size = 0;
        return;
    }
    if (chunkBytes > capacity) {
        // The chunk fits the file but not this track: refused like a chunk that
        // runs past the file, rather than written beyond the track's block.
        ReportError(kTrackTooMuchData);
        size = 0;
        return;
    }
    size = static_cast<std::int32_t>(chunkBytes);
    std::memcpy(data, fileData + at, static_cast<std::size_t>(size));
    ParseEvents();
}

CMidiTrackData::CMidiTrackData(std::int32_t trackCapacity)
    : CMidiFileBuffer(trackCapacity),
      events(allocateSlots(eventSlots(trackCapacity))),
      maxEvents_(eventSlots(trackCapacity)) {
    state = kStateEmpty;
}

CMidiTrackData::CMidiTrackData(const CMidiTrackData& source, std::int32_t trackCapacity)
    : CMidiFileBuffer(trackCapacity),
      events(allocateSlots(eventSlots(trackCapacity))),
      maxEvents_(eventSlots(trackCapacity)) {
    state = kStateLoaded;
    if (source.state != kStateNoteForm) {
        ReportError(kTrackInternalError);
        return;
    }
    for (std::int32_t i = 0; i < source.count; ++i) {
        if (count >= maxEvents_) {
            ReportError(kTrackTooMuchData);
            break;
        }
        auto* copy = new CMusicEvent();
        copy->CopyFrom(*source.events[i]);
        events[count++] = copy;
    }
    state = kStateNoteForm;
}

CMidiTrackData::~CMidiTrackData() {
    for (std::int32_t i = 0; i < count; ++i) {
        if (events[i] != nullptr && isLargeEvent(*events[i])) {
            ReportError(kTrackLargeEventKept);
        }
    }
    Clear();
    FreeBlock(events);
}

void CMidiTrackData::ParseEvents() {
    if (state != kStateLoaded) {
        // Parsing an already parsed list would stop at once on every event.
        ReportError(kTrackInternalError);
        return;
    }
    Clear();
    fullReported_ = false;
    position = kChunkHeaderBytes;
    while (position < size) {
        ParseEvent();
    }
    state = kStateOnOff;
}

void CMidiTrackData::ParseEvent() {
    if (state != kStateLoaded) {
        ReportError(kTrackInternalError);
        return;
    }
    auto* event = new CMusicEvent(ReadVarLen());
    ParseEventBody(*event);
    if (count >= maxEvents_) {
        // The event is read to keep the parse in step with the chunk, then
        // dropped. One report per parse: a dense chunk would otherwise show one
        // box for every further event.
        if (!fullReported_) {
            ReportError(kTrackTooMuchData);
            fullReported_ = true;
        }
        delete event;
        return;
    }
    events[count++] = event;
}

std::int32_t CMidiTrackData::ReadVarLen() {
    // Unsigned so that an over-long number wraps instead of overflowing.
    std::uint32_t value = 0;
    while (ByteAt(position) & 0x80) {
        value = (value + (ByteAt(position) & 0x7Fu)) * 128u;
        position += 1;
        if (position >= size - 1) {
            ReportError(kTrackInternalError);
            break;
        }
    }
    value += ByteAt(position);
    position += 1;
    return static_cast<std::int32_t>(value);
}

void CMidiTrackData::ParseEventBody(CMusicEvent& event) {
    if (position >= size) {
        ReportError(kTrackInternalError);
        return;
    }
    const std::int32_t start = position;
    std::int32_t s = ByteAt(position);
    std::int32_t n = DecodeStatus(s, event);
    if (n == 0) {
        // Running status: decode as if the status byte stood in front of the
        // data bytes, which start at the current byte.
        s = runningStatus;
        position -= 1;
        n = DecodeStatus(s, event);
        if (n == 0) {
            ReportError(kTrackUndefinedEvent);
            // Skip the byte: stepping back without consuming anything would read
            // it again for ever. The event keeps status 0 and goes at clean-up.
            position = start + 1;
            return;
        }
    }
    if (isLargeEvent(event)) {
        ReportOnce(kTrackLargeEvent);
    }
    if (s != kStatusMeta) {
        SetDataFromImage(event, position, event.length);
    }
    position += n;
    if (s != kStatusMeta) {
        runningStatus = static_cast<std::uint8_t>(s);
    }
}

std::int32_t CMidiTrackData::DecodeStatus(std::int32_t s, CMusicEvent& event) {
    const std::int32_t d1 = ByteAt(std::int64_t{position} + 1);
    const std::int32_t d2 = ByteAt(std::int64_t{position} + 2);
    const std::int32_t kind = s & 0xF0;
    const std::int32_t channel = s & 0x0F;

    auto noteEvent = [&](std::int32_t status, std::int32_t velocity) {
        event.status = status;
        event.channel = channel;
        event.note = d1;
        event.velocity = velocity;
        if (d1 > 127) {
            ReportOnce(kTrackBadNoteNumber);
            event.note = 0;
            event.velocity = 0;
        }
        event.length = 3;
        return 3;
    };
    auto channelEvent = [&](std::int32_t status, std::int32_t bytes) {
        event.status = status;
        event.channel = channel;
        event.length = bytes;
        return bytes;
    };

    if (s >= 0x80 && s <= 0xEF) {
        switch (kind) {
            case 0x90:
                // A note on of velocity 0 is a note off. Its note byte is checked
                // like any other: a data byte above 127 is no note.
                return d2 == 0 ? noteEvent(kStatusNoteOff, 0) : noteEvent(kStatusNoteOn, d2);
            case 0x80:
                return noteEvent(kStatusNoteOff, d2);
            case 0xB0:
                event.subtype = d1;
                event.value = d2;
                return channelEvent(kStatusControl, 3);
            case 0xC0:
                event.value = d1;
                if (d1 >= 128) {
                    ReportError(kTrackBadProgram);
                    event.value = 0;
                }
                return channelEvent(kStatusProgram, 2);
            case 0xD0:
                event.value = d1;
                return channelEvent(kStatusChannelPressure, 2);
            case 0xE0:
                event.note = d1;
                event.value = d2;
                return channelEvent(kStatusPitchBend, 3);
            case 0xA0:
                event.note = d1;
                event.value = d2;
                return channelEvent(kStatusKeyPressure, 3);
        }
    }
    if (s == kStatusExclusive) {
        // The message runs through the first following F7, whatever its stored
        // count says.
        std::int32_t end = position + 1;
        while (ByteAt(end) != 0xF7) {
            if (end >= size - 1) {
                ReportError(kTrackInternalError);
                break;
            }
            ++end;
        }
        event.status = kStatusExclusive;
        SetDataFromImage(event, position, end - position + 1);
        ClassifyExclusive(event);
        return event.length;
    }
    if (s == kStatusExclusiveEscape) {
        event.status = kStatusExclusiveEscape;
        event.length = d1 + 2;
        return event.length;
    }
    if (s == kStatusMeta) {
        event.status = kStatusMeta;
        return ParseMeta(event);
    }
    event.status = kStatusDeleted;
    event.length = 0;
    return 0;
}

std::int32_t CMidiTrackData::ParseMeta(CMusicEvent& event) {
    const std::int64_t at = position;
    const std::int32_t type = ByteAt(at + 1);
    event.subtype = type;

    std::int32_t fixedLength = -1;
    switch (type) {
        case 0x00:
            fixedLength = 2;
            break;
        case 0x20:
            fixedLength = 1;
            break;
        case kMetaEndOfTrack:
            fixedLength = 0;
            break;
        case kMetaTempo:
            fixedLength = 3;
            event.value = (ByteAt(at + 3) << 16) | (ByteAt(at + 4) << 8) | ByteAt(at + 5);
            if (event.value == 0) {
                ReportError(kTrackBadTempo);
                event.value = 500000;
            }
            break;
        case 0x54:
            fixedLength = 5;
            break;
        case kMetaTimeSignature:
            fixedLength = 4;
            event.value = PackTimeSignature(ByteAt(at + 3), ByteAt(at + 4));
            SetDataFromImage(event, at + 3, ByteAt(at + 2));
            break;
        case 0x59:
            fixedLength = 2;
            SetDataFromImage(event, at + 3, 2);
            break;
    }
    if (fixedLength >= 0) {
        // The stored length byte is not trusted for these types.
        return fixedLength + 3;
    }

    // Text form: a variable-length count, then the text.
    std::int64_t p = at + 2;
    std::uint32_t textLength = 0;
    while (ByteAt(p) & 0x80) {
        textLength = (textLength + (ByteAt(p) & 0x7Fu)) * 128u;
        p += 1;
        if (p >= size - 1) {
            ReportError(kTrackInternalError);
            break;
        }
    }
    textLength += ByteAt(p);
    p += 1;
    const std::int64_t countBytes = p - (at + 2);
    const std::int64_t available = std::max<std::int64_t>(size - p, 0);
    if (textLength > available) {
        // A count beyond the chunk would copy foreign bytes (or gigabytes); the
        // text is cut at the chunk's end.
        ReportError(kTrackInternalError);
        textLength = static_cast<std::uint32_t>(available);
    }
    if (textLength == 0) {
        const std::uint8_t terminator = 0;
        event.SetData(&terminator, 1);
    } else {
        SetDataFromImage(event, p, static_cast<std::int32_t>(textLength));
    }
    if (type == 0x09) {
        event.subtype = 4;  // a device name is kept as an instrument name
    } else if (!((type >= 0x01 && type <= 0x07) || type == 0x7F)) {
        event.status = kStatusDeleted;
    }
    return static_cast<std::int32_t>(2 + countBytes + textLength);
}

void CMidiTrackData::ClassifyExclusive(CMusicEvent& event) {
    event.subtype = 0;
    if (event.data == nullptr) {
        return;
    }
    auto b = [&](std::int32_t i) -> std::int32_t { return event.ByteAt(i); };
    auto matches = [&](std::int32_t from, std::initializer_list<std::int32_t> bytes) {
        std::int32_t i = from;
        for (std::int32_t expected : bytes) {
            if (b(i++) != expected) {
                return false;
            }
        }
        return true;
    };
    const bool rolandParameter = matches(2, {0x41, 0x10, 0x42, 0x12, 0x40});

    if (matches(2, {0x7F, 0x7F, 0x04, 0x01}) && b(8) == 0xF7) {
        event.subtype = kExclusiveMasterVolume;
        event.value = b(7);
    } else if (matches(2, {0x7F, 0x7F, 0x04, 0x02}) && b(8) == 0xF7) {
        event.subtype = 40;
        event.value = b(7);
    } else if (matches(2, {0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x04})) {
        event.subtype = kExclusiveMasterVolume;
        event.value = b(9);
    } else if (rolandParameter && b(7) == 0x01) {
        const std::int32_t a = b(8);
        if (a >= 0x30 && a <= 0x35) {
            event.subtype = 20 + (a - 0x30);
        } else if (a >= 0x37 && a <= 0x40) {
            event.subtype = 32 + (a - 0x37);
        } else if (a >= 0x50 && a <= 0x59) {
            event.subtype = 48 + (a - 0x50);
        } else if (a == 0x5A) {
            event.subtype = 64;
        }
        event.value = b(9);
    } else if (rolandParameter && b(7) == 0x02) {
        const std::int32_t a = b(8);
        if (a >= 0 && a <= 3) {
            event.subtype = 65 + a;
        }
        event.value = b(9);
    } else if (rolandParameter && b(7) >= 0x10 && b(7) <= 0x1F) {
        // Blocks 0x10..0x1F address the sound module's parts: 0x10 the drums on
        // channel 10, 0x11.. channels 1..9, 0x1A.. channels 11..16.
        const std::int32_t block = b(7);
        if (b(8) == 0x15) {
            event.subtype = 18;
            event.channel = block == 0x10 ? 9 : block <= 0x19 ? block - 0x11 : block - 0x10;
        }
        event.value = b(9);
    } else if (rolandParameter && b(7) >= 0x40 && b(7) <= 0x4F) {
        const std::int32_t block = b(7);
        if (b(8) == 0x20) {
            event.subtype = 69;
            event.channel = block == 0x40 ? 9 : block <= 0x49 ? block - 0x41 : block - 0x40;
        }
        event.value = b(9);
    } else if (rolandParameter) {
        // Another Roland parameter block: no class.
    } else if (matches(2, {0x41, 0x10, 0x42, 0x12, 0x00, 0x00, 0x7F})) {
        event.subtype = 19;
    } else if (matches(2, {0x43, 0x79, 0x06, 0x7F}) && b(8) == 0xF7) {
        event.subtype = kExclusiveLargeAllowed;
    } else if (matches(2, {0x7E, 0x7F, 0x09, 0x01, 0xF7})) {
        event.subtype = 9;  // General MIDI system on
    }
}

std::int32_t CMidiTrackData::PackTimeSignature(std::int32_t numerator, std::int32_t power) {
    // A denominator must fit the low byte of the packed value: powers above 7
    // (and negative ones) would run into the numerator or past the shift.
    if (numerator == 0 || power <= 0 || power > 7) {
        ReportError(kTrackBadTimeSignature);
        return 4 * 256 + 4;
    }
    return numerator * 256 + (1 << power);
}

std::uint8_t CMidiTrackData::GetRunningStatus() {
    return runningStatus;
}

void CMidiTrackData::SetRunningStatus(std::uint8_t status) {
    runningStatus = status;
}

bool CMidiTrackData::Append(CMusicEvent* event) {
    if (count >= maxEvents_) {
        ReportError(kTrackTooMuchData);
        return false;
    }
    events[count++] = event;
    return true;
}

void CMidiTrackData::Clear() {
    for (std::int32_t i = 0; i < count; ++i) {
        delete events[i];
        events[i] = nullptr;
    }
    count = 0;
}

void CMidiTrackData::SetDataFromImage(CMusicEvent& event, std::int64_t from, std::int32_t n) const {
    if (n <= 0) {
        return;
    }
    event.SetData(nullptr, n);
    if (from >= 0 && from + n <= capacity) {
        std::memcpy(event.data, data + from, static_cast<std::size_t>(n));
        return;
    }
    for (std::int32_t i = 0; i < n; ++i) {
        event.data[i] = ByteAt(from + i);
    }
}

bool CMidiTrackData::RequireState(std::int32_t required) const {
    if (state != required) {
        ReportError(kTrackInternalError);
        return false;
    }
    return true;
}

void CMidiTrackData::ReportError(std::uint32_t code) {
    ReportCatalogError(CatalogModule::MDTK, code);
}

void CMidiTrackData::ReportOnce(std::uint32_t code) {
    ReportCatalogOnce(CatalogModule::MDTK, code);
}

CMidiFormat1TrackData::CMidiFormat1TrackData(std::int32_t fileSize, std::int32_t chunkPosition,
                                             const std::uint8_t* fileData,
                                             std::int32_t readerCapacity)
    : CMidiTrackData(fileSize, chunkPosition, fileData, readerCapacity / 2) {
    ReportOnce(0);
}

CMidiFormat1TrackData::CMidiFormat1TrackData(std::int32_t readerCapacity)
    : CMidiTrackData(readerCapacity / 2) {
    ReportOnce(0);
}

void CMidiFormat1TrackData::ReportOnce(std::uint32_t code) {
    ReportCatalogOnce(CatalogModule::M1TK, code);
}
