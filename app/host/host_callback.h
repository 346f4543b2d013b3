// The host's answer to a plug-in's requests (its audioMasterCallback). One
// stateless function for every loaded instance; it never looks at the effect,
// so it also answers the entry function's first request with a null effect.
#pragma once

#include <cstdint>

#include "plugin/vst/aeffect.h"

// The language number that the host reports (Japanese).
constexpr intptr_t kHostLanguageJapanese = 6;

// Thread: any (the loading thread, the UI thread, the render thread).
intptr_t hostCallback(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                      float opt);
