// A small instrument plug-in for the host tests. Variants are chosen at build
// time:
//   FAKE_ENTRY       0 = no entry function, 1 = VSTPluginMain and main, 2 = main only
//   FAKE_BAD_MAGIC   the record carries a wrong magic (and must never be called)
//   FAKE_NO_INSTANCE the entry function returns null
//   FAKE_INPUTS, FAKE_OUTPUTS, FAKE_FLAGS  the record's counts and flags
#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "tests/host/fake_instrument.h"

#ifndef FAKE_ENTRY
#define FAKE_ENTRY 1
#endif
#ifndef FAKE_INPUTS
#define FAKE_INPUTS 0
#endif
#ifndef FAKE_OUTPUTS
#define FAKE_OUTPUTS 2
#endif
#ifndef FAKE_FLAGS
#define FAKE_FLAGS (effFlagsCanReplacing | effFlagsIsSynth)
#endif

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

FakeInstrumentState* stateOf(AEffect* effect) {
    return fakeState(effect);
}

void applyEvent(FakeInstrumentState& s, int32_t index) {
    const VstMidiEvent& e = s.received[index];
    const int status = static_cast<unsigned char>(e.midiData[0]) & 0xF0;
    const int velocity = static_cast<unsigned char>(e.midiData[2]);
    if (status == 0x90 && velocity > 0) {
        s.noteLevel = static_cast<float>(velocity) / 127.0f;
    } else if (status == 0x80 || status == 0x90) {
        s.noteLevel = 0.0f;
    }
    s.appliedAt[index] = s.framesRendered;
}

intptr_t dispatcher(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                    float opt) {
#ifdef FAKE_BAD_MAGIC
    std::abort();  // the host must send nothing to a record it rejected
#endif
    FakeInstrumentState* s = stateOf(effect);
    if (s == nullptr) {
        return 0;
    }
    if (s->opcodeCount < FakeInstrumentState::kMaxOpcodes) {
        s->opcodes[s->opcodeCount++] = opcode;
    }
    switch (opcode) {
        case effClose:
            delete s;
            return 1;
        case effSetSampleRate:
            s->sampleRate = opt;
            return 0;
        case effSetBlockSize:
            s->blockSize = value;
            return 0;
        case effSetProgram:
            s->program = value;
            return 0;
        case effMainsChanged:
            if (value != 0) {
                s->wantMidiAnswer = s->host(effect, audioMasterWantMidi, 0, 1, nullptr, 0.0f);
            }
            return 0;
        case effProcessEvents: {
            const auto* list = static_cast<const VstEvents*>(ptr);
            ++s->processEventsCalls;
            s->batchStart = s->nextEvent = s->receivedCount;
            s->framesSinceEvents = 0;
            auto* const* events = reinterpret_cast<VstEvent* const*>(
                reinterpret_cast<const char*>(list) + offsetof(VstEvents, events));
            for (int32_t i = 0; i < list->numEvents; ++i) {
                if (events[i]->type != kVstMidiType ||
                    s->receivedCount >= FakeInstrumentState::kMaxEvents) {
                    continue;
                }
                std::memcpy(&s->received[s->receivedCount], events[i], sizeof(VstMidiEvent));
                s->appliedAt[s->receivedCount] = -1;
                ++s->receivedCount;
            }
            return 1;
        }
        default:
            return 0;
    }
}

void processReplacing(AEffect* effect, float** inputs, float** outputs, int32_t frames) {
    FakeInstrumentState& s = *stateOf(effect);
    ++s.processCalls;
    s.lastFrames = frames;
    s.lastInputsNull = inputs == nullptr;
    s.lastOutputsNull = outputs == nullptr;
    s.lastInputSum = 0.0f;
    for (int32_t c = 0; inputs != nullptr && c < FAKE_INPUTS; ++c) {
        for (int32_t i = 0; i < frames; ++i) {
            s.lastInputSum += inputs[c][i];
        }
    }
    for (int32_t i = 0; i < frames; ++i) {
        while (s.nextEvent < s.receivedCount &&
               s.received[s.nextEvent].deltaFrames <= s.framesSinceEvents) {
            applyEvent(s, s.nextEvent++);
        }
        for (int32_t c = 0; outputs != nullptr && c < FAKE_OUTPUTS; ++c) {
            outputs[c][i] = s.params[c % 2] + s.noteLevel;
        }
        ++s.framesSinceEvents;
        ++s.framesRendered;
    }
}

void process(AEffect*, float**, float**, int32_t) {}

void setParameter(AEffect* effect, int32_t index, float value) {
    FakeInstrumentState& s = *stateOf(effect);
    ++s.setParameterCalls;
    if (index >= 0 && index < 2) {
        s.params[index] = value;
    }
}

float getParameter(AEffect* effect, int32_t index) {
    FakeInstrumentState& s = *stateOf(effect);
    return index >= 0 && index < 2 ? s.params[index] : 0.0f;
}

AEffect* createInstance(audioMasterCallback host) {
    if (host == nullptr || host(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0) {
        return nullptr;
    }
    auto* s = new FakeInstrumentState;
    s->host = host;
    AEffect& e = s->effect;
    e.magic = kEffectMagic;
#ifdef FAKE_BAD_MAGIC
    e.magic = vstFourCharCode('N', 'o', 'p', 'e');
#endif
    e.dispatcher = &dispatcher;
    e.process = &process;
    e.setParameter = &setParameter;
    e.getParameter = &getParameter;
    e.numPrograms = 3;
    e.numParams = 2;
    e.numInputs = FAKE_INPUTS;
    e.numOutputs = FAKE_OUTPUTS;
    e.flags = FAKE_FLAGS;
    e.ioRatio = 1.0f;
    e.object = s;
    e.uniqueID = vstFourCharCode('F', 'a', 'k', 'e');
    e.version = 1;
    e.processReplacing = &processReplacing;
#ifdef FAKE_NO_INSTANCE
    delete s;  // as if the instrument could not be built
    return nullptr;
#else
    return &e;
#endif
}

}  // namespace

#if FAKE_ENTRY == 1
FAKE_EXPORT AEffect* VSTPluginMain(audioMasterCallback host) {
    return createInstance(host);
}
#endif
#if FAKE_ENTRY >= 1
// Exported under the name "main" as old hosts expect; the C++ name differs so
// that it is not taken for a program's main function.
FAKE_EXPORT AEffect* fakeMainEntry(audioMasterCallback host) __asm__("main");
FAKE_EXPORT AEffect* fakeMainEntry(audioMasterCallback host) {
    return createInstance(host);
}
#endif
#if FAKE_ENTRY == 0
// Something to export, so that the library is a plain library without an entry.
FAKE_EXPORT int fakeNotAnEntry() {
    return createInstance(nullptr) == nullptr ? 0 : 1;
}
#endif
