// The two callbacks a playback reports through.
#pragma once

#include "app/midi/music_event.h"

// Called for every due event before it is sent, with the index of the event in
// the played copy's track, the tick position and the event itself, which the
// callback may change; status 0 keeps it from the output device. Play also
// calls it once before the start, with no event. Runs on the timer thread
// (the announcement on the caller's).
using PlayEventCallback = void (*)(int eventIndex, int tickPosition, CMusicEvent* event);

// The song has ended (not called after a stop). Runs on the playback thread.
using PlayEndCallback = void (*)();
