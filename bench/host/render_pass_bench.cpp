// A pass of the engine with a third-party instrument from Debian playing 16
// notes: the engine's own cost next to a real plug-in's.
#include "bench/host/render_bench_support.h"

static void BM_RenderPassThirdParty16Voices(benchmark::State& state) {
    timeSixteenVoicePasses(state, AMSYNTH_PATH);
}
BENCHMARK(BM_RenderPassThirdParty16Voices)->Unit(benchmark::kMicrosecond);
