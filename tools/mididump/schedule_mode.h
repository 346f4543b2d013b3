// The --schedule view of korvane-mididump: the song played by the real player
// on the virtual timer into a recording MIDI output, one line per event
// callback, per message that reaches the device, and for the end.
#pragma once

#include <cstdio>

class CMidiFormat0Data;

// Plays the song as KorvaneApp would (Play with start mode 0) and writes, in
// time order:
//   cb MS INDEX TICK STATUS CHANNEL NOTE VELOCITY   per call of the event
//       callback (STATUS two hexadecimal digits; "-" in the fields the start
//       announcement, which has no event, lacks)
//   out MS BYTES   per message that reaches the device (hexadecimal, no spaces)
//   end MS         when the end callback runs
// MS is virtual milliseconds since Play. The event callback leaves every event
// as it is. Thread: the program's main thread (it drives the virtual time).
void WriteSchedule(const CMidiFormat0Data& song, std::FILE* out);
