#include "plugin/samples/riff_reader.h"

#include <sys/stat.h>

#include <cerrno>

namespace riff {

namespace {

std::uint32_t readLe32(const unsigned char* bytes) {
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

constexpr std::uint32_t kRiffId = fourCc("RIFF");
constexpr std::uint32_t kListId = fourCc("LIST");

}  // namespace

File::~File() {
    close();
}

unsigned File::open(const std::string& path) {
    if (file_ != nullptr) {
        return kCannotOpen;
    }
    // "e": the descriptor must not leak into programs the host may start.
    std::FILE* opened = std::fopen(path.c_str(), "rbe");
    if (opened == nullptr) {
        return (errno == ENOENT || errno == ENOTDIR) ? kFileNotFound : kCannotOpen;
    }
    struct stat status {};
    if (fstat(fileno(opened), &status) != 0 || !S_ISREG(status.st_mode)) {
        std::fclose(opened);
        return kCannotOpen;
    }
    file_ = opened;
    return kOk;
}

unsigned File::findRiff(std::uint32_t formType, ChunkInfo& out) {
    return search(true, formType, 0, false, out);
}

unsigned File::findChunk(std::uint32_t chunkId, const ChunkInfo& parent, ChunkInfo& out) {
    return search(false, chunkId, parent.dataOffset + parent.chunkSize, true, out);
}

unsigned File::search(bool wantRiff, std::uint32_t wanted, std::uint64_t searchEnd, bool bounded,
                      ChunkInfo& out) {
    if (file_ == nullptr) {
        return kChunkNotFound;
    }
    const std::uint64_t start = position();
    std::uint64_t here = start;
    for (;;) {
        if (bounded && here + 8 > searchEnd) {
            break;
        }
        unsigned char header[8];
        if (!seekTo(here) || std::fread(header, 1, sizeof header, file_) != sizeof header) {
            break;
        }
        ChunkInfo chunk;
        chunk.chunkId = readLe32(header);
        chunk.chunkSize = readLe32(header + 4);
        chunk.dataOffset = here + 8;
        bool hasForm = chunk.chunkId == kRiffId || chunk.chunkId == kListId;
        if (hasForm) {
            unsigned char form[4];
            if (std::fread(form, 1, sizeof form, file_) != sizeof form) {
                break;
            }
            chunk.formType = readLe32(form);
        }
        const bool found = wantRiff ? (chunk.chunkId == kRiffId && chunk.formType == wanted)
                                    : chunk.chunkId == wanted;
        if (found) {
            if (!seekTo(chunk.dataOffset + (hasForm ? 4 : 0))) {
                break;
            }
            out = chunk;
            return kOk;
        }
        // Chunks are padded to an even length; 64-bit arithmetic so a damaged
        // size cannot wrap the search back to an earlier position.
        here = chunk.dataOffset + chunk.chunkSize + (chunk.chunkSize & 1u);
    }
    seekTo(start);
    return kChunkNotFound;
}

unsigned File::ascend(const ChunkInfo& chunk) {
    if (file_ == nullptr) {
        return kCannotSeek;
    }
    const std::uint64_t end = chunk.dataOffset + chunk.chunkSize + (chunk.chunkSize & 1u);
    return seekTo(end) ? kOk : kCannotSeek;
}

std::size_t File::read(void* buffer, std::size_t count) {
    if (file_ == nullptr || buffer == nullptr) {
        return 0;
    }
    return std::fread(buffer, 1, count, file_);
}

std::uint64_t File::bytesRemaining() {
    if (file_ == nullptr) {
        return 0;
    }
    struct stat status {};
    if (fstat(fileno(file_), &status) != 0) {
        return 0;
    }
    const std::uint64_t size = static_cast<std::uint64_t>(status.st_size);
    const std::uint64_t here = position();
    return here < size ? size - here : 0;
}

unsigned File::close() {
    if (file_ == nullptr) {
        return kOk;
    }
    const int result = std::fclose(file_);
    file_ = nullptr;
    return result == 0 ? kOk : kCannotClose;
}

bool File::seekTo(std::uint64_t offset) {
    if (offset > static_cast<std::uint64_t>(INT64_MAX)) {
        return false;
    }
    return fseeko(file_, static_cast<off_t>(offset), SEEK_SET) == 0;
}

std::uint64_t File::position() {
    const off_t here = ftello(file_);
    return here < 0 ? 0 : static_cast<std::uint64_t>(here);
}

}  // namespace riff
