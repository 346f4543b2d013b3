#include "plugin/samples/biquad_filter.h"

#include <cmath>
#include <vector>

#include "plugin/vst/plugin_message.h"

namespace {

constexpr double kPi = 3.141592653589793;

BiquadFilter::Coefficients lowPass(double f, double fs, double r) {
    const double c = 1.0 / std::tan(kPi * f / fs);
    const double a0 = 1.0 / (1.0 + r * c + c * c);
    BiquadFilter::Coefficients k;
    k.a0 = static_cast<float>(a0);
    k.a1 = static_cast<float>(2.0 * a0);
    k.a2 = static_cast<float>(a0);
    k.b1 = static_cast<float>(2.0 * a0 * (1.0 - c * c));
    k.b2 = static_cast<float>(a0 * (1.0 - r * c + c * c));
    return k;
}

BiquadFilter::Coefficients highPass(double f, double fs, double r) {
    const double c = std::tan(kPi * f / fs);
    const double a0 = 1.0 / (1.0 + r * c + c * c);
    BiquadFilter::Coefficients k;
    k.a0 = static_cast<float>(a0);
    k.a1 = static_cast<float>(-2.0 * a0);
    k.a2 = static_cast<float>(a0);
    k.b1 = static_cast<float>(2.0 * a0 * (c * c - 1.0));
    k.b2 = static_cast<float>(a0 * (1.0 - r * c + c * c));
    return k;
}

float runSection(const BiquadFilter::Coefficients& k, BiquadFilter::State& s, float x) {
    const float y = k.a2 * s.x2 + k.a0 * x + k.a1 * s.x1 - k.b1 * s.y1 - k.b2 * s.y2;
    s.x2 = s.x1;
    s.x1 = x;
    s.y2 = s.y1;
    s.y1 = y;
    return y;
}

}  // namespace

BiquadFilter::BiquadFilter(float sampleRate)
    : sampleRate_(sampleRate),
      damping_(static_cast<float>(std::sqrt(2.0))),
      cutoff1_(1.0f),
      cutoff2_(sampleRate * 0.5f - 1.0f),
      mode_(kBandPass) {
    recompute();
}

void BiquadFilter::setMode(int mode) {
    if (mode != kLowPass && mode != kHighPass && mode != kBandPass) {
        return;
    }
    mode_ = mode;
    recompute();
}

void BiquadFilter::setCutoff(int section, float frequency) {
    if (!(frequency > 0.0f && frequency < sampleRate_ * 0.5f)) {
        return;
    }
    if (section == 1) {
        cutoff1_ = frequency;
        recompute();
    } else if (section == 2 && mode_ == kBandPass && cutoff1_ < cutoff2_) {
        cutoff2_ = frequency;
        recompute();
    }
}

void BiquadFilter::reset() {
    state1_ = State{};
    state2_ = State{};
}

float BiquadFilter::processSample(float x, bool bypass) {
    if (bypass) {
        return x;
    }
    const float y = runSection(section1_, state1_, x);
    if (mode_ != kBandPass) {
        return y;
    }
    return runSection(section2_, state2_, y);
}

void BiquadFilter::processBlock(const float* input, float* output, int count, bool bypass) {
    if (count <= 0 || input == nullptr || output == nullptr) {
        return;
    }
    for (int i = 0; i < count; ++i) {
        output[i] = processSample(input[i], bypass);
    }
}

void BiquadFilter::recompute() {
    const double fs = sampleRate_;
    const double r = damping_;
    switch (mode_) {
        case kLowPass:
            section1_ = lowPass(cutoff1_, fs, r);
            break;
        case kHighPass:
            section1_ = highPass(cutoff1_, fs, r);
            break;
        default:
            section1_ = highPass(cutoff1_, fs, r);
            section2_ = lowPass(cutoff2_, fs, r);
            break;
    }
}

void bandPassSamples(std::int16_t* values, int count, float fc1, float fc2) {
    if (!(fc1 < fc2)) {
        showPluginMessage("Fc1 < Fc2でなければなりません。", "error");
        return;
    }
    if (values == nullptr || count <= 0) {
        return;
    }
    BiquadFilter filter(44100.0f);
    filter.setMode(BiquadFilter::kBandPass);
    filter.setCutoff(1, fc1);
    filter.setCutoff(2, fc2);

    std::vector<float> buffer(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        buffer[static_cast<std::size_t>(i)] = static_cast<float>(values[i]) * (1.0f / 32768.0f);
    }
    filter.processBlock(buffer.data(), buffer.data(), count, false);
    for (int i = 0; i < count; ++i) {
        const double scaled = static_cast<double>(buffer[static_cast<std::size_t>(i)]) * 32768.0;
        // Clamped before the conversion: the filter can overshoot full scale.
        std::int32_t v;
        if (std::isnan(scaled)) {
            v = 0;
        } else if (scaled >= 32767.0) {
            v = 32767;
        } else if (scaled <= -32768.0) {
            v = -32768;
        } else {
            v = static_cast<std::int32_t>(scaled);  // truncates toward zero
        }
        values[i] = static_cast<std::int16_t>(v);
    }
}
