// The four preparations of a key's sample. Each reads the first dataSize / 2
// values of channel 0 into a working copy W, computes every output value from W
// alone and writes the low 16 bits of each back to channel 0 (nothing is
// clamped). For a 16-bit mono sample that is the whole recording; other formats
// are treated the same way, value by value, as far as their frames reach.
//
// All four allocate and may run a filter: never call them on the render thread,
// nor on a sample the render thread reads.
#pragma once

#include "plugin/samples/wave_sample.h"

// Effect Method values, compared for exact equality; anything else is none.
enum class PreparationMethod { kNone = 0, kScrew = 1, kBolt = 2, kRubber = 3, kReverse = 4 };

// The method that an Effect Method parameter value names.
PreparationMethod preparationMethodFromParameter(float value);

// The recording sped up `range` times at half level over a fast-dying attack.
void prepareScrew(WaveSample& sample, float range);
// The 2 kHz to 20 kHz band, sped up `range` times and doubled (overflow wraps).
void prepareBolt(WaveSample& sample, float range);
// The 100 Hz to 500 Hz band mixed with two slowed-down copies of itself, held for
// range × 2000 values and faded out over as many.
void prepareRubber(WaveSample& sample, float range);
// The recording backwards.
void prepareReverse(WaveSample& sample);

// Runs the treatment of `method` (none does nothing).
void applyPreparationMethod(WaveSample& sample, PreparationMethod method, float range);
