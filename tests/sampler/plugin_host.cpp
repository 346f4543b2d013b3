#include "tests/sampler/plugin_host.h"

#include <dlfcn.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <stdexcept>

namespace samplertest {

HostState& hostState() {
    static HostState state;
    return state;
}

std::intptr_t testHostCallback(AEffect* effect, std::int32_t opcode, std::int32_t index,
                               std::intptr_t value, void* ptr, float opt) {
    HostState& state = hostState();
    switch (opcode) {
        case audioMasterVersion:
            ++state.versionRequests;
            return state.versionAnswer;
        case audioMasterWantMidi:
            ++state.wantMidiRequests;
            state.lastWantMidiValue = value;
            return 0;
        default:
            return 0;
    }
}

PluginLibrary::PluginLibrary(const SampleSetDir& directory) {
    const std::filesystem::path copy = directory.root() / "Korvane.so";
    std::filesystem::copy_file(KORVANE_PLUGIN_PATH, copy,
                               std::filesystem::copy_options::overwrite_existing);
    handle_ = dlopen(copy.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) {
        throw std::runtime_error(std::string("dlopen failed: ") + dlerror());
    }
}

PluginLibrary::~PluginLibrary() {
    if (handle_ != nullptr) {
        dlclose(handle_);
    }
}

VstEntryProc PluginLibrary::entry(const char* name) const {
    return reinterpret_cast<VstEntryProc>(dlsym(handle_, name));
}

Instrument::Instrument(const PluginLibrary& library, const char* entryName) {
    VstEntryProc entry = library.entry(entryName);
    if (entry == nullptr) {
        throw std::runtime_error(std::string("no entry function ") + entryName);
    }
    effect_ = entry(&testHostCallback);
    if (effect_ == nullptr || effect_->magic != kEffectMagic) {
        throw std::runtime_error("the entry function gave no instrument");
    }
    dispatch(effOpen);
    dispatch(effSetSampleRate, 0, 0, nullptr, 44100.0f);
    dispatch(effSetBlockSize, 0, 512);
    dispatch(effSetProgram, 0, 0);
    dispatch(effMainsChanged, 0, 1);
}

Instrument::~Instrument() {
    dispatch(effMainsChanged, 0, 0);
    dispatch(effClose);
}

std::intptr_t Instrument::dispatch(std::int32_t opcode, std::int32_t index, std::intptr_t value,
                                   void* ptr, float opt) {
    return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
}

std::intptr_t Instrument::send(const std::vector<MidiMessage>& messages) {
    std::vector<VstMidiEvent> records(messages.size());
    std::vector<unsigned char> list(sizeof(VstEvents) + messages.size() * sizeof(VstEvent*));
    auto* events = reinterpret_cast<VstEvents*>(list.data());
    events->numEvents = static_cast<std::int32_t>(messages.size());
    events->reserved = 0;
    for (std::size_t i = 0; i < messages.size(); ++i) {
        VstMidiEvent& record = records[i];
        std::memset(&record, 0, sizeof record);
        record.type = kVstMidiType;
        record.byteSize = sizeof(VstMidiEvent);
        record.deltaFrames = messages[i].deltaFrames;
        record.midiData[0] = static_cast<char>(messages[i].status);
        record.midiData[1] = static_cast<char>(messages[i].data1);
        record.midiData[2] = static_cast<char>(messages[i].data2);
        events->events[i] = reinterpret_cast<VstEvent*>(&record);
    }
    const std::intptr_t answer = dispatch(effProcessEvents, 0, 0, events);
    // The plug-in keeps copies: spoil the originals to prove it.
    for (VstMidiEvent& record : records) {
        std::memset(&record, 0xEE, sizeof record);
    }
    return answer;
}

Stereo Instrument::render(std::int32_t frames) {
    Stereo out{std::vector<float>(static_cast<std::size_t>(frames), 123.0f),
               std::vector<float>(static_cast<std::size_t>(frames), -321.0f)};
    float* buffers[2] = {out.left.data(), out.right.data()};
    effect_->processReplacing(effect_, nullptr, buffers, frames);
    return out;
}

void Instrument::setParameter(std::int32_t index, float value) {
    effect_->setParameter(effect_, index, value);
}

float Instrument::getParameter(std::int32_t index) {
    return effect_->getParameter(effect_, index);
}

std::string Instrument::parameterName(std::int32_t index) {
    char text[64] = {};
    dispatch(effGetParamName, index, 0, text);
    return text;
}

std::string Instrument::parameterLabel(std::int32_t index) {
    char text[64] = {};
    dispatch(effGetParamLabel, index, 0, text);
    return text;
}

std::string Instrument::parameterDisplay(std::int32_t index) {
    char text[64] = {};
    dispatch(effGetParamDisplay, index, 0, text);
    return text;
}

std::string Instrument::programName() {
    char text[64] = {};
    dispatch(effGetProgramName, 0, 0, text);
    return text;
}

std::vector<std::int32_t> Instrument::play(std::int32_t key, std::int32_t frames, int channel) {
    send({{0, 0xB0, 11, 127}, {0, 0x90, static_cast<std::uint8_t>(key), 127}});
    const Stereo out = render(frames);
    send({{0, 0xB0, 120, 0}});
    render(1);
    const std::vector<float>& buffer = channel == 0 ? out.left : out.right;
    std::vector<std::int32_t> values(buffer.size());
    for (std::size_t i = 0; i < buffer.size(); ++i) {
        values[i] = static_cast<std::int32_t>(std::lround(buffer[i] * 32768.0));
    }
    return values;
}

void prepare(Instrument& instrument, float method, float note, float range) {
    instrument.setParameter(2, method);
    instrument.setParameter(3, note);
    instrument.setParameter(4, range);
}

}  // namespace samplertest
