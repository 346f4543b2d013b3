#include "plugin/vst/plugin_message.h"

#include <atomic>
#include <cstdio>

namespace {

void writeToStandardError(const char* text, const char* caption) {
    std::fprintf(stderr, "Korvane: %s: %s\n", caption ? caption : "", text ? text : "");
}

std::atomic<PluginMessageHandler> currentHandler{&writeToStandardError};

}  // namespace

void showPluginMessage(const char* text, const char* caption) {
    currentHandler.load()(text ? text : "", caption ? caption : "");
}

PluginMessageHandler setPluginMessageHandler(PluginMessageHandler handler) {
    return currentHandler.exchange(handler ? handler : &writeToStandardError);
}
