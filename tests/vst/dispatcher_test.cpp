#include <gtest/gtest.h>

#include <cstring>
#include <optional>

#include "recording_effect.h"

namespace {

constexpr int32_t kIndex = 3;
constexpr intptr_t kValue = 7;
constexpr float kOpt = 0.5f;

struct Row {
    int32_t opcode;
    const char* reached;  // the first operation the request reaches; "" for none
    intptr_t answer;
    std::optional<intptr_t> value = std::nullopt;
};

// Every request number with the operation it reaches and the default answer.
const Row kRows[] = {
    {-100, "", 0},
    {-1, "", 0},
    {effOpen, "open()", 0},
    {effSetProgram, "setProgram(7)", 0},
    {effSetProgram, "setProgram(-1)", 0, -1},
    {effSetProgram, "setProgram(128)", 0, 128},
    {effSetProgram, "", 0, 129},
    {effGetProgram, "getProgram()", 0},
    {effSetProgramName, "setProgramName()", 0},
    {effGetProgramName, "getProgramName()", 0},
    {effGetParamLabel, "getParameterLabel(3)", 0},
    {effGetParamDisplay, "getParameterDisplay(3)", 0},
    {effGetParamName, "getParameterName(3)", 0},
    {9, "", 0},
    {effSetSampleRate, "setSampleRate(0.5)", 0},
    {effSetBlockSize, "setBlockSize(7)", 0},
    {effMainsChanged, "suspend()", 0, 0},
    {effMainsChanged, "resume()", 0, 5},
    {effEditGetRect, "", 0},
    {effEditOpen, "", 0},
    {effEditClose, "", 0},
    {16, "", 0},
    {17, "", 0},
    {18, "", 0},
    {effEditIdle, "", 0},
    {20, "", 0},
    {21, "", 0},
    {effIdentify, "", 0x4E764566},
    {effGetChunk, "getChunk(1)", 0},
    {effSetChunk, "setChunk(7,1)", 0},
    {effProcessEvents, "processEvents()", 0},
    {effCanBeAutomated, "canParameterBeAutomated(3)", 1},
    {effString2Parameter, "stringToParameter(3)", 0},
    {28, "", 0},
    {effGetProgramNameIndexed, "getProgramNameIndexed(7,3)", 0},
    {30, "", 0},
    {31, "", 0},
    {32, "", 0},
    {effGetInputProperties, "getInputProperties(3)", 0},
    {effGetOutputProperties, "getOutputProperties(3)", 0},
    {effGetPlugCategory, "getPlugCategory()", kPlugCategSynth},
    {36, "", 0},
    {37, "", 0},
    {effOfflineNotify, "offlineNotify(7,1)", 0},
    {effOfflinePrepare, "offlinePrepare(7)", 0},
    {effOfflineRun, "offlineRun(7)", 0},
    {effProcessVarIo, "processVariableIo()", 0},
    {effSetSpeakerArrangement, "setSpeakerArrangement()", 0},
    {43, "", 0},
    {effSetBypass, "setBypass(1)", 0},
    {effGetEffectName, "getEffectName()", 0},
    {46, "", 0},
    {effGetVendorString, "getVendorString()", 0},
    {effGetProductString, "getProductString()", 0},
    {effGetVendorVersion, "getVendorVersion()", 0},
    {effVendorSpecific, "vendorSpecific(3,7,0.5)", 0},
    {effCanDo, "canDo(word)", 0},
    {effGetTailSize, "getTailSize()", 0},
    {53, "", 0},
    {54, "", 0},
    {55, "", 0},
    {effGetParameterProperties, "getParameterProperties(3)", 0},
    {57, "", 0},
    {effGetVstVersion, "getVstVersion()", 2400},
    {effEditKeyDown, "", 0},
    {effEditKeyUp, "", 0},
    {effSetEditKnobMode, "", 0},
    {effGetMidiProgramName, "getMidiProgramName(3)", 0},
    {effGetCurrentMidiProgram, "getCurrentMidiProgram(3)", -1},
    {effGetMidiProgramCategory, "getMidiProgramCategory(3)", 0},
    {effHasMidiProgramsChanged, "hasMidiProgramsChanged(3)", 0},
    {effGetMidiKeyName, "getMidiKeyName(3)", 0},
    {effBeginSetProgram, "beginSetProgram()", 0},
    {effEndSetProgram, "endSetProgram()", 0},
    {effShellGetNextPlugin, "getNextShellPlugin()", 0},
    {effStartProcess, "startProcess()", 0},
    {effStopProcess, "stopProcess()", 0},
    {effSetTotalSampleToProcess, "setTotalSampleToProcess(4096)", 4096, 4096},
    {effSetPanLaw, "setPanLaw(7,0.5)", 0},
    {effBeginLoadBank, "beginLoadBank()", 0},
    {effBeginLoadProgram, "beginLoadProgram()", 0},
    {effSetProcessPrecision, "setProcessPrecision(7)", 0},
    {effGetNumMidiInputChannels, "getNumMidiInputChannels()", 0},
    {effGetNumMidiOutputChannels, "getNumMidiOutputChannels()", 0},
    {80, "", 0},
    {1000, "", 0},
};

TEST(Dispatcher, EveryRequestReachesItsOperationAndAnswers) {
    for (const Row& row : kRows) {
        SCOPED_TRACE("opcode " + std::to_string(row.opcode) + " value " +
                     std::to_string(row.value.value_or(kValue)));
        RecordingEffect effect;
        AEffect* record = effect.getAEffect();
        char buffer[64] = "word";
        const intptr_t answer = record->dispatcher(record, row.opcode, kIndex,
                                                   row.value.value_or(kValue), buffer, kOpt);
        EXPECT_EQ(answer, row.answer);
        if (row.reached[0] == '\0') {
            EXPECT_TRUE(effect.calls.empty()) << effect.calls.front();
        } else {
            ASSERT_FALSE(effect.calls.empty());
            EXPECT_EQ(effect.calls.front(), row.reached);
        }
    }
}

TEST(Dispatcher, CloseRunsTheCloseStepThenDestroysTheObject) {
    int destroyed = 0;
    auto* effect = new RecordingEffect(nullptr, &destroyed);
    AEffect* record = effect->getAEffect();
    EXPECT_EQ(record->dispatcher(record, effClose, 0, 0, nullptr, 0.0f), 1);
    EXPECT_EQ(destroyed, 1);
}

TEST(Dispatcher, SpeakerArrangementRequestClearsBothPointers) {
    RecordingEffect effect;
    AEffect* record = effect.getAEffect();
    int dummy = 0;
    auto* input = reinterpret_cast<VstSpeakerArrangement*>(&dummy);
    auto* output = reinterpret_cast<VstSpeakerArrangement*>(&dummy);
    EXPECT_EQ(record->dispatcher(record, effGetSpeakerArrangement, 0,
                                 reinterpret_cast<intptr_t>(&input), &output, 0.0f),
              0);
    EXPECT_EQ(input, nullptr);
    EXPECT_EQ(output, nullptr);
    // Null addresses are skipped rather than written through.
    EXPECT_EQ(record->dispatcher(record, effGetSpeakerArrangement, 0, 0, nullptr, 0.0f), 0);
}

TEST(Dispatcher, RequestsThatWriteThroughPtrIgnoreANullBuffer) {
    for (int32_t opcode :
         {effSetProgramName, effGetProgramName, effGetParamLabel, effGetParamDisplay,
          effGetParamName, effGetChunk, effSetChunk, effProcessEvents, effGetProgramNameIndexed,
          effGetEffectName, effGetVendorString, effGetProductString, effCanDo,
          effGetInputProperties, effGetOutputProperties, effGetParameterProperties}) {
        SCOPED_TRACE(opcode);
        RecordingEffect effect;
        AEffect* record = effect.getAEffect();
        EXPECT_EQ(record->dispatcher(record, opcode, 0, 0, nullptr, 0.0f), 0);
        EXPECT_TRUE(effect.calls.empty());
    }
}

TEST(Dispatcher, PlugCategoryFollowsTheSynthFlag) {
    RecordingEffect effect;
    AEffect* record = effect.getAEffect();
    EXPECT_EQ(record->dispatcher(record, effGetPlugCategory, 0, 0, nullptr, 0.0f), 2);
    effect.setIsSynth(false);
    EXPECT_EQ(record->dispatcher(record, effGetPlugCategory, 0, 0, nullptr, 0.0f), 0);
}

class RecordingEditor : public EffectEditor {
  public:
    explicit RecordingEditor(std::vector<std::string>& log) : log(log) {}
    bool getRect(void**) override { return note("getRect"); }
    bool open(void*) override { return note("open"); }
    void close() override { note("close"); }
    void idle() override { note("idle"); }
    bool onKeyDown(const EditorKey& key) override { return noteKey("keyDown", key); }
    bool onKeyUp(const EditorKey& key) override { return noteKey("keyUp", key); }
    bool setKnobMode(int32_t mode) override { return note("knobMode " + std::to_string(mode)); }

  private:
    bool note(const std::string& what) {
        log.push_back(what);
        return true;
    }
    bool noteKey(const char* what, const EditorKey& key) {
        return note(std::string(what) + " " + std::to_string(key.character) + " " +
                    std::to_string(key.virtualKey) + " " + std::to_string(key.modifiers));
    }
    std::vector<std::string>& log;
};

TEST(Dispatcher, EditorRequestsReachAnAttachedEditor) {
    std::vector<std::string> log;
    RecordingEffect effect;
    effect.editor = std::make_unique<RecordingEditor>(log);
    AEffect* record = effect.getAEffect();
    void* rect = nullptr;
    EXPECT_EQ(record->dispatcher(record, effEditGetRect, 0, 0, &rect, 0.0f), 1);
    EXPECT_EQ(record->dispatcher(record, effEditOpen, 0, 0, nullptr, 0.0f), 1);
    EXPECT_EQ(record->dispatcher(record, effEditIdle, 0, 0, nullptr, 0.0f), 0);
    EXPECT_EQ(record->dispatcher(record, effEditKeyDown, 'a', 0x1234, nullptr, 3.9f), 1);
    EXPECT_EQ(record->dispatcher(record, effEditKeyUp, 'b', 0x05, nullptr, -2.5f), 1);
    EXPECT_EQ(record->dispatcher(record, effSetEditKnobMode, 0, 2, nullptr, 0.0f), 1);
    EXPECT_EQ(record->dispatcher(record, effEditClose, 0, 0, nullptr, 0.0f), 0);
    const std::vector<std::string> expected = {
        "getRect", "open", "idle", "keyDown 97 52 3", "keyUp 98 5 -2", "knobMode 2", "close"};
    EXPECT_EQ(log, expected);
}

TEST(Adapters, RecordFunctionsReachTheirOperations) {
    RecordingEffect effect;
    AEffect* record = effect.getAEffect();
    float left[4] = {}, right[4] = {};
    float* outputs[] = {left, right};
    double dl[4] = {}, dr[4] = {};
    double* doubleOutputs[] = {dl, dr};
    record->setParameter(record, 2, 0.75f);
    EXPECT_FLOAT_EQ(record->getParameter(record, 1), 0.25f);
    record->processReplacing(record, nullptr, outputs, 4);
    record->process(record, nullptr, outputs, 3);
    record->processDoubleReplacing(record, nullptr, doubleOutputs, 2);
    // Nothing to render, or nowhere to put it: the call stops at the boundary.
    record->processReplacing(record, nullptr, outputs, 0);
    record->processReplacing(record, nullptr, outputs, -5);
    record->processReplacing(record, nullptr, nullptr, 4);
    const std::vector<std::string> expected = {"setParameter(2,0.75)", "getParameter(1)",
                                               "processReplacing(4)", "processAccumulating(3)",
                                               "processDoubleReplacing(2)"};
    EXPECT_EQ(effect.calls, expected);
}

TEST(Adapters, ARecordThatIsNotOursIsIgnored) {
    RecordingEffect effect;
    AEffect copy = *effect.getAEffect();
    copy.magic = 0;
    EXPECT_EQ(copy.dispatcher(&copy, effGetVstVersion, 0, 0, nullptr, 0.0f), 0);
    copy.setParameter(&copy, 0, 1.0f);
    EXPECT_EQ(copy.getParameter(&copy, 0), 0.0f);
    EXPECT_EQ(copy.dispatcher(nullptr, effClose, 0, 0, nullptr, 0.0f), 0);
    EXPECT_TRUE(effect.calls.empty());
}

TEST(Construction, RecordStartsWithTheBaseValues) {
    RecordingEffect effect;
    const AEffect* record = effect.getAEffect();
    EXPECT_EQ(record->magic, 0x56737450);
    EXPECT_EQ(record->numPrograms, 129);
    EXPECT_EQ(record->numParams, 5);
    EXPECT_EQ(record->numInputs, 1);
    EXPECT_EQ(record->numOutputs, 2);
    EXPECT_EQ(record->flags, effFlagsCanReplacing | effFlagsIsSynth);
    EXPECT_EQ(record->ioRatio, 1.0f);
    EXPECT_EQ(record->object, &effect);
    EXPECT_EQ(record->uniqueID, 0x4E6F4566);
    EXPECT_EQ(record->version, 1);
    EXPECT_EQ(record->resvd1, 0);
    EXPECT_EQ(record->resvd2, 0);
    EXPECT_EQ(record->user, nullptr);
    for (char byte : record->future) {
        EXPECT_EQ(byte, 0);
    }
    EXPECT_EQ(effect.getSampleRate(), 44100.0f);
    EXPECT_EQ(effect.getBlockSize(), 1024);
}

TEST(Setters, EachFlagSetterChangesOnlyItsBit) {
    struct FlagRow {
        const char* name;
        void (*set)(RecordingEffect&, bool);
        int32_t bit;
    };
    const FlagRow rows[] = {
        {"CanReplacing", [](RecordingEffect& e, bool s) { e.setCanReplacing(s); }, 16},
        {"ProgramsAreChunks", [](RecordingEffect& e, bool s) { e.setProgramsAreChunks(s); }, 32},
        {"IsSynth", [](RecordingEffect& e, bool s) { e.setIsSynth(s); }, 256},
        {"NoSoundInStop", [](RecordingEffect& e, bool s) { e.setNoSoundInStop(s); }, 512},
        {"CanDoubleReplacing", [](RecordingEffect& e, bool s) { e.setCanDoubleReplacing(s); },
         4096},
        {"HasClip", [](RecordingEffect& e, bool s) { e.setHasClip(s); }, 2},
        {"HasVu", [](RecordingEffect& e, bool s) { e.setHasVu(s); }, 4},
        {"CanMono", [](RecordingEffect& e, bool s) { e.setCanMono(s); }, 8},
        {"ExtIsAsync", [](RecordingEffect& e, bool s) { e.setExtIsAsync(s); }, 1024},
        {"ExtHasBuffer", [](RecordingEffect& e, bool s) { e.setExtHasBuffer(s); }, 2048},
    };
    for (const FlagRow& row : rows) {
        SCOPED_TRACE(row.name);
        for (int32_t others : {0, 0x7FFFFFFF}) {
            RecordingEffect effect;
            effect.getAEffect()->flags = others & ~row.bit;
            row.set(effect, true);
            EXPECT_EQ(effect.getAEffect()->flags, others | row.bit);
            row.set(effect, false);
            EXPECT_EQ(effect.getAEffect()->flags, others & ~row.bit);
        }
    }
}

TEST(Setters, RecordFieldsAndStoredValues) {
    RecordingEffect effect;
    effect.setUniqueId(0x51A30202);
    effect.setNumInputs(0);
    effect.setNumOutputs(6);
    effect.setInitialDelay(64);
    effect.setRealtimeQualities(3);
    effect.setOfflineQualities(4);
    effect.setBlockSizeAndSampleRate(256, 48000.0f);
    const AEffect* record = effect.getAEffect();
    EXPECT_EQ(record->uniqueID, 0x51A30202);
    EXPECT_EQ(record->numInputs, 0);
    EXPECT_EQ(record->numOutputs, 6);
    EXPECT_EQ(record->initialDelay, 64);
    EXPECT_EQ(record->realQualities, 3);
    EXPECT_EQ(record->offQualities, 4);
    EXPECT_EQ(effect.getBlockSize(), 256);
    EXPECT_EQ(effect.getSampleRate(), 48000.0f);
}

}  // namespace
