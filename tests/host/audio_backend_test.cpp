#include "app/platform/audio_backend.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "app/host/host_messages.h"
#include "app/host/wave_out.h"
#include "app/platform/clocked_audio_backend.h"
#include "app/platform/wav_file_writer.h"
#include "app/platform/wave_done_queue.h"
#include "tests/host/host_test_support.h"

namespace {

namespace fs = std::filesystem;

fs::path tempFile(const std::string& name) {
    return fs::temp_directory_path() / ("korvane-host-" + std::to_string(::getpid()) + "-" + name);
}

std::vector<unsigned char> readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

uint32_t le32(const std::vector<unsigned char>& b, size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

uint16_t le16(const std::vector<unsigned char>& b, size_t at) {
    return static_cast<uint16_t>(b[at] | (b[at + 1] << 8));
}

TEST(AudioBackendChoice, ReadsTheEnvironmentValue) {
    using Kind = AudioBackendChoice::Kind;
    struct Case {
        const char* text;
        Kind kind;
        const char* path;
    };
    const Case cases[] = {
        {nullptr, Kind::device, ""},     {"", Kind::device, ""},
        {"null", Kind::null, ""},        {"wav:/tmp/x.wav", Kind::wav, "/tmp/x.wav"},
        {"wav:", Kind::invalid, "wav:"}, {"NULL", Kind::invalid, "NULL"},
        {"alsa", Kind::invalid, "alsa"},
    };
    for (const auto& c : cases) {
        const AudioBackendChoice choice = parseAudioBackendChoice(c.text);
        EXPECT_EQ(choice.kind, c.kind) << (c.text ? c.text : "(unset)");
        EXPECT_EQ(choice.wavPath, c.path) << (c.text ? c.text : "(unset)");
    }
}

TEST(AudioBackendChoice, AnInvalidChoiceIsADeviceThatCannotPlay) {
    MessageRecorder messages;
    WaveFormat format;
    CWaveOut out(-1, &format, 32768, 4,
                 createAudioBackend(parseAudioBackendChoice("no-such-device")));
    EXPECT_FALSE(out.queryFormat());
    EXPECT_EQ(messages.texts(), std::vector<std::string>{kMsgNoAudioDevice});
}

// This machine may or may not have a sound card; either way starting the real
// device ends in success or in one of the two device messages, never a crash.
TEST(RtAudioDevice, OpensOrReportsWithoutCrashing) {
    MessageRecorder messages;
    WaveFormat format;
    WaveDoneQueue owner;
    CWaveOut out(-1, &format, 32768, 4, createAudioBackend(parseAudioBackendChoice(nullptr)));
    const bool playing = out.queryFormat() && out.open(&owner) && out.queueAll() && out.restart();
    if (playing) {
        EXPECT_TRUE(messages.texts().empty());
    } else {
        ASSERT_EQ(messages.texts().size(), 1u);
        const std::string& text = messages.texts()[0];
        EXPECT_TRUE(text == kMsgNoAudioDevice || text == kMsgDeviceOpenFailed) << text;
    }
    out.reset();
    out.close();
}

TEST(WavFileWriter, WritesAValidMonoFile) {
    const fs::path path = tempFile("writer.wav");
    WaveFormat format;
    {
        WavFileWriter writer;
        ASSERT_TRUE(writer.open(path.string(), format));
        const int16_t samples[] = {1, -2, 32767, -32768};
        ASSERT_TRUE(writer.append(samples, 4));
        ASSERT_TRUE(writer.finish());
    }
    const auto bytes = readFile(path);
    ASSERT_EQ(bytes.size(), 44u + 8u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "RIFF");
    EXPECT_EQ(le32(bytes, 4), bytes.size() - 8);
    EXPECT_EQ(std::string(bytes.begin() + 8, bytes.begin() + 16), "WAVEfmt ");
    EXPECT_EQ(le16(bytes, 20), 1);       // PCM
    EXPECT_EQ(le16(bytes, 22), 1);       // mono
    EXPECT_EQ(le32(bytes, 24), 44100u);  // rate
    EXPECT_EQ(le32(bytes, 28), 88200u);  // bytes per second
    EXPECT_EQ(le16(bytes, 32), 2);
    EXPECT_EQ(le16(bytes, 34), 16);
    EXPECT_EQ(le32(bytes, 40), 8u);
    EXPECT_EQ(static_cast<int16_t>(le16(bytes, 48)), 32767);
    EXPECT_EQ(static_cast<int16_t>(le16(bytes, 50)), -32768);
    fs::remove(path);

    WavFileWriter unwritable;
    EXPECT_FALSE(unwritable.open((tempFile("missing-dir") / "x.wav").string(), format));
}

// The clocked devices play in real time; waiting for a position is bounded by a
// generous deadline so that a busy machine slows the test but does not fail it.
template <typename Condition>
bool waitFor(Condition condition, WaveDoneQueue& owner, CWaveOut& out) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        owner.waitAndDrain([&](WaveHeader* h) { out.requeue(h); }, std::chrono::milliseconds(5));
    }
    return true;
}

TEST(ClockedDevice, WavDeviceRecordsExactlyWhatItPlayed) {
    const fs::path path = tempFile("clocked.wav");
    MessageRecorder messages;
    WaveFormat format;
    WaveDoneQueue owner;
    CWaveOut out(-1, &format, 32768, 4,
                 createAudioBackend(parseAudioBackendChoice(("wav:" + path.string()).c_str())));
    ASSERT_TRUE(out.queryFormat() && out.open(&owner) && out.queueAll());
    // Buffer k holds the value k + 1 throughout.
    for (int32_t k = 0; k < 4; ++k) {
        std::vector<int16_t> fill(16384, static_cast<int16_t>(k + 1));
        out.write(k, 0, fill.data(), 16384);
    }
    ASSERT_TRUE(out.restart());
    // More than one ring: this needs every finished buffer to come back.
    ASSERT_TRUE(waitFor([&] { return out.position() > 70000; }, owner, out));
    out.reset();
    ASSERT_TRUE(out.close());
    EXPECT_TRUE(messages.texts().empty());

    const auto bytes = readFile(path);
    ASSERT_GE(bytes.size(), 44u + 2u * 70000u);
    EXPECT_EQ(le32(bytes, 40), bytes.size() - 44);
    EXPECT_EQ(le32(bytes, 4), bytes.size() - 8);
    for (size_t frame : {size_t{0}, size_t{16383}, size_t{16384}, size_t{49152}, size_t{65536}}) {
        EXPECT_EQ(le16(bytes, 44 + 2 * frame), (frame / 16384) % 4 + 1) << frame;
    }
    fs::remove(path);
}

TEST(ClockedDevice, WavDeviceThatCannotCreateItsFileDoesNotOpen) {
    MessageRecorder messages;
    WaveFormat format;
    WaveDoneQueue owner;
    const std::string bad = "wav:" + (tempFile("missing-dir") / "x.wav").string();
    CWaveOut out(-1, &format, 32768, 4, createAudioBackend(parseAudioBackendChoice(bad.c_str())));
    EXPECT_TRUE(out.queryFormat());
    EXPECT_FALSE(out.open(&owner));
    EXPECT_EQ(messages.texts(), std::vector<std::string>{kMsgDeviceOpenFailed});
}

TEST(ClockedDevice, NullDeviceStopsCountingWhenPausedOrStarved) {
    WaveFormat format;
    WaveDoneQueue owner;
    CWaveOut out(-1, &format, 32768, 4, std::make_unique<ClockedAudioBackend>());
    ASSERT_TRUE(out.open(&owner) && out.queueAll());
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(out.position(), 0u);  // queued but paused
    ASSERT_TRUE(out.restart());
    // Without requeueing, the device runs dry after the four buffers.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (owner.pending() < 4 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(owner.pending(), 4u);
    EXPECT_EQ(out.position(), 4u * 16384u);
    out.reset();
    out.close();
}

TEST(WaveDoneQueue, HandsHeadersOverInOrderAndWakesTheOwner) {
    WaveDoneQueue queue;
    int wakeups = 0;
    queue.setWakeup([&] { ++wakeups; });
    WaveHeader a, b;
    queue.post(&a);
    queue.post(&b);
    EXPECT_EQ(wakeups, 2);
    std::vector<WaveHeader*> seen;
    EXPECT_EQ(queue.drain([&](WaveHeader* h) { seen.push_back(h); }), 2u);
    EXPECT_EQ(seen, (std::vector<WaveHeader*>{&a, &b}));
    EXPECT_EQ(queue.waitAndDrain([](WaveHeader*) {}, std::chrono::milliseconds(1)), 0u);

    std::thread poster([&] { queue.post(&a); });
    EXPECT_EQ(queue.waitAndDrain([](WaveHeader*) {}, std::chrono::seconds(30)) +
                  queue.waitAndDrain([](WaveHeader*) {}, std::chrono::milliseconds(1)),
              1u);
    poster.join();
    queue.post(&b);
    queue.discard();
    EXPECT_EQ(queue.pending(), 0u);
}

}  // namespace
