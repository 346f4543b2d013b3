// Number-to-text operations of EffectBase. Every text is cut to maxLen
// characters and terminated; buffers hold maxLen + 1 bytes.
#include <cmath>
#include <cstring>

#include "plugin/vst/effect_base.h"

namespace {

void copyCut(char* text, const char* source, int32_t maxLen) {
    if (maxLen < 0) {
        return;
    }
    std::strncpy(text, source, static_cast<size_t>(maxLen));
    text[maxLen] = '\0';
}

}  // namespace

void EffectBase::dbToText(float value, char* text, int32_t maxLen) {
    if (value <= 0.0f) {
        copyCut(text, "-oo", maxLen);
    } else {
        floatToText(20.0 * std::log10(static_cast<double>(value)), text, maxLen);
    }
}

void EffectBase::hzToText(float frames, char* text, int32_t maxLen) {
    floatToText(frames == 0.0f ? 0.0 : static_cast<double>(getSampleRate()) / frames, text, maxLen);
}

void EffectBase::msToText(float frames, char* text, int32_t maxLen) {
    floatToText(static_cast<double>(frames) * 1000.0 / getSampleRate(), text, maxLen);
}

// An eight-character fixed-point text: as many integer digits as there are,
// then fraction digits up to eight characters in all, cut rather than rounded.
void EffectBase::floatToText(double value, char* text, int32_t maxLen) {
    if (maxLen < 0) {
        return;
    }
    constexpr int kWidth = 8;
    const double v = std::fabs(value);
    const bool negative = value < 0.0;
    if ((negative && v > 9999999.0) || (!negative && v > 99999999.0)) {
        copyCut(text, "Huge!", maxLen);
        return;
    }

    // Built right to left. Every integer digit is kept, even where it leaves no
    // room for a fraction: dropping leading digits would show a wrong number.
    char scratch[24];
    char* front = scratch + sizeof(scratch) - 1;
    *front = '\0';
    *--front = '.';
    int count = negative ? 1 : 0;
    double i = std::floor(v);
    *--front = static_cast<char>('0' + static_cast<int>(std::fmod(i, 10.0)));
    i *= 0.1;
    count += 2;
    while (i >= 1.0) {
        *--front = static_cast<char>('0' + static_cast<int>(std::fmod(i, 10.0)));
        ++count;
        i *= 0.1;
    }
    if (negative) {
        *--front = '-';
    }
    copyCut(text, front, maxLen);
    if (count >= kWidth) {
        return;
    }

    const int digits = kWidth - count;
    char fraction[kWidth + 1];
    fraction[digits] = '\0';
    double m = std::fmod(v, 1.0) * std::pow(10.0, digits);
    for (int d = digits - 1; d >= 0; --d) {
        if (m > 0.0) {
            fraction[d] = static_cast<char>('0' + static_cast<int>(std::fmod(m, 10.0)));
            m *= 0.1;
        } else {
            fraction[d] = '0';
        }
    }
    // Appending never writes past the buffer, whatever part of it the integer
    // digits already fill.
    const size_t used = std::strlen(text);
    std::strncat(text, fraction, static_cast<size_t>(maxLen) - used);
}

void EffectBase::intToText(int32_t value, char* text, int32_t maxLen) {
    if (value >= 100000000) {
        copyCut(text, "Huge!", maxLen);
        return;
    }
    char scratch[16];
    char* front = scratch + sizeof(scratch) - 1;
    *front = '\0';
    // Widened so that the magnitude of the most negative value is representable.
    int64_t magnitude = value < 0 ? -static_cast<int64_t>(value) : value;
    do {
        *--front = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude > 0);
    if (value < 0) {
        *--front = '-';
    }
    copyCut(text, front, maxLen);
}
