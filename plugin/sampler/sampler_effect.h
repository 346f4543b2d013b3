// The instrument: a 16-voice stereo sample player with 129 programs and five
// parameters, whose keys can be prepared (screw, bolt, rubber, reverse).
//
// Threads. Real hosts call parameter and program requests from a control thread
// while the render thread runs processEvents and processReplacing. Two locks keep
// them apart:
// - controlMutex serialises everything that changes the sample set (treatments,
//   program selection, program names). It is held across file reads and filters
//   and is never taken by the render thread.
// - renderMutex is held by the render thread for a whole processEvents or
//   processReplacing call, and by control threads only for the moment it takes to
//   swap in data they have built aside (a treated sample, a key map, a program's
//   volume and range). The render thread therefore never waits for a file read, a
//   filter or an allocation, and never sees a sample buffer being freed.
// Lock order: controlMutex before renderMutex. Scalars that both sides read or
// write (volume, pitch-bend range, effect parameters, program number) are atomic.
// effClose and the destructor must not overlap any other call; no lock can help
// there, because the object itself goes away.
#pragma once

#include <atomic>
#include <cmath>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "plugin/samples/sample_set.h"
#include "plugin/vst/extended_effect_base.h"

// One of the 16 voices. A voice sounds while gate or releasing is on; the two are
// never on together.
struct Voice {
    bool gate = false;       // the key is held
    bool releasing = false;  // the voice is in its release
    std::int32_t key = 60;   // MIDI key 0..127
    std::int32_t velocity = 0;
    double position = 0.0;      // read position in the sample, in frames
    double releaseLevel = 0.0;  // 1.0 at note-off, falling
};

class SamplerEffect : public ExtendedEffectBase {
  public:
    static constexpr std::int32_t kProgramCount = SampleSet::kProgramCount;  // 129
    static constexpr std::int32_t kParameterCount = 5;
    static constexpr int kVoiceCount = 16;
    // Room for the longest list a host engine of ours sends (1024), so the
    // render thread only ever allocates for hosts that send more at once.
    static constexpr std::int32_t kInitialEventCapacity = 1024;
    static constexpr std::int32_t kUniqueId = vstFourCharCode('Q', 'Z', '0', '2');

    // Parameter indices.
    enum Parameter : std::int32_t {
        kVolume = 0,
        kPitchBendRange = 1,
        kEffectMethod = 2,
        kEffectNote = 3,
        kEffectRange = 4,
    };

    // Texts written into the host's buffers are cut to these lengths and followed
    // by a terminator, so the host must provide one byte more. The display length
    // leaves room for every "%f" text of a value below 100000000 ("127.000000" needs
    // 10); the 8-character names and labels and the 24-character program names are
    // those of the VST 2 contract.
    static constexpr std::int32_t kParameterTextLength = 8;
    static constexpr std::int32_t kDisplayTextLength = 15;
    static constexpr std::int32_t kProgramNameLength = 24;

    // Reads the sample set from SampleData in the directory of the plug-in file.
    // Thread: the host's calling thread (inside the entry function).
    explicit SamplerEffect(audioMasterCallback hostCallback);
    // The same with the sample set read from SampleData below `pluginDirectory`
    // (programs that embed the instrument, tests, benchmarks).
    SamplerEffect(audioMasterCallback hostCallback, const std::string& pluginDirectory);
    ~SamplerEffect() override;

    // Render thread. Cuts the block at the queued events' offsets, renders the
    // sounding voices into outputs[0] (left) and outputs[1] (right) and applies each
    // event at its frame.
    void processReplacing(float** inputs, float** outputs, std::int32_t sampleFrames) override;
    // Render thread. Copies the MIDI events of the list into the queue and answers 1.
    std::int32_t processEvents(VstEvents* events) override;

    // Any thread. Parameter 4 runs applyPreparation on the calling thread.
    void setParameter(std::int32_t index, float value) override;
    float getParameter(std::int32_t index) override;

    // Control thread.
    std::int32_t getProgram() override;
    void setProgram(std::int32_t program) override;
    void setProgramName(char* name) override;
    void getProgramName(char* name) override;
    bool getProgramNameIndexed(std::int32_t category, std::int32_t index, char* text) override;
    void getParameterLabel(std::int32_t index, char* label) override;
    void getParameterDisplay(std::int32_t index, char* text) override;
    void getParameterName(std::int32_t index, char* text) override;
    std::int32_t getNumMidiInputChannels() override { return 1; }
    std::int32_t getNumMidiOutputChannels() override { return 0; }
    bool getEffectName(char* name) override;
    bool getVendorString(char* text) override;
    bool getProductString(char* text) override;
    std::int32_t canDo(char* text) override;

    // Reloads the clean wave file of the sample that the key map holds for the
    // Effect Note, rewrites it with the Effect Method at strength Effect Range, and
    // swaps the result in. An Effect Note whose truncation lies outside 0..127
    // changes nothing. Thread: control (not the render thread).
    void applyPreparation();

    // Applies one channel message (status, data 1, data 2). Render thread only.
    void handleMidiMessage(int status, int data1, int data2);
    // Starts a voice; the note is dropped when all 16 sound. Render thread only.
    void noteOn(std::int32_t key, std::int32_t velocity);
    // Releases every held voice of `key`; key -1 silences every held voice at once.
    // Render thread only.
    void noteOff(std::int32_t key);

    // Read access for programs that embed the instrument. Thread: control, never
    // while another thread changes the sample set.
    const SampleSet& sampleSet() const { return sampleSet_; }

  private:
    // A copy of `current` reloaded from its wave file, built aside; when the file
    // cannot be opened the copy keeps the current data. Control thread, with
    // controlMutex held.
    WaveSample reloadEffectSample(const WaveSample& current) const;
    void renderChunk(float** outputs, std::int32_t offset, std::int32_t length);
    void renderVoice(Voice& voice, float* left, float* right, std::int32_t length, double bend);
    const WaveSample& sampleForKey(std::int32_t key) const;
    void loadInstrument(const std::string& pluginDirectory);

    std::mutex controlMutex;
    std::mutex renderMutex;

    // samples, programs, pluginDirectory, sampleCount and keyMap.
    SampleSet sampleSet_;

    // The event queue: whole copies of the kept VstMidiEvent records. Render thread.
    std::int32_t eventCapacity = 0;
    std::int32_t eventCount = 0;
    std::int32_t nextEvent = 0;
    // 64 bits: a host that never sends events would overflow 32 bits after 13 hours.
    std::int64_t framesSinceEvents = 0;
    std::atomic<std::int32_t> selectedProgram{0};
    std::unique_ptr<VstMidiEvent[]> eventQueue;

    // Render thread.
    Voice voices[kVoiceCount];
    std::int32_t pitchBend = 0;          // -8192..8191
    float expression = 100.0f / 127.0f;  // controller 11 / 127

    std::atomic<float> volume{1.0f};              // parameter 0 and controller 7
    std::atomic<std::int32_t> pitchBendRange{2};  // parameter 1 and the RPN 0/0
    std::atomic<float> effectMethod{0.0f};
    std::atomic<float> effectNote{0.0f};
    std::atomic<float> effectRange{0.0f};
};

// 440 Hz at key 69, twelve keys per octave; the key may carry a fractional bend.
// The same formula gives a sample's root frequency, so a key played at its root
// pitch steps through the sample exactly one frame per output frame. Thread: any.
inline double noteFrequency(double key) {
    return 440.0 * std::pow(2.0, (key - 69.0) / 12.0);
}
