#include "app/platform/wav_file_writer.h"

#include <algorithm>
#include <array>

namespace {

constexpr uint64_t kHeaderBytes = 44;
// The RIFF size (file size - 8) must fit in 32 bits.
constexpr uint64_t kMaxDataBytes = 0xFFFFFFFFull - (kHeaderBytes - 8);

void put16(unsigned char* p, uint32_t v) {
    p[0] = static_cast<unsigned char>(v & 0xFF);
    p[1] = static_cast<unsigned char>((v >> 8) & 0xFF);
}

void put32(unsigned char* p, uint32_t v) {
    put16(p, v & 0xFFFF);
    put16(p + 2, v >> 16);
}

std::array<unsigned char, kHeaderBytes> makeHeader(const WaveFormat& f, uint32_t dataBytes) {
    std::array<unsigned char, kHeaderBytes> h{};
    const char riff[] = "RIFF";
    const char wave[] = "WAVEfmt ";
    const char data[] = "data";
    for (int i = 0; i < 4; ++i) {
        h[i] = static_cast<unsigned char>(riff[i]);
        h[36 + i] = static_cast<unsigned char>(data[i]);
    }
    for (int i = 0; i < 8; ++i) {
        h[8 + i] = static_cast<unsigned char>(wave[i]);
    }
    put32(&h[4], static_cast<uint32_t>(dataBytes + kHeaderBytes - 8));
    put32(&h[16], 16);
    put16(&h[20], f.formatTag);
    put16(&h[22], f.channels);
    put32(&h[24], f.samplesPerSec);
    put32(&h[28], f.samplesPerSec * f.blockAlign);
    put16(&h[32], f.blockAlign);
    put16(&h[34], f.bitsPerSample);
    put32(&h[40], dataBytes);
    return h;
}

}  // namespace

WavFileWriter::~WavFileWriter() {
    finish();
}

bool WavFileWriter::open(const std::string& path, const WaveFormat& format) {
    finish();
    file_ = std::fopen(path.c_str(), "wb");
    if (file_ == nullptr) {
        return false;
    }
    format_ = format;
    dataBytes_ = 0;
    failed_ = false;
    const auto header = makeHeader(format_, 0);
    if (std::fwrite(header.data(), 1, header.size(), file_) != header.size()) {
        std::fclose(file_);
        file_ = nullptr;
        return false;
    }
    return true;
}

bool WavFileWriter::append(const int16_t* samples, uint64_t frames) {
    if (file_ == nullptr || failed_) {
        return false;
    }
    const uint64_t frameBytes = format_.blockAlign;
    uint64_t room = (kMaxDataBytes - dataBytes_) / frameBytes;
    if (frames > room) {
        frames = room;
    }
    const uint64_t count = frames * format_.channels;
    // Little-endian on disk whatever the machine.
    unsigned char chunk[4096];
    uint64_t done = 0;
    while (done < count) {
        const uint64_t n = std::min<uint64_t>(count - done, sizeof(chunk) / 2);
        for (uint64_t i = 0; i < n; ++i) {
            put16(&chunk[2 * i], static_cast<uint16_t>(samples[done + i]));
        }
        if (std::fwrite(chunk, 2, n, file_) != n) {
            failed_ = true;
            return false;
        }
        done += n;
    }
    dataBytes_ += frames * frameBytes;
    return true;
}

bool WavFileWriter::finish() {
    if (file_ == nullptr) {
        return true;
    }
    bool ok = !failed_;
    const auto header = makeHeader(format_, static_cast<uint32_t>(dataBytes_));
    if (std::fseek(file_, 0, SEEK_SET) != 0 ||
        std::fwrite(header.data(), 1, header.size(), file_) != header.size()) {
        ok = false;
    }
    if (std::fclose(file_) != 0) {
        ok = false;
    }
    file_ = nullptr;
    return ok;
}
