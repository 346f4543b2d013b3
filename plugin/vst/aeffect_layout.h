// Compile-time proof that the records have the layout hosts expect: the exact
// 32-bit offsets of the contract, or the natural 64-bit layout of Linux hosts.
#pragma once

#include <cstddef>

#include "plugin/vst/aeffect.h"

#define KORVANE_CHECK_OFFSET(record, field, at32, at64)                              \
    static_assert(offsetof(record, field) == (sizeof(void*) == 4 ? (at32) : (at64)), \
                  #record "::" #field " is misplaced")

KORVANE_CHECK_OFFSET(AEffect, magic, 0, 0);
KORVANE_CHECK_OFFSET(AEffect, dispatcher, 4, 8);
KORVANE_CHECK_OFFSET(AEffect, process, 8, 16);
KORVANE_CHECK_OFFSET(AEffect, setParameter, 12, 24);
KORVANE_CHECK_OFFSET(AEffect, getParameter, 16, 32);
KORVANE_CHECK_OFFSET(AEffect, numPrograms, 20, 40);
KORVANE_CHECK_OFFSET(AEffect, numParams, 24, 44);
KORVANE_CHECK_OFFSET(AEffect, numInputs, 28, 48);
KORVANE_CHECK_OFFSET(AEffect, numOutputs, 32, 52);
KORVANE_CHECK_OFFSET(AEffect, flags, 36, 56);
KORVANE_CHECK_OFFSET(AEffect, resvd1, 40, 64);
KORVANE_CHECK_OFFSET(AEffect, resvd2, 44, 72);
KORVANE_CHECK_OFFSET(AEffect, initialDelay, 48, 80);
KORVANE_CHECK_OFFSET(AEffect, realQualities, 52, 84);
KORVANE_CHECK_OFFSET(AEffect, offQualities, 56, 88);
KORVANE_CHECK_OFFSET(AEffect, ioRatio, 60, 92);
KORVANE_CHECK_OFFSET(AEffect, object, 64, 96);
KORVANE_CHECK_OFFSET(AEffect, user, 68, 104);
KORVANE_CHECK_OFFSET(AEffect, uniqueID, 72, 112);
KORVANE_CHECK_OFFSET(AEffect, version, 76, 116);
KORVANE_CHECK_OFFSET(AEffect, processReplacing, 80, 120);
KORVANE_CHECK_OFFSET(AEffect, processDoubleReplacing, 84, 128);
KORVANE_CHECK_OFFSET(AEffect, future, 88, 136);
static_assert(sizeof(AEffect) == (sizeof(void*) == 4 ? 144 : 192), "AEffect size");

KORVANE_CHECK_OFFSET(VstEvents, numEvents, 0, 0);
KORVANE_CHECK_OFFSET(VstEvents, reserved, 4, 8);
KORVANE_CHECK_OFFSET(VstEvents, events, 8, 16);

KORVANE_CHECK_OFFSET(VstEvent, type, 0, 0);
KORVANE_CHECK_OFFSET(VstEvent, byteSize, 4, 4);
KORVANE_CHECK_OFFSET(VstEvent, deltaFrames, 8, 8);
static_assert(sizeof(VstEvent) == 32, "VstEvent size");

KORVANE_CHECK_OFFSET(VstMidiEvent, type, 0, 0);
KORVANE_CHECK_OFFSET(VstMidiEvent, byteSize, 4, 4);
KORVANE_CHECK_OFFSET(VstMidiEvent, deltaFrames, 8, 8);
KORVANE_CHECK_OFFSET(VstMidiEvent, flags, 12, 12);
KORVANE_CHECK_OFFSET(VstMidiEvent, noteLength, 16, 16);
KORVANE_CHECK_OFFSET(VstMidiEvent, noteOffset, 20, 20);
KORVANE_CHECK_OFFSET(VstMidiEvent, midiData, 24, 24);
KORVANE_CHECK_OFFSET(VstMidiEvent, detune, 28, 28);
KORVANE_CHECK_OFFSET(VstMidiEvent, noteOffVelocity, 29, 29);
KORVANE_CHECK_OFFSET(VstMidiEvent, reserved1, 30, 30);
KORVANE_CHECK_OFFSET(VstMidiEvent, reserved2, 31, 31);
static_assert(sizeof(VstMidiEvent) == 32, "VstMidiEvent size");

static_assert(kEffectMagic == 0x56737450, "magic");
static_assert(kEffectIdentify == 0x4E764566, "identify answer");

#undef KORVANE_CHECK_OFFSET
