#include "plugin/samples/biquad_filter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "tests/samples/test_support.h"

namespace {

constexpr double kPi = 3.141592653589793;
const double kR = std::sqrt(2.0);

// The section formulas, written out independently in double precision.
BiquadFilter::Coefficients expectedLowPass(double f, double fs) {
    const double c = 1.0 / std::tan(kPi * f / fs);
    const double a0 = 1.0 / (1.0 + kR * c + c * c);
    return {float(a0), float(2 * a0), float(a0), float(2 * a0 * (1 - c * c)),
            float(a0 * (1 - kR * c + c * c))};
}

BiquadFilter::Coefficients expectedHighPass(double f, double fs) {
    const double c = std::tan(kPi * f / fs);
    const double a0 = 1.0 / (1.0 + kR * c + c * c);
    return {float(a0), float(-2 * a0), float(a0), float(2 * a0 * (c * c - 1)),
            float(a0 * (1 - kR * c + c * c))};
}

void expectCoefficients(const BiquadFilter::Coefficients& got,
                        const BiquadFilter::Coefficients& want) {
    EXPECT_FLOAT_EQ(got.a0, want.a0);
    EXPECT_FLOAT_EQ(got.a1, want.a1);
    EXPECT_FLOAT_EQ(got.a2, want.a2);
    EXPECT_FLOAT_EQ(got.b1, want.b1);
    EXPECT_FLOAT_EQ(got.b2, want.b2);
}

// Peak output amplitude of a unit sine of `frequency` Hz once the filter has settled.
double steadyGain(BiquadFilter& filter, double frequency, double fs = 44100.0) {
    filter.reset();
    const int settle = 44100, measure = 8820;
    double peak = 0.0;
    for (int i = 0; i < settle + measure; ++i) {
        const float y =
            filter.processSample(static_cast<float>(std::sin(2 * kPi * frequency * i / fs)), false);
        if (i >= settle) {
            peak = std::max(peak, std::fabs(static_cast<double>(y)));
        }
    }
    return peak;
}

std::vector<std::int16_t> sine(double frequency, double amplitude, int count) {
    std::vector<std::int16_t> v(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        v[static_cast<std::size_t>(i)] =
            static_cast<std::int16_t>(amplitude * std::sin(2 * kPi * frequency * i / 44100.0));
    }
    return v;
}

int peakOf(const std::vector<std::int16_t>& v, std::size_t from) {
    int peak = 0;
    for (std::size_t i = from; i < v.size(); ++i) {
        peak = std::max(peak, std::abs(static_cast<int>(v[i])));
    }
    return peak;
}

}  // namespace

TEST(BiquadFilter, NewFilterIsAWideBandPass) {
    BiquadFilter f(44100.0f);
    EXPECT_EQ(f.mode(), BiquadFilter::kBandPass);
    EXPECT_EQ(f.cutoff1(), 1.0f);
    EXPECT_EQ(f.cutoff2(), 22049.0f);
    EXPECT_EQ(f.damping(), 1.4142135f);
    expectCoefficients(f.section1(), expectedHighPass(1.0, 44100.0));
    expectCoefficients(f.section2(), expectedLowPass(22049.0, 44100.0));
    EXPECT_EQ(f.state1().x1, 0.0f);
    EXPECT_EQ(f.state2().y2, 0.0f);
}

TEST(BiquadFilter, SettingsAndTheirCoefficients) {
    struct Step {
        int mode;  // -99: none
        int section;
        float frequency;
    };
    struct Case {
        const char* what;
        std::vector<Step> steps;
        int mode;
        float cutoff1, cutoff2;
    };
    const std::vector<Case> cases = {
        {"band-pass 2000..20000", {{2, 1, 2000}, {-99, 2, 20000}}, 2, 2000, 20000},
        {"band-pass 100..500", {{2, 1, 100}, {-99, 2, 500}}, 2, 100, 500},
        {"cut-offs of 0, below 0, at or above half the rate are ignored",
         {{-99, 1, 0}, {-99, 1, -5}, {-99, 1, 22050}, {-99, 2, 30000}, {-99, 2, 0}},
         2,
         1,
         22049},
        {"section 2 only in band-pass mode", {{0, 2, 5000}, {1, 2, 6000}}, 1, 1, 22049},
        {"section 2 only while cutoff1 lies below the old cutoff2",
         {{-99, 1, 300}, {-99, 2, 200}, {-99, 2, 800}},
         2,
         300,
         200},
        {"unknown sections and modes are ignored", {{3, 0, 500}, {-1, 3, 600}}, 2, 1, 22049},
        {"low-pass at 1 kHz", {{0, 1, 1000}}, 0, 1000, 22049},
        {"high-pass at 1 kHz", {{1, 1, 1000}}, 1, 1000, 22049},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        BiquadFilter f(44100.0f);
        for (const Step& s : c.steps) {
            if (s.mode != -99) {
                f.setMode(s.mode);
            }
            f.setCutoff(s.section, s.frequency);
        }
        EXPECT_EQ(f.mode(), c.mode);
        EXPECT_EQ(f.cutoff1(), c.cutoff1);
        EXPECT_EQ(f.cutoff2(), c.cutoff2);
        if (c.mode == 0) {
            expectCoefficients(f.section1(), expectedLowPass(c.cutoff1, 44100.0));
        } else {
            expectCoefficients(f.section1(), expectedHighPass(c.cutoff1, 44100.0));
        }
        // The second section keeps whatever it last held outside band-pass mode.
        expectCoefficients(f.section2(), expectedLowPass(c.cutoff2, 44100.0));
    }
}

TEST(BiquadFilter, ButterworthResponse) {
    BiquadFilter low(44100.0f);
    low.setMode(BiquadFilter::kLowPass);
    low.setCutoff(1, 1000.0f);
    EXPECT_NEAR(steadyGain(low, 100.0), 1.0, 0.01);
    EXPECT_NEAR(steadyGain(low, 1000.0), std::sqrt(0.5), 0.01);  // -3 dB at the cut-off
    EXPECT_LT(steadyGain(low, 10000.0), 0.012);                  // -12 dB per octave

    BiquadFilter high(44100.0f);
    high.setMode(BiquadFilter::kHighPass);
    high.setCutoff(1, 1000.0f);
    EXPECT_LT(steadyGain(high, 100.0), 0.011);
    EXPECT_NEAR(steadyGain(high, 1000.0), std::sqrt(0.5), 0.01);
    EXPECT_NEAR(steadyGain(high, 10000.0), 1.0, 0.01);

    BiquadFilter band(44100.0f);
    band.setCutoff(1, 100.0f);
    band.setCutoff(2, 500.0f);
    EXPECT_GT(steadyGain(band, 220.0), 0.85);
    EXPECT_LT(steadyGain(band, 20.0), 0.05);
    EXPECT_LT(steadyGain(band, 5000.0), 0.02);
}

TEST(BiquadFilter, StateSurvivesChangesAndBypass) {
    const std::vector<float> a = {0.5f, -0.25f, 0.75f, 0.1f};
    const std::vector<float> b = {0.9f, 0.9f, -0.9f};
    const std::vector<float> c = {0.3f, -0.6f, 0.2f, 0.0f, 0.0f};

    // Reference: a then c, no bypassed samples in between.
    BiquadFilter ref(44100.0f);
    ref.setCutoff(1, 200.0f);
    std::vector<float> refOut(c.size());
    std::vector<float> scratch(a.size());
    ref.processBlock(a.data(), scratch.data(), static_cast<int>(a.size()), false);
    ref.processBlock(c.data(), refOut.data(), static_cast<int>(c.size()), false);

    BiquadFilter f(44100.0f);
    f.setCutoff(1, 200.0f);
    f.processBlock(a.data(), scratch.data(), static_cast<int>(a.size()), false);
    std::vector<float> bypassed(b.size());
    f.processBlock(b.data(), bypassed.data(), static_cast<int>(b.size()), true);
    EXPECT_EQ(bypassed, b);
    std::vector<float> inPlace = c;  // input and output may be the same array
    f.processBlock(inPlace.data(), inPlace.data(), static_cast<int>(inPlace.size()), false);
    EXPECT_EQ(inPlace, refOut);

    // A cut-off change recomputes without clearing the state; reset clears it.
    const BiquadFilter::State before = f.state1();
    f.setCutoff(1, 400.0f);
    EXPECT_EQ(f.state1().y1, before.y1);
    EXPECT_NE(f.state1().y1, 0.0f);
    f.reset();
    EXPECT_EQ(f.state1().y1, 0.0f);
    EXPECT_EQ(f.state2().x1, 0.0f);
    EXPECT_EQ(f.processSample(0.0f, false), 0.0f);

    f.processBlock(a.data(), scratch.data(), 0, false);  // nothing happens
    f.processBlock(a.data(), scratch.data(), -3, false);
}

TEST(BandPassSamples, RefusesAnEmptyBand) {
    testsupport::MessageRecorder messages;
    std::vector<std::int16_t> v = {100, -200, 300};
    for (auto [fc1, fc2] : {std::pair{500.0f, 500.0f}, std::pair{600.0f, 500.0f}}) {
        messages.clear();
        bandPassSamples(v.data(), static_cast<int>(v.size()), fc1, fc2);
        ASSERT_EQ(messages.messages().size(), 1u);
        EXPECT_EQ(messages.messages()[0].first, "Fc1 < Fc2でなければなりません。");
        EXPECT_EQ(messages.messages()[0].second, "error");
        EXPECT_EQ(v, (std::vector<std::int16_t>{100, -200, 300}));
    }
}

TEST(BandPassSamples, PassesTheBandAndRejectsTheRest) {
    struct Case {
        const char* what;
        double tone;
        float fc1, fc2;
        int minPeak, maxPeak;  // of 16000 in, after settling
    };
    const std::vector<Case> cases = {
        {"bolt band, 5 kHz inside", 5000, 2000, 20000, 15000, 16100},
        {"bolt band, 200 Hz below", 200, 2000, 20000, 0, 200},
        {"rubber band, 220 Hz inside", 220, 100, 500, 13500, 16100},
        {"rubber band, 4 kHz above", 4000, 100, 500, 0, 250},
        {"rubber band, 20 Hz below", 20, 100, 500, 0, 800},
    };
    testsupport::MessageRecorder messages;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto v = sine(c.tone, 16000.0, 44100);
        bandPassSamples(v.data(), static_cast<int>(v.size()), c.fc1, c.fc2);
        const int peak = peakOf(v, 22050);
        EXPECT_GE(peak, c.minPeak);
        EXPECT_LE(peak, c.maxPeak);
    }
    EXPECT_TRUE(messages.messages().empty());
}

TEST(BandPassSamples, DcSettlesToZeroAndOvershootIsClamped) {
    std::vector<std::int16_t> dc(44100, 20000);
    bandPassSamples(dc.data(), static_cast<int>(dc.size()), 100.0f, 500.0f);
    EXPECT_GT(dc[20], 0);  // the step goes through first
    EXPECT_EQ(peakOf(dc, 22050), 0);

    // A full-scale square wave rings past full scale in the band-pass; the
    // peaks must come back clamped, never wrapped to the other sign.
    std::vector<std::int16_t> square(44100);
    for (std::size_t i = 0; i < square.size(); ++i) {
        square[i] = (i / 100) % 2 == 0 ? 32767 : -32768;
    }
    bandPassSamples(square.data(), static_cast<int>(square.size()), 100.0f, 500.0f);
    EXPECT_EQ(*std::max_element(square.begin(), square.end()), 32767);
    EXPECT_EQ(*std::min_element(square.begin(), square.end()), -32768);
    // A wrapped value would jump by most of the 16-bit range from its neighbour.
    int largestStep = 0;
    for (std::size_t i = 1; i < square.size(); ++i) {
        largestStep = std::max(largestStep, std::abs(square[i] - square[i - 1]));
    }
    EXPECT_LT(largestStep, 4000);
}
