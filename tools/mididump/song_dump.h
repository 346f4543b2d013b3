// Text form of a song for korvane-mididump: a header line, then one line per
// event of the song's track.
#pragma once

#include <cstdio>

class CMidiFormat0Data;

// Writes "division D state S events N", then per event
// "index tick delta status channel note velocity duration subtype value length data"
// (tick = running sum of deltas, status two hexadecimal digits, data the event's
// bytes in hexadecimal or "-"). Thread: any (the song must not change meanwhile).
void WriteSongDump(const CMidiFormat0Data& song, std::FILE* out);
