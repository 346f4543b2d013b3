// The instrument's costs on the default sample set: rendering with all 16 voices
// sounding, each treatment, and constructing the instrument.
#include <benchmark/benchmark.h>

#include <array>
#include <cstddef>
#include <filesystem>
#include <memory>
#include <vector>

#include "plugin/sampler/sampler_effect.h"

namespace {

std::intptr_t quietHost(AEffect*, std::int32_t opcode, std::int32_t, std::intptr_t, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

bool haveDefaultSampleSet(benchmark::State& state) {
    if (!std::filesystem::exists(std::filesystem::path(KORVANE_OUTPUT_DIR) / "SampleData" /
                                 "samples.txt")) {
        state.SkipWithError("no default SampleData in " KORVANE_OUTPUT_DIR);
        return false;
    }
    return true;
}

SamplerEffect& defaultInstrument() {
    static std::unique_ptr<SamplerEffect> effect =
        std::make_unique<SamplerEffect>(&quietHost, KORVANE_OUTPUT_DIR);
    return *effect;
}

// Sends `messages` (status, data 1, data 2) at frame 0.
void send(SamplerEffect& effect, const std::vector<std::array<int, 3>>& messages) {
    std::vector<VstMidiEvent> records(messages.size());
    std::vector<unsigned char> storage(sizeof(VstEvents) + messages.size() * sizeof(VstEvent*));
    auto* list = reinterpret_cast<VstEvents*>(storage.data());
    list->numEvents = static_cast<std::int32_t>(messages.size());
    auto** pointers = reinterpret_cast<VstEvent**>(storage.data() + offsetof(VstEvents, events));
    for (std::size_t i = 0; i < messages.size(); ++i) {
        records[i] = VstMidiEvent{};
        records[i].type = kVstMidiType;
        records[i].byteSize = sizeof(VstMidiEvent);
        for (int b = 0; b < 3; ++b) {
            records[i].midiData[b] = static_cast<char>(messages[i][static_cast<std::size_t>(b)]);
        }
        pointers[i] = reinterpret_cast<VstEvent*>(&records[i]);
    }
    effect.processEvents(list);
}

// Sixteen held keys across the keyboard, struck again every 64 blocks (about
// 0.75 s) so that the voices keep reading recorded data rather than silence.
void BM_Render16Voices(benchmark::State& state) {
    if (!haveDefaultSampleSet(state)) {
        return;
    }
    SamplerEffect& effect = defaultInstrument();
    const auto blockFrames = static_cast<std::int32_t>(state.range(0));
    std::vector<float> left(static_cast<std::size_t>(blockFrames));
    std::vector<float> right(static_cast<std::size_t>(blockFrames));
    float* outputs[2] = {left.data(), right.data()};
    std::vector<std::array<int, 3>> chord{{0xB0, 120, 0}};
    for (int v = 0; v < SamplerEffect::kVoiceCount; ++v) {
        chord.push_back({0x90, 28 + 5 * v, 100});
    }
    std::int64_t block = 0;
    for (auto _ : state) {
        if (block % 64 == 0) {
            state.PauseTiming();
            send(effect, chord);
            state.ResumeTiming();
        }
        effect.processReplacing(nullptr, outputs, blockFrames);
        benchmark::DoNotOptimize(left.data());
        ++block;
    }
    state.SetItemsProcessed(state.iterations() * blockFrames);
    state.counters["frames/s"] = benchmark::Counter(
        static_cast<double>(state.iterations() * blockFrames), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Render16Voices)->Arg(64)->Arg(512)->Arg(4410);

// One preparation of key 60 (reload, treatment, swap), as the application's
// preparation dialog sends it.
void BM_Treatment(benchmark::State& state) {
    if (!haveDefaultSampleSet(state)) {
        return;
    }
    SamplerEffect& effect = defaultInstrument();
    const auto method = static_cast<float>(state.range(0));
    for (auto _ : state) {
        effect.setParameter(SamplerEffect::kEffectMethod, method);
        effect.setParameter(SamplerEffect::kEffectNote, 60.0f);
        effect.setParameter(SamplerEffect::kEffectRange, 2.3f);
    }
    effect.setParameter(SamplerEffect::kEffectMethod, 0.0f);
    effect.setParameter(SamplerEffect::kEffectRange, 1.0f);
}
BENCHMARK(BM_Treatment)->ArgName("method")->DenseRange(0, 4)->Unit(benchmark::kMillisecond);

void BM_ConstructWithDefaultSampleSet(benchmark::State& state) {
    if (!haveDefaultSampleSet(state)) {
        return;
    }
    for (auto _ : state) {
        auto effect = std::make_unique<SamplerEffect>(&quietHost, KORVANE_OUTPUT_DIR);
        benchmark::DoNotOptimize(effect.get());
    }
}
BENCHMARK(BM_ConstructWithDefaultSampleSet)->Unit(benchmark::kMillisecond);

}  // namespace
