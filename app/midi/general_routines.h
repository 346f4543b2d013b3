// The general routines of the MIDI library (reports under GENE): whole-file
// reads, file sizes, zero-filled blocks, the MacBinary header, and two
// conversions the player uses. None keeps state.
#pragma once

#include <cstddef>
#include <cstdint>

// A zero-filled block of `bytes` bytes. Every block of the MIDI library is made
// here, so running out of memory is reported the same way everywhere: GENE
// 01000002, after which the process ends. Thread: any.
void* AllocZeroed(std::size_t bytes);

// Releases a block of AllocZeroed; a null block is ignored. Thread: any.
void FreeBlock(void* block);

// Reads up to `capacity` bytes of the file at `path` into `buffer` and stores
// the number read in `count`; returns 1. A file that cannot be opened or read
// reports GENE 01000007, stores 0 and returns 0: the caller's action fails but
// the program goes on. With a capacity of exactly 983040 bytes a read that fills
// it reports 0100000A; any other capacity cuts longer files silently.
// Thread: any.
int ReadFileInto(const char* path, std::uint8_t* buffer, std::int32_t& count,
                 std::int32_t capacity);

// The size of the file at `path`; 0 for a directory or a path that names
// nothing. A size beyond 32 bits reports 0100000D and gives its low 32 bits.
// Thread: any.
std::uint32_t FileSizeOf(const char* path);

// If `tag` is given (non-zero) and the 4 bytes at offset 128 differ from it,
// returns 0 and changes nothing. Otherwise moves everything from offset 128 down
// to offset 0, reduces `length` by 128 and returns 1. A buffer too short to hold
// the 128-byte header (and the tag behind it) is left alone: returns 0.
// Thread: any.
int DropMacBinaryHeader(std::uint8_t* buffer, const char* tag, std::int32_t& length);

// 60000 / (value / 1000), both divisions on integers; a value below 1000 gives
// 0 instead of dividing by zero (the player corrects such tempos itself).
// Thread: any.
std::uint32_t TempoToBeatsPerMinute(std::uint32_t microsecondsPerQuarter);

// Meta-event bytes of a packed time signature (numerator * 256 + denominator):
// numerator, power of two of the denominator, 18, 8; length 4. A denominator
// of 0 or 1 gives power 0. Thread: any.
void MakeTimeSignatureBytes(std::int32_t value, std::uint8_t bytes[4], std::int32_t& length);

// Owner of an AllocZeroed array, for the library's temporary buffers.
template <typename T>
class ZeroedArray {
  public:
    explicit ZeroedArray(std::size_t count)
        : items_(static_cast<T*>(AllocZeroed(count * sizeof(T)))), count_(count) {}
    ~ZeroedArray() { FreeBlock(items_); }
    ZeroedArray(const ZeroedArray&) = delete;
    ZeroedArray& operator=(const ZeroedArray&) = delete;

    T& operator[](std::size_t i) { return items_[i]; }
    const T& operator[](std::size_t i) const { return items_[i]; }
    T* get() { return items_; }
    std::size_t size() const { return count_; }

  private:
    T* items_;
    std::size_t count_;
};
