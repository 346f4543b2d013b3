// Compiled natively with the test suite and with -m32 on its own: the static
// checks in aeffect_layout.h hold for both layouts.
#include "plugin/vst/aeffect_layout.h"

#ifndef KORVANE_LAYOUT_ONLY
#include <gtest/gtest.h>

#include <string>

TEST(Layout, ConstantsOfTheContract) {
    EXPECT_EQ(sizeof(AEffect), sizeof(void*) == 8 ? 192u : 144u);
    EXPECT_EQ(sizeof(VstMidiEvent), 32u);
    // The magic's bytes read P, t, s, V in memory on a little-endian machine.
    const int32_t magic = kEffectMagic;
    const char* bytes = reinterpret_cast<const char*>(&magic);
    EXPECT_EQ(std::string(bytes, 4), "PtsV");
}
#endif
