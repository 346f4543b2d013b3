// Loading a large format-1 file: parsing every track, bringing each into note
// form, merging them into one track; and making the play copy of the result.
// The rate counted is file events (note ons, note offs, controllers) per second.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "app/midi/midi_format0_data.h"
#include "app/platform/app_message.h"

namespace {

constexpr int kTracks = 16;
constexpr int kNotesPerTrack = 2400;

void putVarLen(std::vector<unsigned char>& out, unsigned value) {
    unsigned char bytes[5];
    int n = 0;
    do {
        bytes[n++] = value & 0x7F;
        value >>= 7;
    } while (value != 0);
    while (n > 1) {
        out.push_back(bytes[--n] | 0x80);
    }
    out.push_back(bytes[0]);
}

struct BenchFile {
    std::string path;
    long events = 0;
};

// 16 tracks of overlapping notes (each note on/off pair in running status),
// with a controller every 16 notes.
const BenchFile& File() {
    static BenchFile file = [] {
        BenchFile made;
        std::vector<unsigned char> bytes{'M', 'T', 'h', 'd', 0,       0,    0,
                                         6,   0,   1,   0,   kTracks, 0x01, 0xE0};
        unsigned seed = 7;
        auto next = [&seed](unsigned range) {
            seed = seed * 1103515245u + 12345u;
            return (seed >> 16) % range;
        };
        for (int t = 0; t < kTracks; ++t) {
            std::vector<unsigned char> events;
            const unsigned char channel = static_cast<unsigned char>(t % 16);
            events.push_back(0);
            events.insert(events.end(), {static_cast<unsigned char>(0xC0 | channel), 0});
            ++made.events;
            for (int n = 0; n < kNotesPerTrack; ++n) {
                const unsigned char key = static_cast<unsigned char>(36 + next(48));
                putVarLen(events, next(3) * 40);
                events.insert(events.end(), {static_cast<unsigned char>(0x90 | channel), key,
                                             static_cast<unsigned char>(1 + next(126))});
                putVarLen(events, 20 + next(200));
                events.insert(events.end(), {key, 0});  // running status: note on, velocity 0
                made.events += 2;
                if (n % 16 == 0) {
                    events.push_back(0);
                    events.insert(events.end(), {static_cast<unsigned char>(0xB0 | channel), 7,
                                                 static_cast<unsigned char>(next(128))});
                    ++made.events;
                }
            }
            events.insert(events.end(), {0, 0xFF, 0x2F, 0});
            bytes.insert(bytes.end(), {'M', 'T', 'r', 'k'});
            for (int i = 3; i >= 0; --i) {
                bytes.push_back(static_cast<unsigned char>(events.size() >> (8 * i)));
            }
            bytes.insert(bytes.end(), events.begin(), events.end());
        }
        made.path = (std::filesystem::temp_directory_path() / "korvane-bench-format1.mid").string();
        std::ofstream(made.path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return made;
    }();
    return file;
}

void quietReports() {
    setAppMessageHandler([](const std::string& text, const std::string&) {
        std::fprintf(stderr, "unexpected report: %s\n", text.c_str());
    });
}

void BM_LoadFormat1(benchmark::State& state) {
    quietReports();
    const BenchFile& file = File();
    for (auto _ : state) {
        CMidiFormat0Data song(file.path.c_str(), kSongCapacity);
        benchmark::DoNotOptimize(song.track->count);
    }
    state.counters["events"] = benchmark::Counter(static_cast<double>(file.events),
                                                  benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_LoadFormat1)->Unit(benchmark::kMillisecond);

void BM_PlayCopy(benchmark::State& state) {
    quietReports();
    const BenchFile& file = File();
    CMidiFormat0Data song(file.path.c_str(), kSongCapacity);
    for (auto _ : state) {
        std::unique_ptr<CMidiFormat0Data> copy(song.MakePlayCopy());
        benchmark::DoNotOptimize(copy->track->count);
    }
    state.counters["events"] = benchmark::Counter(static_cast<double>(file.events),
                                                  benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_PlayCopy)->Unit(benchmark::kMillisecond);

}  // namespace
