// The editor interface an effect may own. This instrument has no editor, but
// the base classes route the editor requests here when one is attached.
#pragma once

#include <cstdint>

struct EditorKey {
    int32_t character;
    uint8_t virtualKey;
    int32_t modifiers;
};

class EffectEditor {
  public:
    virtual ~EffectEditor() = default;
    // All called on the host's UI thread.
    virtual bool getRect(void** rect) = 0;
    virtual bool open(void* window) = 0;
    virtual void close() = 0;
    virtual void idle() = 0;
    virtual bool onKeyDown(const EditorKey& key) = 0;
    virtual bool onKeyUp(const EditorKey& key) = 0;
    virtual bool setKnobMode(int32_t mode) = 0;
};
