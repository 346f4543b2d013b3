#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "recording_effect.h"

namespace {

struct HostCall {
    AEffect* effect;
    int32_t opcode;
    int32_t index;
    intptr_t value;
    void* ptr;
    float opt;
};

std::vector<HostCall> hostCalls;
intptr_t hostAnswer = 0;

intptr_t recordingHost(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                       float opt) {
    hostCalls.push_back({effect, opcode, index, value, ptr, opt});
    return hostAnswer;
}

char someText[] = "text";
void* const kPtr = someText;

struct WrapperRow {
    const char* name;
    std::function<intptr_t(RecordingEffect&)> call;
    int32_t opcode;  // -1: no request is sent
    int32_t index;
    intptr_t value;
    void* ptr;
    float opt;
    intptr_t answer;             // what the host answers
    intptr_t result;             // what the wrapper then returns
    intptr_t resultWithoutHost;  // what it returns with no host callback
};

intptr_t asInt(const void* p) {
    return reinterpret_cast<intptr_t>(p);
}

const std::vector<WrapperRow>& rows() {
    static const std::vector<WrapperRow> table = {
        {"setParameterAutomated",
         [](RecordingEffect& e) { return e.setParameterAutomated(2, 0.5f); }, audioMasterAutomate,
         2, 0, nullptr, 0.5f, 9, 9, 0},
        {"getMasterVersion", [](RecordingEffect& e) { return intptr_t{e.getMasterVersion()}; },
         audioMasterVersion, 0, 0, nullptr, 0, 2400, 2400, 1},
        {"getMasterVersion answered 0",
         [](RecordingEffect& e) { return intptr_t{e.getMasterVersion()}; }, audioMasterVersion, 0,
         0, nullptr, 0, 0, 1, 1},
        {"getCurrentUniqueId", [](RecordingEffect& e) { return intptr_t{e.getCurrentUniqueId()}; },
         audioMasterCurrentId, 0, 0, nullptr, 0, 77, 77, 0},
        {"masterIdle", [](RecordingEffect& e) { return e.masterIdle(); }, audioMasterIdle, 0, 0,
         nullptr, 0, 5, 5, 0},
        {"isInputConnected answered 0",
         [](RecordingEffect& e) { return intptr_t{e.isInputConnected(3)}; },
         audioMasterPinConnected, 3, 0, nullptr, 0, 0, 1, 1},
        {"isInputConnected answered 1",
         [](RecordingEffect& e) { return intptr_t{e.isInputConnected(3)}; },
         audioMasterPinConnected, 3, 0, nullptr, 0, 1, 0, 1},
        {"isOutputConnected", [](RecordingEffect& e) { return intptr_t{e.isOutputConnected(1)}; },
         audioMasterPinConnected, 1, 1, nullptr, 0, 1, 0, 1},
        {"wantMidi",
         [](RecordingEffect& e) {
             e.wantMidi(1);
             return intptr_t{0};
         },
         audioMasterWantMidi, 0, 1, nullptr, 0, 4, 0, 0},
        {"getTimeInfo", [](RecordingEffect& e) { return asInt(e.getTimeInfo(0x200)); },
         audioMasterGetTime, 0, 0x200, nullptr, 0, 0x1000, 0x1000, 0},
        {"tempoAt", [](RecordingEffect& e) { return intptr_t{e.tempoAt(96)}; }, audioMasterTempoAt,
         0, 96, nullptr, 0, 1200000, 1200000, 0},
        {"getNumAutomatableParameters",
         [](RecordingEffect& e) { return intptr_t{e.getNumAutomatableParameters()}; },
         audioMasterGetNumAutomatableParameters, 0, 0, nullptr, 0, 8, 8, 0},
        {"getParameterQuantization",
         [](RecordingEffect& e) { return intptr_t{e.getParameterQuantization()}; },
         audioMasterGetParameterQuantization, 0, 0, nullptr, 0, 16, 16, 0},
        {"ioChanged", [](RecordingEffect& e) { return intptr_t{e.ioChanged()}; },
         audioMasterIOChanged, 0, 0, nullptr, 0, 2, 1, 0},
        {"needIdle", [](RecordingEffect& e) { return intptr_t{e.needIdle()}; }, audioMasterNeedIdle,
         0, 0, nullptr, 0, 0, 0, 0},
        {"sizeWindow", [](RecordingEffect& e) { return intptr_t{e.sizeWindow(640, 480)}; },
         audioMasterSizeWindow, 640, 480, nullptr, 0, 1, 1, 0},
        {"updateSampleRate", [](RecordingEffect& e) { return intptr_t(e.updateSampleRate()); },
         audioMasterGetSampleRate, 0, 0, nullptr, 0, 48000, 48000, 44100},
        {"updateSampleRate answered 0",
         [](RecordingEffect& e) { return intptr_t(e.updateSampleRate()); },
         audioMasterGetSampleRate, 0, 0, nullptr, 0, 0, 44100, 44100},
        {"updateSampleRate answered -1",
         [](RecordingEffect& e) { return intptr_t(e.updateSampleRate()); },
         audioMasterGetSampleRate, 0, 0, nullptr, 0, -1, 44100, 44100},
        {"updateBlockSize", [](RecordingEffect& e) { return intptr_t{e.updateBlockSize()}; },
         audioMasterGetBlockSize, 0, 0, nullptr, 0, 512, 512, 1024},
        {"updateBlockSize answered -3",
         [](RecordingEffect& e) { return intptr_t{e.updateBlockSize()}; }, audioMasterGetBlockSize,
         0, 0, nullptr, 0, -3, 1024, 1024},
        {"getInputLatency", [](RecordingEffect& e) { return intptr_t{e.getInputLatency()}; },
         audioMasterGetInputLatency, 0, 0, nullptr, 0, 128, 128, 0},
        {"getOutputLatency", [](RecordingEffect& e) { return intptr_t{e.getOutputLatency()}; },
         audioMasterGetOutputLatency, 0, 0, nullptr, 0, 256, 256, 0},
        {"getPreviousPlug", [](RecordingEffect& e) { return asInt(e.getPreviousPlug(4)); },
         audioMasterGetPreviousPlug, 0, 0, nullptr, 0, 0x40, 0x40, 0},
        {"getNextPlug", [](RecordingEffect& e) { return asInt(e.getNextPlug(4)); },
         audioMasterGetNextPlug, 0, 0, nullptr, 0, 0x80, 0x80, 0},
        {"willReplaceOrAccumulate",
         [](RecordingEffect& e) { return intptr_t{e.willReplaceOrAccumulate()}; },
         audioMasterWillReplaceOrAccumulate, 0, 0, nullptr, 0, 1, 1, 0},
        {"getCurrentProcessLevel",
         [](RecordingEffect& e) { return intptr_t{e.getCurrentProcessLevel()}; },
         audioMasterGetCurrentProcessLevel, 0, 0, nullptr, 0, 2, 2, 0},
        {"getAutomationState", [](RecordingEffect& e) { return intptr_t{e.getAutomationState()}; },
         audioMasterGetAutomationState, 0, 0, nullptr, 0, 3, 3, 0},
        {"offlineStart",
         [](RecordingEffect& e) {
             return intptr_t{e.offlineStart(static_cast<VstAudioFile*>(kPtr), 2, 5)};
         },
         audioMasterOfflineStart, 5, 2, kPtr, 0, 1, 1, 0},
        {"offlineRead",
         [](RecordingEffect& e) {
             return intptr_t{e.offlineRead(static_cast<VstOfflineTask*>(kPtr), 6, true)};
         },
         audioMasterOfflineRead, 1, 6, kPtr, 0, 1, 1, 0},
        {"offlineWrite",
         [](RecordingEffect& e) {
             return intptr_t{e.offlineWrite(static_cast<VstOfflineTask*>(kPtr), 6)};
         },
         audioMasterOfflineWrite, 0, 6, kPtr, 0, 1, 1, 0},
        {"offlineGetCurrentPass",
         [](RecordingEffect& e) { return intptr_t{e.offlineGetCurrentPass()}; },
         audioMasterOfflineGetCurrentPass, 0, 0, nullptr, 0, 1, 1, 0},
        {"offlineGetCurrentMetaPass",
         [](RecordingEffect& e) { return intptr_t{e.offlineGetCurrentMetaPass()}; },
         audioMasterOfflineGetCurrentMetaPass, 0, 0, nullptr, 0, 1, 1, 0},
        {"setOutputSampleRate", [](RecordingEffect& e) { return e.setOutputSampleRate(22050.0f); },
         audioMasterSetOutputSampleRate, 0, 0, nullptr, 22050.0f, 1, 1, 0},
        {"getOutputSpeakerArrangement",
         [](RecordingEffect& e) { return asInt(e.getOutputSpeakerArrangement()); },
         audioMasterGetOutputSpeakerArrangement, 0, 0, nullptr, 0, 0x20, 0x20, 0},
        {"getHostVendorString",
         [](RecordingEffect& e) { return intptr_t{e.getHostVendorString(someText)}; },
         audioMasterGetVendorString, 0, 0, kPtr, 0, 1, 1, 0},
        {"getHostProductString",
         [](RecordingEffect& e) { return intptr_t{e.getHostProductString(someText)}; },
         audioMasterGetProductString, 0, 0, kPtr, 0, 0, 0, 0},
        {"getHostVendorVersion",
         [](RecordingEffect& e) { return intptr_t{e.getHostVendorVersion()}; },
         audioMasterGetVendorVersion, 0, 0, nullptr, 0, 1000, 1000, 0},
        {"hostVendorSpecific",
         [](RecordingEffect& e) { return e.hostVendorSpecific(1, 2, kPtr, 3.0f); },
         audioMasterVendorSpecific, 1, 2, kPtr, 3.0f, 42, 42, 0},
        {"canHostDo", [](RecordingEffect& e) { return intptr_t{e.canHostDo(someText)}; },
         audioMasterCanDo, 0, 0, kPtr, 0, 1, 1, 0},
        {"getHostLanguage", [](RecordingEffect& e) { return intptr_t{e.getHostLanguage()}; },
         audioMasterGetLanguage, 0, 0, nullptr, 0, 6, 6, 0},
        {"openWindow",
         [](RecordingEffect& e) { return e.openWindow(static_cast<VstWindow*>(kPtr)); },
         audioMasterOpenWindow, 0, 0, kPtr, 0, 11, 11, 0},
        {"closeWindow",
         [](RecordingEffect& e) { return intptr_t{e.closeWindow(static_cast<VstWindow*>(kPtr))}; },
         audioMasterCloseWindow, 0, 0, kPtr, 0, 1, 1, 0},
        {"getDirectory", [](RecordingEffect& e) { return asInt(e.getDirectory()); },
         audioMasterGetDirectory, 0, 0, nullptr, 0, 0x99, 0x99, 0},
        {"updateDisplay", [](RecordingEffect& e) { return intptr_t{e.updateDisplay()}; },
         audioMasterUpdateDisplay, 0, 0, nullptr, 0, 1, 1, 0},
        {"beginEdit", [](RecordingEffect& e) { return intptr_t{e.beginEdit(4)}; },
         audioMasterBeginEdit, 4, 0, nullptr, 0, 1, 1, 0},
        {"endEdit", [](RecordingEffect& e) { return intptr_t{e.endEdit(4)}; }, audioMasterEndEdit,
         4, 0, nullptr, 0, 1, 1, 0},
        {"openFileSelector",
         [](RecordingEffect& e) {
             return intptr_t{e.openFileSelector(static_cast<VstFileSelect*>(kPtr))};
         },
         audioMasterOpenFileSelector, 0, 0, kPtr, 0, 1, 1, 0},
        {"openFileSelector null",
         [](RecordingEffect& e) { return intptr_t{e.openFileSelector(nullptr)}; }, -1, 0, 0,
         nullptr, 0, 1, 0, 0},
        {"closeFileSelector",
         [](RecordingEffect& e) {
             return intptr_t{e.closeFileSelector(static_cast<VstFileSelect*>(kPtr))};
         },
         audioMasterCloseFileSelector, 0, 0, kPtr, 0, 1, 1, 0},
        {"closeFileSelector null",
         [](RecordingEffect& e) { return intptr_t{e.closeFileSelector(nullptr)}; }, -1, 0, 0,
         nullptr, 0, 1, 0, 0},
        {"getChunkFile", [](RecordingEffect& e) { return intptr_t{e.getChunkFile(kPtr)}; },
         audioMasterGetChunkFile, 0, 0, kPtr, 0, 1, 1, 0},
        {"getChunkFile null", [](RecordingEffect& e) { return intptr_t{e.getChunkFile(nullptr)}; },
         -1, 0, 0, nullptr, 0, 1, 0, 0},
        {"getInputSpeakerArrangement",
         [](RecordingEffect& e) { return asInt(e.getInputSpeakerArrangement()); },
         audioMasterGetInputSpeakerArrangement, 0, 0, nullptr, 0, 0x30, 0x30, 0},
    };
    return table;
}

TEST(HostWrappers, EachSendsItsRequestAndConvertsTheAnswer) {
    for (const WrapperRow& row : rows()) {
        SCOPED_TRACE(row.name);
        RecordingEffect effect(&recordingHost);
        hostCalls.clear();
        hostAnswer = row.answer;
        EXPECT_EQ(row.call(effect), row.result);
        if (row.opcode < 0) {
            EXPECT_TRUE(hostCalls.empty());
            continue;
        }
        ASSERT_EQ(hostCalls.size(), 1u);
        const HostCall& call = hostCalls.front();
        EXPECT_EQ(call.effect, effect.getAEffect());
        EXPECT_EQ(call.opcode, row.opcode);
        EXPECT_EQ(call.index, row.index);
        EXPECT_EQ(call.value, row.value);
        EXPECT_EQ(call.ptr, row.ptr);
        EXPECT_EQ(call.opt, row.opt);
    }
}

TEST(HostWrappers, WithoutACallbackNothingIsSentAndDefaultsAreReturned) {
    for (const WrapperRow& row : rows()) {
        SCOPED_TRACE(row.name);
        RecordingEffect effect(nullptr);
        EXPECT_EQ(row.call(effect), row.resultWithoutHost);
    }
}

TEST(HostWrappers, SetParameterAutomatedSetsTheParameterFirst) {
    RecordingEffect effect(&recordingHost);
    hostCalls.clear();
    effect.setParameterAutomated(1, 0.25f);
    ASSERT_EQ(effect.calls.size(), 1u);
    EXPECT_EQ(effect.calls.front(), "setParameter(1,0.25)");
    EXPECT_EQ(hostCalls.size(), 1u);
}

TEST(Resume, AnInstrumentAsksForMidi) {
    RecordingEffect effect(&recordingHost);
    hostCalls.clear();
    AEffect* record = effect.getAEffect();
    record->dispatcher(record, effMainsChanged, 0, 1, nullptr, 0.0f);
    ASSERT_EQ(hostCalls.size(), 1u);
    EXPECT_EQ(hostCalls[0].opcode, audioMasterWantMidi);
    EXPECT_EQ(hostCalls[0].value, 1);
    // Switching off sends nothing.
    record->dispatcher(record, effMainsChanged, 0, 0, nullptr, 0.0f);
    EXPECT_EQ(hostCalls.size(), 1u);
}

class MidiEffect : public RecordingEffect {
  public:
    explicit MidiEffect(int32_t answer) : RecordingEffect(&recordingHost), answer(answer) {
        setIsSynth(false);
    }
    int32_t canDo(char* text) override {
        record("canDo", text);
        return answer;
    }
    int32_t answer;
};

TEST(Resume, AnEffectAsksForMidiOnlyWhenItTakesMidiEvents) {
    for (int32_t answer : {1, 0, -1}) {
        MidiEffect effect(answer);
        hostCalls.clear();
        effect.resume();
        EXPECT_EQ(effect.calls.back(), "canDo(receiveVstMidiEvent)");
        EXPECT_EQ(hostCalls.size(), answer == 1 ? 1u : 0u) << answer;
    }
}

}  // namespace
