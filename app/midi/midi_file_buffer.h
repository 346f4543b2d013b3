// CMidiFileBuffer: the byte image that tracks, songs and the format-1 reader
// start from, with a read position.
#pragma once

#include <cstddef>
#include <cstdint>

class CMidiFileBuffer {
  public:
    // A zero-filled image of `capacity` bytes (a negative capacity counts as 0).
    // Thread: any (a buffer belongs to one thread at a time).
    explicit CMidiFileBuffer(std::int32_t capacity);
    virtual ~CMidiFileBuffer();
    CMidiFileBuffer(const CMidiFileBuffer&) = delete;
    CMidiFileBuffer& operator=(const CMidiFileBuffer&) = delete;

    // Library objects are made with the zero-filled blocks, so running out of
    // memory is reported like every other allocation of the library.
    static void* operator new(std::size_t bytes);
    static void operator delete(void* block);

    // The image byte at `offset`, or 0 outside the image: headers and events that
    // stop short of their end read zeros instead of foreign memory.
    std::uint8_t ByteAt(std::int64_t offset) const {
        return offset >= 0 && offset < capacity ? data[offset] : 0;
    }

    std::int32_t size = 0;      // bytes loaded into data
    std::int32_t position = 0;  // read position in data
    std::uint8_t* data;         // capacity bytes, owned
    std::int32_t capacity;
};
