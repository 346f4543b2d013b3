#include "plugin/vst/extended_effect_base.h"

#include <cmath>
#include <limits>

namespace {

// Modifier keys travel in a float; anything that is no small integer means none.
int32_t truncateToInt(float value) {
    if (!std::isfinite(value) || std::fabs(value) >= 2147483520.0f) {
        return 0;
    }
    return static_cast<int32_t>(value);
}

// Requests that used to exist and must not reach the extended operations.
bool isWithdrawn(int32_t opcode) {
    switch (opcode) {
        case 28:
        case 30:
        case 31:
        case 32:
        case 36:
        case 37:
        case 43:
        case 46:
        case 53:
        case 54:
        case 55:
        case 57:
            return true;
        default:
            return false;
    }
}

}  // namespace

intptr_t ExtendedEffectBase::dispatcher(int32_t opcode, int32_t index, intptr_t value, void* ptr,
                                        float opt) {
    if (isWithdrawn(opcode)) {
        return EffectBase::dispatcher(opcode, index, value, ptr, opt);
    }
    char* text = static_cast<char*>(ptr);
    switch (opcode) {
        case effProcessEvents:
            return ptr ? processEvents(static_cast<VstEvents*>(ptr)) : 0;
        case effCanBeAutomated:
            return canParameterBeAutomated(index) ? 1 : 0;
        case effString2Parameter:
            return stringToParameter(index, text) ? 1 : 0;
        case effGetProgramNameIndexed:
            return text && getProgramNameIndexed(static_cast<int32_t>(value), index, text) ? 1 : 0;
        case effGetInputProperties:
            return ptr && getInputProperties(index, static_cast<VstPinProperties*>(ptr)) ? 1 : 0;
        case effGetOutputProperties:
            return ptr && getOutputProperties(index, static_cast<VstPinProperties*>(ptr)) ? 1 : 0;
        case effGetPlugCategory:
            return getPlugCategory();
        case effOfflineNotify:
            return offlineNotify(static_cast<VstAudioFile*>(ptr), static_cast<int32_t>(value),
                                 index != 0)
                       ? 1
                       : 0;
        case effOfflinePrepare:
            return offlinePrepare(static_cast<VstOfflineTask*>(ptr), static_cast<int32_t>(value))
                       ? 1
                       : 0;
        case effOfflineRun:
            return offlineRun(static_cast<VstOfflineTask*>(ptr), static_cast<int32_t>(value)) ? 1
                                                                                              : 0;
        case effProcessVarIo:
            return processVariableIo(static_cast<VstVariableIo*>(ptr)) ? 1 : 0;
        case effSetSpeakerArrangement:
            return setSpeakerArrangement(reinterpret_cast<VstSpeakerArrangement*>(value),
                                         static_cast<VstSpeakerArrangement*>(ptr))
                       ? 1
                       : 0;
        case effSetBypass:
            return setBypass(value != 0) ? 1 : 0;
        case effGetEffectName:
            return text && getEffectName(text) ? 1 : 0;
        case effGetVendorString:
            return text && getVendorString(text) ? 1 : 0;
        case effGetProductString:
            return text && getProductString(text) ? 1 : 0;
        case effGetVendorVersion:
            return getVendorVersion();
        case effVendorSpecific:
            return vendorSpecific(index, value, ptr, opt);
        case effCanDo:
            return text ? canDo(text) : 0;
        case effGetTailSize:
            return getTailSize();
        case effGetParameterProperties:
            return ptr && getParameterProperties(index, static_cast<VstParameterProperties*>(ptr))
                       ? 1
                       : 0;
        case effGetVstVersion:
            return getVstVersion();
        case effEditKeyDown:
        case effEditKeyUp: {
            if (!editor) {
                return 0;
            }
            const EditorKey key{index, static_cast<uint8_t>(value & 0xff), truncateToInt(opt)};
            return (opcode == effEditKeyDown ? editor->onKeyDown(key) : editor->onKeyUp(key)) ? 1
                                                                                              : 0;
        }
        case effSetEditKnobMode:
            return editor && editor->setKnobMode(static_cast<int32_t>(value)) ? 1 : 0;
        case effGetMidiProgramName:
            return getMidiProgramName(index, static_cast<VstMidiProgramName*>(ptr));
        case effGetCurrentMidiProgram:
            return getCurrentMidiProgram(index, static_cast<VstMidiProgramName*>(ptr));
        case effGetMidiProgramCategory:
            return getMidiProgramCategory(index, static_cast<VstMidiProgramCategory*>(ptr));
        case effHasMidiProgramsChanged:
            return hasMidiProgramsChanged(index) ? 1 : 0;
        case effGetMidiKeyName:
            return getMidiKeyName(index, static_cast<VstMidiKeyName*>(ptr)) ? 1 : 0;
        case effBeginSetProgram:
            return beginSetProgram() ? 1 : 0;
        case effEndSetProgram:
            return endSetProgram() ? 1 : 0;
        case effGetSpeakerArrangement:
            return getSpeakerArrangement(reinterpret_cast<VstSpeakerArrangement**>(value),
                                         static_cast<VstSpeakerArrangement**>(ptr))
                       ? 1
                       : 0;
        case effShellGetNextPlugin:
            return getNextShellPlugin(text);
        case effStartProcess:
            return startProcess();
        case effStopProcess:
            return stopProcess();
        case effSetTotalSampleToProcess:
            return setTotalSampleToProcess(value);
        case effSetPanLaw:
            return setPanLaw(static_cast<int32_t>(value), opt) ? 1 : 0;
        case effBeginLoadBank:
            return beginLoadBank(static_cast<VstPatchChunkInfo*>(ptr));
        case effBeginLoadProgram:
            return beginLoadProgram(static_cast<VstPatchChunkInfo*>(ptr));
        case effSetProcessPrecision:
            return setProcessPrecision(static_cast<int32_t>(value)) ? 1 : 0;
        case effGetNumMidiInputChannels:
            return getNumMidiInputChannels();
        case effGetNumMidiOutputChannels:
            return getNumMidiOutputChannels();
        default:
            return EffectBase::dispatcher(opcode, index, value, ptr, opt);
    }
}

void ExtendedEffectBase::resume() {
    char word[] = "receiveVstMidiEvent";
    if (!hasFlag(effFlagsIsSynth) && canDo(word) != 1) {
        return;
    }
    wantMidi(1);
}

bool ExtendedEffectBase::getSpeakerArrangement(VstSpeakerArrangement** input,
                                               VstSpeakerArrangement** output) {
    if (input) {
        *input = nullptr;
    }
    if (output) {
        *output = nullptr;
    }
    return false;
}

bool ExtendedEffectBase::beginEdit(int32_t index) {
    return hostSaysYes(audioMasterBeginEdit, index);
}
bool ExtendedEffectBase::endEdit(int32_t index) {
    return hostSaysYes(audioMasterEndEdit, index);
}
bool ExtendedEffectBase::ioChanged() {
    return hostSaysYes(audioMasterIOChanged);
}

float ExtendedEffectBase::updateSampleRate() {
    if (const intptr_t answer = askHost(audioMasterGetSampleRate); answer > 0) {
        sampleRate = static_cast<float>(answer);
    }
    return sampleRate;
}

int32_t ExtendedEffectBase::updateBlockSize() {
    if (const intptr_t answer = askHost(audioMasterGetBlockSize); answer > 0) {
        blockSize = static_cast<int32_t>(answer);
    }
    return blockSize;
}

int32_t ExtendedEffectBase::getInputLatency() {
    return static_cast<int32_t>(askHost(audioMasterGetInputLatency));
}
int32_t ExtendedEffectBase::getOutputLatency() {
    return static_cast<int32_t>(askHost(audioMasterGetOutputLatency));
}
VstTimeInfo* ExtendedEffectBase::getTimeInfo(int32_t filter) {
    return reinterpret_cast<VstTimeInfo*>(askHost(audioMasterGetTime, 0, filter));
}
int32_t ExtendedEffectBase::getCurrentProcessLevel() {
    return static_cast<int32_t>(askHost(audioMasterGetCurrentProcessLevel));
}
int32_t ExtendedEffectBase::getAutomationState() {
    return static_cast<int32_t>(askHost(audioMasterGetAutomationState));
}
bool ExtendedEffectBase::getHostVendorString(char* text) {
    return hostSaysYes(audioMasterGetVendorString, 0, 0, text);
}
bool ExtendedEffectBase::getHostProductString(char* text) {
    return hostSaysYes(audioMasterGetProductString, 0, 0, text);
}
int32_t ExtendedEffectBase::getHostVendorVersion() {
    return static_cast<int32_t>(askHost(audioMasterGetVendorVersion));
}
intptr_t ExtendedEffectBase::hostVendorSpecific(int32_t index, intptr_t value, void* ptr,
                                                float opt) {
    return askHost(audioMasterVendorSpecific, index, value, ptr, opt);
}
bool ExtendedEffectBase::canHostDo(char* text) {
    return hostSaysYes(audioMasterCanDo, 0, 0, text);
}
int32_t ExtendedEffectBase::getHostLanguage() {
    return static_cast<int32_t>(askHost(audioMasterGetLanguage));
}
void* ExtendedEffectBase::getDirectory() {
    return reinterpret_cast<void*>(askHost(audioMasterGetDirectory));
}
bool ExtendedEffectBase::updateDisplay() {
    return hostSaysYes(audioMasterUpdateDisplay);
}
bool ExtendedEffectBase::sizeWindow(int32_t width, int32_t height) {
    return hostSaysYes(audioMasterSizeWindow, width, height);
}
bool ExtendedEffectBase::openFileSelector(VstFileSelect* selector) {
    return selector && hostSaysYes(audioMasterOpenFileSelector, 0, 0, selector);
}
bool ExtendedEffectBase::closeFileSelector(VstFileSelect* selector) {
    return selector && hostSaysYes(audioMasterCloseFileSelector, 0, 0, selector);
}
bool ExtendedEffectBase::offlineRead(VstOfflineTask* task, int32_t option, bool readSource) {
    return hostSaysYes(audioMasterOfflineRead, readSource ? 1 : 0, option, task);
}
bool ExtendedEffectBase::offlineWrite(VstOfflineTask* task, int32_t option) {
    return hostSaysYes(audioMasterOfflineWrite, 0, option, task);
}
bool ExtendedEffectBase::offlineStart(VstAudioFile* files, int32_t count, int32_t newCount) {
    return hostSaysYes(audioMasterOfflineStart, newCount, count, files);
}
bool ExtendedEffectBase::offlineGetCurrentPass() {
    return hostSaysYes(audioMasterOfflineGetCurrentPass);
}
bool ExtendedEffectBase::offlineGetCurrentMetaPass() {
    return hostSaysYes(audioMasterOfflineGetCurrentMetaPass);
}
void ExtendedEffectBase::wantMidi(int32_t filter) {
    askHost(audioMasterWantMidi, 0, filter);
}
int32_t ExtendedEffectBase::tempoAt(int32_t position) {
    return static_cast<int32_t>(askHost(audioMasterTempoAt, 0, position));
}
int32_t ExtendedEffectBase::getNumAutomatableParameters() {
    return static_cast<int32_t>(askHost(audioMasterGetNumAutomatableParameters));
}
int32_t ExtendedEffectBase::getParameterQuantization() {
    return static_cast<int32_t>(askHost(audioMasterGetParameterQuantization));
}
bool ExtendedEffectBase::needIdle() {
    return hostSaysYes(audioMasterNeedIdle);
}
AEffect* ExtendedEffectBase::getPreviousPlug(int32_t input) {
    return reinterpret_cast<AEffect*>(askHost(audioMasterGetPreviousPlug));
}
AEffect* ExtendedEffectBase::getNextPlug(int32_t output) {
    return reinterpret_cast<AEffect*>(askHost(audioMasterGetNextPlug));
}
int32_t ExtendedEffectBase::willReplaceOrAccumulate() {
    return static_cast<int32_t>(askHost(audioMasterWillReplaceOrAccumulate));
}
intptr_t ExtendedEffectBase::setOutputSampleRate(float rate) {
    return askHost(audioMasterSetOutputSampleRate, 0, 0, nullptr, rate);
}
VstSpeakerArrangement* ExtendedEffectBase::getInputSpeakerArrangement() {
    return reinterpret_cast<VstSpeakerArrangement*>(askHost(audioMasterGetInputSpeakerArrangement));
}
VstSpeakerArrangement* ExtendedEffectBase::getOutputSpeakerArrangement() {
    return reinterpret_cast<VstSpeakerArrangement*>(
        askHost(audioMasterGetOutputSpeakerArrangement));
}
intptr_t ExtendedEffectBase::openWindow(VstWindow* window) {
    return askHost(audioMasterOpenWindow, 0, 0, window);
}
bool ExtendedEffectBase::closeWindow(VstWindow* window) {
    return hostSaysYes(audioMasterCloseWindow, 0, 0, window);
}
bool ExtendedEffectBase::getChunkFile(void* target) {
    return target && hostSaysYes(audioMasterGetChunkFile, 0, 0, target);
}
