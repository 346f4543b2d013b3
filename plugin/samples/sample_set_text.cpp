#include "plugin/samples/sample_set_text.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace sampletext {

namespace {

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

std::size_t skipSpace(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && isSpace(text[i])) {
        ++i;
    }
    return i;
}

}  // namespace

bool LineReader::next(std::string& line) {
    line.clear();
    if (file_ == nullptr) {
        return false;
    }
    bool readAny = false;
    // The line break counts towards the length, as it does for a fixed buffer.
    while (line.size() < kMaxLineLength) {
        int c = std::fgetc(file_);
        if (c == EOF) {
            break;
        }
        readAny = true;
        if (c == '\r') {
            const int following = std::fgetc(file_);
            if (following == '\n') {
                break;
            }
            if (following != EOF) {
                std::ungetc(following, file_);
            }
        } else if (c == '\n') {
            break;
        }
        line.push_back(static_cast<char>(c));
    }
    if (!readAny) {
        return false;
    }
    // A stray CR before the end of the file is a line break of a damaged CR LF.
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    const std::size_t nul = line.find('\0');
    if (nul != std::string::npos) {
        line.resize(nul);
    }
    return true;
}

std::vector<std::string_view> splitFields(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    while (start < line.size()) {
        const std::size_t comma = line.find(',', start);
        const std::size_t end = comma == std::string_view::npos ? line.size() : comma;
        if (end > start) {
            fields.push_back(line.substr(start, end - start));
        }
        start = end + 1;
    }
    return fields;
}

std::int32_t textToInt(std::string_view text) {
    std::size_t i = skipSpace(text);
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    std::int64_t value = 0;
    constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    for (; i < text.size() && isDigit(text[i]); ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > kLimit) {
            value = kLimit;
        }
    }
    if (negative) {
        value = -value;
    }
    if (value > std::numeric_limits<std::int32_t>::max()) {
        value = std::numeric_limits<std::int32_t>::max();
    }
    return static_cast<std::int32_t>(value);
}

double textToReal(std::string_view text) {
    std::size_t i = skipSpace(text);
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    const std::size_t numberStart = i;
    std::size_t digits = 0;
    // Decimal position of the first significant digit, to tell an overflow from
    // an underflow when the value does not fit a double.
    long magnitude = 0;
    bool seenSignificant = false;
    for (; i < text.size() && isDigit(text[i]); ++i, ++digits) {
        if (text[i] != '0') {
            seenSignificant = true;
        }
        if (seenSignificant) {
            ++magnitude;
        }
    }
    if (i < text.size() && text[i] == '.') {
        ++i;
        for (; i < text.size() && isDigit(text[i]); ++i, ++digits) {
            if (!seenSignificant) {
                if (text[i] != '0') {
                    seenSignificant = true;
                } else {
                    --magnitude;
                }
            }
        }
    }
    if (digits == 0) {
        return 0.0;
    }
    if (i + 1 < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t j = i + 1;
        bool negativeExponent = false;
        if (text[j] == '+' || text[j] == '-') {
            negativeExponent = text[j] == '-';
            ++j;
        }
        if (j < text.size() && isDigit(text[j])) {
            long exponent = 0;
            for (; j < text.size() && isDigit(text[j]); ++j) {
                exponent = exponent < 100000 ? exponent * 10 + (text[j] - '0') : exponent;
            }
            magnitude += negativeExponent ? -exponent : exponent;
            i = j;
        }
    }
    double value = 0.0;
    const auto result = std::from_chars(text.data() + numberStart, text.data() + i, value,
                                        std::chars_format::general);
    if (result.ec == std::errc::result_out_of_range) {
        value = magnitude > 0 ? HUGE_VAL : 0.0;
    } else if (result.ec != std::errc()) {
        value = 0.0;
    }
    return negative ? -value : value;
}

std::string joinPath(const std::string& directory, const std::string& name) {
    if (!directory.empty() && directory.back() == '/') {
        return directory + name;
    }
    return directory + "/" + name;
}

}  // namespace sampletext
