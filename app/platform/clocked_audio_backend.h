// Audio devices without a sound card: a thread plays the queue in real time by
// the steady clock. The null device drops the sound; the WAV device writes
// everything played to a file, which is finished when the device closes (each
// open starts the file afresh, so file frame k is play position k).
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/platform/queued_audio_backend.h"
#include "app/platform/wav_file_writer.h"

class ClockedAudioBackend : public QueuedAudioBackend {
  public:
    // An empty path makes the null device; otherwise the WAV device.
    explicit ClockedAudioBackend(std::string wavPath = {});
    ~ClockedAudioBackend() override;

    bool close() override;

    // The file the WAV device writes (empty for the null device).
    const std::string& wavPath() const { return wavPath_; }

  protected:
    bool onOpen(int deviceId, const WaveFormat& format) override;
    void onClose() override;

  private:
    void run(uint32_t rate, uint32_t channels);

    std::string wavPath_;
    WavFileWriter writer_;
    std::thread thread_;
    std::mutex stopMutex_;
    std::condition_variable stopSignal_;
    bool stopping_ = false;
    bool writeFailed_ = false;
};
