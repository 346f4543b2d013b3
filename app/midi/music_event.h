// CMusicEvent: one event of a track. The player's event callback reads and
// writes these fields directly, so they stay a plain record.
#pragma once

#include <cstddef>
#include <cstdint>

class CMusicEvent {
  public:
    // A new event: status 0, the given delta, other numbers 0, no data,
    // channel 255. Thread: any (an event belongs to one thread at a time).
    explicit CMusicEvent(std::int32_t delta = 0);
    virtual ~CMusicEvent();
    CMusicEvent(const CMusicEvent&) = delete;
    CMusicEvent& operator=(const CMusicEvent&) = delete;

    // Events are made with the library's zero-filled blocks, so running out of
    // memory is reported like every other allocation of the library.
    static void* operator new(std::size_t bytes);
    static void operator delete(void* block);

    // n 0: nothing happens. Otherwise the old block goes, a new zero-filled block
    // of n + 8 bytes receives the n bytes and length becomes n. A null `bytes`
    // leaves the block zero. Thread: owner's.
    void SetData(const std::uint8_t* bytes, std::int32_t n);

    // A new zero-filled block of n + 8 bytes receives the old length bytes (as
    // many as fit); length is left to the caller. Thread: owner's.
    void Resize(std::int32_t n);

    // The byte at i while a block exists and i < length + 8; otherwise MUEV
    // 06000002 and 0. Thread: owner's.
    std::uint8_t ByteAt(std::int32_t i) const;

    // Stores a byte, first growing the block to i + 1 bytes when i is beyond
    // length + 8; with no block MUEV 06000002 and nothing stored.
    // Thread: owner's.
    void PutByteAt(std::int32_t i, std::uint8_t byte);

    // Copies every field; the data into a new block. Thread: owner's.
    void CopyFrom(const CMusicEvent& other);

    // The data block (length + 8 bytes, the last 8 zero), or null.
    // Thread: owner's.
    const std::uint8_t* GetData() const { return data; }

    // MUEV report. Thread: any.
    static void ReportError(std::uint32_t code);

    std::int32_t status = 0;
    std::int32_t delta = 0;
    std::int32_t note = 0;
    std::int32_t duration = 0;
    std::int32_t velocity = 0;
    std::int32_t subtype = 0;
    std::int32_t value = 0;
    std::int32_t length = 0;
    std::uint8_t* data = nullptr;
    std::int32_t channel = 255;

  private:
    // Bytes of the current block: length + 8 when it was made, whatever
    // length was set to afterwards (Resize leaves length to the caller).
    std::int32_t blockBytes_ = 0;
};

// Kinds of event (status without channel).
inline constexpr std::int32_t kStatusDeleted = 0x00;
inline constexpr std::int32_t kStatusNote = 0x10;  // note with duration (note form)
inline constexpr std::int32_t kStatusNoteOff = 0x80;
inline constexpr std::int32_t kStatusNoteOn = 0x90;
inline constexpr std::int32_t kStatusKeyPressure = 0xA0;
inline constexpr std::int32_t kStatusControl = 0xB0;
inline constexpr std::int32_t kStatusProgram = 0xC0;
inline constexpr std::int32_t kStatusChannelPressure = 0xD0;
inline constexpr std::int32_t kStatusPitchBend = 0xE0;
inline constexpr std::int32_t kStatusExclusive = 0xF0;
inline constexpr std::int32_t kStatusExclusiveEscape = 0xF7;
inline constexpr std::int32_t kStatusMeta = 0xFF;

inline constexpr std::int32_t kMetaTrackName = 0x03;
inline constexpr std::int32_t kMetaEndOfTrack = 0x2F;
inline constexpr std::int32_t kMetaTempo = 0x51;
inline constexpr std::int32_t kMetaTimeSignature = 0x58;

inline constexpr std::int32_t kExclusiveMasterVolume = 1;    // subtype of a master-volume message
inline constexpr std::int32_t kExclusiveLargeAllowed = 127;  // exempt from the size warnings
