// The arithmetic of the preparations. Integer division truncates toward zero,
// conversions to integers truncate, everything else is double precision: the
// stored values depend on it bit for bit.
#include "plugin/sampler/preparation_treatments.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "plugin/samples/biquad_filter.h"

namespace {

using Values = std::vector<std::int16_t>;

// W: the first dataSize / 2 values of channel 0. Positions beyond the frames (a
// stereo or 8-bit sample has fewer frames than that) read as 0.
Values workingCopy(const WaveSample& sample) {
    const std::uint32_t count = sample.dataSize / 2;
    Values values(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        values[i] = sample.getSample(i, 0);
    }
    return values;
}

// Stores the low 16 bits of `value`; putSample drops positions beyond the frames.
void store(WaveSample& sample, std::size_t index, std::int64_t value) {
    sample.putSample(static_cast<std::uint32_t>(index),
                     static_cast<std::int16_t>(static_cast<std::uint16_t>(value & 0xFFFF)), 0);
}

// W[trunc(position)], or 0 when the position lies outside W. The formulas keep
// their reads inside W for every sensible range; the guard keeps rounding at the
// boundary and odd ranges from reading past the copy.
std::int32_t valueAt(const Values& values, double position) {
    const double index = std::trunc(position);
    if (!(index >= 0.0 && index < static_cast<double>(values.size()))) {
        return 0;
    }
    return values[static_cast<std::size_t>(index)];
}

void bandPass(Values& values, float fc1, float fc2) {
    if (!values.empty()) {
        bandPassSamples(values.data(), static_cast<int>(values.size()), fc1, fc2);
    }
}

}  // namespace

PreparationMethod preparationMethodFromParameter(float value) {
    if (value == 0.0f) {
        return PreparationMethod::kNone;
    }
    if (value == 1.0f) {
        return PreparationMethod::kScrew;
    }
    if (value == 2.0f) {
        return PreparationMethod::kBolt;
    }
    if (value == 3.0f) {
        return PreparationMethod::kRubber;
    }
    if (value == 4.0f) {
        return PreparationMethod::kReverse;
    }
    return PreparationMethod::kNone;
}

void prepareScrew(WaveSample& sample, float range) {
    const Values w = workingCopy(sample);
    const std::size_t n = w.size();
    const double r = range;
    const double sped = static_cast<double>(n) / r;  // N / R: values of the sped-up copy
    double g = 0.97;
    for (std::size_t i = 0; i < n; ++i) {
        const auto attack = static_cast<std::int32_t>(w[i] * g);
        if (static_cast<double>(i) < sped) {
            store(sample, i, (attack + valueAt(w, static_cast<double>(i) * r)) / 2);
        } else {
            store(sample, i, attack);
        }
        g *= 0.95;
    }
}

void prepareBolt(WaveSample& sample, float range) {
    Values w = workingCopy(sample);
    bandPass(w, 2000.0f, 20000.0f);
    const std::size_t n = w.size();
    const double r = range;
    const double sped = static_cast<double>(n) / r;
    double g = 0.999;
    for (std::size_t i = 0; i < n; ++i) {
        std::int32_t v;
        if (static_cast<double>(i) < sped) {
            const double j = std::trunc(static_cast<double>(i) * r);
            if (j < sped) {
                v = static_cast<std::int32_t>((2 * valueAt(w, j) + w[i] * g * 0.5) *
                                              0.3333333333333333);
            } else {
                v = w[i];
            }
        } else {
            v = static_cast<std::int32_t>(w[i] * g * 0.5);
        }
        store(sample, i, 2 * static_cast<std::int64_t>(v));  // wraps beyond 16 bits
        g *= 0.999;
    }
}

void prepareRubber(WaveSample& sample, float range) {
    Values w = workingCopy(sample);
    bandPass(w, 100.0f, 500.0f);
    const std::size_t n = w.size();
    const double r = range;
    const double extent = static_cast<double>(n) * r;  // N × R
    // L from the float value of R widened to double: R = 2.3 (2.2999999523...) gives
    // 4599. Held within 64 bits for any range; a NaN range holds nothing.
    double lengthValue = std::trunc(r * 2000.0);
    if (std::isnan(lengthValue)) {
        lengthValue = 0.0;
    }
    const auto hold = static_cast<std::int64_t>(std::clamp(lengthValue, -1.0, 1.0e12));
    for (std::size_t i = 0; i < n; ++i) {
        std::int32_t x = w[i];
        const double position = static_cast<double>(i);
        if (position < extent) {
            const double a = std::trunc(position / r);
            if (a < static_cast<double>(n)) {
                const double b = std::trunc(position / (2.0 * r));
                if (b < static_cast<double>(n)) {
                    x = (valueAt(w, b) + valueAt(w, a) + w[i]) / 3;
                }
            }
        }
        const auto index = static_cast<std::int64_t>(i);
        std::int64_t y = 0;
        if (index < hold) {
            y = x;
        } else if (index < 2 * hold) {
            // All integers: the fade steps by integer division.
            y = x - (x * (index - hold)) / hold;
        }
        store(sample, i, y);
    }
}

void prepareReverse(WaveSample& sample) {
    const Values w = workingCopy(sample);
    const std::size_t n = w.size();
    for (std::size_t i = 0; i < n; ++i) {
        store(sample, i, w[n - 1 - i]);
    }
}

void applyPreparationMethod(WaveSample& sample, PreparationMethod method, float range) {
    switch (method) {
        case PreparationMethod::kScrew:
            prepareScrew(sample, range);
            break;
        case PreparationMethod::kBolt:
            prepareBolt(sample, range);
            break;
        case PreparationMethod::kRubber:
            prepareRubber(sample, range);
            break;
        case PreparationMethod::kReverse:
            prepareReverse(sample);
            break;
        case PreparationMethod::kNone:
            break;
    }
}
