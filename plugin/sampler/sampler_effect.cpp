// Construction, programs, parameters and the fixed texts of the instrument.
#include "plugin/sampler/sampler_effect.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <string_view>

namespace {

struct ParameterText {
    const char* name;
    const char* label;
};

constexpr ParameterText kParameterTexts[SamplerEffect::kParameterCount] = {
    {"Volume", "dB"},        {"PB.Range", "semitone"},  {"Effect Method", "method"},
    {"Effect Note", "note"}, {"Effect Range", "range"},
};

constexpr const char* kEffectName = "VOD Azezozo 1.0";
constexpr const char* kVendorName = "Vostrel";

bool isParameter(std::int32_t index) {
    return index >= 0 && index < SamplerEffect::kParameterCount;
}

// Copies at most maxLength characters of `source` and writes a terminator after
// them, so the caller's buffer needs maxLength + 1 bytes.
void copyBounded(char* target, std::string_view source, std::size_t maxLength) {
    const std::size_t length = source.size() < maxLength ? source.size() : maxLength;
    std::memcpy(target, source.data(), length);
    target[length] = '\0';
}

// value × 12 truncated toward zero, in double precision. Values whose product does
// not fit 32 bits saturate and NaN gives 0, rather than leaving the result undefined.
std::int32_t semitonesFromParameter(float value) {
    const double semitones = std::trunc(static_cast<double>(value) * 12.0);
    if (std::isnan(semitones)) {
        return 0;
    }
    if (semitones >= static_cast<double>(std::numeric_limits<std::int32_t>::max())) {
        return std::numeric_limits<std::int32_t>::max();
    }
    if (semitones <= static_cast<double>(std::numeric_limits<std::int32_t>::min())) {
        return std::numeric_limits<std::int32_t>::min();
    }
    return static_cast<std::int32_t>(semitones);
}

// "%d" and "%f" without the process locale: a host may have chosen one whose
// decimal separator is a comma.
void formatInteger(std::int32_t value, char* text, std::size_t maxLength) {
    char buffer[16];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    copyBounded(text, std::string_view(buffer, static_cast<std::size_t>(result.ptr - buffer)),
                maxLength);
}

void formatFixed(float value, char* text, std::size_t maxLength) {
    char buffer[64];  // the longest float, FLT_MAX, needs 46 characters with six decimals
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, static_cast<double>(value),
                                      std::chars_format::fixed, 6);
    if (result.ec == std::errc{}) {
        copyBounded(text, std::string_view(buffer, static_cast<std::size_t>(result.ptr - buffer)),
                    maxLength);
    }
}

}  // namespace

SamplerEffect::SamplerEffect(audioMasterCallback hostCallback)
    : SamplerEffect(hostCallback, findPluginDirectory()) {}

SamplerEffect::SamplerEffect(audioMasterCallback hostCallback, const std::string& pluginDirectory)
    : ExtendedEffectBase(hostCallback, kProgramCount, kParameterCount) {
    // The programs start with their defaults (SampleSet's construction).
    if (hostCallback != nullptr) {
        setNumInputs(0);
        setNumOutputs(2);
        setCanReplacing(true);
        setIsSynth(true);
        setUniqueId(kUniqueId);
    }
    loadInstrument(pluginDirectory);
}

void SamplerEffect::loadInstrument(const std::string& pluginDirectory) {
    // Missing or bad files are reported here, while the host waits in the entry function.
    sampleSet_.loadSampleSet(pluginDirectory);

    eventQueue = std::make_unique<VstMidiEvent[]>(kInitialEventCapacity);
    eventCapacity = kInitialEventCapacity;
    eventCount = 0;
    nextEvent = 0;
    framesSinceEvents = 0;

    for (Voice& voice : voices) {
        voice = Voice{};
    }
    pitchBend = 0;
    effectMethod = 0.0f;
    effectNote = 0.0f;
    effectRange = 0.0f;
    expression = 100.0f / 127.0f;
    volume = 1.0f;
    pitchBendRange = 2;
    setProgram(0);
}

SamplerEffect::~SamplerEffect() = default;

void SamplerEffect::setParameter(std::int32_t index, float value) {
    switch (index) {
        case kVolume:
            volume = value;
            break;
        case kPitchBendRange:
            pitchBendRange = semitonesFromParameter(value);
            break;
        case kEffectMethod:
            effectMethod = value;
            break;
        case kEffectNote:
            effectNote = value;
            break;
        case kEffectRange:
            effectRange = value;
            applyPreparation();
            break;
        default:
            break;
    }
}

float SamplerEffect::getParameter(std::int32_t index) {
    switch (index) {
        case kVolume:
            return volume;
        case kPitchBendRange:
            return static_cast<float>(pitchBendRange.load() * (1.0 / 12.0));
        case kEffectMethod:
            return effectMethod;
        case kEffectNote:
            return effectNote;
        case kEffectRange:
            return effectRange;
        default:
            return 0.0f;
    }
}

std::int32_t SamplerEffect::getProgram() {
    return selectedProgram;
}

void SamplerEffect::setProgram(std::int32_t program) {
    if (program < 0 || program >= kProgramCount) {
        return;
    }
    std::lock_guard control(controlMutex);
    SampleSet::KeyMap keyMap;
    sampleSet_.computeKeyMap(program, keyMap);
    const SamplerProgram& record = sampleSet_.programs[static_cast<std::size_t>(program)];
    // Voices, pitch bend, expression and the effect parameters stay: sounding notes
    // go on, and read through the new key map from the next rendered frame.
    std::lock_guard render(renderMutex);
    sampleSet_.keyMap = keyMap;
    selectedProgram = program;
    volume = record.volume;
    pitchBendRange = record.pitchBendRange;
}

void SamplerEffect::setProgramName(char* name) {
    std::lock_guard control(controlMutex);
    sampleSet_.programs[static_cast<std::size_t>(selectedProgram.load())].setProgramName(name);
}

void SamplerEffect::getProgramName(char* name) {
    std::lock_guard control(controlMutex);
    copyBounded(name,
                sampleSet_.programs[static_cast<std::size_t>(selectedProgram.load())].programName,
                kProgramNameLength);
}

bool SamplerEffect::getProgramNameIndexed(std::int32_t category, std::int32_t index, char* text) {
    if (index < 0 || index >= kProgramCount) {
        return false;
    }
    std::lock_guard control(controlMutex);
    copyBounded(text, sampleSet_.programs[static_cast<std::size_t>(index)].programName,
                kProgramNameLength);
    return true;
}

void SamplerEffect::getParameterLabel(std::int32_t index, char* label) {
    if (isParameter(index)) {
        copyBounded(label, kParameterTexts[index].label, kParameterTextLength);
    }
}

void SamplerEffect::getParameterName(std::int32_t index, char* text) {
    if (isParameter(index)) {
        copyBounded(text, kParameterTexts[index].name, kParameterTextLength);
    }
}

void SamplerEffect::getParameterDisplay(std::int32_t index, char* text) {
    text[0] = '\0';
    switch (index) {
        case kVolume:
            dbToText(volume, text, kParameterTextLength);
            break;
        case kPitchBendRange:
            formatInteger(pitchBendRange, text, kDisplayTextLength);
            break;
        case kEffectMethod:
            formatFixed(effectMethod, text, kDisplayTextLength);
            break;
        case kEffectNote:
            formatFixed(effectNote, text, kDisplayTextLength);
            break;
        case kEffectRange:
            formatFixed(effectRange, text, kDisplayTextLength);
            break;
        default:
            break;
    }
}

bool SamplerEffect::getEffectName(char* name) {
    std::strcpy(name, kEffectName);
    return true;
}

bool SamplerEffect::getVendorString(char* text) {
    std::strcpy(text, kVendorName);
    return true;
}

bool SamplerEffect::getProductString(char* text) {
    std::strcpy(text, kEffectName);
    return true;
}

std::int32_t SamplerEffect::canDo(char* text) {
    if (text == nullptr) {
        return -1;
    }
    return std::strcmp(text, kCanDoReceiveVstEvents) == 0 ||
                   std::strcmp(text, kCanDoReceiveVstMidiEvent) == 0
               ? 1
               : -1;
}
