// The audio of one entry of the sample set: the data chunk of one RIFF/WAVE
// file exactly as stored, the format fields that say how to read it, and the
// pitch at which it was recorded.
//
// A WaveSample takes no lock. Whoever lets the render thread read a sample
// while another thread changes it must keep the two apart; the intended way is
// to load and rewrite a copy aside and swap() it in under the owner's lock.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

class WaveSample {
  public:
    WaveSample() = default;
    virtual ~WaveSample() = default;
    // Copies are deep: a treatment can start from a copy when a reload fails.
    WaveSample(const WaveSample& other);
    WaveSample& operator=(const WaveSample& other);
    WaveSample(WaveSample&& other) noexcept;
    WaveSample& operator=(WaveSample&& other) noexcept;

    // Exchanges everything with `other`; allocates nothing. Thread: any, with
    // both samples held by the caller.
    void swap(WaveSample& other) noexcept;

    // Reads the wave file at `path` (full path) into this sample; true on complete
    // success. An empty path answers false silently. A file that cannot be opened
    // as RIFF/WAVE reports "Wave file load failed." (caption "Error") and leaves
    // the sample as it was. A data chunk that the file holds only in part keeps
    // the bytes that are there (dataSize says how many) and answers false.
    // name, fileName and rootFrequency are not touched. Thread: not the render
    // thread (file I/O); never while another thread reads this sample.
    bool load(const std::string& path);

    // dataSize / blockAlign, or 0 when blockAlign is 0. Thread: any.
    std::uint32_t frameCount() const {
        return blockAlign > 0 ? dataSize / static_cast<std::uint32_t>(blockAlign) : 0;
    }

    // One value of frame `frame`: 16-bit data as stored (little-endian), any other
    // bit depth as unsigned bytes minus 128 (not scaled). Only the lowest bit of
    // `channel` counts; a mono sample ignores it. 0 outside the frames or the
    // data. Thread: any (the render thread reads through it).
    std::int16_t getSample(std::uint32_t frame, int channel) const;

    // Writes one value where getSample reads it; 8-bit data stores the low 8 bits
    // of value + 128. Does nothing outside the frames or the data. Thread: any,
    // never while another thread reads this sample.
    void putSample(std::uint32_t frame, std::int16_t value, int channel);

    // Replace the display name / the file name (relative to SampleData) with a
    // copy of `text`; null clears it. Thread: construction or UI.
    void setName(const char* text) { name = text ? text : ""; }
    void setFileName(const char* text) { fileName = text ? text : ""; }

    std::string name;            // display name, second column of samples.txt
    std::string fileName;        // first column of samples.txt; the key of programs.txt
    std::uint32_t dataSize = 0;  // bytes in `data`
    std::int32_t sampleRate = 44100;
    std::int32_t bitsPerSample = 16;
    std::int32_t channels = 1;
    std::int32_t blockAlign = 2;           // bytes per frame
    double rootFrequency = 440.0;          // Hz of the recorded pitch
    std::unique_ptr<std::uint8_t[]> data;  // the data chunk as stored; dataSize bytes

  private:
    // Byte offset of a value, or -1 when it lies outside the frames or the data.
    std::int64_t valueOffset(std::uint32_t frame, int channel) const;
};

inline std::int64_t WaveSample::valueOffset(std::uint32_t frame, int channel) const {
    if (frame >= frameCount() || data == nullptr) {
        return -1;
    }
    const std::uint64_t channelBit = static_cast<unsigned>(channel) & 1u;
    const std::uint64_t index = channels == 1 ? frame : 2ull * frame + channelBit;
    const std::uint64_t width = bitsPerSample == 16 ? 2 : 1;
    // The format is taken as the file states it, so a header whose block size
    // is too small for its channels and bit depth must not lead outside the data.
    if ((index + 1) * width > dataSize) {
        return -1;
    }
    return static_cast<std::int64_t>(index * width);
}

inline std::int16_t WaveSample::getSample(std::uint32_t frame, int channel) const {
    const std::int64_t offset = valueOffset(frame, channel);
    if (offset < 0) {
        return 0;
    }
    const std::uint8_t* bytes = data.get() + offset;
    if (bitsPerSample == 16) {
        return static_cast<std::int16_t>(static_cast<std::uint16_t>(bytes[0] | bytes[1] << 8));
    }
    return static_cast<std::int16_t>(bytes[0] - 128);
}

inline void WaveSample::putSample(std::uint32_t frame, std::int16_t value, int channel) {
    const std::int64_t offset = valueOffset(frame, channel);
    if (offset < 0) {
        return;
    }
    std::uint8_t* bytes = data.get() + offset;
    if (bitsPerSample == 16) {
        const auto bits = static_cast<std::uint16_t>(value);
        bytes[0] = static_cast<std::uint8_t>(bits & 0xFF);
        bytes[1] = static_cast<std::uint8_t>(bits >> 8);
    } else {
        bytes[0] = static_cast<std::uint8_t>((value + 128) & 0xFF);
    }
}
