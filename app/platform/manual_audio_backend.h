// An audio device whose play position the caller moves: tests and offline
// rendering advance it frame by frame and read what was played. Failures of
// single device steps can be switched on to exercise the error paths.
#pragma once

#include <cstdint>

#include "app/platform/queued_audio_backend.h"

class ManualAudioBackend : public QueuedAudioBackend {
  public:
    // Device steps that can be made to fail.
    struct Failures {
        bool query = false;
        bool open = false;
        bool prepare = false;
        bool unprepare = false;
        bool write = false;
        bool close = false;
    };

    // Plays `frames` frames (fewer when the queue runs dry or playback is
    // paused), copying them to out when it is not null. Returns the frames
    // played. Thread: the caller's; one caller at a time.
    uint64_t advance(uint64_t frames, int16_t* out = nullptr) { return consume(frames, out); }

    // Thread: the test's, before the step runs.
    void setFailures(const Failures& failures) { failures_ = failures; }

    bool queryFormat(int deviceId, const WaveFormat& format) override {
        return !failures_.query && QueuedAudioBackend::queryFormat(deviceId, format);
    }
    bool prepare(WaveHeader& header) override {
        return !failures_.prepare && QueuedAudioBackend::prepare(header);
    }
    bool unprepare(WaveHeader& header) override {
        return !failures_.unprepare && QueuedAudioBackend::unprepare(header);
    }
    bool write(WaveHeader& header) override {
        return !failures_.write && QueuedAudioBackend::write(header);
    }
    bool close() override {
        // A failed close still closes, as a device handle is gone either way.
        const bool ok = QueuedAudioBackend::close();
        return ok && !failures_.close;
    }

  protected:
    bool onOpen(int deviceId, const WaveFormat& format) override { return !failures_.open; }

  private:
    Failures failures_;
};
