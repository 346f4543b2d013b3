#include "app/midi/midi_file_buffer.h"

#include <algorithm>

#include "app/midi/general_routines.h"

CMidiFileBuffer::CMidiFileBuffer(std::int32_t bytes)
    : data(static_cast<std::uint8_t*>(AllocZeroed(static_cast<std::size_t>(std::max(bytes, 0))))),
      capacity(std::max(bytes, 0)) {}

CMidiFileBuffer::~CMidiFileBuffer() {
    FreeBlock(data);
}

void* CMidiFileBuffer::operator new(std::size_t bytes) {
    return AllocZeroed(bytes);
}

void CMidiFileBuffer::operator delete(void* block) {
    FreeBlock(block);
}
