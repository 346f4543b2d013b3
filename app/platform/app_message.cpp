#include "app/platform/app_message.h"

#include <cstdio>
#include <mutex>

namespace {

void writeToStandardError(const std::string& text, const std::string& caption) {
    std::fprintf(stderr, "KorvaneApp: %s: %s\n", caption.c_str(), text.c_str());
}

std::mutex handlerMutex;
AppMessageHandler& handlerSlot() {
    static AppMessageHandler handler = &writeToStandardError;
    return handler;
}

}  // namespace

void showAppMessage(const std::string& text, const std::string& caption) {
    AppMessageHandler handler;
    {
        std::lock_guard lock(handlerMutex);
        handler = handlerSlot();
    }
    // Called outside the lock: a modal box may take a long time, and its handler
    // may itself report.
    handler(text, caption);
}

AppMessageHandler setAppMessageHandler(AppMessageHandler handler) {
    std::lock_guard lock(handlerMutex);
    AppMessageHandler previous = std::move(handlerSlot());
    handlerSlot() = handler ? std::move(handler) : AppMessageHandler(&writeToStandardError);
    return previous;
}
