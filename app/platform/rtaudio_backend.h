// The sound card through RtAudio (ALSA, PulseAudio or JACK, whichever RtAudio
// finds first). The stream runs from open to close; its callback plays the
// queue and fills with silence while paused or starved.
#pragma once

#include <memory>

#include "app/platform/queued_audio_backend.h"

class RtAudio;

class RtAudioBackend : public QueuedAudioBackend {
  public:
    RtAudioBackend();
    ~RtAudioBackend() override;

    // True when the device (-1: the default output) exists and can play the
    // format at its rate. Never throws. Thread: UI.
    bool queryFormat(int deviceId, const WaveFormat& format) override;

    // Thread: the sound card's callback thread.
    int render(void* output, unsigned int frames);

  protected:
    bool onOpen(int deviceId, const WaveFormat& format) override;
    void onClose() override;

  private:
    bool ensureApi();

    std::unique_ptr<RtAudio> audio_;
    unsigned int channels_ = 1;
};
