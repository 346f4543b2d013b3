// Helpers for the sample library tests: RIFF/WAVE files built byte by byte, a
// temporary directory, and a recorder of the plug-in's messages.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

using Bytes = std::vector<std::uint8_t>;

inline void appendLe16(Bytes& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v & 0xFF));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

inline void appendLe32(Bytes& out, std::uint32_t v) {
    appendLe16(out, static_cast<std::uint16_t>(v & 0xFFFF));
    appendLe16(out, static_cast<std::uint16_t>(v >> 16));
}

inline void appendId(Bytes& out, const char* id) {
    out.insert(out.end(), id, id + 4);
}

// One chunk with its header and pad byte; `declaredSize` overrides the size field.
inline Bytes chunk(const char* id, const Bytes& payload, long declaredSize = -1) {
    Bytes out;
    appendId(out, id);
    appendLe32(out, static_cast<std::uint32_t>(declaredSize >= 0 ? declaredSize : payload.size()));
    out.insert(out.end(), payload.begin(), payload.end());
    if (payload.size() % 2 != 0) {
        out.push_back(0);
    }
    return out;
}

// A RIFF chunk of the given form type holding `chunks` in order.
inline Bytes riffForm(const char* formType, const std::vector<Bytes>& chunks) {
    Bytes body;
    appendId(body, formType);
    for (const Bytes& c : chunks) {
        body.insert(body.end(), c.begin(), c.end());
    }
    return chunk("RIFF", body);
}

// The payload of a "fmt " chunk: the 16 PCM bytes, then `extra` (cbSize and beyond).
inline Bytes fmtPayload(std::uint16_t channels, std::uint32_t rate, std::uint16_t bits,
                        std::uint16_t blockAlign, const Bytes& extra = {}) {
    Bytes out;
    appendLe16(out, 1);
    appendLe16(out, channels);
    appendLe32(out, rate);
    appendLe32(out, rate * blockAlign);
    appendLe16(out, blockAlign);
    appendLe16(out, bits);
    out.insert(out.end(), extra.begin(), extra.end());
    return out;
}

inline Bytes pcm16(const std::vector<std::int16_t>& values) {
    Bytes out;
    for (std::int16_t v : values) {
        appendLe16(out, static_cast<std::uint16_t>(v));
    }
    return out;
}

// A plain 16-bit PCM file.
inline Bytes wav16(std::uint16_t channels, const std::vector<std::int16_t>& values,
                   std::uint32_t rate = 44100) {
    return riffForm(
        "WAVE",
        {chunk("fmt ", fmtPayload(channels, rate, 16, static_cast<std::uint16_t>(2 * channels))),
         chunk("data", pcm16(values))});
}

void writeFile(const std::filesystem::path& path, const Bytes& bytes);
void writeText(const std::filesystem::path& path, const std::string& text);

// A fresh directory under the system's temporary directory, removed with the object.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path path_;
};

// Records every plug-in message while it exists.
class MessageRecorder {
  public:
    MessageRecorder();
    ~MessageRecorder();
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;
    // (text, caption) in the order shown.
    const std::vector<std::pair<std::string, std::string>>& messages() const;
    void clear();
};

}  // namespace testsupport
