// Small sample sets written by the tests: 16-bit PCM wave files and the two
// text files, in a temporary directory of their own.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace samplertest {

// A fresh directory under the system's temporary directory with an empty
// SampleData folder inside; removed with the object.
class SampleSetDir {
  public:
    SampleSetDir();
    ~SampleSetDir();
    SampleSetDir(const SampleSetDir&) = delete;
    SampleSetDir& operator=(const SampleSetDir&) = delete;

    // The directory the plug-in lives in.
    const std::filesystem::path& root() const { return root_; }
    std::filesystem::path sampleData() const { return root_ / "SampleData"; }

    // SampleData/<name>: a 16-bit PCM file at 44100 Hz; `values` are interleaved
    // when channels is 2.
    void writeWave(const std::string& name, const std::vector<std::int16_t>& values,
                   int channels = 1) const;
    // SampleData/<name> with the text as given.
    void writeText(const std::string& name, const std::string& text) const;

  private:
    std::filesystem::path root_;
};

// `count` copies of `value`.
std::vector<std::int16_t> constantValues(std::size_t count, std::int16_t value);
// value(i) = i, for a read position that can be read back from the output.
std::vector<std::int16_t> rampValues(std::size_t count);
// A deterministic full-range signal: two detuned partials and a little noise.
std::vector<std::int16_t> pianoLikeValues(std::size_t count, std::uint32_t seed = 1);

}  // namespace samplertest
