// An effect that records every operation the dispatcher reaches, with its
// arguments, and otherwise behaves like the base classes.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "plugin/vst/extended_effect_base.h"

class RecordingEffect : public ExtendedEffectBase {
  public:
    explicit RecordingEffect(audioMasterCallback host = nullptr, int* destroyed = nullptr)
        : ExtendedEffectBase(host, 129, 5), destroyed(destroyed) {
        setIsSynth(true);
    }
    ~RecordingEffect() override {
        if (destroyed) {
            ++*destroyed;
        }
    }

    std::vector<std::string> calls;

    template <class... Args>
    void record(const char* name, Args... args) {
        std::ostringstream out;
        out << name << '(';
        [[maybe_unused]] const char* separator = "";
        ((out << separator << args, separator = ","), ...);
        out << ')';
        calls.push_back(out.str());
    }

    void processReplacing(float**, float**, int32_t frames) override {
        record("processReplacing", frames);
    }

    void open() override { record("open"); }
    void close() override { record("close"); }
    void suspend() override { record("suspend"); }
    void resume() override {
        record("resume");
        ExtendedEffectBase::resume();
    }
    void setSampleRate(float rate) override {
        record("setSampleRate", rate);
        ExtendedEffectBase::setSampleRate(rate);
    }
    void setBlockSize(int32_t frames) override {
        record("setBlockSize", frames);
        ExtendedEffectBase::setBlockSize(frames);
    }
    void processDoubleReplacing(double**, double**, int32_t frames) override {
        record("processDoubleReplacing", frames);
    }
    void processAccumulating(float**, float**, int32_t frames) override {
        record("processAccumulating", frames);
    }
    void setParameter(int32_t index, float value) override { record("setParameter", index, value); }
    float getParameter(int32_t index) override {
        record("getParameter", index);
        return 0.25f;
    }
    int32_t getProgram() override {
        record("getProgram");
        return ExtendedEffectBase::getProgram();
    }
    void setProgram(int32_t program) override {
        record("setProgram", program);
        ExtendedEffectBase::setProgram(program);
    }
    void setProgramName(char*) override { record("setProgramName"); }
    void getProgramName(char* name) override {
        record("getProgramName");
        ExtendedEffectBase::getProgramName(name);
    }
    void getParameterLabel(int32_t index, char* text) override {
        record("getParameterLabel", index);
        ExtendedEffectBase::getParameterLabel(index, text);
    }
    void getParameterDisplay(int32_t index, char* text) override {
        record("getParameterDisplay", index);
        ExtendedEffectBase::getParameterDisplay(index, text);
    }
    void getParameterName(int32_t index, char* text) override {
        record("getParameterName", index);
        ExtendedEffectBase::getParameterName(index, text);
    }
    int32_t getChunk(void**, bool isPreset) override {
        record("getChunk", isPreset);
        return 0;
    }
    int32_t setChunk(void*, int32_t size, bool isPreset) override {
        record("setChunk", size, isPreset);
        return 0;
    }
    int32_t processEvents(VstEvents*) override {
        record("processEvents");
        return 0;
    }
    bool canParameterBeAutomated(int32_t index) override {
        record("canParameterBeAutomated", index);
        return ExtendedEffectBase::canParameterBeAutomated(index);
    }
    bool stringToParameter(int32_t index, char*) override {
        record("stringToParameter", index);
        return false;
    }
    bool getProgramNameIndexed(int32_t category, int32_t index, char*) override {
        record("getProgramNameIndexed", category, index);
        return false;
    }
    bool getInputProperties(int32_t index, VstPinProperties*) override {
        record("getInputProperties", index);
        return false;
    }
    bool getOutputProperties(int32_t index, VstPinProperties*) override {
        record("getOutputProperties", index);
        return false;
    }
    int32_t getPlugCategory() override {
        record("getPlugCategory");
        return ExtendedEffectBase::getPlugCategory();
    }
    bool offlineNotify(VstAudioFile*, int32_t count, bool start) override {
        record("offlineNotify", count, start);
        return false;
    }
    bool offlinePrepare(VstOfflineTask*, int32_t count) override {
        record("offlinePrepare", count);
        return false;
    }
    bool offlineRun(VstOfflineTask*, int32_t count) override {
        record("offlineRun", count);
        return false;
    }
    bool processVariableIo(VstVariableIo*) override {
        record("processVariableIo");
        return false;
    }
    bool setSpeakerArrangement(VstSpeakerArrangement*, VstSpeakerArrangement*) override {
        record("setSpeakerArrangement");
        return false;
    }
    bool setBypass(bool onOff) override {
        record("setBypass", onOff);
        return false;
    }
    bool getEffectName(char*) override {
        record("getEffectName");
        return false;
    }
    bool getVendorString(char*) override {
        record("getVendorString");
        return false;
    }
    bool getProductString(char*) override {
        record("getProductString");
        return false;
    }
    int32_t getVendorVersion() override {
        record("getVendorVersion");
        return 0;
    }
    intptr_t vendorSpecific(int32_t index, intptr_t value, void*, float opt) override {
        record("vendorSpecific", index, value, opt);
        return 0;
    }
    int32_t canDo(char* text) override {
        record("canDo", text);
        return 0;
    }
    int32_t getTailSize() override {
        record("getTailSize");
        return 0;
    }
    bool getParameterProperties(int32_t index, VstParameterProperties*) override {
        record("getParameterProperties", index);
        return false;
    }
    int32_t getVstVersion() override {
        record("getVstVersion");
        return ExtendedEffectBase::getVstVersion();
    }
    int32_t getMidiProgramName(int32_t channel, VstMidiProgramName*) override {
        record("getMidiProgramName", channel);
        return 0;
    }
    int32_t getCurrentMidiProgram(int32_t channel, VstMidiProgramName* name) override {
        record("getCurrentMidiProgram", channel);
        return ExtendedEffectBase::getCurrentMidiProgram(channel, name);
    }
    int32_t getMidiProgramCategory(int32_t channel, VstMidiProgramCategory*) override {
        record("getMidiProgramCategory", channel);
        return 0;
    }
    bool hasMidiProgramsChanged(int32_t channel) override {
        record("hasMidiProgramsChanged", channel);
        return false;
    }
    bool getMidiKeyName(int32_t channel, VstMidiKeyName*) override {
        record("getMidiKeyName", channel);
        return false;
    }
    bool beginSetProgram() override {
        record("beginSetProgram");
        return false;
    }
    bool endSetProgram() override {
        record("endSetProgram");
        return false;
    }
    bool getSpeakerArrangement(VstSpeakerArrangement** input,
                               VstSpeakerArrangement** output) override {
        record("getSpeakerArrangement");
        return ExtendedEffectBase::getSpeakerArrangement(input, output);
    }
    int32_t getNextShellPlugin(char*) override {
        record("getNextShellPlugin");
        return 0;
    }
    int32_t startProcess() override {
        record("startProcess");
        return 0;
    }
    int32_t stopProcess() override {
        record("stopProcess");
        return 0;
    }
    intptr_t setTotalSampleToProcess(intptr_t value) override {
        record("setTotalSampleToProcess", value);
        return ExtendedEffectBase::setTotalSampleToProcess(value);
    }
    bool setPanLaw(int32_t type, float value) override {
        record("setPanLaw", type, value);
        return false;
    }
    int32_t beginLoadBank(VstPatchChunkInfo*) override {
        record("beginLoadBank");
        return 0;
    }
    int32_t beginLoadProgram(VstPatchChunkInfo*) override {
        record("beginLoadProgram");
        return 0;
    }
    bool setProcessPrecision(int32_t precision) override {
        record("setProcessPrecision", precision);
        return false;
    }
    int32_t getNumMidiInputChannels() override {
        record("getNumMidiInputChannels");
        return 0;
    }
    int32_t getNumMidiOutputChannels() override {
        record("getNumMidiOutputChannels");
        return 0;
    }

    using EffectBase::editor;
    using EffectBase::hasFlag;

  private:
    int* destroyed;
};
