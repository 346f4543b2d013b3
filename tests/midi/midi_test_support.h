// Shared pieces of the MIDI library tests: a recorder for catalog reports, and
// builders for event bytes, track chunks, whole files and event lists.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <string>
#include <vector>

#include "app/midi/error_catalogs.h"
#include "app/midi/midi_track_data.h"
#include "app/platform/app_message.h"

using Bytes = std::vector<std::uint8_t>;

// Records every report instead of showing it, and starts each test from a
// fresh process state: running status 0, once-only flags clear.
class ReportRecorder : public ::testing::Test {
  protected:
    void SetUp() override {
        previous_ =
            setAppMessageHandler([this](const std::string& text, const std::string& caption) {
                reports.push_back(text);
                captions.push_back(caption);
            });
        CMidiTrackData::SetRunningStatus(0);
        for (CatalogModule module :
             {CatalogModule::M0DT, CatalogModule::M1DT, CatalogModule::MDTK, CatalogModule::M1TK}) {
            ReportCatalogOnce(module, 0);
        }
    }
    void TearDown() override { setAppMessageHandler(previous_); }

    // Report lines whose module letters and code match, e.g. "MDTK0D000001".
    int CountReports(const std::string& prefix) const {
        int n = 0;
        for (const std::string& line : reports) {
            n += line.rfind(prefix, 0) == 0 ? 1 : 0;
        }
        return n;
    }
    std::vector<std::string> ReportCodes() const {
        std::vector<std::string> codes;
        for (const std::string& line : reports) {
            codes.push_back(line.substr(0, 12));
        }
        return codes;
    }

    std::vector<std::string> reports;
    std::vector<std::string> captions;

  private:
    AppMessageHandler previous_;
};

inline void AppendBigEndian(Bytes& out, std::uint32_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) {
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
}

inline Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts) {
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}

// A track chunk ("MTrk", length, events).
inline Bytes TrackChunk(const Bytes& events, const char* id = "MTrk") {
    Bytes out(id, id + 4);
    AppendBigEndian(out, static_cast<std::uint32_t>(events.size()), 4);
    out.insert(out.end(), events.begin(), events.end());
    return out;
}

// A header chunk of the given format, track count and division.
inline Bytes HeaderChunk(int format, int tracks, int division, std::uint32_t headerLength = 6) {
    Bytes out{'M', 'T', 'h', 'd'};
    AppendBigEndian(out, headerLength, 4);
    AppendBigEndian(out, static_cast<std::uint32_t>(format), 2);
    AppendBigEndian(out, static_cast<std::uint32_t>(tracks), 2);
    AppendBigEndian(out, static_cast<std::uint32_t>(division), 2);
    return out;
}

inline Bytes MacBinary(const Bytes& file) {
    Bytes out(128 + file.size(), 0x11);
    std::copy(file.begin(), file.end(), out.begin() + 128);
    return out;
}

// A track parsed from event bytes (delta-time and event pairs).
inline CMidiTrackData* ParseTrackBytes(const Bytes& events, std::int32_t capacity = 3000) {
    Bytes chunk = TrackChunk(events);
    return new CMidiTrackData(static_cast<std::int32_t>(chunk.size()), 0, chunk.data(), capacity);
}

// Temporary files that vanish with the test.
class TempDir {
  public:
    TempDir() {
        path_ = std::filesystem::temp_directory_path() /
                // The process id keeps test programs that CTest runs side by side apart.
                ("korvane-midi-" + std::to_string(::getpid()) + "-" + std::to_string(counter()++));
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    std::string Write(const std::string& name, const Bytes& bytes) const {
        std::filesystem::path file = path_ / name;
        std::ofstream(file, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return file.string();
    }
    const std::filesystem::path& path() const { return path_; }

  private:
    static int& counter() {
        static int n = 0;
        return n;
    }
    std::filesystem::path path_;
};

// One event of a hand-made list.
struct EventInit {
    std::int32_t delta;
    std::int32_t status;
    std::int32_t note = 0;
    std::int32_t velocity = 0;
    std::int32_t duration = 0;
    std::int32_t channel = 0;
    std::int32_t subtype = 0;
};

inline EventInit On(std::int32_t delta, std::int32_t note, std::int32_t velocity = 100,
                    std::int32_t channel = 0) {
    return {delta, kStatusNoteOn, note, velocity, 0, channel};
}
inline EventInit Off(std::int32_t delta, std::int32_t note, std::int32_t channel = 0) {
    return {delta, kStatusNoteOff, note, 0, 0, channel};
}
inline EventInit Note(std::int32_t delta, std::int32_t note, std::int32_t duration,
                      std::int32_t velocity = 100, std::int32_t channel = 0) {
    return {delta, kStatusNote, note, velocity, duration, channel};
}
inline EventInit EndOfTrack(std::int32_t delta) {
    return {delta, kStatusMeta, 0, 0, 0, 255, kMetaEndOfTrack};
}
inline EventInit Control(std::int32_t delta, std::int32_t controller, std::int32_t channel = 0) {
    return {delta, kStatusControl, 0, 0, 0, channel, controller};
}

// A track holding the given events, in the given state.
inline CMidiTrackData* MakeTrack(std::initializer_list<EventInit> items, std::int32_t state,
                                 std::int32_t capacity = 3000) {
    auto* track = new CMidiTrackData(capacity);
    for (const EventInit& item : items) {
        auto* event = new CMusicEvent(item.delta);
        event->status = item.status;
        event->note = item.note;
        event->velocity = item.velocity;
        event->duration = item.duration;
        event->channel = item.status == kStatusMeta ? 255 : item.channel;
        event->subtype = item.subtype;
        track->Append(event);
    }
    track->state = state;
    return track;
}

// The list as (delta, status, note, duration) rows, for whole-list comparisons.
struct Row {
    std::int32_t delta, status, note, duration;
    bool operator==(const Row&) const = default;
};
inline std::ostream& operator<<(std::ostream& out, const Row& row) {
    return out << "(" << row.delta << ", " << std::hex << row.status << std::dec << ", " << row.note
               << ", " << row.duration << ")";
}
inline std::vector<Row> Rows(const CMidiTrackData& track) {
    std::vector<Row> rows;
    for (std::int32_t i = 0; i < track.count; ++i) {
        const CMusicEvent& e = *track.events[i];
        rows.push_back({e.delta, e.status, e.note, e.duration});
    }
    return rows;
}
