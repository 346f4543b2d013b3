// An engine on a manually driven device, advanced exactly as the render thread
// and the UI thread would advance it, so that one pass can be timed alone.
#pragma once

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "app/host/vst_host_main.h"
#include "app/platform/manual_audio_backend.h"
#include "app/platform/wave_done_queue.h"

struct BenchRig {
    WaveDoneQueue owner;
    ManualAudioBackend* backend = nullptr;
    std::unique_ptr<CVstHostMain> engine;

    BenchRig() {
        auto device = std::make_unique<ManualAudioBackend>();
        backend = device.get();
        engine = std::make_unique<CVstHostMain>(&owner, -1, 32768, 4, 100, 10, std::move(device));
    }

    void play(uint64_t frames) {
        backend->advance(frames);
        owner.drain([this](WaveHeader* h) { engine->onWaveBufferDone(h); });
    }

    // Sixteen notes from `lowest` up, struck again every `restrikePasses` passes
    // so that all of them keep sounding.
    void strike(int lowest) {
        for (int i = 0; i < 16; ++i) {
            engine->sendMidiMessage(0x80, lowest + i, 0);
            engine->sendMidiMessage(0x90, lowest + i, 100);
        }
    }
};

// Times full passes (882 frames, the largest a pass renders) with 16 voices.
inline void timeSixteenVoicePasses(benchmark::State& state, const std::string& plugin) {
    BenchRig rig;
    if (rig.engine->loadPlugin(0, plugin) != 1) {
        state.SkipWithError("plug-in did not load");
        return;
    }
    rig.engine->setPluginProgram(0, 0);
    rig.engine->resumePlugin(0);
    rig.engine->start(RenderDrive::caller);
    constexpr int kRestrikePasses = 25;  // about half a second of sound
    int pass = 0;
    for (auto _ : state) {
        state.PauseTiming();
        if (pass++ % kRestrikePasses == 0) {
            rig.strike(48);
        }
        rig.play(static_cast<uint64_t>(rig.engine->blockFrames()));
        state.ResumeTiming();
        rig.engine->renderPass();
    }
    state.counters["frames_per_pass"] = rig.engine->blockFrames();
    // The share of the 10 ms render period that one pass takes.
    state.counters["period_share"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * 0.010,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    rig.engine->stop();
    rig.engine->suspendPlugin(0);
}
