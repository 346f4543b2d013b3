#include "app/midi/music_event.h"

#include <algorithm>
#include <cstring>

#include "app/midi/error_catalogs.h"
#include "app/midi/general_routines.h"

namespace {

constexpr std::int32_t kSpareBytes = 8;
constexpr std::uint32_t kEventDataError = 0x06000002;

}  // namespace

CMusicEvent::CMusicEvent(std::int32_t startDelta) : delta(startDelta) {}

CMusicEvent::~CMusicEvent() {
    FreeBlock(data);
}

void* CMusicEvent::operator new(std::size_t bytes) {
    return AllocZeroed(bytes);
}

void CMusicEvent::operator delete(void* block) {
    FreeBlock(block);
}

void CMusicEvent::SetData(const std::uint8_t* bytes, std::int32_t n) {
    if (n <= 0) {
        return;
    }
    auto* block =
        static_cast<std::uint8_t*>(AllocZeroed(static_cast<std::size_t>(n) + kSpareBytes));
    if (bytes != nullptr) {
        std::memcpy(block, bytes, static_cast<std::size_t>(n));
    }
    FreeBlock(data);
    data = block;
    blockBytes_ = n + kSpareBytes;
    length = n;
}

void CMusicEvent::Resize(std::int32_t n) {
    n = std::max(n, 0);
    auto* block =
        static_cast<std::uint8_t*>(AllocZeroed(static_cast<std::size_t>(n) + kSpareBytes));
    if (data != nullptr) {
        std::int32_t keep = std::min({std::max(length, 0), blockBytes_, n + kSpareBytes});
        std::memcpy(block, data, static_cast<std::size_t>(keep));
    }
    FreeBlock(data);
    data = block;
    blockBytes_ = n + kSpareBytes;
}

std::uint8_t CMusicEvent::ByteAt(std::int32_t i) const {
    // The block may be smaller than length + 8 when a caller set length by hand.
    if (data == nullptr || i < 0 || i >= std::min(length + kSpareBytes, blockBytes_)) {
        ReportError(kEventDataError);
        return 0;
    }
    return data[i];
}

void CMusicEvent::PutByteAt(std::int32_t i, std::uint8_t byte) {
    if (i < 0) {
        ReportError(kEventDataError);
        return;
    }
    if (data != nullptr && (i >= length + kSpareBytes || i >= blockBytes_)) {
        Resize(i + 1);
    }
    if (data == nullptr) {
        ReportError(kEventDataError);
        return;
    }
    data[i] = byte;
}

void CMusicEvent::CopyFrom(const CMusicEvent& other) {
    if (&other == this) {
        return;
    }
    status = other.status;
    delta = other.delta;
    note = other.note;
    duration = other.duration;
    velocity = other.velocity;
    subtype = other.subtype;
    value = other.value;
    length = other.length;
    channel = other.channel;
    FreeBlock(data);
    data = nullptr;
    blockBytes_ = 0;
    if (other.data != nullptr) {
        std::int32_t bytes = std::max(other.length, 0) + kSpareBytes;
        data = static_cast<std::uint8_t*>(AllocZeroed(static_cast<std::size_t>(bytes)));
        std::memcpy(data, other.data, static_cast<std::size_t>(std::min(bytes, other.blockBytes_)));
        blockBytes_ = bytes;
    }
}

void CMusicEvent::ReportError(std::uint32_t code) {
    ReportCatalogError(CatalogModule::MUEV, code);
}
