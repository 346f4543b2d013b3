#include "plugin/samples/sample_set.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "plugin/samples/sample_set_text.h"
#include "plugin/vst/plugin_message.h"

namespace {

constexpr const char* kSampleDataFolder = "SampleData";

// Closes a C file on every way out of a reading function.
struct FileCloser {
    void operator()(std::FILE* file) const {
        if (file != nullptr) {
            std::fclose(file);
        }
    }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// A directory opens for reading here but reads as nothing; it is no text file
// of the sample set, so it counts as one that cannot be opened.
FileHandle openForReading(const std::string& path) {
    FileHandle file(std::fopen(path.c_str(), "rbe"));
    struct stat status {};
    if (file != nullptr && (fstat(fileno(file.get()), &status) != 0 || !S_ISREG(status.st_mode))) {
        file.reset();
    }
    return file;
}

char asciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalsIgnoringAsciiCase(const std::string& a, const char* b) {
    const std::size_t length = std::strlen(b);
    if (a.size() != length) {
        return false;
    }
    for (std::size_t i = 0; i < length; ++i) {
        if (asciiLower(a[i]) != asciiLower(b[i])) {
            return false;
        }
    }
    return true;
}

double noteFrequency(double key) {
    return 440.0 * std::pow(2.0, (key - 69.0) / 12.0);
}

}  // namespace

void SamplerProgram::setProgramName(const char* text) {
    std::memset(programName, 0, sizeof programName);
    if (text != nullptr) {
        std::strncpy(programName, text, kNameLength);
    }
}

SampleSet::SampleSet() : samples(kSampleSlots) {}

void SampleSet::loadSampleSet(const std::string& directory) {
    pluginDirectory = directory;
    const std::string folder = sampletext::joinPath(pluginDirectory, kSampleDataFolder);
    loadSampleList(sampletext::joinPath(folder, "samples.txt"));
    loadProgramList(sampletext::joinPath(folder, "programs.txt"));
}

std::string SampleSet::sampleDataPath(const std::string& fileName) const {
    return sampletext::joinPath(sampletext::joinPath(pluginDirectory, kSampleDataFolder), fileName);
}

void SampleSet::loadSampleList(const std::string& path) {
    FileHandle file = openForReading(path);
    if (file == nullptr) {
        return;  // no sample set: every key plays the empty sample 0
    }
    sampletext::LineReader reader(file.get());
    std::string line;
    while (sampleCount < kSampleSlots && reader.next(line)) {
        const std::vector<std::string_view> fields = sampletext::splitFields(line);
        if (fields.size() < 3) {
            continue;
        }
        const std::string fileName(fields[0]);
        const std::string displayName(fields[1]);
        WaveSample& sample = samples[static_cast<std::size_t>(sampleCount)];
        sample.load(
            sampleDataPath(fileName));  // a failure has been reported; the line still counts
        sample.setFileName(fileName.c_str());
        sample.setName(displayName.c_str());
        sample.rootFrequency = noteFrequency(sampletext::textToInt(fields[2]));
        ++sampleCount;
    }
}

void SampleSet::loadProgramList(const std::string& path) {
    FileHandle file = openForReading(path);
    if (file == nullptr) {
        const std::string text = path + " " + "Program file load failed.";
        showPluginMessage(text.c_str(), "Error");
        return;
    }
    sampletext::LineReader reader(file.get());
    std::string line;
    std::vector<KeyZone> collected;
    int nextProgram = 0;  // the slot the next "End" closes
    while (reader.next(line)) {
        if (line == "Program") {
            collected.clear();
            continue;
        }
        if (line == "End") {
            if (nextProgram < kProgramCount) {
                programs[static_cast<std::size_t>(nextProgram)].zones = collected;
            }
            ++nextProgram;  // the list stays: a block without "Program" adds to it
            continue;
        }
        const std::vector<std::string_view> fields = sampletext::splitFields(line);
        // Lines that lack a field are not guessed at.
        if (fields.size() < 4) {
            continue;
        }
        if (fields[0][0] == 'P') {
            if (nextProgram >= kProgramCount) {
                continue;
            }
            SamplerProgram& program = programs[static_cast<std::size_t>(nextProgram)];
            program.volume = static_cast<float>(sampletext::textToReal(fields[1]));
            program.pitchBendRange = sampletext::textToInt(fields[2]);
            const std::string name(fields[3]);
            program.setProgramName(name.c_str());
        } else if (fields[0][0] == 'S') {
            if (collected.size() >= static_cast<std::size_t>(kMaxZones)) {
                continue;
            }
            const std::string fileName(fields[3]);
            KeyZone zone;
            zone.lowKey = sampletext::textToInt(fields[1]);
            zone.highKey = sampletext::textToInt(fields[2]);
            zone.sampleIndex = std::max(findSampleByFileName(fileName.c_str()), 0);
            collected.push_back(zone);
        }
    }
}

int SampleSet::findSampleByFileName(const char* text) const {
    if (text == nullptr) {
        return -1;
    }
    const int count = std::min<int>(sampleCount, kSampleSlots);
    for (int i = 0; i < count; ++i) {
        if (equalsIgnoringAsciiCase(samples[static_cast<std::size_t>(i)].fileName, text)) {
            return i;
        }
    }
    return -1;
}

bool SampleSet::computeKeyMap(int program, KeyMap& out) const {
    if (program < 0 || program >= kProgramCount) {
        return false;
    }
    out.fill(0);
    for (const KeyZone& zone : programs[static_cast<std::size_t>(program)].zones) {
        if (zone.lowKey > zone.highKey) {
            continue;
        }
        // Keys beyond 0..127 do not exist; the part of a zone inside that range still plays.
        const std::int32_t low = std::max<std::int32_t>(zone.lowKey, 0);
        const std::int32_t high = std::min<std::int32_t>(zone.highKey, kKeyCount - 1);
        for (std::int32_t key = low; key <= high; ++key) {
            out[static_cast<std::size_t>(key)] = zone.sampleIndex;
        }
    }
    return true;
}

void SampleSet::buildKeyMap(int program) {
    computeKeyMap(program, keyMap);
}
