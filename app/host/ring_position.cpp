#include "app/host/ring_position.h"

CRingPosition::CRingPosition(int32_t bufferBytes, int32_t bufferCount, const WaveFormat* format)
    : bufferBytes_(bufferBytes), bufferCount_(bufferCount), format_(format) {}

int32_t CRingPosition::framesPerBuffer() const {
    if (format_ == nullptr || format_->blockAlign == 0 || bufferBytes_ <= 0) {
        return 0;
    }
    return bufferBytes_ / format_->blockAlign;
}

void CRingPosition::set(uint32_t absoluteFrame) {
    absoluteFrame_ = absoluteFrame;
    const int32_t frames = framesPerBuffer();
    if (frames <= 0 || bufferCount_ <= 0) {
        // A ring without room has only one place.
        bufferIndex_ = 0;
        frameOffset_ = 0;
        return;
    }
    const auto f = static_cast<uint32_t>(frames);
    bufferIndex_ = static_cast<int32_t>((absoluteFrame / f) % static_cast<uint32_t>(bufferCount_));
    frameOffset_ = static_cast<int32_t>(absoluteFrame % f);
}

void CRingPosition::copyFrom(const CRingPosition& other) {
    if (&other == this) {
        return;
    }
    bufferIndex_ = other.bufferIndex_;
    frameOffset_ = other.frameOffset_;
    absoluteFrame_ = other.absoluteFrame_;
}

int32_t CRingPosition::distanceTo(const CRingPosition& other) const {
    if (bufferIndex_ == other.bufferIndex_) {
        return other.frameOffset_ - frameOffset_;
    }
    const int32_t frames = framesPerBuffer();
    int32_t distance = other.frameOffset_ - frameOffset_ + frames;
    for (int32_t k = 1; k < bufferCount_; ++k) {
        if ((bufferIndex_ + k) % bufferCount_ == other.bufferIndex_) {
            return distance;
        }
        distance += frames;
    }
    return 0;
}
