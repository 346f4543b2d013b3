#include "app/platform/audio_backend.h"

#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "app/platform/clocked_audio_backend.h"
#include "app/platform/rtaudio_backend.h"

namespace {

// Stands in for a device that does not exist: it plays no format.
class UnavailableAudioBackend final : public QueuedAudioBackend {
  public:
    bool queryFormat(int, const WaveFormat&) override { return false; }

  protected:
    bool onOpen(int, const WaveFormat&) override { return false; }
};

}  // namespace

AudioBackendChoice parseAudioBackendChoice(const char* text) {
    AudioBackendChoice choice;
    if (text == nullptr || *text == '\0') {
        return choice;
    }
    const std::string_view value(text);
    constexpr std::string_view wavPrefix = "wav:";
    if (value == "null") {
        choice.kind = AudioBackendChoice::Kind::null;
    } else if (value.substr(0, wavPrefix.size()) == wavPrefix && value.size() > wavPrefix.size()) {
        choice.kind = AudioBackendChoice::Kind::wav;
        choice.wavPath = std::string(value.substr(wavPrefix.size()));
    } else {
        choice.kind = AudioBackendChoice::Kind::invalid;
        choice.wavPath = std::string(value);
    }
    return choice;
}

std::unique_ptr<AudioBackend> createAudioBackend(const AudioBackendChoice& choice) {
    switch (choice.kind) {
        case AudioBackendChoice::Kind::device:
            return std::make_unique<RtAudioBackend>();
        case AudioBackendChoice::Kind::null:
            return std::make_unique<ClockedAudioBackend>();
        case AudioBackendChoice::Kind::wav:
            return std::make_unique<ClockedAudioBackend>(choice.wavPath);
        case AudioBackendChoice::Kind::invalid:
            break;
    }
    std::fprintf(stderr,
                 "KorvaneApp: KORVANE_AUDIO=\"%s\" is not one of: (unset), null, wav:PATH\n",
                 choice.wavPath.c_str());
    return std::make_unique<UnavailableAudioBackend>();
}

std::unique_ptr<AudioBackend> createAudioBackendFromEnvironment() {
    return createAudioBackend(parseAudioBackendChoice(std::getenv("KORVANE_AUDIO")));
}
