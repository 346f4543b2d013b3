// Adds the extended requests (25 to 79) to EffectBase, their defaults, and one
// wrapper per host request. Threads as for EffectBase: host requests are sent
// from whichever thread calls the wrapper (normally the host's control thread).
#pragma once

#include "plugin/vst/effect_base.h"

class ExtendedEffectBase : public EffectBase {
  public:
    using EffectBase::EffectBase;

    intptr_t dispatcher(int32_t opcode, int32_t index, intptr_t value, void* ptr,
                        float opt) override;
    // Asks the host for MIDI when this is an instrument or takes MIDI events.
    void resume() override;

    // The slot order of the operations below is part of the design: keep it.
    virtual bool canParameterBeAutomated(int32_t index) { return true; }
    virtual bool stringToParameter(int32_t index, char* text) { return false; }
    virtual bool getParameterProperties(int32_t index, VstParameterProperties* properties) {
        return false;
    }
    virtual bool beginEdit(int32_t index);
    virtual bool endEdit(int32_t index);
    virtual bool getProgramNameIndexed(int32_t category, int32_t index, char* text) {
        return false;
    }
    virtual bool beginSetProgram() { return false; }
    virtual bool endSetProgram() { return false; }
    virtual int32_t beginLoadBank(VstPatchChunkInfo* info) { return 0; }
    virtual int32_t beginLoadProgram(VstPatchChunkInfo* info) { return 0; }
    virtual bool ioChanged();
    virtual float updateSampleRate();
    virtual int32_t updateBlockSize();
    virtual int32_t getInputLatency();
    virtual int32_t getOutputLatency();
    virtual bool getInputProperties(int32_t index, VstPinProperties* properties) { return false; }
    virtual bool getOutputProperties(int32_t index, VstPinProperties* properties) { return false; }
    virtual bool setSpeakerArrangement(VstSpeakerArrangement* input,
                                       VstSpeakerArrangement* output) {
        return false;
    }
    virtual bool getSpeakerArrangement(VstSpeakerArrangement** input,
                                       VstSpeakerArrangement** output);
    virtual bool setBypass(bool onOff) { return false; }
    virtual bool setPanLaw(int32_t type, float value) { return false; }
    virtual bool setProcessPrecision(int32_t precision) { return false; }
    virtual int32_t getNumMidiInputChannels() { return 0; }
    virtual int32_t getNumMidiOutputChannels() { return 0; }
    virtual VstTimeInfo* getTimeInfo(int32_t filter);
    virtual int32_t getCurrentProcessLevel();
    virtual int32_t getAutomationState();
    // Thread: render (the host sends events just before processReplacing).
    virtual int32_t processEvents(VstEvents* events) { return 0; }
    virtual int32_t startProcess() { return 0; }
    virtual int32_t stopProcess() { return 0; }
    virtual bool processVariableIo(VstVariableIo* io) { return false; }
    virtual intptr_t setTotalSampleToProcess(intptr_t value) { return value; }
    virtual bool getHostVendorString(char* text);
    virtual bool getHostProductString(char* text);
    virtual int32_t getHostVendorVersion();
    virtual intptr_t hostVendorSpecific(int32_t index, intptr_t value, void* ptr, float opt);
    virtual bool canHostDo(char* text);
    virtual int32_t getHostLanguage();
    virtual void setIsSynth(bool state) { setFlag(effFlagsIsSynth, state); }
    virtual void setNoSoundInStop(bool state) { setFlag(effFlagsNoSoundInStop, state); }
    virtual int32_t getTailSize() { return 0; }
    virtual void* getDirectory();
    virtual bool getEffectName(char* name) { return false; }
    virtual bool getVendorString(char* text) { return false; }
    virtual bool getProductString(char* text) { return false; }
    virtual int32_t getVendorVersion() { return 0; }
    virtual intptr_t vendorSpecific(int32_t index, intptr_t value, void* ptr, float opt) {
        return 0;
    }
    // 1 yes, -1 no, 0 don't know.
    virtual int32_t canDo(char* text) { return 0; }
    virtual int32_t getVstVersion() { return kVstVersion; }
    virtual int32_t getPlugCategory() { return hasFlag(effFlagsIsSynth) ? kPlugCategSynth : 0; }
    virtual int32_t getMidiProgramName(int32_t channel, VstMidiProgramName* name) { return 0; }
    virtual int32_t getCurrentMidiProgram(int32_t channel, VstMidiProgramName* name) { return -1; }
    virtual int32_t getMidiProgramCategory(int32_t channel, VstMidiProgramCategory* category) {
        return 0;
    }
    virtual bool hasMidiProgramsChanged(int32_t channel) { return false; }
    virtual bool getMidiKeyName(int32_t channel, VstMidiKeyName* keyName) { return false; }
    virtual bool updateDisplay();
    virtual bool sizeWindow(int32_t width, int32_t height);
    virtual bool openFileSelector(VstFileSelect* selector);
    virtual bool closeFileSelector(VstFileSelect* selector);
    virtual int32_t getNextShellPlugin(char* name) { return 0; }
    virtual bool offlineRead(VstOfflineTask* task, int32_t option, bool readSource);
    virtual bool offlineWrite(VstOfflineTask* task, int32_t option);
    virtual bool offlineStart(VstAudioFile* files, int32_t count, int32_t newCount);
    virtual bool offlineGetCurrentPass();
    virtual bool offlineGetCurrentMetaPass();
    virtual bool offlineNotify(VstAudioFile* files, int32_t count, bool start) { return false; }
    virtual bool offlinePrepare(VstOfflineTask* tasks, int32_t count) { return false; }
    virtual bool offlineRun(VstOfflineTask* tasks, int32_t count) { return false; }
    virtual void wantMidi(int32_t filter);
    virtual int32_t tempoAt(int32_t position);
    virtual int32_t getNumAutomatableParameters();
    virtual int32_t getParameterQuantization();
    virtual bool needIdle();
    virtual AEffect* getPreviousPlug(int32_t input);
    virtual AEffect* getNextPlug(int32_t output);
    virtual int32_t willReplaceOrAccumulate();
    virtual void setExtIsAsync(bool state) { setFlag(effFlagsExtIsAsync, state); }
    virtual void setExtHasBuffer(bool state) { setFlag(effFlagsExtHasBuffer, state); }
    virtual intptr_t setOutputSampleRate(float rate);
    virtual VstSpeakerArrangement* getInputSpeakerArrangement();
    virtual VstSpeakerArrangement* getOutputSpeakerArrangement();
    virtual intptr_t openWindow(VstWindow* window);
    virtual bool closeWindow(VstWindow* window);
    virtual void setBlockSizeAndSampleRate(int32_t frames, float rate) {
        blockSize = frames;
        sampleRate = rate;
    }
    virtual bool getChunkFile(void* target);

  private:
    intptr_t askHost(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr,
                     float opt = 0.0f) {
        return hostCallback ? callHost(opcode, index, value, ptr, opt) : 0;
    }
    bool hostSaysYes(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr,
                     float opt = 0.0f) {
        return askHost(opcode, index, value, ptr, opt) != 0;
    }
};
