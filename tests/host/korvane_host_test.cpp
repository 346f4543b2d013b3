// The system's own instrument in the engine, next to a third-party one.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "app/host/vst_host_main.h"
#include "app/platform/clocked_audio_backend.h"
#include "tests/host/host_test_support.h"

namespace {

double energy(const std::vector<int16_t>& samples, size_t from, size_t to) {
    double sum = 0.0;
    for (size_t i = from; i < to && i < samples.size(); ++i) {
        sum += std::abs(samples[i]);
    }
    return sum;
}

TEST(KorvaneInEngine, RendersAloneAndBesideAThirdPartyInstrument) {
    MessageRecorder messages;
    ManualRig rig;
    CVstHostMain& engine = *rig.engine;
    ASSERT_EQ(engine.loadPlugin(0, KORVANE_PLUGIN_PATH), 1);
    ASSERT_EQ(engine.loadPlugin(1, AMSYNTH_PATH), 1);
    for (int32_t slot : {0, 1}) {
        engine.setPluginProgram(slot, 0);
        engine.resumePlugin(slot);
    }
    ASSERT_TRUE(engine.start(RenderDrive::caller));
    rig.run(4410);
    const double quiet = energy(rig.played, 0, rig.played.size());

    // Korvane alone on channel 1 ...
    size_t from = rig.played.size();
    engine.sendMidiMessage(0x90, 60, 100);
    rig.run(4851 + 22050);
    const double korvane = energy(rig.played, from + 4851, rig.played.size());
    engine.sendMidiMessage(0x80, 60, 0);
    rig.run(4851 + 44100);  // let the release die away

    // ... then both, the third-party instrument on channel 2.
    from = rig.played.size();
    engine.sendMidiMessage(0x90, 67, 100);
    engine.sendMidiMessage(0x91, 64, 100);
    rig.run(4851 + 22050);
    const double both = energy(rig.played, from + 4851, rig.played.size());

    EXPECT_EQ(quiet, 0.0);
    EXPECT_GT(korvane, 22050.0 * 10);
    EXPECT_GT(both, 22050.0 * 10);
    EXPECT_TRUE(messages.texts().empty());
    engine.stop();
    engine.suspendPlugin(1);
    engine.suspendPlugin(0);
}

TEST(KorvaneInEngine, StartUpTreatmentsRunWhileTheRenderThreadPlays) {
    MessageRecorder messages;
    WaveDoneQueue owner;
    CVstHostMain engine(&owner, -1, 32768, 4, 100, 10, std::make_unique<ClockedAudioBackend>());
    ASSERT_EQ(engine.loadPlugin(0, KORVANE_PLUGIN_PATH), 1);
    engine.setPluginProgram(0, 0);
    engine.resumePlugin(0);
    ASSERT_TRUE(engine.start());
    for (int note = 0; note < 128; ++note) {
        engine.setPluginParameter(0, 2, static_cast<float>(note % 5));
        engine.setPluginParameter(0, 3, static_cast<float>(note));
        engine.setPluginParameter(0, 4, 2.0f);
        owner.drain([&](WaveHeader* h) { engine.onWaveBufferDone(h); });
    }
    engine.sendMidiMessage(0x90, 60, 100);
    const uint32_t target = engine.device().position() + 4851 + 4410;
    while (engine.device().position() < target) {
        owner.waitAndDrain([&](WaveHeader* h) { engine.onWaveBufferDone(h); },
                           std::chrono::milliseconds(5));
    }
    engine.stop();
    engine.suspendPlugin(0);
    engine.unloadPlugin(0);
    EXPECT_TRUE(messages.texts().empty());
}

}  // namespace
