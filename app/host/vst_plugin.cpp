#include "app/host/vst_plugin.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstddef>
#include <filesystem>
#include <system_error>

#include "app/host/host_callback.h"
#include "app/host/host_messages.h"
#include "app/platform/app_message.h"

namespace {

void report(const char* text) {
    showAppMessage(text, kHostMessageCaption);
}

std::string absolutePath(const std::string& path) {
    // dlopen searches the library path for a bare name; the plug-in is meant
    // to be the file at this path, nothing else.
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    return error ? path : absolute.string();
}

VstEntryProc findEntry(void* library) {
    for (const char* name : {"VSTPluginMain", "main"}) {
        if (void* symbol = dlsym(library, name)) {
            return reinterpret_cast<VstEntryProc>(symbol);
        }
    }
    return nullptr;
}

constexpr std::size_t kEventListHeaderWords = offsetof(VstEvents, events) / sizeof(intptr_t);

}  // namespace

CVstPlugin::CVstPlugin(float sampleRate, int32_t blockSize, int32_t maxEvents)
    : blockSize_(std::max(blockSize, 0)),
      sampleRate_(sampleRate),
      maxEvents_(std::max(maxEvents, 0)) {
    static_assert(offsetof(VstEvents, events) % sizeof(intptr_t) == 0);
    static_assert(sizeof(VstEvent*) == sizeof(intptr_t));
    pendingStorage_ = std::make_unique<intptr_t[]>(kEventListHeaderWords + maxEvents_);
}

CVstPlugin::~CVstPlugin() {
    if (library_ != nullptr) {
        unload();
    }
}

VstEvents* CVstPlugin::pendingEvents() const {
    return reinterpret_cast<VstEvents*>(pendingStorage_.get());
}

VstEvent** CVstPlugin::pendingList() const {
    return reinterpret_cast<VstEvent**>(pendingStorage_.get() + kEventListHeaderWords);
}

int32_t CVstPlugin::pendingEventCount() const {
    return pendingEvents()->numEvents;
}

intptr_t CVstPlugin::dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
    if (effect_ == nullptr || effect_->dispatcher == nullptr) {
        return 0;
    }
    return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
}

void CVstPlugin::releaseLibrary() {
    if (library_ != nullptr) {
        dlclose(library_);
        library_ = nullptr;
    }
}

bool CVstPlugin::load(const std::string& path) {
    if (library_ != nullptr) {
        unload();
    }
    library_ = dlopen(absolutePath(path).c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library_ == nullptr) {
        report(kMsgPluginLoadFailed);
        return false;
    }
    const VstEntryProc entry = findEntry(library_);
    if (entry == nullptr) {
        report(kMsgPluginEntryMissing);
        releaseLibrary();
        return false;
    }
    AEffect* effect = entry(&hostCallback);
    if (effect == nullptr) {
        report(kMsgInstanceFailed);
        releaseLibrary();
        return false;
    }
    if (effect->magic != kEffectMagic) {
        // Not a record we understand: nothing may be sent to it, not even a close.
        report(kMsgNotVstPlugin);
        releaseLibrary();
        return false;
    }
    effect_ = effect;

    dispatch(effOpen, 0, 0, nullptr, 0.0f);
    dispatch(effSetSampleRate, 0, 0, nullptr, sampleRate_);
    dispatch(effSetBlockSize, 0, blockSize_, nullptr, 0.0f);

    // Counts from a foreign record are clamped so that a bad one cannot make us
    // index with a negative size.
    numParams_ = std::max(effect_->numParams, 0);
    numPrograms_ = std::max(effect_->numPrograms, 0);
    numInputs_ = std::max(effect_->numInputs, 0);
    numOutputs_ = std::max(effect_->numOutputs, 0);

    inputs_.assign(numInputs_, std::vector<float>(blockSize_, 0.0f));
    outputs_.assign(numOutputs_, std::vector<float>(blockSize_, 0.0f));
    inputPointers_.clear();
    outputPointers_.clear();
    for (auto& buffer : inputs_) {
        inputPointers_.push_back(buffer.data());
    }
    for (auto& buffer : outputs_) {
        outputPointers_.push_back(buffer.data());
    }
    pendingEvents()->numEvents = 0;
    return true;
}

void CVstPlugin::unload() {
    inputPointers_.clear();
    outputPointers_.clear();
    inputs_.clear();
    outputs_.clear();
    if (effect_ != nullptr) {
        dispatch(effClose, 0, 0, nullptr, 0.0f);
        effect_ = nullptr;
    }
    releaseLibrary();
    pendingEvents()->numEvents = 0;
    numParams_ = numPrograms_ = numInputs_ = numOutputs_ = 0;
}

void CVstPlugin::addEvent(VstMidiEvent* event) {
    VstEvents* list = pendingEvents();
    if (event == nullptr || list->numEvents >= maxEvents_) {
        return;
    }
    pendingList()[list->numEvents++] = reinterpret_cast<VstEvent*>(event);
}

void CVstPlugin::flushEvents() {
    VstEvents* list = pendingEvents();
    if (effect_ == nullptr || list->numEvents <= 0) {
        return;
    }
    dispatch(effProcessEvents, 0, 0, list, 0.0f);
    list->numEvents = 0;
}

void CVstPlugin::clearEvents() {
    pendingEvents()->numEvents = 0;
}

void CVstPlugin::process(int32_t frames) {
    if (effect_ == nullptr || (effect_->flags & effFlagsCanReplacing) == 0 ||
        effect_->processReplacing == nullptr) {
        return;
    }
    frames = std::clamp(frames, 0, blockSize_);
    effect_->processReplacing(effect_, inputPointers_.empty() ? nullptr : inputPointers_.data(),
                              outputPointers_.empty() ? nullptr : outputPointers_.data(), frames);
}

void CVstPlugin::setParameter(int32_t index, float value) {
    if (effect_ == nullptr || effect_->setParameter == nullptr || index < 0 ||
        index >= numParams_) {
        return;
    }
    effect_->setParameter(effect_, index, value);
}

void CVstPlugin::setProgram(int32_t program) {
    dispatch(effSetProgram, 0, program, nullptr, 0.0f);
}

void CVstPlugin::resume() {
    dispatch(effMainsChanged, 0, 1, nullptr, 0.0f);
}

void CVstPlugin::suspend() {
    dispatch(effMainsChanged, 0, 0, nullptr, 0.0f);
}
