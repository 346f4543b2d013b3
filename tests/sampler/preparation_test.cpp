// Preparing keys through the three effect parameters, with each treatment checked
// against its formula computed here from the clean recording.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <vector>

#include "plugin/samples/biquad_filter.h"
#include "tests/sampler/plugin_host.h"

namespace samplertest {
namespace {

using Values = std::vector<std::int32_t>;

constexpr std::int32_t kLength = 24000;  // values of the prepared recording

std::int32_t low16(std::int64_t v) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(v & 0xFFFF));
}

// W: `count` values of channel 0, zero beyond the recorded frames.
std::vector<std::int16_t> padded(const std::vector<std::int16_t>& channel0, std::size_t count) {
    std::vector<std::int16_t> w(count, 0);
    std::copy_n(channel0.begin(), std::min(count, channel0.size()), w.begin());
    return w;
}

Values screw(const std::vector<std::int16_t>& w, float range) {
    const double r = range;
    const std::size_t n = w.size();
    Values y(n);
    double g = 0.97;
    for (std::size_t i = 0; i < n; ++i) {
        const int scaled = static_cast<int>(w[i] * g);
        y[i] = i < n / r ? low16((scaled + w[static_cast<std::size_t>(i * r)]) / 2) : low16(scaled);
        g *= 0.95;
    }
    return y;
}

Values bolt(std::vector<std::int16_t> w, float range) {
    bandPassSamples(w.data(), static_cast<int>(w.size()), 2000.0f, 20000.0f);
    const double r = range;
    const std::size_t n = w.size();
    Values y(n);
    double g = 0.999;
    for (std::size_t i = 0; i < n; ++i) {
        int v;
        if (i < n / r) {
            const auto j = static_cast<std::size_t>(i * r);
            v = j < n / r ? static_cast<int>((2 * w[j] + w[i] * g * 0.5) * 0.3333333333333333)
                          : w[i];
        } else {
            v = static_cast<int>(w[i] * g * 0.5);
        }
        y[i] = low16(2 * v);
        g *= 0.999;
    }
    return y;
}

Values rubber(std::vector<std::int16_t> w, float range) {
    bandPassSamples(w.data(), static_cast<int>(w.size()), 100.0f, 500.0f);
    const double r = range;
    const std::size_t n = w.size();
    const auto l = static_cast<std::int64_t>(r * 2000);
    Values y(n);
    for (std::size_t i = 0; i < n; ++i) {
        int x = w[i];
        if (i < n * r) {
            const auto a = static_cast<std::size_t>(i / r);
            if (a < n) {
                const auto b = static_cast<std::size_t>(i / (2 * r));
                if (b < n) {
                    x = (w[b] + w[a] + w[i]) / 3;
                }
            }
        }
        const auto ii = static_cast<std::int64_t>(i);
        if (ii < l) {
            y[i] = x;
        } else if (ii < 2 * l) {
            y[i] = low16(x - (x * (ii - l)) / l);
        } else {
            y[i] = 0;
        }
    }
    return y;
}

Values reverse(const std::vector<std::int16_t>& w) {
    return Values(w.rbegin(), w.rend());
}

Values asValues(const std::vector<std::int16_t>& w) {
    return Values(w.begin(), w.end());
}

// Keys 55..72 share piano.wav (root 69); keys 73..127 play other.wav (root 81);
// key 50 plays a stereo recording (root 50); key 40 an empty one (root 40).
class PreparationTest : public ::testing::Test {
  protected:
    PreparationTest()
        : clean(pianoLikeValues(kLength, 7)),
          other(pianoLikeValues(3000, 99)),
          left(pianoLikeValues(3000, 3)),
          right(pianoLikeValues(3000, 4)) {
        dir.writeWave("piano.wav", clean);
        dir.writeWave("other.wav", other);
        std::vector<std::int16_t> stereo;
        for (std::size_t i = 0; i < left.size(); ++i) {
            stereo.push_back(left[i]);
            stereo.push_back(right[i]);
        }
        dir.writeWave("stereo.wav", stereo, 2);
        dir.writeWave("empty.wav", {});
        dir.writeText("samples.txt",
                      "piano.wav,Piano,69\nother.wav,Other,81\nstereo.wav,Stereo,50\n"
                      "empty.wav,Empty,40\n");
        dir.writeText("programs.txt",
                      "Program\nP,1.0,2,Prepared\nS,55,72,piano.wav\nS,73,127,other.wav\n"
                      "S,50,50,stereo.wav\nS,40,40,empty.wav\nEnd\n");
        library = std::make_unique<PluginLibrary>(dir);
        instrument = std::make_unique<Instrument>(*library);
    }

    // What the keys of piano.wav now play, read at its root pitch.
    Values piano() { return instrument->play(69, kLength); }

    SampleSetDir dir;
    std::vector<std::int16_t> clean, other, left, right;
    std::unique_ptr<PluginLibrary> library;
    std::unique_ptr<Instrument> instrument;
};

TEST_F(PreparationTest, EachTreatmentFollowsItsFormula) {
    const struct {
        float method;
        float range;
        Values expected;
    } cases[] = {
        {1.0f, 1.0f, screw(clean, 1.0f)},  {1.0f, 2.3f, screw(clean, 2.3f)},
        {1.0f, 5.0f, screw(clean, 5.0f)},  {2.0f, 1.0f, bolt(clean, 1.0f)},
        {2.0f, 2.3f, bolt(clean, 2.3f)},   {2.0f, 5.0f, bolt(clean, 5.0f)},
        {3.0f, 1.0f, rubber(clean, 1.0f)}, {3.0f, 2.3f, rubber(clean, 2.3f)},
        {3.0f, 5.0f, rubber(clean, 5.0f)}, {4.0f, 1.0f, reverse(clean)},
        {4.0f, 3.7f, reverse(clean)},
    };
    for (const auto& c : cases) {
        prepare(*instrument, c.method, 60.0f, c.range);
        const Values heard = piano();
        for (std::size_t i = 0; i < heard.size(); ++i) {
            ASSERT_EQ(heard[i], c.expected[i])
                << "method " << c.method << ", range " << c.range << ", value " << i;
        }
    }
}

TEST_F(PreparationTest, TreatmentsDoNotAccumulate) {
    prepare(*instrument, 1.0f, 60.0f, 2.0f);
    prepare(*instrument, 2.0f, 60.0f, 3.0f);
    EXPECT_EQ(piano(), bolt(clean, 3.0f));

    prepare(*instrument, 4.0f, 60.0f, 1.0f);
    prepare(*instrument, 4.0f, 60.0f, 1.0f);
    EXPECT_EQ(piano(), reverse(clean));
}

TEST_F(PreparationTest, MethodZeroOrAnUnknownMethodRestoresTheRecording) {
    for (float method : {0.0f, 2.5f, 7.0f, -1.0f}) {
        prepare(*instrument, 3.0f, 60.0f, 2.0f);
        prepare(*instrument, method, 60.0f, 2.0f);
        EXPECT_EQ(piano(), asValues(clean)) << method;
    }
}

TEST_F(PreparationTest, OnlyTheRangeParameterRunsTheTreatment) {
    instrument->setParameter(2, 4.0f);
    instrument->setParameter(3, 60.0f);
    EXPECT_EQ(piano(), asValues(clean));
    instrument->setParameter(4, 1.0f);
    EXPECT_EQ(piano(), reverse(clean));
}

TEST_F(PreparationTest, EveryKeyOfTheSampleSoundsPreparedAndOnlyThose) {
    prepare(*instrument, 4.0f, 72.0f, 1.0f);  // another key of piano.wav's zone
    EXPECT_EQ(piano(), reverse(clean));
    EXPECT_EQ(instrument->play(81, 3000), asValues(other));
}

TEST_F(PreparationTest, TheEffectNoteIsTruncatedAndKeysOutsideTheMapChangeNothing) {
    // A different recording on disk shows whether a reload happened.
    const std::vector<std::int16_t> replaced = pianoLikeValues(kLength, 1234);
    dir.writeWave("piano.wav", replaced);
    for (float note : {128.0f, -1.0f, 1.0e9f, -1.0e9f, std::nanf(""), INFINITY}) {
        prepare(*instrument, 4.0f, note, 1.0f);
        ASSERT_EQ(piano(), asValues(clean)) << note;
    }
    prepare(*instrument, 4.0f, 60.7f, 1.0f);  // key 60
    EXPECT_EQ(piano(), reverse(replaced));
    prepare(*instrument, 0.0f, 72.99f, 1.0f);  // key 72
    EXPECT_EQ(piano(), asValues(replaced));
}

TEST_F(PreparationTest, AFailedReloadTreatsTheDataAlreadyThere) {
    prepare(*instrument, 4.0f, 60.0f, 1.0f);
    std::filesystem::remove(dir.sampleData() / "piano.wav");
    ::testing::internal::CaptureStderr();
    prepare(*instrument, 4.0f, 60.0f, 1.0f);  // reverses the reversed recording
    const std::string report = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(report.find("Wave file load failed."), std::string::npos) << report;
    EXPECT_EQ(piano(), asValues(clean));
}

TEST_F(PreparationTest, AStereoSampleHasOnlyChannelZeroOfItsFirstFramesRewritten) {
    // N = dataSize / 2 counts both channels; positions past the frames read 0.
    const std::vector<std::int16_t> w = padded(left, 2 * left.size());
    for (float method : {1.0f, 4.0f}) {
        prepare(*instrument, method, 50.0f, 2.0f);
        const Values expected = method == 1.0f ? screw(w, 2.0f) : reverse(w);
        EXPECT_EQ(instrument->play(50, 3000, 0), Values(expected.begin(), expected.begin() + 3000));
        EXPECT_EQ(instrument->play(50, 3000, 1), asValues(right));
    }
}

TEST_F(PreparationTest, AnEmptySampleStaysEmpty) {
    for (float method : {1.0f, 2.0f, 3.0f, 4.0f}) {
        prepare(*instrument, method, 40.0f, 2.0f);
        EXPECT_EQ(instrument->play(40, 16), Values(16, 0));
    }
}

TEST_F(PreparationTest, ASoundingNoteHearsTheTreatmentFromItsNextFrame) {
    instrument->send({{0, 0xB0, 11, 127}, {0, 0x90, 69, 127}});
    const Stereo before = instrument->render(100);
    prepare(*instrument, 4.0f, 60.0f, 1.0f);
    const Stereo after = instrument->render(100);
    const Values reversed = reverse(clean);
    EXPECT_EQ(std::lround(before.left[99] * 32768.0), clean[99]);
    for (std::size_t k = 0; k < 100; ++k) {
        ASSERT_EQ(std::lround(after.left[k] * 32768.0), reversed[100 + k]) << k;
    }
}

}  // namespace
}  // namespace samplertest
