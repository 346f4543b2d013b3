// The wave output: a fixed ring of equal buffers that the audio device plays
// over and over. Each finished buffer is reported to the owner's thread and
// handed straight back to the device; the render thread writes new sound into
// the ring ahead of the play position.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "app/platform/audio_backend.h"
#include "app/platform/wave_format.h"

// Owns the headers and the buffers of the ring.
class CWaveBufferPool {
  public:
    // Allocates bufferCount zeroed buffers; shows a message when that fails.
    // Thread: UI.
    CWaveBufferPool(int32_t bufferBytes, int32_t bufferCount);
    virtual ~CWaveBufferPool() = default;

    // Fills every buffer with zeros. Thread: UI, while the device plays nothing.
    void clear();

    bool ready() const { return ready_; }
    int32_t bufferBytes() const { return bufferBytes_; }
    int32_t bufferCount() const { return bufferCount_; }
    WaveHeader& header(int32_t index) { return *headers_[index]; }
    char* buffer(int32_t index) { return buffers_[index].get(); }
    // Whether header is one of this pool's headers (and which).
    int32_t indexOf(const WaveHeader* header) const;

  private:
    bool ready_ = false;
    std::vector<std::unique_ptr<WaveHeader>> headers_;
    std::vector<std::unique_ptr<char[]>> buffers_;
    int32_t bufferBytes_;
    int32_t bufferCount_;
};

class CWaveOut {
  public:
    // backend null: the device that KORVANE_AUDIO chooses. Thread: UI.
    CWaveOut(int32_t deviceId, const WaveFormat* format, int32_t bufferBytes, int32_t bufferCount,
             std::unique_ptr<AudioBackend> backend = nullptr);
    // Does not close the device; the engine does that when it stops.
    virtual ~CWaveOut() = default;

    // Thread: UI for all of these.
    bool queryFormat();
    bool open(WaveNotificationSink* owner);
    bool close();
    bool queueAll();
    bool requeue(WaveHeader* header);
    bool restart();
    bool reset();

    // Copies frames into the ring at a buffer and offset, continuing around the
    // ring. Thread: render.
    void write(int32_t bufferIndex, int32_t frameOffset, const int16_t* values, int32_t frames);
    // Frames played since the device opened; 0 when it is not open. Thread: any.
    uint32_t position();

    bool isOpen() const { return open_; }
    CWaveBufferPool& pool() { return *pool_; }
    AudioBackend& backend() { return *backend_; }

  private:
    int32_t framesPerBuffer() const;

    bool open_ = false;  // the handle of the classic device
    int32_t deviceId_;
    const WaveFormat* format_;
    std::unique_ptr<CWaveBufferPool> pool_;
    std::unique_ptr<AudioBackend> backend_;
};
