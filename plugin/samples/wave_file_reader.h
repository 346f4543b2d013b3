// Opens one RIFF/WAVE file and positions it at its sample data. Lives for the
// duration of one load.
#pragma once

#include <cstdint>
#include <string>

#include "plugin/samples/riff_reader.h"

// The 18-byte format record of a RIFF/WAVE "fmt " chunk.
struct WaveFormat {
    std::uint16_t wFormatTag = 0;
    std::uint16_t nChannels = 0;
    std::uint32_t nSamplesPerSec = 0;
    std::uint32_t nAvgBytesPerSec = 0;
    std::uint16_t nBlockAlign = 0;
    std::uint16_t wBitsPerSample = 0;
    std::uint16_t cbSize = 0;
};

// Thread: any, one thread at a time per object.
class WaveFileReader {
  public:
    WaveFileReader() = default;
    virtual ~WaveFileReader();
    WaveFileReader(const WaveFileReader&) = delete;
    WaveFileReader& operator=(const WaveFileReader&) = delete;

    // Finds the "WAVE" form, reads its "fmt " chunk and enters the "data" chunk
    // that follows it. Answers 0, or a riff:: error code: kCannotOpen when a file
    // is already open, kFileNotFound for an empty path or a missing file,
    // kCannotRead for a short "fmt " chunk, kChunkNotFound when a chunk is absent.
    unsigned open(const std::string& path);

    // Reads on from the current position; answers the number of bytes read.
    std::uint32_t read(void* buffer, std::uint32_t count);

    // Closes the file: 0 on success or when no file is open.
    unsigned close();

    // Bytes from the current position to the end of the file.
    std::uint64_t bytesRemaining() { return file.bytesRemaining(); }

    riff::File file;
    riff::ChunkInfo riffChunk;
    riff::ChunkInfo subChunk;
    std::uint32_t dataSize = 0;
    WaveFormat format;
};
