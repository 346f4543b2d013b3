#include "app/host/vst_plugin.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "app/host/host_messages.h"
#include "tests/host/fake_instrument.h"
#include "tests/host/host_test_support.h"

namespace {

CVstPlugin makePlugin() {
    return CVstPlugin(44100.0f, 882, 1024);
}

struct LoadCase {
    const char* library;
    bool loads;
    const char* message;  // nullptr: none
};

TEST(VstPluginLoad, AcceptsOrRejectsEachKindOfLibrary) {
    const std::string missing =
        (std::filesystem::temp_directory_path() / "korvane-no-such-plugin.so").string();
    const LoadCase cases[] = {
        {"fake_instrument", true, nullptr},
        {"fake_main_only", true, nullptr},
        {"fake_no_entry", false, kMsgPluginEntryMissing},
        {"fake_no_instance", false, kMsgInstanceFailed},
        // Its dispatcher aborts: a single request to it would end this test.
        {"fake_bad_magic", false, kMsgNotVstPlugin},
        {nullptr, false, kMsgPluginLoadFailed},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.library ? c.library : "missing file");
        MessageRecorder messages;
        CVstPlugin plugin = makePlugin();
        EXPECT_EQ(plugin.load(c.library ? fakePlugin(c.library) : missing), c.loads);
        EXPECT_EQ(plugin.effect() != nullptr, c.loads);
        if (c.message) {
            EXPECT_EQ(messages.texts(), std::vector<std::string>{c.message});
        } else {
            EXPECT_TRUE(messages.texts().empty());
        }
    }
}

TEST(VstPluginLoad, RejectedLibraryIsReleased) {
    MessageRecorder messages;
    const std::string path = fakePlugin("fake_no_entry");
    {
        CVstPlugin plugin = makePlugin();
        ASSERT_FALSE(plugin.load(path));
    }
    // RTLD_NOLOAD finds a library only while someone still holds it.
    EXPECT_EQ(dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD), nullptr);
}

TEST(VstPluginLoad, OpensInOrderAndSizesTheBuffersFromTheRecord) {
    CVstPlugin plugin = makePlugin();
    ASSERT_TRUE(plugin.load(fakePlugin("fake_instrument")));
    FakeInstrumentState* s = fakeState(plugin.effect());
    ASSERT_NE(s, nullptr);
    ASSERT_GE(s->opcodeCount, 3);
    EXPECT_EQ(s->opcodes[0], effOpen);
    EXPECT_EQ(s->opcodes[1], effSetSampleRate);
    EXPECT_EQ(s->opcodes[2], effSetBlockSize);
    EXPECT_EQ(s->sampleRate, 44100.0f);
    EXPECT_EQ(s->blockSize, 882);
    EXPECT_EQ(plugin.numParams(), 2);
    EXPECT_EQ(plugin.numPrograms(), 3);
    EXPECT_EQ(plugin.numInputs(), 0);
    EXPECT_EQ(plugin.numOutputs(), 2);

    plugin.setProgram(1);
    plugin.resume();
    EXPECT_EQ(s->program, 1);
    EXPECT_EQ(s->wantMidiAnswer, 0);  // the plug-in asked through hostCallback

    // A plug-in without inputs gets no input array; outputs hold what it rendered.
    plugin.setParameter(0, 0.25f);
    plugin.setParameter(1, -0.5f);
    plugin.process(882);
    EXPECT_TRUE(s->lastInputsNull);
    EXPECT_EQ(s->lastFrames, 882);
    EXPECT_EQ(plugin.outputs()[0][881], 0.25f);
    EXPECT_EQ(plugin.outputs()[1][0], -0.5f);

    // Indices outside 0..numParams-1 never reach the plug-in.
    const int32_t calls = s->setParameterCalls;
    plugin.setParameter(2, 1.0f);
    plugin.setParameter(-1, 1.0f);
    EXPECT_EQ(s->setParameterCalls, calls);
}

TEST(VstPluginLoad, InputsAreZeroedBuffersOfTheBlockSize) {
    CVstPlugin plugin = makePlugin();
    ASSERT_TRUE(plugin.load(fakePlugin("fake_with_inputs")));
    plugin.process(882);
    FakeInstrumentState* s = fakeState(plugin.effect());
    EXPECT_FALSE(s->lastInputsNull);
    EXPECT_EQ(s->lastInputSum, 0.0f);
}

TEST(VstPluginLoad, PluginThatCannotReplaceIsNeverAskedToRender) {
    CVstPlugin plugin = makePlugin();
    ASSERT_TRUE(plugin.load(fakePlugin("fake_no_replacing")));
    plugin.process(100);
    EXPECT_EQ(fakeState(plugin.effect())->processCalls, 0);
}

TEST(VstPluginEvents, KeepsTheFirst1024BetweenFlushes) {
    CVstPlugin plugin = makePlugin();
    ASSERT_TRUE(plugin.load(fakePlugin("fake_instrument")));
    std::vector<VstMidiEvent> events(1025);
    for (int32_t i = 0; i < 1025; ++i) {
        events[i].type = kVstMidiType;
        events[i].byteSize = sizeof(VstMidiEvent);
        events[i].deltaFrames = i;
        plugin.addEvent(&events[i]);
    }
    EXPECT_EQ(plugin.pendingEventCount(), 1024);
    plugin.flushEvents();
    FakeInstrumentState* s = fakeState(plugin.effect());
    EXPECT_EQ(s->processEventsCalls, 1);
    ASSERT_EQ(s->receivedCount, 1024);
    EXPECT_EQ(s->received[1023].deltaFrames, 1023);
    EXPECT_EQ(plugin.pendingEventCount(), 0);

    // An empty list is not sent.
    plugin.flushEvents();
    EXPECT_EQ(s->processEventsCalls, 1);
    plugin.addEvent(&events[1024]);
    plugin.flushEvents();
    EXPECT_EQ(s->received[1024].deltaFrames, 1024);
}

TEST(VstPluginLoad, ThirdPartyInstrumentLoadsAndSounds) {
    MessageRecorder messages;
    CVstPlugin plugin = makePlugin();
    ASSERT_TRUE(plugin.load(AMSYNTH_PATH)) << (messages.texts().empty() ? "" : messages.texts()[0]);
    ASSERT_GE(plugin.numOutputs(), 1);
    plugin.setProgram(0);
    plugin.resume();
    VstMidiEvent note{};
    note.type = kVstMidiType;
    note.byteSize = sizeof(VstMidiEvent);
    note.midiData[0] = static_cast<char>(0x90);
    note.midiData[1] = 60;
    note.midiData[2] = 100;
    plugin.addEvent(&note);
    double energy = 0.0;
    for (int block = 0; block < 20; ++block) {
        plugin.flushEvents();
        plugin.process(882);
        for (int32_t c = 0; c < plugin.numOutputs(); ++c) {
            for (int i = 0; i < 882; ++i) {
                energy += std::fabs(plugin.outputs()[c][i]);
            }
        }
    }
    EXPECT_GT(energy, 1.0);
    plugin.suspend();
}

}  // namespace
