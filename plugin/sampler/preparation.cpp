// Preparing a key: reload the clean recording of its sample, rewrite it with the
// chosen treatment, and swap the result in between two render calls.
#include <cmath>
#include <new>
#include <optional>

#include "plugin/sampler/preparation_treatments.h"
#include "plugin/sampler/sampler_effect.h"
#include "plugin/vst/plugin_message.h"

namespace {

// The key of an Effect Note value, truncated toward zero; none when it lies
// outside the key map (the value comes straight from the host).
std::optional<std::size_t> effectKey(float note) {
    const double key = std::trunc(static_cast<double>(note));
    if (!(key >= 0.0 && key < SampleSet::kKeyCount)) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(key);
}

}  // namespace

WaveSample SamplerEffect::reloadEffectSample(const WaveSample& current) const {
    // Built aside from a copy, so that a reload that cannot open its file leaves
    // the previous data (perhaps an earlier treatment's) to be treated, exactly as
    // a failed load into the sample itself would.
    WaveSample reloaded(current);
    // A slot that no samples.txt line filled has no file to go back to.
    if (!current.fileName.empty()) {
        reloaded.load(sampleSet_.sampleDataPath(current.fileName));
    }
    return reloaded;
}

void SamplerEffect::applyPreparation() {
    std::lock_guard control(controlMutex);
    const std::optional<std::size_t> key = effectKey(effectNote);
    if (!key) {
        return;
    }
    const std::int32_t index = sampleSet_.keyMap[*key];
    if (index < 0 || index >= SampleSet::kSampleSlots) {
        return;
    }
    WaveSample& target = sampleSet_.samples[static_cast<std::size_t>(index)];
    try {
        WaveSample prepared = reloadEffectSample(target);
        applyPreparationMethod(prepared, preparationMethodFromParameter(effectMethod), effectRange);
        {
            // Voices already sounding hear the new data from their next frame on.
            std::lock_guard render(renderMutex);
            target.swap(prepared);
        }
        // `prepared` now holds the old data and frees it here, outside the render lock.
    } catch (const std::bad_alloc&) {
        showPluginMessage("Out of memory: the preparation was not applied.", "Error");
    }
}
