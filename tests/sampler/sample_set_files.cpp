#include "tests/sampler/sample_set_files.h"

#include <unistd.h>

#include <atomic>
#include <cmath>
#include <fstream>
#include <stdexcept>

namespace samplertest {

namespace {

void appendLe16(std::string& out, std::uint16_t value) {
    out.push_back(static_cast<char>(value & 0xFF));
    out.push_back(static_cast<char>(value >> 8));
}

void appendLe32(std::string& out, std::uint32_t value) {
    appendLe16(out, static_cast<std::uint16_t>(value & 0xFFFF));
    appendLe16(out, static_cast<std::uint16_t>(value >> 16));
}

void writeBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!file) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

}  // namespace

SampleSetDir::SampleSetDir() {
    static std::atomic<int> counter{0};
    root_ = std::filesystem::temp_directory_path() /
            ("korvane-sampler-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    std::filesystem::remove_all(root_);
    std::filesystem::create_directories(root_ / "SampleData");
}

SampleSetDir::~SampleSetDir() {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
}

void SampleSetDir::writeWave(const std::string& name, const std::vector<std::int16_t>& values,
                             int channels) const {
    const auto dataBytes = static_cast<std::uint32_t>(values.size() * 2);
    const auto blockAlign = static_cast<std::uint16_t>(2 * channels);
    std::string bytes = "RIFF";
    appendLe32(bytes, 4 + 8 + 16 + 8 + dataBytes);
    bytes += "WAVEfmt ";
    appendLe32(bytes, 16);
    appendLe16(bytes, 1);  // PCM
    appendLe16(bytes, static_cast<std::uint16_t>(channels));
    appendLe32(bytes, 44100);
    appendLe32(bytes, 44100u * blockAlign);
    appendLe16(bytes, blockAlign);
    appendLe16(bytes, 16);
    bytes += "data";
    appendLe32(bytes, dataBytes);
    for (std::int16_t value : values) {
        appendLe16(bytes, static_cast<std::uint16_t>(value));
    }
    writeBytes(sampleData() / name, bytes);
}

void SampleSetDir::writeText(const std::string& name, const std::string& text) const {
    writeBytes(sampleData() / name, text);
}

std::vector<std::int16_t> constantValues(std::size_t count, std::int16_t value) {
    return std::vector<std::int16_t>(count, value);
}

std::vector<std::int16_t> rampValues(std::size_t count) {
    std::vector<std::int16_t> values(count);
    for (std::size_t i = 0; i < count; ++i) {
        values[i] = static_cast<std::int16_t>(i);
    }
    return values;
}

std::vector<std::int16_t> pianoLikeValues(std::size_t count, std::uint32_t seed) {
    std::vector<std::int16_t> values(count);
    std::uint32_t state = seed;
    for (std::size_t i = 0; i < count; ++i) {
        state = state * 1664525u + 1013904223u;
        const double t = static_cast<double>(i) / 44100.0;
        const double noise = static_cast<double>(state >> 16) / 65536.0 - 0.5;
        const double v = 20000.0 * std::sin(2.0 * M_PI * 440.0 * t) +
                         9000.0 * std::sin(2.0 * M_PI * 3520.7 * t) + 6000.0 * noise;
        values[i] =
            static_cast<std::int16_t>(std::lround(std::fmax(-32768.0, std::fmin(32767.0, v))));
    }
    return values;
}

}  // namespace samplertest
