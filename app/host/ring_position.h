// A place in the wave ring (buffer, frame within it, frames since playback
// started) and the distance forward around the ring to another place.
#pragma once

#include <cstdint>

#include "app/platform/wave_format.h"

class CRingPosition {
  public:
    // Thread: any.
    CRingPosition(int32_t bufferBytes, int32_t bufferCount, const WaveFormat* format);
    virtual ~CRingPosition() = default;

    // Thread: the owner of the position (render, under the engine lock).
    void set(uint32_t absoluteFrame);
    void copyFrom(const CRingPosition& other);
    // Frames forward from here to other around the ring; negative when other
    // lies behind within the same buffer. Absolute frames play no part.
    int32_t distanceTo(const CRingPosition& other) const;

    int32_t bufferIndex() const { return bufferIndex_; }
    int32_t frameOffset() const { return frameOffset_; }
    uint32_t absoluteFrame() const { return absoluteFrame_; }
    // Frames per buffer (0 for a ring without room).
    int32_t framesPerBuffer() const;

  private:
    int32_t bufferBytes_;
    int32_t bufferCount_;
    const WaveFormat* format_;
    int32_t bufferIndex_ = 0;
    int32_t frameOffset_ = 0;
    uint32_t absoluteFrame_ = 0;
};
