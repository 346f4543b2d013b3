// Writes 16-bit PCM to a RIFF/WAVE file as it arrives; the sizes in the header
// are filled in by finish, so a finished file is valid whatever its length.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "app/platform/wave_format.h"

class WavFileWriter {
  public:
    WavFileWriter() = default;
    WavFileWriter(const WavFileWriter&) = delete;
    WavFileWriter& operator=(const WavFileWriter&) = delete;
    ~WavFileWriter();

    // Creates (or truncates) the file and writes a header with empty sizes.
    // Thread: one at a time.
    bool open(const std::string& path, const WaveFormat& format);
    // Appends frames of interleaved 16-bit samples. Data beyond what a RIFF
    // size field can describe is dropped so the file stays valid.
    // Thread: one at a time.
    bool append(const int16_t* samples, uint64_t frames);
    // Writes the sizes and closes the file. Thread: one at a time.
    bool finish();

    bool isOpen() const { return file_ != nullptr; }
    uint64_t dataBytes() const { return dataBytes_; }

  private:
    std::FILE* file_ = nullptr;
    WaveFormat format_{};
    uint64_t dataBytes_ = 0;
    bool failed_ = false;
};
