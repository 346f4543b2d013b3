// What the fake instrument records, shared by the fake (built as small plug-in
// libraries by this test folder) and the tests, which reach it through the
// record's object pointer. The fake plays a known signal: left = parameter 0 +
// note level, right = parameter 1 + note level, where a note on sets the note
// level to velocity / 127 at the event's frame and a note off sets it to 0.
#pragma once

#include <cstdint>

#include "plugin/vst/aeffect.h"

struct FakeInstrumentState {
    static constexpr int kMaxOpcodes = 64;
    static constexpr int kMaxEvents = 4096;

    AEffect effect{};
    audioMasterCallback host = nullptr;

    int32_t opcodes[kMaxOpcodes]{};  // dispatcher requests in order
    int32_t opcodeCount = 0;
    float sampleRate = 0.0f;
    intptr_t blockSize = 0;
    intptr_t program = -1;
    intptr_t wantMidiAnswer = -1;  // the host's answer to audioMasterWantMidi
    int32_t setParameterCalls = 0;
    float params[2]{};

    // Every MIDI event received, in order, with the frame it was applied at
    // (frames rendered since the instance opened); -1 while not yet applied.
    VstMidiEvent received[kMaxEvents]{};
    int64_t appliedAt[kMaxEvents]{};
    int32_t receivedCount = 0;
    int32_t processEventsCalls = 0;
    int32_t batchStart = 0;  // first event of the current batch
    int32_t nextEvent = 0;   // next event of the batch to apply
    int64_t framesSinceEvents = 0;
    int64_t framesRendered = 0;

    float noteLevel = 0.0f;
    int32_t processCalls = 0;
    int32_t lastFrames = 0;
    bool lastInputsNull = false;
    bool lastOutputsNull = false;
    float lastInputSum = 0.0f;
};

inline FakeInstrumentState* fakeState(AEffect* effect) {
    return effect == nullptr ? nullptr : static_cast<FakeInstrumentState*>(effect->object);
}
