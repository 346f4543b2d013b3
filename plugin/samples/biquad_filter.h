// Second-order Butterworth filter on 32-bit float samples: low-pass, high-pass,
// or band-pass as a high-pass section followed by a low-pass section.
// Every operation may run on any thread but the render thread, one thread at a
// time per filter; a filter holds no shared state.
#pragma once

#include <cstdint>

class BiquadFilter {
  public:
    enum Mode { kLowPass = 0, kHighPass = 1, kBandPass = 2 };

    struct Coefficients {
        float a0 = 0.0f, a1 = 0.0f, a2 = 0.0f, b1 = 0.0f, b2 = 0.0f;
    };
    struct State {
        float x1 = 0.0f, x2 = 0.0f, y1 = 0.0f, y2 = 0.0f;
    };

    // A band-pass from 1 Hz to sampleRate / 2 - 1 Hz with cleared state.
    explicit BiquadFilter(float sampleRate);
    virtual ~BiquadFilter() = default;

    // Accepts kLowPass, kHighPass, kBandPass; ignores anything else. The state is kept.
    void setMode(int mode);

    // Section 1 sets cutoff1; section 2 sets cutoff2 and is accepted only in
    // band-pass mode while cutoff1 lies below the current cutoff2. Frequencies
    // outside 0 < f < sampleRate / 2 are ignored. The state is kept.
    void setCutoff(int section, float frequency);

    // Clears the remembered inputs and outputs of both sections.
    void reset();

    // One output sample (direct form I). With bypass set, answers x and leaves
    // the state untouched.
    float processSample(float x, bool bypass);

    // output[i] = processSample(input[i], bypass) in order; the arrays may be the
    // same. A count of 0 or less does nothing.
    void processBlock(const float* input, float* output, int count, bool bypass);

    float sampleRate() const { return sampleRate_; }
    float damping() const { return damping_; }
    float cutoff1() const { return cutoff1_; }
    float cutoff2() const { return cutoff2_; }
    int mode() const { return mode_; }
    const Coefficients& section1() const { return section1_; }
    const Coefficients& section2() const { return section2_; }
    const State& state1() const { return state1_; }
    const State& state2() const { return state2_; }

  private:
    void recompute();

    float sampleRate_;
    float damping_;
    float cutoff1_;
    float cutoff2_;
    int mode_;
    Coefficients section1_;
    Coefficients section2_;
    State state1_;
    State state2_;
};

// Band-passes `values` in place between fc1 and fc2 Hz with a fresh filter at
// 44100 Hz (whatever rate the values were recorded at), clamping to the 16-bit
// range. When fc1 is not below fc2, reports "Fc1 < Fc2でなければなりません。"
// (caption "error") and leaves the values alone. Allocates a float copy.
// Thread: any but the render thread.
void bandPassSamples(std::int16_t* values, int count, float fc1, float fc2);
