// The voices: pitch, interpolation, gain, pitch bend, release and the voice limit,
// checked against values computed here from the formulas.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "tests/sampler/plugin_host.h"

namespace samplertest {
namespace {

double frequencyOf(double key) {
    return 440.0 * std::pow(2.0, (key - 69.0) / 12.0);
}

// The frame (counted from 1 after the note-off) on which a release at this pitch
// falls below 0.001.
int releaseFrames(double frequency) {
    const double decay = 1.0 - frequency / 110000.0;
    double level = 1.0;
    int frames = 0;
    do {
        level *= decay;
        ++frames;
    } while (level >= 0.001);
    return frames;
}

class VoiceEngineTest : public ::testing::Test {
  protected:
    VoiceEngineTest() : wave(pianoLikeValues(20000)) {
        dir.writeWave("piano.wav", wave);
        std::vector<std::int16_t> stereo;
        for (std::size_t i = 0; i < 5000; ++i) {
            stereo.push_back(static_cast<std::int16_t>(i));
            stereo.push_back(static_cast<std::int16_t>(-3 * static_cast<int>(i)));
        }
        dir.writeWave("stereo.wav", stereo, 2);
        dir.writeWave("ramp.wav", rampValues(32000));
        dir.writeWave("dc.wav", constantValues(200000, 16384));
        dir.writeWave("short.wav", constantValues(100, 16384));
        dir.writeText("samples.txt",
                      "piano.wav,Piano,69\nstereo.wav,Stereo,69\nramp.wav,Ramp,60\n"
                      "dc.wav,DC,69\nshort.wav,Short,69\nmissing.wav,Missing,69\n");
        dir.writeText("programs.txt",
                      "Program\nP,1.0,2,Voices\n"
                      "S,0,127,dc.wav\n"
                      "S,60,60,ramp.wav\n"
                      "S,69,70,piano.wav\nS,81,81,piano.wav\n"
                      "S,71,71,stereo.wav\n"
                      "S,90,105,short.wav\n"
                      "S,106,106,missing.wav\n"
                      "End\n"
                      "Program\nP,1.0,2,Constant\nS,0,127,dc.wav\nEnd\n");
        ::testing::internal::CaptureStderr();  // "Wave file load failed." for missing.wav
        library = std::make_unique<PluginLibrary>(dir);
        instrument = std::make_unique<Instrument>(*library);
        ::testing::internal::GetCapturedStderr();
        instrument->send({{0, 0xB0, 11, 127}});
        instrument->render(1);
    }

    SampleSetDir dir;
    std::vector<std::int16_t> wave;
    std::unique_ptr<PluginLibrary> library;
    std::unique_ptr<Instrument> instrument;
};

TEST_F(VoiceEngineTest, AKeyAtItsRootPitchPlaysTheRecordingFrameByFrame) {
    instrument->send({{0, 0x90, 69, 127}});
    const Stereo out = instrument->render(20010);
    for (std::size_t k = 0; k < 20000; ++k) {
        ASSERT_EQ(out.left[k], static_cast<float>(wave[k] / 32768.0)) << k;
        ASSERT_EQ(out.right[k], out.left[k]) << k;
    }
    // Past the end the held voice adds silence.
    EXPECT_EQ(out.left[20005], 0.0f);
}

TEST_F(VoiceEngineTest, AnOctaveUpReadsEveryOtherFrame) {
    instrument->send({{0, 0x90, 81, 127}});
    const Stereo out = instrument->render(10000);
    for (std::size_t k = 0; k < 9999; ++k) {
        ASSERT_EQ(out.left[k], static_cast<float>(wave[2 * k] / 32768.0)) << k;
    }
}

TEST_F(VoiceEngineTest, BetweenFramesTheValuesAreInterpolatedLinearly) {
    instrument->send({{0, 0x90, 70, 127}});
    const Stereo out = instrument->render(5000);
    const double step = frequencyOf(70) / frequencyOf(69);
    double position = 0.0;
    for (std::size_t k = 0; k < 5000; ++k) {
        const auto i = static_cast<std::size_t>(position);
        const double frac = position - static_cast<double>(i);
        const double expected = (wave[i] + (wave[i + 1] - wave[i]) * frac) / 32768.0;
        ASSERT_NEAR(out.left[k], expected, 1e-6) << k;
        position += step;
    }
}

TEST_F(VoiceEngineTest, StereoSamplesKeepTheirChannels) {
    instrument->send({{0, 0x90, 71, 127}});  // root 69: two semitones up
    const Stereo out = instrument->render(100);
    const double step = frequencyOf(71) / frequencyOf(69);
    for (std::size_t k = 0; k < 100; ++k) {
        const double position = static_cast<double>(k) * step;
        ASSERT_NEAR(out.left[k] * 32768.0, position, 1e-3) << k;
        ASSERT_NEAR(out.right[k] * 32768.0, -3.0 * position, 3e-3) << k;
    }
}

TEST_F(VoiceEngineTest, GainFollowsVelocityVolumeAndExpression) {
    const struct {
        int velocity, volume, expression;
    } cases[] = {{127, 127, 127}, {64, 127, 127}, {127, 64, 127}, {100, 90, 30}, {1, 127, 127}};
    for (const auto& c : cases) {
        instrument->send({{0, 0xB0, 7, static_cast<std::uint8_t>(c.volume)},
                          {0, 0xB0, 11, static_cast<std::uint8_t>(c.expression)},
                          {0, 0x90, 69, static_cast<std::uint8_t>(c.velocity)}});
        const float first = instrument->render(1).left[0];
        const double expected = c.velocity * static_cast<float>(c.volume / 127.0) *
                                static_cast<float>(c.expression / 127.0) * wave[0] /
                                (127.0 * 32768.0);
        EXPECT_FLOAT_EQ(first, static_cast<float>(expected));
        instrument->send({{0, 0xB0, 120, 0}});
        instrument->render(1);
    }
}

TEST_F(VoiceEngineTest, TheDefaultExpressionPeaksAtAbout0787) {
    SampleSetDir fresh;
    fresh.writeWave("full.wav", constantValues(100, 32767));
    fresh.writeText("samples.txt", "full.wav,Full,69\n");
    fresh.writeText("programs.txt", "Program\nP,1.0,2,Full\nS,0,127,full.wav\nEnd\n");
    PluginLibrary module(fresh);
    Instrument plain(module);
    plain.send({{0, 0x90, 69, 127}});
    EXPECT_NEAR(plain.render(1).left[0], 0.787, 0.0005);
}

TEST_F(VoiceEngineTest, PitchBendMovesThePitchByRangeTimesBendOver8192) {
    // Key 60 plays the ramp at its root pitch: the output is the read position.
    const struct {
        std::int32_t bend;  // -8192..8191
        std::uint8_t rangeSemitones;
    } cases[] = {{8191, 2}, {-8192, 2}, {4096, 12}, {-1000, 7}, {8191, 0}};
    for (const auto& c : cases) {
        const int raw = c.bend + 8192;
        instrument->send(
            {{0, 0xB0, 101, 0},
             {0, 0xB0, 100, 0},
             {0, 0xB0, 6, c.rangeSemitones},
             {0, 0xB0, 38, 0},
             {0, 0xE0, static_cast<std::uint8_t>(raw & 0x7F), static_cast<std::uint8_t>(raw >> 7)},
             {0, 0x90, 60, 127}});
        const Stereo out = instrument->render(1001);
        const double semitones = c.rangeSemitones * c.bend / 8192.0;
        const double expected = 1000.0 * frequencyOf(60 + semitones) / frequencyOf(60);
        EXPECT_NEAR(out.left[1000] * 32768.0, expected, 0.01)
            << c.bend << " x " << int(c.rangeSemitones);
        instrument->send({{0, 0xB0, 120, 0}, {0, 0xE0, 0, 64}});
        instrument->render(1);
    }
    EXPECT_DOUBLE_EQ(2 * 8191 / 8192.0, 1.999755859375);
}

TEST_F(VoiceEngineTest, ReleaseLengthFollowsThePitch) {
    // Each key plays the long constant sample; the note-off comes at frame 10.
    instrument->setProgram(1);
    const struct {
        std::uint8_t key;
        int bendRaw;
        int frames;  // the frame after the note-off on which the voice falls silent
    } cases[] = {{69, 8192, 1724},
                 {21, 8192, 27628},
                 {108, 8192, 179},
                 {127, 8192, 58},
                 {69, 16383, releaseFrames(frequencyOf(69 + 2.0 * 8191 / 8192))},
                 {69, 0, releaseFrames(frequencyOf(67))}};
    for (const auto& c : cases) {
        const double semitones = 2.0 * (c.bendRaw - 8192) / 8192.0;
        ASSERT_EQ(releaseFrames(frequencyOf(c.key + semitones)), c.frames);
        instrument->send({{0, 0xE0, static_cast<std::uint8_t>(c.bendRaw & 0x7F),
                           static_cast<std::uint8_t>(c.bendRaw >> 7)},
                          {0, 0x90, c.key, 127},
                          {10, 0x80, c.key, 0}});
        const Stereo out = instrument->render(10 + c.frames + 10);
        const double decay = 1.0 - frequencyOf(c.key + semitones) / 110000.0;
        double level = 1.0;
        for (int n = 1; n < c.frames; ++n) {
            level *= decay;
            ASSERT_FLOAT_EQ(out.left[static_cast<std::size_t>(9 + n)],
                            static_cast<float>(0.5 * level))
                << "key " << int(c.key) << ", frame " << n;
        }
        EXPECT_EQ(out.left[static_cast<std::size_t>(9 + c.frames)], 0.0f) << int(c.key);
        EXPECT_EQ(out.left.back(), 0.0f);
        instrument->send({{0, 0xE0, 0, 64}});
        instrument->render(1);
    }
}

TEST_F(VoiceEngineTest, SixteenVoicesAtMostAndNoneIsStolen) {
    std::vector<MidiMessage> notes;
    for (std::uint8_t key = 20; key < 37; ++key) {  // 17 keys on the constant sample
        notes.push_back({0, 0x90, key, 127});
    }
    instrument->send(notes);
    EXPECT_FLOAT_EQ(instrument->render(1).left[0], 16 * 0.5f);

    // A releasing voice keeps its place: the next note is dropped until the release ends.
    const double decay = 1.0 - frequencyOf(20) / 110000.0;
    instrument->send({{0, 0x80, 20, 0}, {0, 0x90, 37, 127}});
    EXPECT_FLOAT_EQ(instrument->render(1).left[0], static_cast<float>(15 * 0.5 + 0.5 * decay));
    instrument->render(releaseFrames(frequencyOf(20)));
    EXPECT_FLOAT_EQ(instrument->render(1).left[0], 15 * 0.5f);
    instrument->send({{0, 0x90, 37, 127}});
    EXPECT_FLOAT_EQ(instrument->render(1).left[0], 16 * 0.5f);
}

TEST_F(VoiceEngineTest, AHeldVoicePastTheEndOfItsSampleKeepsItsPlace) {
    std::vector<MidiMessage> notes;
    for (std::uint8_t key = 90; key < 106; ++key) {  // 16 keys on the 100-frame sample
        notes.push_back({0, 0x90, key, 127});
    }
    instrument->send(notes);
    instrument->render(2000);
    instrument->send({{0, 0x90, 69, 127}});
    EXPECT_EQ(instrument->render(1).left[0], 0.0f);
}

TEST_F(VoiceEngineTest, OneNoteOffReleasesEveryVoiceOfItsKey) {
    instrument->send({{0, 0x90, 50, 127}, {0, 0x90, 50, 127}});
    EXPECT_FLOAT_EQ(instrument->render(1).left[0], 1.0f);
    instrument->send({{0, 0x80, 50, 0}});
    const Stereo out = instrument->render(releaseFrames(frequencyOf(50)) + 1);
    const double decay = 1.0 - frequencyOf(50) / 110000.0;
    EXPECT_FLOAT_EQ(out.left[0], static_cast<float>(2 * 0.5 * decay));
    EXPECT_EQ(out.left.back(), 0.0f);
}

TEST_F(VoiceEngineTest, StrayNoteOffsChangeNothing) {
    // A note-off for a key not held, then a second note-off for a releasing key:
    // neither touches the voice, and the release is not restarted.
    instrument->send(
        {{0, 0x90, 69 - 30, 127}, {2, 0x80, 72, 0}, {5, 0x80, 39, 0}, {8, 0x80, 39, 0}});
    const Stereo out = instrument->render(12);
    const double decay = 1.0 - frequencyOf(39) / 110000.0;
    double level = 1.0;
    for (std::size_t k = 0; k < 12; ++k) {
        if (k >= 5) {
            level *= decay;
        }
        ASSERT_FLOAT_EQ(out.left[k], static_cast<float>(0.5 * level)) << k;
    }
}

TEST_F(VoiceEngineTest, AllNotesOffSilencesHeldVoicesAndLetsReleasesRun) {
    instrument->send({{0, 0x90, 40, 127}, {0, 0x80, 40, 0}, {0, 0x90, 41, 127}, {4, 0xB0, 123, 0}});
    const Stereo out = instrument->render(8);
    const double decay = 1.0 - frequencyOf(40) / 110000.0;
    double level = 1.0;
    for (std::size_t k = 0; k < 8; ++k) {
        level *= decay;
        const double expected = 0.5 * level + (k < 4 ? 0.5 : 0.0);
        ASSERT_FLOAT_EQ(out.left[k], static_cast<float>(expected)) << k;
    }
}

TEST_F(VoiceEngineTest, SilenceWithoutVoicesAndForAnEmptySlot) {
    const Stereo quiet = instrument->render(64);
    for (std::size_t k = 0; k < 64; ++k) {
        ASSERT_EQ(quiet.left[k], 0.0f);
        ASSERT_EQ(quiet.right[k], 0.0f);
    }
    instrument->send({{0, 0x90, 106, 127}});  // its wave file is missing
    const Stereo empty = instrument->render(64);
    EXPECT_EQ(empty.left[10], 0.0f);
    EXPECT_EQ(empty.right[63], 0.0f);
}

}  // namespace
}  // namespace samplertest
