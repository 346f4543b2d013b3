// MIDI output through the ALSA sequencer with RtMidi. Device -1 is a virtual
// output port "KorvaneApp" that synthesizers can subscribe to; other numbers
// are the sequencer's output ports in RtMidi's order. Where the system has no
// sequencer at all, device -1 is the null output (as the default output always
// exists elsewhere) and other numbers find no device.
//
// Only the ALSA API is ever used: RtMidi's JACK output crashes when a port is
// opened without a running JACK server.
#pragma once

#include "app/platform/midi_output.h"

// The process's RtMidi system. Thread: any.
MidiOutputSystem& rtMidiOutputSystem();

// Whether the ALSA sequencer device can be opened on this machine.
// Thread: any.
bool alsaSequencerAvailable();
