#include "app/platform/rtaudio_backend.h"

#include <RtAudio.h>

#include <algorithm>
#include <cstring>

namespace {

// 10 ms at 44100 Hz: short against the 100 ms the engine renders ahead.
constexpr unsigned int kCallbackFrames = 441;

int rtaudioCallback(void* output, void* /*input*/, unsigned int frames, double /*time*/,
                    RtAudioStreamStatus /*status*/, void* user) {
    return static_cast<RtAudioBackend*>(user)->render(output, frames);
}

bool resolveDevice(RtAudio& audio, int deviceId, unsigned int& device) {
    const unsigned int count = audio.getDeviceCount();
    if (count == 0) {
        return false;
    }
    device = deviceId < 0 ? audio.getDefaultOutputDevice() : static_cast<unsigned int>(deviceId);
    return device < count;
}

}  // namespace

RtAudioBackend::RtAudioBackend() = default;

RtAudioBackend::~RtAudioBackend() {
    close();
}

bool RtAudioBackend::ensureApi() {
    if (audio_) {
        return true;
    }
    try {
        audio_ = std::make_unique<RtAudio>();
        // Problems come back as failed calls and the engine's own messages.
        audio_->showWarnings(false);
        return true;
    } catch (...) {
        audio_.reset();
        return false;
    }
}

bool RtAudioBackend::queryFormat(int deviceId, const WaveFormat& format) {
    if (!isPlayableFormat(format) || !ensureApi()) {
        return false;
    }
    try {
        unsigned int device = 0;
        if (!resolveDevice(*audio_, deviceId, device)) {
            return false;
        }
        const RtAudio::DeviceInfo info = audio_->getDeviceInfo(device);
        if (!info.probed || info.outputChannels < format.channels) {
            return false;
        }
        return std::find(info.sampleRates.begin(), info.sampleRates.end(), format.samplesPerSec) !=
               info.sampleRates.end();
    } catch (...) {
        return false;
    }
}

bool RtAudioBackend::onOpen(int deviceId, const WaveFormat& format) {
    if (!ensureApi()) {
        return false;
    }
    try {
        unsigned int device = 0;
        if (!resolveDevice(*audio_, deviceId, device)) {
            return false;
        }
        RtAudio::StreamParameters parameters;
        parameters.deviceId = device;
        parameters.nChannels = format.channels;
        parameters.firstChannel = 0;
        unsigned int frames = kCallbackFrames;
        RtAudio::StreamOptions options;
        options.streamName = "KorvaneApp";
        channels_ = format.channels;
        audio_->openStream(&parameters, nullptr, RTAUDIO_SINT16, format.samplesPerSec, &frames,
                           &rtaudioCallback, this, &options);
        audio_->startStream();
        return true;
    } catch (...) {
        try {
            if (audio_->isStreamOpen()) {
                audio_->closeStream();
            }
        } catch (...) {
        }
        return false;
    }
}

void RtAudioBackend::onClose() {
    if (!audio_) {
        return;
    }
    try {
        if (audio_->isStreamRunning()) {
            audio_->stopStream();
        }
        if (audio_->isStreamOpen()) {
            audio_->closeStream();
        }
    } catch (...) {
        // The stream is gone either way; nothing more can be done about it.
    }
}

int RtAudioBackend::render(void* output, unsigned int frames) {
    auto* out = static_cast<int16_t*>(output);
    const uint64_t played = consume(frames, out);
    if (played < frames) {
        std::memset(out + played * channels_, 0, (frames - played) * channels_ * sizeof(int16_t));
    }
    return 0;
}
