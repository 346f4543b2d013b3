#include "app/midi/general_routines.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "app/midi/error_catalogs.h"

namespace {

constexpr std::int32_t kLargeReadCapacity = 983040;
constexpr std::int32_t kMacBinaryHeaderBytes = 128;

}  // namespace

void* AllocZeroed(std::size_t bytes) {
    // calloc of 0 bytes may legally return null; a block always exists.
    void* block = std::calloc(bytes == 0 ? 1 : bytes, 1);
    if (block == nullptr) {
        ReportGeneralError(kGeneOutOfMemory);  // ends the process
    }
    return block;
}

void FreeBlock(void* block) {
    std::free(block);
}

int ReadFileInto(const char* path, std::uint8_t* buffer, std::int32_t& count,
                 std::int32_t capacity) {
    count = 0;
    int fd = path != nullptr ? ::open(path, O_RDONLY | O_CLOEXEC) : -1;
    struct stat info {};
    if (fd >= 0 && (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode))) {
        ::close(fd);
        fd = -1;
    }
    if (fd < 0) {
        ReportGeneralError(kGeneCannotOpenFile);
        return 0;
    }
    std::int32_t total = 0;
    bool failed = false;
    while (total < capacity) {
        ssize_t got = ::read(fd, buffer + total, static_cast<std::size_t>(capacity - total));
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            failed = true;
            break;
        }
        if (got == 0) {
            break;
        }
        total += static_cast<std::int32_t>(got);
    }
    ::close(fd);
    if (failed) {
        // A file that opens but cannot be read is as unusable as one that does
        // not open: the action fails rather than going on with part of it.
        ReportGeneralError(kGeneCannotOpenFile);
        return 0;
    }
    count = total;
    if (capacity == kLargeReadCapacity && total == capacity) {
        ReportGeneralError(kGeneDataTooLarge);
    }
    return 1;
}

std::uint32_t FileSizeOf(const char* path) {
    struct stat info {};
    if (path == nullptr || ::stat(path, &info) != 0 || S_ISDIR(info.st_mode)) {
        return 0;
    }
    auto size = static_cast<std::uint64_t>(info.st_size);
    if (size > 0xFFFFFFFFu) {
        ReportGeneralError(kGeneFileSizeError);
    }
    return static_cast<std::uint32_t>(size);
}

int DropMacBinaryHeader(std::uint8_t* buffer, const char* tag, std::int32_t& length) {
    if (buffer == nullptr) {
        return 0;
    }
    if (tag != nullptr) {
        if (length < kMacBinaryHeaderBytes + 4 ||
            std::memcmp(buffer + kMacBinaryHeaderBytes, tag, 4) != 0) {
            return 0;
        }
    } else if (length < kMacBinaryHeaderBytes) {
        return 0;
    }
    std::memmove(buffer, buffer + kMacBinaryHeaderBytes,
                 static_cast<std::size_t>(length - kMacBinaryHeaderBytes));
    // The freed tail reads as zeros, like the rest of a buffer beyond its data.
    std::memset(buffer + length - kMacBinaryHeaderBytes, 0, kMacBinaryHeaderBytes);
    length -= kMacBinaryHeaderBytes;
    return 1;
}

std::uint32_t TempoToBeatsPerMinute(std::uint32_t microsecondsPerQuarter) {
    std::uint32_t milliseconds = microsecondsPerQuarter / 1000;
    return milliseconds == 0 ? 0 : 60000 / milliseconds;
}

void MakeTimeSignatureBytes(std::int32_t value, std::uint8_t bytes[4], std::int32_t& length) {
    bytes[0] = static_cast<std::uint8_t>(value / 256);
    int denominator = value % 256;
    std::uint8_t power = 0;
    // Stops at 1 (and at 0): a denominator of 0 or 1 would otherwise halve for ever.
    while (denominator > 1) {
        denominator /= 2;
        ++power;
    }
    bytes[1] = power;
    bytes[2] = 18;
    bytes[3] = 8;
    length = 4;
}
