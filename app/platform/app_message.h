// The application's message box: a text and a caption, one OK button. The
// desktop program installs a handler that shows a modal box (and marshals to
// the UI thread); tools keep the default, one line on standard error; tests
// install a recorder.
#pragma once

#include <functional>
#include <string>

using AppMessageHandler = std::function<void(const std::string& text, const std::string& caption)>;

// Shows a message and returns when the user (or the handler) has dismissed it.
// Thread: any.
void showAppMessage(const std::string& text, const std::string& caption);

// Installs a handler (an empty one restores the default) and returns the previous
// one. Thread: any; install before the code that reports starts.
AppMessageHandler setAppMessageHandler(AppMessageHandler handler);
