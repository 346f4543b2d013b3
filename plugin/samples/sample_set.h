// The instrument's sample set: the table of wave samples read from
// SampleData/samples.txt beside the plug-in, the 129 programs read from
// SampleData/programs.txt, and the key map of the selected program.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "plugin/samples/wave_sample.h"

// Keys lowKey..highKey (inclusive) of a program play samples[sampleIndex].
struct KeyZone {
    std::int32_t lowKey = 0;
    std::int32_t highKey = 0;
    std::int32_t sampleIndex = 0;
};

struct SamplerProgram {
    static constexpr std::size_t kNameLength = 24;

    // Key ranges in file order; a later zone wins on keys it shares with an earlier one.
    std::vector<KeyZone> zones;
    float volume = 1.0f;              // taken into the Volume parameter on selection
    std::int32_t pitchBendRange = 2;  // semitones; taken into PB.Range on selection
    char programName[kNameLength + 1] = "Default";

    std::int32_t zoneCount() const { return static_cast<std::int32_t>(zones.size()); }
    // Stores the first 24 bytes of `text` (null gives an empty name). Thread: UI.
    void setProgramName(const char* text);
};

// Owned by the instrument. Loading runs once, on the thread that constructs the
// instrument; afterwards the tables are only read, except for treatments that
// rewrite single samples and program selection that rebuilds keyMap (both the
// owner serialises against rendering).
class SampleSet {
  public:
    static constexpr int kSampleSlots = 1088;
    static constexpr int kProgramCount = 129;
    static constexpr int kKeyCount = 128;
    static constexpr int kMaxZones = 128;

    using KeyMap = std::array<std::int32_t, kKeyCount>;

    // 1088 empty samples, 129 default programs, every key mapped to sample 0.
    SampleSet();

    // The sample-set step of constructing the instrument: remembers `directory`
    // as pluginDirectory and reads SampleData/samples.txt, then
    // SampleData/programs.txt, below it. Thread: construction.
    void loadSampleSet(const std::string& directory);

    // samples.txt at `path` (full path): one "file,display name,root key" line per
    // sample, loaded from SampleData below pluginDirectory into the slots from
    // sampleCount on. Lines past slot 1087 are ignored. A missing file is silent.
    // Thread: construction.
    void loadSampleList(const std::string& path);

    // programs.txt at `path` (full path): "Program" ... "End" blocks of P and S
    // lines. A missing file reports "<path> Program file load failed." (caption
    // "Error") and leaves the programs as they were. Thread: construction.
    void loadProgramList(const std::string& path);

    // Index of the first of samples[0..sampleCount-1] whose fileName equals `text`
    // ignoring the case of A-Z, or -1. Thread: any that does not overlap a load.
    int findSampleByFileName(const char* text) const;

    // Fills keyMap from program `program`'s zones (keys that no zone covers play
    // sample 0). Programs outside 0..128 are ignored. Thread: whichever thread the
    // owner lets change keyMap (allocates nothing).
    void buildKeyMap(int program);

    // The same, into `out`, for owners that build the map aside and swap it in.
    // Answers false and leaves `out` alone for programs outside 0..128.
    bool computeKeyMap(int program, KeyMap& out) const;

    // Full path of a file of the sample set: pluginDirectory/SampleData/fileName.
    // The reload of a treated sample goes through it. Thread: any.
    std::string sampleDataPath(const std::string& fileName) const;

    std::vector<WaveSample> samples;  // always kSampleSlots entries; slot n = line n+1
    std::int32_t sampleCount = 0;     // lines of samples.txt taken
    std::string pluginDirectory;      // without a trailing '/', except the root "/"
    std::array<SamplerProgram, kProgramCount> programs;
    KeyMap keyMap{};
};

// Directory of the file that holds this code (the plug-in library when linked
// into it), found through the dynamic loader and made absolute; when that
// fails, the directory of the running program. Thread: any.
std::string findPluginDirectory();
