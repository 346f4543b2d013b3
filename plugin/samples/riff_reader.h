// A small reader of RIFF chunk files. It walks chunks the way the classic
// multimedia file functions do (find a RIFF form from the start of the file,
// search forward for a chunk inside a parent, leave a chunk past its pad byte)
// and answers with the same numeric error codes, so callers can report them.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace riff {

// Error codes, numerically those of the classic multimedia file functions.
constexpr unsigned kOk = 0;
constexpr unsigned kFileNotFound = 257;
constexpr unsigned kCannotOpen = 259;
constexpr unsigned kCannotClose = 260;
constexpr unsigned kCannotRead = 261;
constexpr unsigned kCannotSeek = 263;
constexpr unsigned kChunkNotFound = 265;

// Packs a four-character code with its first character in the lowest byte, as
// the code is stored in the file.
constexpr std::uint32_t fourCc(const char (&text)[5]) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(text[0])) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(text[1])) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(text[2])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(text[3])) << 24;
}

// Descriptor of one chunk.
struct ChunkInfo {
    std::uint32_t chunkId = 0;
    std::uint32_t chunkSize = 0;
    std::uint32_t formType = 0;    // RIFF and LIST chunks only
    std::uint64_t dataOffset = 0;  // first byte after the chunk's id and size
};

// One open file. Not copyable; closes the file on destruction.
// Thread: one thread at a time per object.
class File {
  public:
    File() = default;
    ~File();
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    // Opens a regular file for reading: kFileNotFound when it does not exist,
    // kCannotOpen for any other failure or when this object already has a file.
    unsigned open(const std::string& path);
    bool isOpen() const { return file_ != nullptr; }

    // From the current position, finds the top-level RIFF chunk of the given form
    // type, skipping other chunks, and positions the file after its form type.
    unsigned findRiff(std::uint32_t formType, ChunkInfo& out);

    // From the current position, searches forward inside `parent` for the chunk
    // with the given id and positions the file at its first data byte.
    unsigned findChunk(std::uint32_t chunkId, const ChunkInfo& parent, ChunkInfo& out);

    // Positions the file after the end of `chunk`, its pad byte included.
    unsigned ascend(const ChunkInfo& chunk);

    // Reads up to `count` bytes from the current position; answers the number read.
    std::size_t read(void* buffer, std::size_t count);

    // Bytes between the current position and the end of the file.
    std::uint64_t bytesRemaining();

    // Closes the file: 0 on success or when nothing is open, else kCannotClose.
    unsigned close();

  private:
    unsigned search(bool wantRiff, std::uint32_t wanted, std::uint64_t searchEnd, bool bounded,
                    ChunkInfo& out);
    bool seekTo(std::uint64_t offset);
    std::uint64_t position();

    std::FILE* file_ = nullptr;
};

}  // namespace riff
