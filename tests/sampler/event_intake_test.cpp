// MIDI intake: the queue, the cutting of blocks at event offsets, and what each
// channel message does.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "tests/sampler/plugin_host.h"

namespace samplertest {
namespace {

constexpr float kHeld = 0.5f;  // 16384 / 32768 at velocity 127 and expression 1
constexpr double kDecay69 = 1.0 - 440.0 / 110000.0;  // release factor of key 69

// Every key plays a long constant sample at its root pitch 69, except key 100,
// which plays a ramp (value i at frame i) recorded at key 100.
class EventIntakeTest : public ::testing::Test {
  protected:
    EventIntakeTest() {
        dir.writeWave("dc.wav", constantValues(100000, 16384));
        dir.writeWave("ramp.wav", rampValues(30000));
        dir.writeText("samples.txt", "dc.wav,DC,69\nramp.wav,Ramp,100\n");
        dir.writeText("programs.txt",
                      "Program\nP,1.0,2,Events\nS,0,127,dc.wav\nS,100,100,ramp.wav\nEnd\n");
        library = std::make_unique<PluginLibrary>(dir);
        instrument = std::make_unique<Instrument>(*library);
        instrument->send({{0, 0xB0, 11, 127}});  // expression 1.0
        instrument->render(1);
    }

    // The level of a voice of key 69 released `frames` frames ago (1 = the frame
    // right after the note-off), computed the way the instrument's release runs.
    static float released(int frames) {
        double level = 1.0;
        for (int i = 0; i < frames; ++i) {
            level *= kDecay69;
        }
        return static_cast<float>(kHeld * level);
    }

    SampleSetDir dir;
    std::unique_ptr<PluginLibrary> library;
    std::unique_ptr<Instrument> instrument;
};

TEST_F(EventIntakeTest, EventsAtTheSameFrameApplyInQueueOrderBeforeThatFrame) {
    // On and off at 0 leave a releasing voice from frame 0; a new note at 100.
    instrument->send({{0, 0x90, 69, 127}, {0, 0x80, 69, 0}, {100, 0x90, 69, 127}});
    const Stereo out = instrument->render(256);
    for (int k = 0; k < 100; ++k) {
        ASSERT_FLOAT_EQ(out.left[k], released(k + 1)) << k;
    }
    for (int k = 100; k < 256; ++k) {
        ASSERT_FLOAT_EQ(out.left[k], released(k + 1) + kHeld) << k;
        ASSERT_EQ(out.left[k], out.right[k]);
    }
}

TEST_F(EventIntakeTest, AnEventAtOrBeyondTheEndOfTheBlockAppliesAfterItsLastFrame) {
    instrument->send({{300, 0x90, 69, 127}});
    const Stereo first = instrument->render(256);
    for (float v : first.left) {
        ASSERT_EQ(v, 0.0f);
    }
    const Stereo second = instrument->render(256);
    EXPECT_EQ(second.left[0], kHeld);

    instrument->send({{0, 0xB0, 123, 0}, {64, 0x90, 69, 127}});
    const Stereo exact = instrument->render(64);  // offset 64 = the end of this block
    EXPECT_EQ(exact.left[63], 0.0f);
    EXPECT_EQ(instrument->render(1).left[0], kHeld);
}

TEST_F(EventIntakeTest, LaterEventsStayQueuedAndFallDueInLaterBlocks) {
    instrument->send({{300, 0x90, 69, 127}, {400, 0x80, 69, 0}});
    instrument->render(256);  // the note-on applies after the last frame
    const Stereo second = instrument->render(256);
    for (int k = 0; k < 144; ++k) {
        ASSERT_EQ(second.left[k], kHeld) << k;
    }
    EXPECT_FLOAT_EQ(second.left[144], released(1));
}

TEST_F(EventIntakeTest, ANewListDropsEventsNotYetApplied) {
    instrument->send({{300, 0x90, 69, 127}, {400, 0x80, 69, 0}});
    instrument->render(256);
    instrument->send({});
    const Stereo second = instrument->render(256);
    EXPECT_EQ(second.left[144], kHeld);
    EXPECT_EQ(second.left[255], kHeld);  // the note-off never came
}

TEST_F(EventIntakeTest, AnEventAlreadyPastAppliesBeforeTheNextFrame) {
    // The second event's offset lies before the first's: it follows at once.
    instrument->send({{100, 0x90, 69, 127}, {10, 0x80, 69, 0}, {-5, 0x90, 69, 127}});
    const Stereo out = instrument->render(200);
    EXPECT_EQ(out.left[99], 0.0f);
    EXPECT_FLOAT_EQ(out.left[100], released(1) + kHeld);
}

TEST_F(EventIntakeTest, ABlockOfNoFramesWritesAndAppliesNothing) {
    instrument->send({{0, 0x90, 69, 127}});
    float left = 7.0f, right = 8.0f;
    float* buffers[2] = {&left, &right};
    instrument->effect()->processReplacing(instrument->effect(), nullptr, buffers, 0);
    EXPECT_EQ(left, 7.0f);
    EXPECT_EQ(right, 8.0f);
    EXPECT_EQ(instrument->render(1).left[0], kHeld);
}

TEST_F(EventIntakeTest, EveryEventOfALongListAppliesAtItsFrame) {
    std::vector<MidiMessage> messages{{0, 0x90, 69, 127}};
    for (int i = 0; i < 40; ++i) {
        messages.push_back({i, 0xB0, 7, static_cast<std::uint8_t>(i)});
    }
    EXPECT_EQ(instrument->send(messages), 1);
    const Stereo out = instrument->render(64);
    for (int k = 0; k < 40; ++k) {
        ASSERT_FLOAT_EQ(out.left[k], kHeld * static_cast<float>(k * (1.0 / 127.0))) << k;
    }
    EXPECT_EQ(instrument->getParameter(0), static_cast<float>(39 * (1.0 / 127.0)));

    // A shorter list after it.
    std::vector<MidiMessage> shorter;
    for (int i = 0; i < 10; ++i) {
        shorter.push_back({i, 0xB0, 7, static_cast<std::uint8_t>(100 + i)});
    }
    instrument->send(shorter);
    instrument->render(16);
    EXPECT_EQ(instrument->getParameter(0), static_cast<float>(109 * (1.0 / 127.0)));
}

TEST_F(EventIntakeTest, AListLongerThanTheQueueIsKeptWhole) {
    // More events than the queue starts with: it grows, and the last one counts.
    std::vector<MidiMessage> messages(1500, MidiMessage{0, 0xB0, 7, 1});
    messages.back() = {0, 0xB0, 7, 109};
    instrument->send(messages);
    instrument->render(16);
    EXPECT_EQ(instrument->getParameter(0), static_cast<float>(109 * (1.0 / 127.0)));
}

TEST_F(EventIntakeTest, OnlyMidiRecordsAreQueued) {
    VstMidiEvent records[3] = {};
    for (VstMidiEvent& record : records) {
        record.type = 6;  // a SysEx record
        record.byteSize = sizeof record;
        record.midiData[0] = static_cast<char>(0x90);
        record.midiData[1] = 69;
        record.midiData[2] = 127;
    }
    // A VstEvents record with room for four pointers.
    struct {
        std::int32_t numEvents;
        std::intptr_t reserved;
        VstEvent* events[4];
    } storage = {};
    auto* list = reinterpret_cast<VstEvents*>(&storage);
    storage.numEvents = 3;
    for (int i = 0; i < 3; ++i) {
        storage.events[i] = reinterpret_cast<VstEvent*>(&records[i]);
    }
    EXPECT_EQ(instrument->dispatch(effProcessEvents, 0, 0, list), 1);
    EXPECT_EQ(instrument->render(8).left[7], 0.0f);

    // A MIDI record among them is kept; a missing record is passed over.
    records[1].type = kVstMidiType;
    storage.numEvents = 4;
    storage.events[3] = nullptr;
    EXPECT_EQ(instrument->dispatch(effProcessEvents, 0, 0, list), 1);
    EXPECT_EQ(instrument->render(8).left[0], kHeld);

    storage.numEvents = -3;
    EXPECT_EQ(instrument->dispatch(effProcessEvents, 0, 0, list), 1);
}

TEST_F(EventIntakeTest, NoteMessagesOnAnyChannel) {
    const struct {
        const char* what;
        std::vector<MidiMessage> messages;
        float firstFrame;
    } cases[] = {
        {"note on, channel 16", {{0, 0x9F, 69, 127}}, kHeld},
        {"data bytes modulo 128", {{0, 0x90, 69 + 128, 127 + 128}}, kHeld},
        {"velocity 0 releases", {{0, 0x90, 69, 127}, {0, 0x90, 69, 0}}, released(1)},
        {"note off, channel 3", {{0, 0x90, 69, 127}, {0, 0x82, 69, 64}}, released(1)},
        {"system message", {{0, 0xF0, 69, 127}}, 0.0f},
        {"data byte as status", {{0, 0x45, 69, 127}}, 0.0f},
        {"key pressure", {{0, 0xA0, 69, 127}}, 0.0f},
        {"all sound off", {{0, 0x90, 69, 127}, {0, 0xB0, 120, 0}}, 0.0f},
        {"all notes off", {{0, 0x90, 69, 127}, {0, 0xB5, 123, 0}}, 0.0f},
    };
    for (const auto& c : cases) {
        instrument->send(c.messages);
        EXPECT_FLOAT_EQ(instrument->render(1).left[0], c.firstFrame) << c.what;
        instrument->send({{0, 0xB0, 120, 0}});  // free every held voice
        instrument->render(4000);               // and let releases end
    }
}

TEST_F(EventIntakeTest, VolumeAndExpressionControllers) {
    instrument->send({{0, 0xB0, 7, 127}});
    instrument->render(1);
    EXPECT_EQ(instrument->getParameter(0), 1.0f);
    instrument->send({{0, 0xB3, 7, 0}});
    instrument->render(1);
    EXPECT_EQ(instrument->getParameter(0), 0.0f);
    EXPECT_EQ(instrument->parameterDisplay(0), "-oo");

    instrument->send({{0, 0xB0, 7, 127}, {0, 0xB0, 11, 64}, {0, 0x90, 69, 127}});
    EXPECT_FLOAT_EQ(instrument->render(1).left[0], kHeld * 64.0f / 127.0f);
}

TEST_F(EventIntakeTest, ProgramChangeMessagesAreIgnored) {
    instrument->send({{0, 0xC0, 5, 0}});
    instrument->render(1);
    EXPECT_EQ(instrument->dispatch(effGetProgram), 0);
}

TEST_F(EventIntakeTest, PitchBendMessages) {
    // Key 100 reads the ramp at its root pitch: the output is the read position.
    const struct {
        std::uint8_t data1, data2;
        double semitones;  // with the default range of 2
    } cases[] = {{0, 64, 0.0}, {127, 127, 2.0 * 8191 / 8192}, {0, 0, -2.0}, {1, 64, 2.0 / 8192}};
    for (const auto& c : cases) {
        instrument->send({{0, 0xE0, c.data1, c.data2}, {0, 0x90, 100, 127}});
        const Stereo out = instrument->render(2001);
        const double step = std::pow(2.0, c.semitones / 12.0);
        EXPECT_NEAR(out.left[2000] * 32768.0, 2000 * step, 0.01)
            << int(c.data1) << "," << int(c.data2);
        instrument->send({{0, 0xB0, 120, 0}, {0, 0xE0, 0, 64}});
        instrument->render(1);
    }
}

// The pitch-bend range registered parameter, fed message by message; the range is
// read back after each one.
TEST_F(EventIntakeTest, PitchBendSensitivityTakesItsFourMessagesInAnyOrder) {
    const struct {
        const char* what;
        std::vector<std::pair<std::uint8_t, std::uint8_t>> controllers;
        std::vector<const char*> ranges;  // after each controller
    } cases[] = {
        {"standard order", {{101, 0}, {100, 0}, {6, 12}, {38, 0}}, {"2", "2", "2", "12"}},
        {"no LSB, then one later",
         {{101, 0}, {100, 0}, {6, 9}, {7, 100}, {38, 5}},
         {"2", "2", "2", "2", "9"}},
        {"data first", {{6, 7}, {38, 0}, {100, 0}, {101, 0}}, {"2", "2", "2", "7"}},
        {"latched under another parameter",
         {{101, 0}, {100, 1}, {6, 5}, {38, 0}, {101, 0}, {100, 0}},
         {"2", "2", "2", "2", "2", "5"}},
        {"state cleared after use",
         {{101, 0}, {100, 0}, {6, 3}, {38, 0}, {6, 11}},
         {"2", "2", "2", "3", "3"}},
    };
    for (const auto& c : cases) {
        SampleSetDir fresh;  // a module of its own: the state is module-wide
        fresh.writeText("samples.txt", "");
        fresh.writeText("programs.txt", "Program\nP,1.0,2,R\nEnd\n");
        PluginLibrary module(fresh);
        Instrument target(module);
        for (std::size_t i = 0; i < c.controllers.size(); ++i) {
            target.send({{0, 0xB0, c.controllers[i].first, c.controllers[i].second}});
            target.render(1);
            EXPECT_EQ(target.parameterDisplay(1), c.ranges[i]) << c.what << ", message " << i;
        }
    }
}

TEST_F(EventIntakeTest, RegisteredParameterStateIsSharedByTheInstancesOfAModule) {
    {
        Instrument first(*library);
        first.send({{0, 0xB0, 101, 0}, {0, 0xB0, 100, 0}, {0, 0xB0, 6, 9}});
        first.render(1);
        EXPECT_EQ(first.parameterDisplay(1), "2");
    }  // closed: the state outlives it
    instrument->send({{0, 0xB0, 38, 0}});
    instrument->render(1);
    EXPECT_EQ(instrument->parameterDisplay(1), "9");
}

}  // namespace
}  // namespace samplertest
