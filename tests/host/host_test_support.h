// Fixtures shared by the host tests: a recorder for the application's
// messages, the paths of the fake plug-ins, and an engine on a manually
// driven audio device that plays and requeues like the UI thread would.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/host/vst_host_main.h"
#include "app/platform/app_message.h"
#include "app/platform/manual_audio_backend.h"
#include "app/platform/wave_done_queue.h"

class MessageRecorder {
  public:
    MessageRecorder() {
        previous_ = setAppMessageHandler(
            [this](const std::string& text, const std::string&) { texts_.push_back(text); });
    }
    ~MessageRecorder() { setAppMessageHandler(std::move(previous_)); }
    const std::vector<std::string>& texts() const { return texts_; }
    void clear() { texts_.clear(); }

  private:
    AppMessageHandler previous_;
    std::vector<std::string> texts_;
};

inline std::string fakePlugin(const std::string& name) {
    return (std::filesystem::path(FAKE_PLUGIN_DIR) / (name + ".so")).string();
}

// The application's settings: 4 buffers of 32768 bytes, 100 ms latency, 10 ms period.
struct ManualRig {
    WaveDoneQueue owner;
    ManualAudioBackend* backend = nullptr;
    std::unique_ptr<CVstHostMain> engine;
    std::vector<int16_t> played;  // everything the device has played

    ManualRig() {
        auto device = std::make_unique<ManualAudioBackend>();
        backend = device.get();
        engine = std::make_unique<CVstHostMain>(&owner, -1, 32768, 4, 100, 10, std::move(device));
    }

    void requeueFinished() {
        owner.drain([this](WaveHeader* header) { engine->onWaveBufferDone(header); });
    }

    // Plays frames in steps no longer than a buffer, handing finished buffers back.
    uint64_t play(uint64_t frames) {
        uint64_t done = 0;
        while (done < frames) {
            const uint64_t step = std::min<uint64_t>(frames - done, 4096);
            std::vector<int16_t> out(step);
            const uint64_t n = backend->advance(step, out.data());
            played.insert(played.end(), out.begin(), out.begin() + static_cast<std::ptrdiff_t>(n));
            requeueFinished();
            if (n == 0) {
                break;
            }
            done += n;
        }
        return done;
    }

    // The render thread's rhythm on a virtual clock: a pass, then `step` frames.
    void run(uint64_t frames, uint64_t step = 441) {
        for (uint64_t done = 0; done < frames; done += step) {
            engine->renderPass();
            play(step);
        }
    }
};
