// Reading the sample-set text files: lines, comma-separated fields and the
// text-to-number rules they use. Independent of the process locale, because a
// host program may have switched the decimal separator to a comma. The free
// functions keep no state and may run on any thread.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace sampletext {

// Longest piece of a line that one read takes, its line break included; a
// longer line is read as several lines.
constexpr std::size_t kMaxLineLength = 254;

// Reads lines from an open file. A CR LF pair counts as one line break; the
// line break is not part of the line; the text ends at a NUL byte.
// Thread: one thread at a time per object.
class LineReader {
  public:
    explicit LineReader(std::FILE* file) : file_(file) {}
    // The next line, or false at the end of the file.
    bool next(std::string& line);

  private:
    std::FILE* file_;
};

// The fields of a line: separated by commas, runs of commas count as one
// separator, empty fields are skipped, spaces are kept.
std::vector<std::string_view> splitFields(std::string_view line);

// Leading white space, an optional sign, decimal digits up to the first other
// character; no digits give 0. Values beyond 32 bits saturate.
std::int32_t textToInt(std::string_view text);

// Leading white space, an optional sign, a decimal number with an optional
// fraction and exponent, up to the first character that cannot continue it;
// no number gives 0.0.
double textToReal(std::string_view text);

// Joins a directory and a relative name with one '/' ("/" stays the root).
std::string joinPath(const std::string& directory, const std::string& name);

}  // namespace sampletext
