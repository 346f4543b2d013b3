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
#include "tests/host/fake_instrument.h"
#include "tests/host/host_test_support.h"

namespace {

namespace fs = std::filesystem;

struct ThreadRig {
    WaveDoneQueue owner;
    std::unique_ptr<CVstHostMain> engine;

    explicit ThreadRig(std::unique_ptr<AudioBackend> backend)
        : engine(
              std::make_unique<CVstHostMain>(&owner, -1, 32768, 4, 100, 10, std::move(backend))) {}

    // Serves the device like the UI thread until done() holds.
    template <typename Done>
    bool serve(Done done) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline) {
                return false;
            }
            owner.waitAndDrain([this](WaveHeader* h) { engine->onWaveBufferDone(h); },
                               std::chrono::milliseconds(5));
        }
        return true;
    }

    // Until the position passes `frames`.
    bool serveUntil(uint32_t frames) {
        return serve([&] { return engine->device().position() >= frames; });
    }

    // Until the device has played every frame below `end` and a pass has come
    // after the one that rendered the last of them. A pass that rendered its
    // frames only after the device had played them is followed by a late pass,
    // so from then on latePasses() tells whether the frames below `end` hold
    // what the engine rendered for their place.
    bool serveThrough(uint32_t end) {
        const auto block = static_cast<uint32_t>(engine->blockFrames());
        return serve([&] {
            return engine->device().position() >= end && engine->renderedFrame() >= end + block;
        });
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
        // Past one ring length: the buffers must come back through the owner,
        // and the render thread must keep rendering across the wrap.
        ASSERT_TRUE(rig.serveThrough(70000));
        EXPECT_GE(rig.engine->renderedFrame(), 70000u);
        rig.engine->stop();
        EXPECT_FALSE(rig.engine->isRunning());
        EXPECT_EQ(rig.engine->device().position(), 0u);
        rig.owner.drain([&](WaveHeader* h) { rig.engine->onWaveBufferDone(h); });
    }
    EXPECT_TRUE(messages.texts().empty());
}

// A note can land where the latency rule says only while the render thread
// keeps up with the device; on a busy machine a pass may come late and skip
// ahead, as designed. The engine counts such passes, so an attempt during
// which one happened is recognised and the note is played again.
TEST(HostRealtime, WavDeviceHearsTheNoteWhereTheLatencyRuleSaysAndThirdPartySounds) {
    const fs::path path =
        fs::temp_directory_path() / ("korvane-host-" + std::to_string(::getpid()) + "-engine.wav");
    constexpr uint32_t kLatency = 4851;
    constexpr uint32_t kStretch = 4410;  // a tenth of a second
    constexpr int kAttempts = 20;
    struct Attempt {
        uint32_t fresh = 0;  // rendered position before the send: later frames are new
        uint32_t before = 0;
        uint32_t after = 0;
        bool keptUp = false;
    };
    MessageRecorder messages;
    std::vector<Attempt> attempts;
    uint32_t amsynthFrom = 0;
    bool amsynthKeptUp = false;
    float fakeLevelAtEnd = -1.0f;
    {
        ThreadRig rig(
            createAudioBackend(parseAudioBackendChoice(("wav:" + path.string()).c_str())));
        ASSERT_EQ(rig.engine->loadPlugin(0, fakePlugin("fake_instrument")), 1);
        ASSERT_EQ(rig.engine->loadPlugin(1, AMSYNTH_PATH), 1);
        rig.engine->setPluginProgram(1, 0);
        rig.engine->resumePlugin(1);
        ASSERT_TRUE(rig.engine->start());
        ASSERT_TRUE(rig.serveUntil(20000));
        while (static_cast<int>(attempts.size()) < kAttempts &&
               (attempts.empty() || !attempts.back().keptUp)) {
            Attempt attempt;
            const uint64_t late = rig.engine->latePasses();
            if (!attempts.empty()) {
                // The instrument may still hold a late event of the attempt that
                // fell behind; a new instance starts silent and holds none.
                ASSERT_EQ(rig.engine->loadPlugin(0, fakePlugin("fake_instrument")), 1);
            }
            attempt.fresh = rig.engine->renderedFrame();
            attempt.before = rig.engine->device().position();
            rig.engine->sendMidiMessage(0x90, 60, 127);
            attempt.after = rig.engine->device().position();
            ASSERT_TRUE(rig.serveThrough(attempt.after + 2 * kLatency));
            // The note off must be in time too, or it could sound in the stretch below.
            rig.engine->sendMidiMessage(0x80, 60, 0);
            ASSERT_TRUE(rig.serveThrough(rig.engine->device().position() + 2 * kLatency));
            attempt.keptUp = rig.engine->latePasses() == late;
            attempts.push_back(attempt);
        }

        // The third-party instrument on channel 2, heard once its note has been
        // handed over, over a stretch that the engine rendered in time.
        rig.engine->sendMidiMessage(0x91, 60, 100);
        ASSERT_TRUE(rig.serveThrough(rig.engine->device().position() + kLatency));
        for (int i = 0; i < kAttempts && !amsynthKeptUp; ++i) {
            const uint64_t late = rig.engine->latePasses();
            amsynthFrom = rig.engine->renderedFrame();
            ASSERT_TRUE(rig.serveThrough(amsynthFrom + kStretch));
            amsynthKeptUp = rig.engine->latePasses() == late;
        }
        rig.engine->stop();
        rig.engine->suspendPlugin(1);
        fakeLevelAtEnd = fakeState(rig.engine->plugin(0)->effect())->noteLevel;
    }
    EXPECT_TRUE(messages.texts().empty());
    ASSERT_TRUE(attempts.back().keptUp)
        << "the render thread fell behind during each of " << attempts.size() << " notes";
    ASSERT_TRUE(amsynthKeptUp) << "the render thread fell behind during each stretch";

    const Attempt& heard = attempts.back();
    const std::vector<int16_t> samples = readWavSamples(path);
    ASSERT_GE(samples.size(), static_cast<size_t>(amsynthFrom) + kStretch);
    size_t onset = heard.fresh;
    while (onset < samples.size() && samples[onset] == 0) {
        ++onset;
    }
    ASSERT_LT(onset, samples.size()) << "the note was not heard";
    EXPECT_GE(onset, static_cast<size_t>(heard.before) + kLatency);
    EXPECT_LE(onset, static_cast<size_t>(heard.after) + kLatency);
    EXPECT_EQ(samples[onset], 32767);

    // After the fake's note off only amsynth can make the file move.
    EXPECT_EQ(fakeLevelAtEnd, 0.0f);
    double energy = 0.0;
    for (size_t i = amsynthFrom; i < amsynthFrom + kStretch; ++i) {
        energy += std::abs(samples[i]);
    }
    EXPECT_GT(energy, kStretch * 10.0);
    fs::remove(path);
}

}  // namespace
