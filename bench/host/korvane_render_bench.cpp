// The engine with the system's own instrument: a pass with 16 sounding voices
// against the 10 ms period, and how long the render thread waits for the engine
// lock while the UI thread applies the 128 start-up treatments.
#include <algorithm>
#include <chrono>

#include "app/platform/clocked_audio_backend.h"
#include "bench/host/render_bench_support.h"

static void BM_RenderPassKorvane16Voices(benchmark::State& state) {
    timeSixteenVoicePasses(state, KORVANE_PLUGIN_PATH);
}
BENCHMARK(BM_RenderPassKorvane16Voices)->Unit(benchmark::kMicrosecond);

// One iteration: parameters 2, 3 and 4 for notes 0..127 on the UI thread while
// the render thread plays on the null device. Reports the longest single wait
// of a pass for the engine lock.
static void BM_StartUpTreatmentsRenderLockWait(benchmark::State& state) {
    WaveDoneQueue owner;
    CVstHostMain engine(&owner, -1, 32768, 4, 100, 10, std::make_unique<ClockedAudioBackend>());
    if (engine.loadPlugin(0, KORVANE_PLUGIN_PATH) != 1) {
        state.SkipWithError("plug-in did not load");
        return;
    }
    engine.setPluginProgram(0, 0);
    engine.resumePlugin(0);
    engine.start();
    double longestWaitMs = 0.0;
    int method = 1;
    for (auto _ : state) {
        engine.resetRenderLockWait();
        for (int note = 0; note < 128; ++note) {
            engine.setPluginParameter(0, 2, static_cast<float>(method));
            engine.setPluginParameter(0, 3, static_cast<float>(note));
            engine.setPluginParameter(0, 4, 3.0f);
        }
        // Give the render thread a pass after the last treatment, so that a wait
        // behind it is counted too.
        state.PauseTiming();
        owner.drain([&](WaveHeader* h) { engine.onWaveBufferDone(h); });
        const auto settle = std::chrono::steady_clock::now() + std::chrono::milliseconds(30);
        while (std::chrono::steady_clock::now() < settle) {
            owner.waitAndDrain([&](WaveHeader* h) { engine.onWaveBufferDone(h); },
                               std::chrono::milliseconds(5));
        }
        const double waitedMs =
            std::chrono::duration<double, std::milli>(engine.longestRenderLockWait()).count();
        longestWaitMs = std::max(longestWaitMs, waitedMs);
        method = method % 4 + 1;
        state.ResumeTiming();
    }
    state.counters["render_lock_wait_max_ms"] = longestWaitMs;
    engine.stop();
    engine.suspendPlugin(0);
    engine.unloadPlugin(0);
}
BENCHMARK(BM_StartUpTreatmentsRenderLockWait)->Unit(benchmark::kMillisecond)->Iterations(4);
