// The engine with its own render thread on the clocked devices, as KorvaneApp
// runs it without a sound card. The test thread plays the UI thread: it hands
// finished buffers back. Waits are bounded by generous deadlines, never timed.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/host/vst_host_main.h"
#include "app/platform/clocked_audio_backend.h"
#include "app/platform/wave_done_queue.h"
#include "tests/host/host_test_support.h"

namespace {

namespace fs = std::filesystem;

struct ThreadRig {
    WaveDoneQueue owner;
    std::unique_ptr<CVstHostMain> engine;

    explicit ThreadRig(std::unique_ptr<AudioBackend> backend)
        : engine(
              std::make_unique<CVstHostMain>(&owner, -1, 32768, 4, 100, 10, std::move(backend))) {}

    // Serves the device like the UI thread until the position passes `frames`.
    bool serveUntil(uint32_t frames) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (engine->device().position() < frames) {
            if (std::chrono::steady_clock::now() > deadline) {
                return false;
            }
            owner.waitAndDrain([this](WaveHeader* h) { engine->onWaveBufferDone(h); },
                               std::chrono::milliseconds(5));
        }
        return true;
    }
};

std::vector<int16_t> readWavSamples(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
    std::vector<int16_t> samples;
    for (size_t i = 44; i + 1 < bytes.size(); i += 2) {
        samples.push_back(static_cast<int16_t>(static_cast<unsigned char>(bytes[i]) |
                                               (static_cast<unsigned char>(bytes[i + 1]) << 8)));
    }
    return samples;
}

TEST(HostRealtime, StartsStopsAndStartsAgainOnTheNullDevice) {
    MessageRecorder messages;
    ThreadRig rig(std::make_unique<ClockedAudioBackend>());
    ASSERT_EQ(rig.engine->loadPlugin(0, fakePlugin("fake_instrument")), 1);
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        ASSERT_TRUE(rig.engine->start());
        EXPECT_TRUE(rig.engine->start());  // already running: nothing happens
        // Past one ring length: the buffers must come back through the owner.
        ASSERT_TRUE(rig.serveUntil(70000));
        EXPECT_GE(rig.engine->renderedFrame(), 70000u);
        rig.engine->stop();
        EXPECT_FALSE(rig.engine->isRunning());
        EXPECT_EQ(rig.engine->device().position(), 0u);
        rig.owner.drain([&](WaveHeader* h) { rig.engine->onWaveBufferDone(h); });
    }
    EXPECT_TRUE(messages.texts().empty());
}

TEST(HostRealtime, WavDeviceHearsTheNoteWhereTheLatencyRuleSaysAndThirdPartySounds) {
    const fs::path path =
        fs::temp_directory_path() / ("korvane-host-" + std::to_string(::getpid()) + "-engine.wav");
    MessageRecorder messages;
    uint32_t before = 0;
    uint32_t after = 0;
    {
        ThreadRig rig(
            createAudioBackend(parseAudioBackendChoice(("wav:" + path.string()).c_str())));
        ASSERT_EQ(rig.engine->loadPlugin(0, fakePlugin("fake_instrument")), 1);
        ASSERT_EQ(rig.engine->loadPlugin(1, AMSYNTH_PATH), 1);
        rig.engine->setPluginProgram(1, 0);
        rig.engine->resumePlugin(1);
        ASSERT_TRUE(rig.engine->start());
        ASSERT_TRUE(rig.serveUntil(20000));
        before = rig.engine->device().position();
        rig.engine->sendMidiMessage(0x90, 60, 127);
        after = rig.engine->device().position();
        ASSERT_TRUE(rig.serveUntil(after + 3 * 4851));
        // The third-party instrument on channel 2 is heard after the note.
        rig.engine->sendMidiMessage(0x80, 60, 0);
        rig.engine->sendMidiMessage(0x91, 60, 100);
        const uint32_t amsynthAt = rig.engine->device().position();
        ASSERT_TRUE(rig.serveUntil(amsynthAt + 4851 + 22050));
        rig.engine->stop();
        rig.engine->suspendPlugin(1);
    }
    EXPECT_TRUE(messages.texts().empty());
    const std::vector<int16_t> samples = readWavSamples(path);
    ASSERT_GT(samples.size(), static_cast<size_t>(after) + 3 * 4851);
    size_t onset = 0;
    while (onset < samples.size() && samples[onset] == 0) {
        ++onset;
    }
    EXPECT_GE(onset, static_cast<size_t>(before) + 4851);
    EXPECT_LE(onset, static_cast<size_t>(after) + 4851);
    EXPECT_EQ(samples[onset], 32767);

    // After the fake's note off only amsynth can make the file move.
    double energy = 0.0;
    for (size_t i = samples.size() - 22050; i < samples.size(); ++i) {
        energy += std::abs(samples[i]);
    }
    EXPECT_GT(energy, 22050.0 * 10);
    fs::remove(path);
}

}  // namespace
