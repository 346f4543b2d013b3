// The operations that rewrite a whole event list. All times are deltas (ticks
// since the previous event of the same list), so removing or inserting an event
// always moves its time into a neighbour.
#include <algorithm>
#include <cstring>
#include <limits>

#include "app/midi/general_routines.h"
#include "app/midi/midi_track_data.h"

namespace {

// Sums of deltas of a damaged file can leave the 32-bit range; they saturate
// instead of wrapping.
std::int32_t clampTicks(std::int64_t ticks) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        ticks, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

bool isEndOfTrack(const CMusicEvent& event) {
    return event.status == kStatusMeta && event.subtype == kMetaEndOfTrack;
}

CMusicEvent* makeEndOfTrack() {
    auto* event = new CMusicEvent(0);
    event->status = kStatusMeta;
    event->subtype = kMetaEndOfTrack;
    return event;
}

constexpr std::int32_t kMaxMergedNameBytes = 255;
constexpr std::int32_t kLargeEventBytes = 256;
constexpr std::int32_t kNoteOffVelocity = 64;

}  // namespace

void CMidiTrackData::RemoveDeleted() {
    std::int32_t kept = 0;
    std::int64_t carried = 0;
    bool carrying = false;
    for (std::int32_t i = 0; i < count; ++i) {
        CMusicEvent* event = events[i];
        if (event->status == kStatusDeleted) {
            carried += event->delta;
            carrying = true;
            delete event;
            continue;
        }
        if (carrying) {
            std::int64_t sum = event->delta + carried;
            if (sum < 0) {
                ReportError(kTrackInternalError);
            }
            event->delta = clampTicks(sum);
            carried = 0;
            carrying = false;
        }
        events[kept++] = event;
    }
    for (std::int32_t i = kept; i < count; ++i) {
        events[i] = nullptr;
    }
    count = kept;
}

void CMidiTrackData::RemoveAt(std::int32_t i) {
    if (i < 0 || i >= count) {
        ReportError(kTrackInternalError);
        return;
    }
    if (i + 1 < count) {
        events[i + 1]->delta = clampTicks(std::int64_t{events[i + 1]->delta} + events[i]->delta);
    }
    delete events[i];
    std::memmove(events + i, events + i + 1, sizeof(CMusicEvent*) * (count - i - 1));
    events[--count] = nullptr;
}

bool CMidiTrackData::InsertAt(std::int32_t i, CMusicEvent* event) {
    if (i < 0 || i > count) {
        ReportError(kTrackInternalError);
        return false;
    }
    if (count >= maxEvents_) {
        ReportError(kTrackTooMuchData);
        return false;
    }
    std::memmove(events + i + 1, events + i, sizeof(CMusicEvent*) * (count - i));
    events[i] = event;
    ++count;
    return true;
}

void CMidiTrackData::SwapEvents(std::int32_t i, std::int32_t j) {
    if (i < 0 || j < 0 || i >= count || j >= count) {
        ReportError(kTrackInternalError);
        return;
    }
    std::swap(events[i], events[j]);
    std::swap(events[i]->delta, events[j]->delta);
}

void CMidiTrackData::NoteOnZeroToNoteOff() {
    if (!RequireState(kStateOnOff)) {
        return;
    }
    for (std::int32_t i = 0; i < count; ++i) {
        if (events[i]->status == kStatusNoteOn && events[i]->velocity == 0) {
            events[i]->status = kStatusNoteOff;
        }
    }
}

void CMidiTrackData::ToNoteForm() {
    if (!RequireState(kStateOnOff)) {
        return;
    }
    NoteOnZeroToNoteOff();
    // A paired note off is marked deleted where it stands instead of being cut
    // out at once: its delta then reaches the following event at the clean-up,
    // and every sum over a stretch of the list stays what it would be with the
    // note off removed, without shifting the list once per note.
    for (std::int32_t i = 0; i < count; ++i) {
        CMusicEvent& on = *events[i];
        if (on.status != kStatusNoteOn) {
            continue;
        }
        on.status = kStatusNote;
        std::int64_t sum = 0;
        for (std::int32_t j = i + 1; j < count; ++j) {
            CMusicEvent& off = *events[j];
            sum += off.delta;
            if (off.status == kStatusNoteOff && off.channel == on.channel && off.note == on.note) {
                on.duration = clampTicks(sum);
                off.status = kStatusDeleted;
                break;
            }
        }
    }
    for (std::int32_t i = 0; i < count; ++i) {
        CMusicEvent& event = *events[i];
        if (event.status == kStatusNoteOff) {
            event.status = kStatusDeleted;  // a note off without its note on
        } else if (event.status == kStatusNote) {
            if (event.duration == 0) {
                event.status = kStatusDeleted;  // a note on without its note off
            } else if (event.duration < 0) {
                ReportError(kTrackInternalError);
            }
        }
    }
    RemoveDeleted();
    state = kStateNoteForm;
}

void CMidiTrackData::ToOnOffForm() {
    if (!RequireState(kStateNoteForm)) {
        return;
    }
    for (std::int32_t i = 0; i < count; ++i) {
        if (events[i]->status == kStatusNote &&
            (events[i]->duration == 0 || events[i]->velocity == 0)) {
            events[i]->status = kStatusDeleted;
        }
    }
    RemoveDeleted();

    // The list grows by one note off per note. It is worked on as a linked list
    // so that each insertion costs nothing beyond the walk to its place.
    const std::int32_t slots = maxEvents_;
    ZeroedArray<CMusicEvent*> node(static_cast<std::size_t>(slots));
    ZeroedArray<std::int32_t> next(static_cast<std::size_t>(slots));
    for (std::int32_t i = 0; i < count; ++i) {
        node[i] = events[i];
        next[i] = i + 1 < count ? i + 1 : -1;
    }
    std::int32_t head = count > 0 ? 0 : -1;
    std::int32_t used = count;
    bool fullReported = false;

    std::int32_t previous = -1;
    for (std::int32_t current = head; current != -1; previous = current, current = next[current]) {
        CMusicEvent& note = *node[current];
        if (note.status != kStatusNote) {
            continue;
        }
        if (used >= slots) {
            // No room for its note off: the note is dropped rather than left
            // sounding for ever.
            if (!fullReported) {
                ReportError(kTrackTooMuchData);
                fullReported = true;
            }
            note.status = kStatusDeleted;
            continue;
        }
        note.status = kStatusNoteOn;
        const std::int64_t length = std::max(note.duration, 0);
        note.duration = 0;

        auto* off = new CMusicEvent();
        off->status = kStatusNoteOff;
        off->note = note.note;
        off->channel = note.channel;
        off->velocity = kNoteOffVelocity;
        const std::int32_t offNode = used++;
        node[offNode] = off;

        if (length == 0) {
            // Directly in front of its note on, taking over its time.
            off->delta = note.delta;
            note.delta = 0;
            next[offNode] = current;
            if (previous == -1) {
                head = offNode;
            } else {
                next[previous] = offNode;
            }
            current = offNode;  // the loop steps on to the note on, already done
            continue;
        }
        // In front of the first event that starts at or after the note's end.
        std::int64_t sum = 0;
        std::int32_t before = current;
        std::int32_t at = next[current];
        while (at != -1) {
            sum += node[at]->delta;
            if (sum >= length) {
                break;
            }
            before = at;
            at = next[at];
        }
        if (at != -1) {
            off->delta = clampTicks(node[at]->delta - (sum - length));
            node[at]->delta = clampTicks(sum - length);
        } else {
            off->delta = clampTicks(length - sum);
        }
        next[offNode] = at;
        next[before] = offNode;
    }

    count = 0;
    for (std::int32_t at = head; at != -1; at = next[at]) {
        events[count++] = node[at];
    }
    RemoveDeleted();

    // The End-of-Track goes last: a note that ends after it would otherwise
    // sound beyond the end of the track.
    for (std::int32_t i = 0; i < count; ++i) {
        if (!isEndOfTrack(*events[i])) {
            continue;
        }
        if (i + 1 < count) {
            CMusicEvent* end = events[i];
            events[i + 1]->delta = clampTicks(std::int64_t{events[i + 1]->delta} + end->delta);
            end->delta = 0;
            std::memmove(events + i, events + i + 1, sizeof(CMusicEvent*) * (count - i - 1));
            events[count - 1] = end;
        }
        break;
    }
    state = kStateOnOff;
    OrderNoteOffsFirst();
}

void CMidiTrackData::OrderNoteOffsFirst() {
    if (!RequireState(kStateOnOff)) {
        return;
    }
    // A repeated note must not be cut short: at one tick its note off has to
    // come before the note on that restarts it.
    for (std::int32_t i = 0; i < count; ++i) {
        if (events[i]->status != kStatusNoteOff) {
            continue;
        }
        for (std::int32_t j = i - 1; j >= 0 && events[j + 1]->delta == 0; --j) {
            if (events[j]->status == kStatusNoteOn) {
                SwapEvents(i, j);
                break;
            }
        }
    }
}

bool CMidiTrackData::ChangeDivision(std::int32_t oldDivision, std::int32_t newDivision,
                                    bool dropShortNotes) {
    if (oldDivision == newDivision) {
        return false;
    }
    if (!RequireState(kStateNoteForm)) {
        return false;
    }
    if ((oldDivision <= 0 || newDivision <= 0) && count > 0) {
        // There is no tick length to convert from or to. An empty track (the
        // song of a failed load) has nothing to convert and reports nothing.
        ReportError(kTrackInternalError);
        return false;
    }
    bool shortened = false;
    std::int64_t carry = 0;  // in old ticks: the truncation error still owed
    for (std::int32_t i = 0; i < count; ++i) {
        CMusicEvent& event = *events[i];
        const std::int64_t ticks = event.delta + carry;
        const std::int64_t converted = ticks * newDivision / oldDivision;
        carry = ticks - converted * oldDivision / newDivision;
        event.delta = clampTicks(converted);
        if (event.status == kStatusNote) {
            const std::int64_t duration = std::int64_t{event.duration} * newDivision / oldDivision;
            event.duration = clampTicks(duration);
            if (duration == 0) {
                if (dropShortNotes) {
                    event.status = kStatusDeleted;
                } else {
                    event.duration = 1;
                }
                shortened = true;
            }
        }
    }
    RemoveDeleted();
    return shortened;
}

void CMidiTrackData::Merge(std::int32_t n, CMidiTrackData* const* tracks) {
    if (n <= 0 || tracks == nullptr) {
        ReportError(kTrackNoTracksToMerge);
        return;
    }
    // A working copy never grows, so it is sized to its source rather than to
    // this track: sixteen tracks would otherwise zero sixteen full capacities.
    ZeroedArray<CMidiTrackData*> copies(static_cast<std::size_t>(n));
    for (std::int32_t k = 0; k < n; ++k) {
        const std::int32_t sourceEvents = tracks[k] != nullptr ? tracks[k]->count : 0;
        const std::int32_t copyCapacity =
            static_cast<std::int32_t>(std::min<std::int64_t>(capacity, 3 * (sourceEvents + 1)));
        copies[k] = tracks[k] != nullptr ? new CMidiTrackData(*tracks[k], copyCapacity)
                                         : new CMidiTrackData(copyCapacity);
    }
    Clear();

    for (std::int32_t i = 0; i < copies[0]->count; ++i) {
        const CMusicEvent& source = *copies[0]->events[i];
        if (source.status == kStatusMeta && source.subtype == kMetaTrackName) {
            // The name's text up to its first zero byte, cut at 255 bytes.
            std::int32_t bytes = 0;
            const std::int32_t limit = std::min(source.length, kMaxMergedNameBytes);
            while (source.data != nullptr && bytes < limit && source.data[bytes] != 0) {
                ++bytes;
            }
            auto* name = new CMusicEvent(0);
            name->status = kStatusMeta;
            name->subtype = kMetaTrackName;
            name->SetData(source.data, bytes);
            if (!Append(name)) {
                delete name;
            }
            break;
        }
    }

    // The working copies' events move into this track instead of being copied
    // once more; the copies are destroyed afterwards either way.
    ZeroedArray<std::int32_t> next(static_cast<std::size_t>(n));
    ZeroedArray<CMusicEvent*> head(static_cast<std::size_t>(n));  // null when a copy is used up
    std::int32_t remaining = 0;
    for (std::int32_t k = 0; k < n; ++k) {
        if (copies[k]->count > 0) {
            head[k] = copies[k]->events[0];
            ++remaining;
        }
    }
    // A working copy that held an event of 256 bytes or more reports it when
    // it is destroyed, as every track does; moved events are counted for that.
    std::int32_t largeEventsMoved = 0;
    auto take = [&](std::int32_t k, std::int32_t delta) {
        CMusicEvent*& slot = copies[k]->events[next[k]++];
        if (slot->length >= kLargeEventBytes && slot->subtype != kExclusiveLargeAllowed) {
            ++largeEventsMoved;
        }
        slot->delta = delta;
        events[count++] = slot;
        slot = nullptr;
        head[k] = next[k] < copies[k]->count ? copies[k]->events[next[k]] : nullptr;
        remaining -= head[k] == nullptr ? 1 : 0;
    };
    while (remaining > 0) {
        // One place stays free for the End-of-Track.
        if (count >= maxEvents_ - 1) {
            ReportError(kTrackTooMuchData);
            break;
        }
        if (remaining == 1) {
            std::int32_t only = 0;
            while (head[only] == nullptr) {
                ++only;
            }
            take(only, head[only]->delta);
            continue;
        }
        std::int32_t t = std::numeric_limits<std::int32_t>::max();
        for (std::int32_t k = 0; k < n; ++k) {
            if (head[k] != nullptr) {
                t = std::min(t, head[k]->delta);
            }
        }
        bool first = true;
        for (std::int32_t k = 0; k < n && count < maxEvents_ - 1; ++k) {
            if (head[k] == nullptr) {
                continue;
            }
            if (head[k]->delta == t) {
                take(k, first ? t : 0);
                first = false;
            } else {
                head[k]->delta = clampTicks(std::int64_t{head[k]->delta} - t);
            }
        }
    }
    NormalizeEndOfTrack();
    for (std::int32_t k = 0; k < n; ++k) {
        delete copies[k];
    }
    for (std::int32_t i = 0; i < largeEventsMoved; ++i) {
        ReportError(kTrackLargeEventKept);
    }
}

void CMidiTrackData::NormalizeEndOfTrack() {
    std::int32_t kept = 0;
    std::int64_t carried = 0;
    for (std::int32_t i = 0; i < count; ++i) {
        CMusicEvent* event = events[i];
        if (isEndOfTrack(*event) && i + 1 < count) {
            carried += event->delta;
            delete event;
            continue;
        }
        event->delta = clampTicks(event->delta + carried);
        carried = 0;
        events[kept++] = event;
    }
    for (std::int32_t i = kept; i < count; ++i) {
        events[i] = nullptr;
    }
    count = kept;
    if (count == 0 || !isEndOfTrack(*events[count - 1])) {
        CMusicEvent* end = makeEndOfTrack();
        if (!Append(end)) {
            delete end;
        }
    }
}

std::int32_t CMidiTrackData::FindMasterVolume() {
    std::int32_t found = -1;
    for (std::int32_t i = 0; i < count; ++i) {
        const CMusicEvent& event = *events[i];
        if (event.status == kStatusExclusive && event.subtype == kExclusiveMasterVolume) {
            if (found != -1) {
                ReportOnce(kTrackManyMasterVolumes);
            }
            found = event.value;
        }
    }
    return found;
}

void CMidiTrackData::InsertMasterVolume(std::int32_t value) {
    if (value > 127) {
        ReportError(kTrackInternalError);
    }
    auto* event = new CMusicEvent(0);
    event->status = kStatusExclusive;
    event->subtype = kExclusiveMasterVolume;
    event->value = value;
    const std::uint8_t bytes[] = {
        0xF0, 0x07, 0x7F, 0x7F, 0x04, 0x01, 0x00, static_cast<std::uint8_t>(value), 0xF7};
    event->SetData(bytes, sizeof bytes);
    if (!InsertAt(0, event)) {
        delete event;
    }
}

std::int32_t CMidiTrackData::FirstChannel() const {
    for (std::int32_t i = 0; i < count; ++i) {
        const CMusicEvent& event = *events[i];
        if (event.channel != 255 && event.status != kStatusExclusive &&
            event.status != kStatusExclusiveEscape) {
            return event.channel;
        }
    }
    return 255;
}
