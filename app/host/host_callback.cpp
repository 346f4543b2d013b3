#include "app/host/host_callback.h"

#include <chrono>
#include <cstring>
#include <thread>

namespace {

bool hostCanDo(const void* ptr) {
    if (ptr == nullptr) {
        return false;
    }
    const char* word = static_cast<const char*>(ptr);
    for (const char* known : {kCanDoSendVstEvents, kCanDoSendVstMidiEvent, kCanDoSupplyIdle}) {
        if (std::strcmp(word, known) == 0) {
            return true;
        }
    }
    return false;
}

}  // namespace

intptr_t hostCallback(AEffect* /*effect*/, int32_t opcode, int32_t /*index*/, intptr_t /*value*/,
                      void* ptr, float /*opt*/) {
    switch (opcode) {
        case audioMasterVersion:
            return kVstVersion;
        case audioMasterIdle:
            // A plug-in asks for idle time; give it a short pause.
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            return 0;
        case audioMasterCanDo:
            return hostCanDo(ptr) ? 1 : 0;
        case audioMasterGetLanguage:
            return kHostLanguageJapanese;
        default:
            // Time info, automation, MIDI wishes and every unknown request: no.
            return 0;
    }
}
