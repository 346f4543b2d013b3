// The library's only exports: the entry function a VST 2 host looks up, under
// both of the names hosts use for it.
#include <new>

#include "plugin/sampler/sampler_effect.h"

namespace {

AEffect* createInstrument(audioMasterCallback host) {
    // The host must answer audioMasterVersion before anything is built.
    if (host == nullptr || host(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0) {
        return nullptr;
    }
    try {
        return (new SamplerEffect(host))->getAEffect();
    } catch (...) {
        return nullptr;  // out of memory: no instance, and nothing crosses into the host
    }
}

}  // namespace

extern "C" __attribute__((visibility("default"))) AEffect* VSTPluginMain(audioMasterCallback host) {
    return createInstrument(host);
}

// Older hosts look for "main". A C++ function cannot carry that name with this
// signature, so the symbol is named through an assembler label.
extern "C" __attribute__((visibility("default"))) AEffect* legacyPluginMain(
    audioMasterCallback host) __asm__("main");

AEffect* legacyPluginMain(audioMasterCallback host) {
    return createInstrument(host);
}
