// The instrument as a host meets it: the entry function, the record, the fixed
// answers, parameters and programs.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "tests/sampler/plugin_host.h"

namespace samplertest {
namespace {

// Two programs over two samples; programs 2 to 128 keep their defaults.
class SamplerEffectTest : public ::testing::Test {
  protected:
    SamplerEffectTest() {
        dir.writeWave("ramp.wav", rampValues(4000));
        dir.writeWave("dc.wav", constantValues(4000, 8192));
        dir.writeText("samples.txt", "ramp.wav,Ramp,69\ndc.wav,DC,69\n");
        dir.writeText("programs.txt",
                      "Program\nP,1.0,2,Ramp Grand\nS,0,127,ramp.wav\nEnd\n"
                      "Program\nP,0.5,7,Second\nS,0,127,dc.wav\nEnd\n");
    }

    SampleSetDir dir;
};

TEST_F(SamplerEffectTest, BothEntryNamesCreateAnInstrumentWithTheRecordAHostChecks) {
    PluginLibrary library(dir);
    for (const char* name : {"VSTPluginMain", "main"}) {
        SCOPED_TRACE(name);
        Instrument instrument(library, name);
        const AEffect* effect = instrument.effect();
        EXPECT_EQ(effect->magic, 0x56737450);
        EXPECT_EQ(effect->numPrograms, 129);
        EXPECT_EQ(effect->numParams, 5);
        EXPECT_EQ(effect->numInputs, 0);
        EXPECT_EQ(effect->numOutputs, 2);
        EXPECT_EQ(effect->flags, effFlagsCanReplacing | effFlagsIsSynth);
        EXPECT_EQ(effect->uniqueID, vstFourCharCode('Q', 'Z', '0', '2'));
        EXPECT_EQ(effect->version, 1);
        EXPECT_EQ(effect->ioRatio, 1.0f);
        EXPECT_NE(effect->processReplacing, nullptr);
    }
}

TEST_F(SamplerEffectTest, AHostThatAnswersNoVersionGetsNoInstrument) {
    PluginLibrary library(dir);
    hostState().versionAnswer = 0;
    const int asked = hostState().versionRequests;
    AEffect* effect = library.entry("VSTPluginMain")(&testHostCallback);
    hostState().versionAnswer = 2400;
    EXPECT_EQ(effect, nullptr);
    EXPECT_EQ(hostState().versionRequests, asked + 1);
    EXPECT_EQ(library.entry("main")(nullptr), nullptr);
}

TEST_F(SamplerEffectTest, SwitchingOnAsksTheHostForMidi) {
    PluginLibrary library(dir);
    Instrument instrument(library);
    const int before = hostState().wantMidiRequests;
    instrument.dispatch(effMainsChanged, 0, 5);
    EXPECT_EQ(hostState().wantMidiRequests, before + 1);
    EXPECT_EQ(hostState().lastWantMidiValue, 1);
    instrument.dispatch(effMainsChanged, 0, 0);
    EXPECT_EQ(hostState().wantMidiRequests, before + 1);
}

TEST_F(SamplerEffectTest, FixedTextsAndAnswers) {
    PluginLibrary library(dir);
    Instrument instrument(library);
    char text[80];
    EXPECT_EQ(instrument.dispatch(effGetEffectName, 0, 0, text), 1);
    EXPECT_STREQ(text, "VOD Azezozo 1.0");
    EXPECT_EQ(instrument.dispatch(effGetProductString, 0, 0, text), 1);
    EXPECT_STREQ(text, "VOD Azezozo 1.0");
    EXPECT_EQ(instrument.dispatch(effGetVendorString, 0, 0, text), 1);
    EXPECT_STREQ(text, "Vostrel");
    EXPECT_EQ(instrument.dispatch(effGetNumMidiInputChannels), 1);
    EXPECT_EQ(instrument.dispatch(effGetNumMidiOutputChannels), 0);
    EXPECT_EQ(instrument.dispatch(effGetVstVersion), 2400);
    EXPECT_EQ(instrument.dispatch(effGetPlugCategory), 2);
    EXPECT_EQ(instrument.dispatch(effGetVendorVersion), 0);

    const struct {
        const char* word;
        std::intptr_t answer;
    } words[] = {{"receiveVstEvents", 1},     {"receiveVstMidiEvent", 1},
                 {"receivevstmidievent", -1}, {"receiveVstMidiEvents", -1},
                 {"sendVstEvents", -1},       {"", -1}};
    for (const auto& w : words) {
        std::string word = w.word;
        EXPECT_EQ(instrument.dispatch(effCanDo, 0, 0, word.data()), w.answer) << w.word;
    }
}

TEST_F(SamplerEffectTest, ParameterNamesAndLabelsAreCutToEightCharacters) {
    PluginLibrary library(dir);
    Instrument instrument(library);
    const struct {
        std::int32_t index;
        const char* name;
        const char* label;
    } parameters[] = {{0, "Volume", "dB"},
                      {1, "PB.Range", "semitone"},
                      {2, "Effect M", "method"},
                      {3, "Effect N", "note"},
                      {4, "Effect R", "range"}};
    for (const auto& p : parameters) {
        EXPECT_EQ(instrument.parameterName(p.index), p.name);
        EXPECT_EQ(instrument.parameterLabel(p.index), p.label);
    }

    // Nothing is written past the ninth byte of a name or label buffer.
    char buffer[16];
    std::memset(buffer, 'x', sizeof buffer);
    instrument.dispatch(effGetParamName, 2, 0, buffer);
    EXPECT_EQ(std::string(buffer), "Effect M");
    EXPECT_EQ(buffer[9], 'x');

    // Other indices leave the caller's buffer as it was, and show an empty display.
    for (std::int32_t index : {5, 7, -1}) {
        std::memset(buffer, 'x', sizeof buffer);
        instrument.dispatch(effGetParamName, index, 0, buffer);
        instrument.dispatch(effGetParamLabel, index, 0, buffer);
        EXPECT_EQ(buffer[0], 'x');
        EXPECT_EQ(instrument.parameterDisplay(index), "");
        EXPECT_EQ(instrument.getParameter(index), 0.0f);
        instrument.setParameter(index, 3.0f);  // ignored
    }
}

TEST_F(SamplerEffectTest, ParameterDisplays) {
    PluginLibrary library(dir);
    Instrument instrument(library);
    const struct {
        std::int32_t index;
        float value;
        const char* display;
    } cases[] = {
        {0, 1.0f, "0.000000"},     {0, 0.0f, "-oo"},        {0, 0.5f, "-6.02059"},
        {0, -1.0f, "-oo"},         {1, 0.25f, "3"},         {1, 1.0f, "12"},
        {1, -0.5f, "-6"},          {2, 1.0f, "1.000000"},   {3, 64.0f, "64.000000"},
        {3, 127.0f, "127.000000"}, {3, 60.7f, "60.700001"}, {4, 2.3f, "2.300000"},
    };
    for (const auto& c : cases) {
        // Parameter 4 would run a treatment on the key of parameter 3; with method 0
        // that only reloads the clean sample.
        instrument.setParameter(2, 0.0f);
        instrument.setParameter(c.index, c.value);
        EXPECT_EQ(instrument.parameterDisplay(c.index), c.display)
            << "parameter " << c.index << " = " << c.value;
    }
}

TEST_F(SamplerEffectTest, DisplayTextsStayWithinSixteenBytes) {
    PluginLibrary library(dir);
    Instrument instrument(library);
    instrument.setParameter(3, 3.0e20f);
    char buffer[64];
    std::memset(buffer, 'x', sizeof buffer);
    instrument.dispatch(effGetParamDisplay, 3, 0, buffer);
    char full[80];
    std::snprintf(full, sizeof full, "%f", static_cast<double>(3.0e20f));
    EXPECT_EQ(std::string(buffer), std::string(full, 15));
    EXPECT_EQ(buffer[16], 'x');
}

TEST_F(SamplerEffectTest, PitchBendRangeIsTruncatedTwelfths) {
    PluginLibrary library(dir);
    Instrument instrument(library);
    instrument.setParameter(1, 0.25f);
    EXPECT_EQ(instrument.parameterDisplay(1), "3");
    EXPECT_EQ(instrument.getParameter(1), 0.25f);
    instrument.setParameter(1, 1.5f);  // not limited to 12
    EXPECT_EQ(instrument.parameterDisplay(1), "18");
    EXPECT_EQ(instrument.getParameter(1), 1.5f);
    instrument.setParameter(1, std::nanf(""));
    EXPECT_EQ(instrument.parameterDisplay(1), "0");
    instrument.setParameter(1, 1.0e30f);
    EXPECT_EQ(instrument.parameterDisplay(1), "2147483647");
}

TEST_F(SamplerEffectTest, AFloatRoundTripOfTheRangeLosesASemitoneToTruncation) {
    // A host that stores getParameter(1) as a float and sends it back.
    const struct {
        int semitones;
        const char* after;
    } cases[] = {{5, "4"}, {7, "6"}, {10, "9"}, {3, "3"}, {12, "12"}};
    for (const auto& c : cases) {
        dir.writeText("programs.txt", "Program\nP,1.0," + std::to_string(c.semitones) +
                                          ",R\nS,0,127,ramp.wav\nEnd\n");
        PluginLibrary library(dir);
        Instrument instrument(library);
        ASSERT_EQ(instrument.parameterDisplay(1), std::to_string(c.semitones));
        const float stored = instrument.getParameter(1);
        instrument.setParameter(1, stored);
        EXPECT_EQ(instrument.parameterDisplay(1), c.after) << c.semitones;
    }
}

TEST_F(SamplerEffectTest, ProgramsCarryNameVolumeAndRange) {
    PluginLibrary library(dir);
    Instrument instrument(library);
    EXPECT_EQ(instrument.dispatch(effGetProgram), 0);
    EXPECT_EQ(instrument.programName(), "Ramp Grand");
    EXPECT_EQ(instrument.getParameter(0), 1.0f);
    EXPECT_EQ(instrument.parameterDisplay(1), "2");

    instrument.setProgram(1);
    EXPECT_EQ(instrument.dispatch(effGetProgram), 1);
    EXPECT_EQ(instrument.programName(), "Second");
    EXPECT_EQ(instrument.getParameter(0), 0.5f);
    EXPECT_EQ(instrument.parameterDisplay(1), "7");

    // A program that programs.txt does not define: "Default", sample 0 everywhere,
    // volume 1.0, range 2.
    instrument.setProgram(5);
    EXPECT_EQ(instrument.dispatch(effGetProgram), 5);
    EXPECT_EQ(instrument.programName(), "Default");
    EXPECT_EQ(instrument.getParameter(0), 1.0f);
    EXPECT_EQ(instrument.parameterDisplay(1), "2");
    const std::vector<std::int32_t> values = instrument.play(40, 1200);  // any key: the ramp
    EXPECT_EQ(values[1000], std::lround(1000 * std::pow(2.0, -29.0 / 12)));

    // Numbers outside 0..128 are ignored.
    for (std::intptr_t program : {129, -1, 1000}) {
        instrument.setProgram(static_cast<std::int32_t>(program));
        EXPECT_EQ(instrument.dispatch(effGetProgram), 5);
    }
    instrument.setProgram(128);
    EXPECT_EQ(instrument.dispatch(effGetProgram), 128);
}

TEST_F(SamplerEffectTest, ParametersChangedAloneDoNotWriteBackIntoTheProgram) {
    PluginLibrary library(dir);
    Instrument instrument(library);
    instrument.setProgram(1);
    instrument.setParameter(0, 0.25f);
    instrument.setParameter(1, 1.0f);
    instrument.setProgram(0);
    instrument.setProgram(1);
    EXPECT_EQ(instrument.getParameter(0), 0.5f);
    EXPECT_EQ(instrument.parameterDisplay(1), "7");
}

TEST_F(SamplerEffectTest, ProgramNames) {
    PluginLibrary library(dir);
    Instrument instrument(library);
    std::string longName = "abcdefghijklmnopqrstuvwxyz0123";  // 30 characters
    instrument.dispatch(effSetProgramName, 0, 0, longName.data());
    EXPECT_EQ(instrument.programName(), "abcdefghijklmnopqrstuvwx");

    char buffer[40];
    std::memset(buffer, 'x', sizeof buffer);
    instrument.dispatch(effGetProgramName, 0, 0, buffer);
    EXPECT_EQ(buffer[25], 'x');  // 24 characters and a terminator

    EXPECT_EQ(instrument.dispatch(effGetProgramNameIndexed, 1, 0, buffer), 1);
    EXPECT_STREQ(buffer, "Second");
    EXPECT_EQ(instrument.dispatch(effGetProgramNameIndexed, 128, 7, buffer), 1);
    EXPECT_STREQ(buffer, "Default");
    for (std::int32_t index : {129, -1}) {
        std::memset(buffer, 'x', sizeof buffer);
        EXPECT_EQ(instrument.dispatch(effGetProgramNameIndexed, index, 0, buffer), 0);
        EXPECT_EQ(buffer[0], 'x');
    }
}

TEST_F(SamplerEffectTest, AProgramChangeIsHeardByANoteAlreadySounding) {
    PluginLibrary library(dir);
    Instrument instrument(library);
    instrument.send({{0, 0xB0, 11, 127}, {0, 0x90, 69, 127}});
    const Stereo before = instrument.render(16);
    EXPECT_EQ(before.left[10], 10.0f / 32768.0f);  // the ramp
    instrument.setProgram(1);                      // the constant, at volume 0.5
    const Stereo after = instrument.render(16);
    EXPECT_EQ(after.left[0], 0.5f * 8192.0f / 32768.0f);
    EXPECT_EQ(after.right[15], 0.5f * 8192.0f / 32768.0f);
}

TEST_F(SamplerEffectTest, AMissingSampleSetStillGivesAWorkingSilentInstrument) {
    std::filesystem::remove(dir.sampleData() / "samples.txt");
    std::filesystem::remove(dir.sampleData() / "programs.txt");
    ::testing::internal::CaptureStderr();
    PluginLibrary library(dir);
    Instrument instrument(library);
    const std::string report = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(report.find("programs.txt Program file load failed."), std::string::npos) << report;
    EXPECT_EQ(instrument.programName(), "Default");
    instrument.send({{0, 0x90, 60, 127}});
    const Stereo out = instrument.render(64);
    for (int k = 0; k < 64; ++k) {
        ASSERT_EQ(out.left[static_cast<std::size_t>(k)], 0.0f);
        ASSERT_EQ(out.right[static_cast<std::size_t>(k)], 0.0f);
    }
    // Preparing a key whose sample has no file changes nothing and says nothing.
    ::testing::internal::CaptureStderr();
    prepare(instrument, 4.0f, 60.0f, 1.0f);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
}

}  // namespace
}  // namespace samplertest
