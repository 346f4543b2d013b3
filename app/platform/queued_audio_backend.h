// The queue behaviour shared by every audio backend: headers are prepared,
// queued, consumed frame by frame in queue order, marked done and handed to the
// sink. Subclasses only decide who consumes (a sound card callback, a clock
// thread, a test) and what happens to the consumed sound.
#pragma once

#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

#include "app/platform/audio_backend.h"

class QueuedAudioBackend : public AudioBackend {
  public:
    QueuedAudioBackend() { doneScratch_.reserve(64); }
    ~QueuedAudioBackend() override = default;

    bool queryFormat(int deviceId, const WaveFormat& format) override;
    bool open(int deviceId, const WaveFormat& format, WaveNotificationSink* sink) override;
    bool close() override;
    bool prepare(WaveHeader& header) override;
    bool unprepare(WaveHeader& header) override;
    bool write(WaveHeader& header) override;
    bool pause() override;
    bool restart() override;
    bool reset() override;
    uint64_t position() override;
    bool isOpen() override;

    // Bytes per frame of the open format (0 when closed). Thread: any.
    uint32_t frameBytes();

  protected:
    // Only 16-bit PCM is played; every backend accepts 1 or 2 channels at any
    // rate unless it narrows this further.
    static bool isPlayableFormat(const WaveFormat& format);

    // Takes up to `frames` frames from the head of the queue, in order, copying
    // them to out (interleaved 16-bit samples; may be null), marks finished
    // buffers done and posts them to the sink. Nothing is taken while paused.
    // Returns the frames taken; the caller plays silence for the rest.
    // Thread: the backend's playing thread.
    uint64_t consume(uint64_t frames, int16_t* out);

    // Hooks for subclasses, called with no lock held. onOpen may refuse.
    // Thread: UI.
    virtual bool onOpen(int deviceId, const WaveFormat& format) { return true; }
    virtual void onClose() {}

  private:
    void finishLocked(WaveHeader* header, std::vector<WaveHeader*>& done);
    void postAll(const std::vector<WaveHeader*>& done);

    std::mutex mutex_;
    bool open_ = false;
    bool paused_ = false;
    WaveFormat format_{};
    WaveNotificationSink* sink_ = nullptr;
    std::deque<WaveHeader*> queue_;
    uint32_t headOffset_ = 0;  // bytes of the head buffer already played
    uint64_t position_ = 0;
    std::vector<WaveHeader*> doneScratch_;  // consume's list of finished buffers
};
