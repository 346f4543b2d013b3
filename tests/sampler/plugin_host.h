// A minimal host for the tests: loads a private copy of the built Korvane.so
// beside a test-made sample set and drives instances through the VST 2 record,
// the way a real host does.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "plugin/vst/aeffect.h"
#include "tests/sampler/sample_set_files.h"

namespace samplertest {

// What the test host answers and what it was asked.
struct HostState {
    std::atomic<std::intptr_t> versionAnswer{2400};
    std::atomic<int> versionRequests{0};
    std::atomic<int> wantMidiRequests{0};
    std::atomic<std::intptr_t> lastWantMidiValue{0};
};
HostState& hostState();

std::intptr_t testHostCallback(AEffect* effect, std::int32_t opcode, std::int32_t index,
                               std::intptr_t value, void* ptr, float opt);

// One copy of Korvane.so in the sample set's directory, loaded with dlopen. Each
// copy is a module of its own, with its own module-wide state.
class PluginLibrary {
  public:
    explicit PluginLibrary(const SampleSetDir& directory);
    ~PluginLibrary();
    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;

    // The exported function of that name, or null.
    VstEntryProc entry(const char* name) const;

  private:
    void* handle_ = nullptr;
};

struct MidiMessage {
    std::int32_t deltaFrames;
    std::uint8_t status;
    std::uint8_t data1;
    std::uint8_t data2;
};

struct Stereo {
    std::vector<float> left;
    std::vector<float> right;
};

// An instance opened as a host opens one (entry function, effOpen, sample rate,
// block size, program 0, switched on) and closed with effClose.
class Instrument {
  public:
    explicit Instrument(const PluginLibrary& library, const char* entryName = "VSTPluginMain");
    ~Instrument();
    Instrument(const Instrument&) = delete;
    Instrument& operator=(const Instrument&) = delete;

    AEffect* effect() const { return effect_; }
    std::intptr_t dispatch(std::int32_t opcode, std::int32_t index = 0, std::intptr_t value = 0,
                           void* ptr = nullptr, float opt = 0.0f);

    // effProcessEvents with one VstMidiEvent per message, in order.
    std::intptr_t send(const std::vector<MidiMessage>& messages);
    // processReplacing into buffers filled with rubbish beforehand.
    Stereo render(std::int32_t frames);

    void setParameter(std::int32_t index, float value);
    float getParameter(std::int32_t index);
    std::string parameterName(std::int32_t index);
    std::string parameterLabel(std::int32_t index);
    std::string parameterDisplay(std::int32_t index);
    std::string programName();
    void setProgram(std::int32_t program) { dispatch(effSetProgram, 0, program); }

    // Plays `key` with velocity 127 and expression 1.0 for `frames` frames, then
    // silences it (controller 120). With volume 1.0 and the key at its sample's
    // root pitch, value i of the result is the sample's value i on that channel.
    std::vector<std::int32_t> play(std::int32_t key, std::int32_t frames, int channel = 0);

  private:
    AEffect* effect_ = nullptr;
};

// A treatment request as the application sends it: method, note, then range.
void prepare(Instrument& instrument, float method, float note, float range);

}  // namespace samplertest
