#include "app/host/vst_host_main.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/host/host_messages.h"
#include "tests/host/fake_instrument.h"
#include "tests/host/host_test_support.h"

namespace {

constexpr int32_t kLatency = 4851;  // (100 + 10) ms at 44100 Hz

class HostMainTest : public ::testing::Test {
  protected:
    FakeInstrumentState* load(int32_t slot, const char* name = "fake_instrument") {
        EXPECT_EQ(engine().loadPlugin(slot, fakePlugin(name)), 1);
        CVstPlugin* plugin = engine().plugin(slot);
        return plugin ? fakeState(plugin->effect()) : nullptr;
    }
    CVstHostMain& engine() { return *rig.engine; }

    // First frame from `from` on whose played value is not silence.
    int64_t firstSound(size_t from = 0) {
        for (size_t i = from; i < rig.played.size(); ++i) {
            if (rig.played[i] != 0) {
                return static_cast<int64_t>(i);
            }
        }
        return -1;
    }

    MessageRecorder messages;
    ManualRig rig;
};

TEST_F(HostMainTest, DerivesItsFramesFromTheMilliseconds) {
    EXPECT_EQ(engine().latencyFrames(), kLatency);
    EXPECT_EQ(engine().blockFrames(), 882);
    EXPECT_EQ(engine().format().avgBytesPerSec, 88200u);
}

TEST_F(HostMainTest, StampsEachMessageOneLatencyAheadOfThePlayPosition) {
    FakeInstrumentState* s = load(0);
    ASSERT_TRUE(engine().start(RenderDrive::caller));
    rig.play(9849);
    engine().renderPass();  // renders up to 9849 + 4851 = 14700
    EXPECT_EQ(engine().renderedFrame(), 14700u);
    rig.play(151);  // the device has now played 10000 frames
    engine().sendMidiMessage(0x90, 60, 127);
    engine().renderPass();
    ASSERT_EQ(s->receivedCount, 1);
    EXPECT_EQ(s->received[0].deltaFrames, 151);
    EXPECT_EQ(s->received[0].type, kVstMidiType);
    EXPECT_EQ(s->received[0].byteSize, 32);
    EXPECT_EQ(static_cast<unsigned char>(s->received[0].midiData[0]), 0x90);
    EXPECT_EQ(s->received[0].midiData[1], 60);
    EXPECT_EQ(s->received[0].midiData[2], 127);
    EXPECT_EQ(s->received[0].midiData[3], 0);
}

TEST_F(HostMainTest, NoteIsHeardAtThePlayPositionPlusTheLatency) {
    load(0);
    ASSERT_TRUE(engine().start(RenderDrive::caller));
    rig.run(30000);
    const uint32_t sentAt = engine().device().position();
    engine().sendMidiMessage(0x90, 64, 127);
    rig.run(2 * kLatency);
    EXPECT_EQ(firstSound(), static_cast<int64_t>(sentAt) + kLatency);
    EXPECT_EQ(rig.played[static_cast<size_t>(sentAt) + kLatency], 32767);
}

struct MixCase {
    float left;
    float right;
    double gain;
    int16_t expected;
};

TEST_F(HostMainTest, MixAveragesTheChannelsAppliesTheGainAndClamps) {
    FakeInstrumentState* s = load(0);
    ASSERT_TRUE(engine().start(RenderDrive::caller));
    const MixCase cases[] = {
        {0.5f, 0.5f, 1.0, 16383},    {1.0f, 0.0f, 1.0, 16383},   {1.5f, 1.5f, 1.0, 32767},
        {-1.5f, -1.5f, 1.0, -32767}, {-0.3f, -0.3f, 1.0, -9830}, {0.5f, 0.5f, 0.5, 8191},
        {1.0f, 1.0f, 4.0, 32767},    {0.25f, -0.25f, 1.0, 0},
    };
    for (const auto& c : cases) {
        s->params[0] = c.left;
        s->params[1] = c.right;
        engine().outputGain = c.gain;
        rig.played.clear();
        rig.run(kLatency + 882);  // what is played now was rendered one latency ago
        ASSERT_FALSE(rig.played.empty());
        EXPECT_EQ(rig.played.back(), c.expected) << c.left << " / " << c.right << " x " << c.gain;
    }
}

TEST_F(HostMainTest, PluginsAreSummedAndOneWithoutOutputsIsLeftOut) {
    FakeInstrumentState* a = load(0);
    FakeInstrumentState* b = load(1);
    load(2, "fake_no_outputs");
    ASSERT_TRUE(engine().start(RenderDrive::caller));
    a->params[0] = 1.0f;  // full scale left, silent right: 0.5 each
    b->params[0] = 1.0f;
    rig.run(kLatency + 882);
    EXPECT_EQ(rig.played.back(), 32767);
    b->params[0] = -0.5f;  // 0.5 - 0.25
    rig.played.clear();
    rig.run(kLatency + 882);
    EXPECT_EQ(rig.played.back(), 8191);
}

TEST_F(HostMainTest, ChannelBitsChooseTheSlot) {
    FakeInstrumentState* zero = load(0);
    ASSERT_TRUE(engine().start(RenderDrive::caller));
    engine().sendMidiMessage(0x91, 60, 100);   // slot 1 is empty
    EXPECT_EQ(engine().eventCount(), 1);       // ... but the record is used
    engine().sendMidiMessage(0x190, 60, 100);  // only the low 8 bits count: channel 0
    engine().renderPass();
    EXPECT_EQ(engine().eventCount(), 0);
    ASSERT_EQ(zero->receivedCount, 1);
    EXPECT_EQ(static_cast<unsigned char>(zero->received[0].midiData[0]), 0x90);

    FakeInstrumentState* one = load(1);
    engine().sendMidiMessage(0x91, 61, 100);
    rig.play(441);  // a pass with nothing to render flushes nothing
    engine().renderPass();
    ASSERT_EQ(one->receivedCount, 1);
    EXPECT_EQ(one->received[0].midiData[1], 61);
    EXPECT_EQ(zero->receivedCount, 1);
}

TEST_F(HostMainTest, FullStoreReportsEachExtraMessageUntilThePass) {
    FakeInstrumentState* s = load(0);
    EXPECT_EQ(engine().eventCapacity(), 1024);
    ASSERT_TRUE(engine().start(RenderDrive::caller));
    for (int i = 0; i < 1024; ++i) {
        engine().sendMidiMessage(0xB0, 7, i & 0x7F);
    }
    EXPECT_TRUE(messages.texts().empty());
    engine().sendMidiMessage(0x90, 60, 100);
    engine().sendMidiMessage(0x90, 61, 100);
    EXPECT_EQ(messages.texts(), (std::vector<std::string>{kMsgEventStoreFull, kMsgEventStoreFull}));
    engine().renderPass();
    EXPECT_EQ(s->receivedCount, 1024);
    messages.clear();
    engine().sendMidiMessage(0x90, 62, 100);
    EXPECT_TRUE(messages.texts().empty());
    rig.play(441);
    engine().renderPass();
    EXPECT_EQ(s->receivedCount, 1025);
    EXPECT_EQ(s->received[1024].midiData[1], 62);
}

TEST_F(HostMainTest, WithoutPluginsItPlaysSilenceAndDropsMessagesQuietly) {
    ASSERT_TRUE(engine().start(RenderDrive::caller));
    for (int i = 0; i < 2000; ++i) {
        engine().sendMidiMessage(0x90, 60, 100);
    }
    EXPECT_EQ(engine().eventCount(), 0);
    engine().setPluginParameter(0, 0, 1.0f);
    engine().setPluginProgram(0, 1);
    engine().resumePlugin(0);
    rig.run(10000);
    EXPECT_GE(rig.played.size(), 10000u);
    EXPECT_EQ(firstSound(), -1);
    EXPECT_TRUE(messages.texts().empty());
}

TEST_F(HostMainTest, SlotNumbersOutsideZeroToFifteenAreRefused) {
    for (int32_t slot : {16, -1, 1000}) {
        messages.clear();
        EXPECT_EQ(engine().loadPlugin(slot, fakePlugin("fake_instrument")), 0);
        EXPECT_EQ(messages.texts(), std::vector<std::string>{kMsgBadChannel});
        engine().setPluginParameter(slot, 0, 1.0f);
        engine().setPluginProgram(slot, 1);
        engine().resumePlugin(slot);
        engine().suspendPlugin(slot);
        engine().unloadPlugin(slot);
    }
    EXPECT_EQ(engine().pluginCount(), 0);
}

TEST_F(HostMainTest, SlotCallsReachTheInstance) {
    FakeInstrumentState* s = load(3);
    engine().setPluginProgram(3, 2);
    engine().resumePlugin(3);
    engine().setPluginParameter(3, 1, 0.75f);
    engine().suspendPlugin(3);
    EXPECT_EQ(s->program, 2);
    EXPECT_EQ(s->params[1], 0.75f);
    EXPECT_EQ(s->opcodes[s->opcodeCount - 1], effMainsChanged);
    engine().unloadPlugin(3);
    EXPECT_EQ(engine().pluginCount(), 0);
    EXPECT_EQ(engine().plugin(3), nullptr);
}

TEST_F(HostMainTest, FailedLoadLeavesTheSlotEmpty) {
    load(0);
    EXPECT_EQ(engine().loadPlugin(0, fakePlugin("fake_bad_magic")), 0);
    EXPECT_EQ(messages.texts(), std::vector<std::string>{kMsgNotVstPlugin});
    EXPECT_EQ(engine().plugin(0), nullptr);
    EXPECT_EQ(engine().pluginCount(), 0);
}

TEST_F(HostMainTest, LoadingDiscardsWaitingEventsAndGrowsTheStore) {
    FakeInstrumentState* zero = load(0);
    ASSERT_TRUE(engine().start(RenderDrive::caller));
    engine().sendMidiMessage(0x90, 60, 100);
    load(1);
    EXPECT_EQ(engine().eventCapacity(), 2048);
    EXPECT_EQ(engine().eventCount(), 0);
    engine().renderPass();
    EXPECT_EQ(zero->receivedCount, 0);  // the old record is gone, not read
    engine().unloadPlugin(1);
    EXPECT_EQ(engine().eventCapacity(), 2048);  // the store keeps its size
}

TEST_F(HostMainTest, FinishedBuffersAreIgnoredAfterStop) {
    ASSERT_TRUE(engine().start(RenderDrive::caller));
    rig.backend->advance(16384);
    ASSERT_EQ(rig.owner.pending(), 1u);
    engine().stop();
    EXPECT_FALSE(engine().isRunning());
    EXPECT_FALSE(engine().device().isOpen());
    // The finished buffer and those the reset returned arrive now: ignored.
    std::vector<WaveHeader*> late;
    rig.owner.drain([&](WaveHeader* h) { late.push_back(h); });
    EXPECT_EQ(late.size(), 4u);
    for (WaveHeader* h : late) {
        engine().onWaveBufferDone(h);
        EXPECT_EQ(h->flags.load() & kWaveHeaderInQueue, 0u);
    }
    EXPECT_TRUE(messages.texts().empty());
}

TEST_F(HostMainTest, FailedStartClosesTheDeviceSoALaterStartCanOpenIt) {
    ManualAudioBackend::Failures failures;
    failures.write = true;
    rig.backend->setFailures(failures);
    EXPECT_FALSE(engine().start(RenderDrive::caller));
    EXPECT_FALSE(engine().isRunning());
    EXPECT_EQ(messages.texts(), std::vector<std::string>{kMsgQueueFailed});
    rig.backend->setFailures({});
    messages.clear();
    EXPECT_TRUE(engine().start(RenderDrive::caller));
    EXPECT_TRUE(messages.texts().empty());
}

TEST_F(HostMainTest, LatePassSkipsAheadToTheTarget) {
    ASSERT_TRUE(engine().start(RenderDrive::caller));
    engine().renderPass();
    EXPECT_EQ(engine().renderedFrame(), static_cast<uint32_t>(kLatency));
    EXPECT_EQ(engine().latePasses(), 0u);  // the start-up jump is by design
    rig.play(5000);
    engine().renderPass();  // 5000 frames late: at most 882 are rendered
    EXPECT_EQ(engine().renderedFrame(), static_cast<uint32_t>(5000 + kLatency));
    EXPECT_EQ(engine().latePasses(), 1u);
    engine().renderPass();  // nothing new to render
    EXPECT_EQ(engine().renderedFrame(), static_cast<uint32_t>(5000 + kLatency));
    rig.play(882);
    engine().renderPass();  // a full block behind is still in time
    EXPECT_EQ(engine().latePasses(), 1u);
    // A whole ring behind: around the ring the target is where the rendering
    // stands, yet the pass is late.
    rig.play(4 * 16384);
    engine().renderPass();
    EXPECT_EQ(engine().latePasses(), 2u);
}

}  // namespace
