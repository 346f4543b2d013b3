#include "tools/mididump/song_dump.h"

#include <cinttypes>

#include "app/midi/midi_format0_data.h"

void WriteSongDump(const CMidiFormat0Data& song, std::FILE* out) {
    const CMidiTrackData* track = song.track;
    const std::int32_t count = track != nullptr ? track->count : 0;
    std::fprintf(out, "division %d state %d events %d\n", song.division, song.state, count);
    std::int64_t tick = 0;
    for (std::int32_t i = 0; i < count; ++i) {
        const CMusicEvent& e = *track->events[i];
        tick += e.delta;
        std::fprintf(out, "%d %" PRId64 " %d %02X %d %d %d %d %d %d %d ", i, tick, e.delta,
                     static_cast<unsigned>(e.status) & 0xFFu, e.channel, e.note, e.velocity,
                     e.duration, e.subtype, e.value, e.length);
        if (e.data == nullptr || e.length <= 0) {
            std::fputs("-\n", out);
            continue;
        }
        for (std::int32_t b = 0; b < e.length; ++b) {
            std::fprintf(out, "%02X", e.data[b]);
        }
        std::fputc('\n', out);
    }
}
