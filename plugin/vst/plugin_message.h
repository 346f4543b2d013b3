// The plug-in's only way of telling the user something: a text and a caption.
// By default the report becomes one line on standard error; tests install a
// recorder in its place.
#pragma once

using PluginMessageHandler = void (*)(const char* text, const char* caption);

// Reports a message through the installed handler. Thread: any.
void showPluginMessage(const char* text, const char* caption);

// Installs a handler (null restores the default) and returns the previous one.
// Thread: any, but tests install before they start the code under test.
PluginMessageHandler setPluginMessageHandler(PluginMessageHandler handler);
