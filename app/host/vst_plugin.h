// The host's handle on one loaded VST 2 plug-in: the shared library, the
// instance's record, the float buffers it renders into and the MIDI events
// waiting for its next block.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "plugin/vst/aeffect.h"

class CVstPlugin {
  public:
    // Thread: any (the engine's caller).
    CVstPlugin(float sampleRate, int32_t blockSize, int32_t maxEvents);
    CVstPlugin(const CVstPlugin&) = delete;
    CVstPlugin& operator=(const CVstPlugin&) = delete;
    // Unloads a loaded plug-in. Thread: the one that loaded it.
    virtual ~CVstPlugin();

    // Loads the library (a relative path is taken from the current directory),
    // creates and opens one instance and sizes the buffers. On failure shows the
    // message of the failed step, releases the library and sends nothing to a
    // rejected instance. Thread: UI.
    bool load(const std::string& path);
    // Frees the buffers, closes the instance and releases the library.
    // Thread: UI, never during process.
    void unload();

    // Queues an event for the next flush; beyond the capacity it is dropped.
    // The record must live until the flush. Thread: under the engine lock.
    void addEvent(VstMidiEvent* event);
    // Hands the queued events to the instance and empties the list.
    // Thread: render (under the engine lock).
    void flushEvents();
    // Forgets the queued events without sending them. Thread: under the engine lock.
    void clearEvents();
    // Renders `frames` frames (at most blockSize) into outputs, when the
    // instance renders by replacing. Thread: render (under the engine lock).
    void process(int32_t frames);

    // Thread: UI (under the engine lock) for the four below.
    void setParameter(int32_t index, float value);
    void setProgram(int32_t program);
    void resume();
    void suspend();

    AEffect* effect() const { return effect_; }
    int32_t numParams() const { return numParams_; }
    int32_t numPrograms() const { return numPrograms_; }
    int32_t numInputs() const { return numInputs_; }
    int32_t numOutputs() const { return numOutputs_; }
    int32_t blockSize() const { return blockSize_; }
    float sampleRate() const { return sampleRate_; }
    int32_t pendingEventCount() const;
    // The output buffers of the last process (numOutputs of blockSize values).
    const float* const* outputs() const { return outputPointers_.data(); }

  private:
    intptr_t dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt);
    VstEvents* pendingEvents() const;
    VstEvent** pendingList() const;
    void releaseLibrary();

    AEffect* effect_ = nullptr;
    void* library_ = nullptr;
    int32_t numParams_ = 0;
    int32_t numPrograms_ = 0;
    int32_t numInputs_ = 0;
    int32_t numOutputs_ = 0;
    int32_t blockSize_ = 0;
    float sampleRate_ = 0.0f;
    // The VstEvents record with room for maxEvents pointers, in pointer-sized
    // words so that the record is aligned.
    std::unique_ptr<intptr_t[]> pendingStorage_;
    int32_t maxEvents_ = 0;
    std::vector<std::vector<float>> inputs_;
    std::vector<std::vector<float>> outputs_;
    std::vector<float*> inputPointers_;
    std::vector<float*> outputPointers_;
};
