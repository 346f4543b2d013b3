// The state table of the player (reports under MDSS): what the events in front
// of a start position leave set (per channel the program, the pitch bend and
// the controllers; the tempo; the time signature), so that a run starting
// inside a song sounds as if it had played from the beginning.
#pragma once

#include <cstdint>

#include "app/midi/midi_track_data.h"

// Scans the events before `startTick`, sends what they leave set at once
// (through SendEvent, so a tempo takes effect), sets `eventIndex` to the first
// event at or after `startTick` and returns the ticks in front of that event.
// Thread: playback.
std::int32_t ChaseToTick(const CMidiTrackData& track, std::int32_t startTick,
                         std::int32_t& eventIndex);

// MDSS report. Thread: any.
void ReportStateTableError(std::uint32_t code);

inline constexpr std::uint32_t kStateTableBadTimeSignature = 0x37000002;
