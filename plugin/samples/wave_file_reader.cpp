#include "plugin/samples/wave_file_reader.h"

namespace {

constexpr std::size_t kFormatRecordSize = 18;

std::uint16_t le16(const unsigned char* bytes) {
    return static_cast<std::uint16_t>(bytes[0] | bytes[1] << 8);
}

std::uint32_t le32(const unsigned char* bytes) {
    return static_cast<std::uint32_t>(le16(bytes)) | static_cast<std::uint32_t>(le16(bytes + 2))
                                                         << 16;
}

}  // namespace

WaveFileReader::~WaveFileReader() {
    close();
}

unsigned WaveFileReader::open(const std::string& path) {
    if (file.isOpen()) {
        return riff::kCannotOpen;
    }
    dataSize = 0;
    if (path.empty()) {
        return riff::kFileNotFound;
    }
    unsigned result = file.open(path);
    if (result != riff::kOk) {
        return result;
    }
    result = file.findRiff(riff::fourCc("WAVE"), riffChunk);
    if (result != riff::kOk) {
        return result;
    }
    result = file.findChunk(riff::fourCc("fmt "), riffChunk, subChunk);
    if (result != riff::kOk) {
        return result;
    }

    // A 16-byte "fmt " (plain PCM) leaves cbSize 0; a longer one is cut to the record.
    unsigned char bytes[kFormatRecordSize] = {};
    const std::size_t wanted =
        subChunk.chunkSize < kFormatRecordSize ? subChunk.chunkSize : kFormatRecordSize;
    if (file.read(bytes, wanted) != wanted) {
        return riff::kCannotRead;
    }
    format.wFormatTag = le16(bytes);
    format.nChannels = le16(bytes + 2);
    format.nSamplesPerSec = le32(bytes + 4);
    format.nAvgBytesPerSec = le32(bytes + 8);
    format.nBlockAlign = le16(bytes + 12);
    format.wBitsPerSample = le16(bytes + 14);
    format.cbSize = le16(bytes + 16);

    result = file.ascend(subChunk);
    if (result != riff::kOk) {
        return result;
    }
    // Searched only after "fmt ", so a "data" chunk in front of it is not seen.
    result = file.findChunk(riff::fourCc("data"), riffChunk, subChunk);
    if (result != riff::kOk) {
        return result;
    }
    dataSize = subChunk.chunkSize;
    return riff::kOk;
}

std::uint32_t WaveFileReader::read(void* buffer, std::uint32_t count) {
    return static_cast<std::uint32_t>(file.read(buffer, count));
}

unsigned WaveFileReader::close() {
    return file.close();
}
