// The plug-in side of the VST 2 contract: owns the AEffect record handed to the
// host, turns the record's function-pointer calls into virtual operations and
// answers the basic requests (0 to 24).
//
// Threads: the host calls dispatcher requests and parameter calls from its
// control (UI) thread and processReplacing from its render thread; the base
// classes hold no locks and the concrete plug-in decides what may overlap.
#pragma once

#include <cstdint>
#include <memory>

#include "plugin/vst/aeffect.h"
#include "plugin/vst/effect_editor.h"

class EffectBase {
  public:
    static constexpr float kDefaultSampleRate = 44100.0f;
    static constexpr int32_t kDefaultBlockSize = 1024;
    static constexpr int32_t kDefaultUniqueId = vstFourCharCode('N', 'o', 'E', 'f');

    EffectBase(audioMasterCallback hostCallback, int32_t programCount, int32_t parameterCount);
    EffectBase(const EffectBase&) = delete;
    EffectBase& operator=(const EffectBase&) = delete;

    // The slot order of the operations below is part of the design: keep it.
    virtual ~EffectBase();

    // Thread: host control (render-thread requests are routed by the host).
    virtual intptr_t dispatcher(int32_t opcode, int32_t index, intptr_t value, void* ptr,
                                float opt);
    // Thread: host control.
    virtual void open() {}
    virtual void close() {}
    virtual void suspend() {}
    virtual void resume() {}
    virtual void setSampleRate(float rate) { sampleRate = rate; }
    virtual void setBlockSize(int32_t frames) { blockSize = frames; }

    // Thread: render. Overwrites outputs[0..numOutputs) with sampleFrames frames.
    virtual void processReplacing(float** inputs, float** outputs, int32_t sampleFrames) = 0;
    virtual void processDoubleReplacing(double** inputs, double** outputs, int32_t sampleFrames) {}

    // Thread: any the host chooses (usually control).
    virtual void setParameter(int32_t index, float value) {}
    virtual float getParameter(int32_t index) { return 0.0f; }
    // Sets the parameter, then tells the host. Thread: control.
    virtual intptr_t setParameterAutomated(int32_t index, float value);

    // Programs and parameter texts. Thread: control. Text buffers are the host's.
    virtual int32_t getProgram() { return currentProgram; }
    virtual void setProgram(int32_t program) { currentProgram = program; }
    virtual void setProgramName(char* name) {}
    virtual void getProgramName(char* name) { name[0] = '\0'; }
    virtual void getParameterLabel(int32_t index, char* label) { label[0] = '\0'; }
    virtual void getParameterDisplay(int32_t index, char* text) { text[0] = '\0'; }
    virtual void getParameterName(int32_t index, char* text) { text[0] = '\0'; }
    virtual int32_t getChunk(void** data, bool isPreset) { return 0; }
    virtual int32_t setChunk(void* data, int32_t byteSize, bool isPreset) { return 0; }

    // Record setters. Thread: control (normally only the constructor).
    virtual void setUniqueId(int32_t id) { effectRecord.uniqueID = id; }
    virtual void setNumInputs(int32_t inputs) { effectRecord.numInputs = inputs; }
    virtual void setNumOutputs(int32_t outputs) { effectRecord.numOutputs = outputs; }
    virtual void setCanReplacing(bool state) { setFlag(effFlagsCanReplacing, state); }
    virtual void setCanDoubleReplacing(bool state) { setFlag(effFlagsCanDoubleReplacing, state); }
    virtual void setProgramsAreChunks(bool state) { setFlag(effFlagsProgramChunks, state); }
    virtual void setInitialDelay(int32_t frames) { effectRecord.initialDelay = frames; }

    // Thread: any.
    virtual EffectEditor* getEditor() { return editor.get(); }
    virtual AEffect* getAEffect() { return &effectRecord; }
    virtual float getSampleRate() { return sampleRate; }
    virtual int32_t getBlockSize() { return blockSize; }

    // Host requests. Thread: control.
    virtual int32_t getMasterVersion();
    virtual int32_t getCurrentUniqueId();
    virtual intptr_t masterIdle();

    // Number-to-text: write at most maxLen characters plus a terminator into a
    // caller's buffer of maxLen + 1 bytes. Thread: any.
    virtual void dbToText(float value, char* text, int32_t maxLen);
    virtual void hzToText(float frames, char* text, int32_t maxLen);
    virtual void msToText(float frames, char* text, int32_t maxLen);
    virtual void floatToText(double value, char* text, int32_t maxLen);
    virtual void intToText(int32_t value, char* text, int32_t maxLen);

    // Thread: render.
    virtual void processAccumulating(float** inputs, float** outputs, int32_t sampleFrames) {}

    // Thread: control.
    virtual void setHasVu(bool state) { setFlag(effFlagsHasVu, state); }
    virtual void setHasClip(bool state) { setFlag(effFlagsHasClip, state); }
    virtual void setCanMono(bool state) { setFlag(effFlagsCanMono, state); }
    virtual void setRealtimeQualities(int32_t qualities) { effectRecord.realQualities = qualities; }
    virtual void setOfflineQualities(int32_t qualities) { effectRecord.offQualities = qualities; }
    virtual bool isInputConnected(int32_t input);
    virtual bool isOutputConnected(int32_t output);

  protected:
    void setFlag(int32_t bit, bool state);
    bool hasFlag(int32_t bit) const { return (effectRecord.flags & bit) != 0; }
    // Sends one request to the host; only called when hostCallback is set.
    intptr_t callHost(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr,
                      float opt = 0.0f);

    audioMasterCallback hostCallback;
    std::unique_ptr<EffectEditor> editor;
    float sampleRate = kDefaultSampleRate;
    int32_t blockSize = kDefaultBlockSize;
    int32_t programCount;
    int32_t parameterCount;
    int32_t currentProgram = 0;
    AEffect effectRecord;

  private:
    // The record's function pointers: one-line adapters into the object.
    static intptr_t dispatchAdapter(AEffect* effect, int32_t opcode, int32_t index, intptr_t value,
                                    void* ptr, float opt);
    static void processAdapter(AEffect* effect, float** inputs, float** outputs,
                               int32_t sampleFrames);
    static void processReplacingAdapter(AEffect* effect, float** inputs, float** outputs,
                                        int32_t sampleFrames);
    static void processDoubleReplacingAdapter(AEffect* effect, double** inputs, double** outputs,
                                              int32_t sampleFrames);
    static void setParameterAdapter(AEffect* effect, int32_t index, float value);
    static float getParameterAdapter(AEffect* effect, int32_t index);

    intptr_t closeAndDestroy(int32_t index, intptr_t value, void* ptr, float opt);
};

// The object behind a record the host hands back, or null for a record that is
// not one of ours.
EffectBase* effectFromRecord(AEffect* effect);
