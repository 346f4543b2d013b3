// What CMidiControl puts on the wire and what it reports.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/midi/midi_control.h"
#include "app/platform/app_message.h"
#include "app/platform/recording_midi_output.h"
#include "app/platform/rtmidi_output.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

class MidiControlTest : public testing::Test {
  protected:
    MidiControlTest() {
        CMidiControl::RearmNoDeviceReport();
        setMidiOutputSystem(&outputs);
        setAppMessageHandler(
            [this](const std::string& text, const std::string&) { reports.push_back(text); });
    }
    ~MidiControlTest() override {
        setAppMessageHandler(nullptr);
        setMidiOutputSystem(nullptr);
    }

    int reportsOf(const std::string& prefix) const {
        int n = 0;
        for (const std::string& line : reports) {
            n += line.rfind(prefix, 0) == 0 ? 1 : 0;
        }
        return n;
    }

    RecordingMidiOutputSystem outputs;
    std::vector<std::string> reports;
};

Bytes storedExclusive(std::size_t bodyBytes) {
    // F0, the body length as a variable-length number, the body, F7.
    std::size_t count = bodyBytes + 1;  // the stored count takes in the F7
    Bytes stored = {0xF0};
    Bytes groups;
    do {
        groups.insert(groups.begin(), static_cast<std::uint8_t>(count & 0x7F));
        count >>= 7;
    } while (count != 0);
    for (std::size_t i = 0; i + 1 < groups.size(); ++i) {
        groups[i] |= 0x80;
    }
    stored.insert(stored.end(), groups.begin(), groups.end());
    for (std::size_t i = 0; i < bodyBytes; ++i) {
        stored.push_back(static_cast<std::uint8_t>(i & 0x7F));
    }
    stored.push_back(0xF7);
    return stored;
}

Bytes deviceExclusive(std::size_t bodyBytes) {
    Bytes bytes = {0xF0};
    for (std::size_t i = 0; i < bodyBytes; ++i) {
        bytes.push_back(static_cast<std::uint8_t>(i & 0x7F));
    }
    bytes.push_back(0xF7);
    return bytes;
}

}  // namespace

TEST_F(MidiControlTest, EveryMessageGoesOutInItsByteForm) {
    struct Case {
        const char* name;
        std::function<void(CMidiControl&)> send;
        Bytes expected;
    };
    const Bytes masterVolume = {0xF0, 0x07, 0x7F, 0x7F, 0x04, 0x01, 0x00, 0x7F, 0xF7};
    const Case cases[] = {
        {"note on, velocity above 127",
         [](CMidiControl& c) { c.NoteOn(60, 200, 0); },
         {0x90, 0x3C, 0x7F}},
        {"note on, velocity beyond a byte",
         [](CMidiControl& c) { c.NoteOn(60, 300, 0); },
         {0x90, 0x3C, 0x7F}},
        {"note on", [](CMidiControl& c) { c.NoteOn(64, 100, 15); }, {0x9F, 0x40, 0x64}},
        {"note off keeps no velocity",
         [](CMidiControl& c) { c.NoteOff(60, 3); },
         {0x83, 0x3C, 0x00}},
        {"program change", [](CMidiControl& c) { c.ProgramChange(5, 9); }, {0xC9, 0x05}},
        {"control change",
         [](CMidiControl& c) { c.ShortMessage(100, 7, 0xB2); },
         {0xB2, 0x07, 0x64}},
        {"pitch bend", [](CMidiControl& c) { c.ShortMessage(64, 0, 0xE0); }, {0xE0, 0x00, 0x40}},
        {"General MIDI system on",
         [](CMidiControl& c) { c.SendGmSystemOn(); },
         {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7}},
        {"master volume without its count",
         [&](CMidiControl& c) { c.SendExclusive(9, masterVolume.data()); },
         {0xF0, 0x7F, 0x7F, 0x04, 0x01, 0x00, 0x7F, 0xF7}},
        {"an exclusive escape goes out unchanged",
         [](CMidiControl& c) {
             const std::uint8_t escape[] = {0xF7, 0x02, 0xF8, 0xFA};
             c.SendExclusive(4, escape);
         },
         {0xF7, 0x02, 0xF8, 0xFA}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        outputs.clear();
        CMidiControl control(-1);
        ASSERT_TRUE(control.IsOpen());
        c.send(control);
        std::vector<Bytes> sent = outputs.sentBytes();
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(sent[0], c.expected);
    }
    EXPECT_TRUE(reports.empty());
}

TEST_F(MidiControlTest, LongExclusiveMessagesLoseTheirWholeCountAndNothingElse) {
    // 126 bytes of body: one count byte; 127 and more: two; 20000: three.
    for (std::size_t body : {0u, 1u, 126u, 127u, 254u, 300u, 20000u}) {
        SCOPED_TRACE(body);
        outputs.clear();
        Bytes stored = storedExclusive(body);
        CMidiControl control(-1);
        control.SendExclusive(static_cast<int>(stored.size()), stored.data());
        std::vector<Bytes> sent = outputs.sentBytes();
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(sent[0], deviceExclusive(body));
    }
}

TEST_F(MidiControlTest, OpenFailuresReportOnceForAMissingSystemAndEveryTimeOtherwise) {
    outputs.setDeviceCount(0);
    for (int i = 0; i < 3; ++i) {
        CMidiControl control(-1);
        EXPECT_FALSE(control.IsOpen());
        control.NoteOn(60, 100, 0);  // goes nowhere, harmlessly
        control.Close();
    }
    EXPECT_EQ(reportsOf("MDCT07000001 Midiデバイスのオープンに失敗しました。"), 1);

    outputs.setDeviceCount(2);
    for (int device : {2, 5}) {
        CMidiControl control(device);
        EXPECT_FALSE(control.IsOpen());
    }
    outputs.setOpenFails(true);
    CMidiControl failing(0);
    EXPECT_FALSE(failing.IsOpen());
    EXPECT_EQ(reportsOf("MDCT07000001"), 4);
    EXPECT_EQ(outputs.opens(), 0);
}

TEST_F(MidiControlTest, SendAndCloseFailuresReportOnlyWhereTheyShould) {
    CMidiControl control(0);
    ASSERT_TRUE(control.IsOpen());
    outputs.setSendFails(true);
    control.NoteOn(60, 100, 0);
    control.NoteOff(60, 0);
    control.ShortMessage(1, 2, 0xB0);
    control.SendGmSystemOn();
    EXPECT_TRUE(reports.empty());
    control.ProgramChange(1, 0);
    EXPECT_EQ(reportsOf("MDCT07000003 Midiデバイスで音色を変更できませんでした。"), 1);

    outputs.setResetFails(true);
    outputs.setCloseFails(true);
    control.Close();
    EXPECT_EQ(reportsOf("MDCT07000002 Midiデバイスのクローズに失敗しました。"), 2);
    EXPECT_FALSE(control.IsOpen());
    EXPECT_EQ(outputs.openDevices(), 0);
    control.Close();  // nothing left to close: no further report
    EXPECT_EQ(reportsOf("MDCT07000002"), 2);
}

TEST(RtMidiOutputTest, DefaultOutputAlwaysOpensAndNumberedDevicesNeedASequencer) {
    // On a machine without the ALSA sequencer the default output is the null
    // output; with one it is the virtual port.
    std::unique_ptr<MidiOutputPort> port;
    ASSERT_EQ(rtMidiOutputSystem().open(kDefaultMidiOutput, port), MidiOpenResult::opened);
    ASSERT_NE(port, nullptr);
    EXPECT_TRUE(port->sendShort(0x403C90));
    EXPECT_TRUE(port->reset());
    EXPECT_TRUE(port->close());
    if (!alsaSequencerAvailable()) {
        std::unique_ptr<MidiOutputPort> numbered;
        EXPECT_EQ(rtMidiOutputSystem().open(0, numbered), MidiOpenResult::noDevices);
        EXPECT_EQ(numbered, nullptr);
    }
}
