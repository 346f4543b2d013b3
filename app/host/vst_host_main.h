// The host engine: 16 plug-in slots (one per MIDI channel), MIDI messages
// stamped with frame offsets on the output time line, and a render thread that
// every period hands the waiting events to the plug-ins, lets them render,
// mixes them to mono 16-bit and writes the result into the wave ring ahead of
// the play position.
//
// One lock serialises the event store against a pass's flush-and-reset and
// every call into a plug-in against the pass. It admits waiters in arrival
// order, so a long series of calls from the UI delays one pass by at most one
// call. Messages are shown after the lock is released.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/host/fair_mutex.h"
#include "app/host/ring_position.h"
#include "app/host/vst_plugin.h"
#include "app/host/wave_out.h"
#include "app/platform/audio_backend.h"
#include "app/platform/wave_format.h"
#include "plugin/vst/aeffect.h"

// Who runs the passes after start: the engine's own render thread, or the
// caller (tests and offline rendering drive renderPass on a clock of their own).
enum class RenderDrive { thread, caller };

class CVstHostMain {
  public:
    static constexpr int32_t kSlotCount = 16;
    static constexpr int32_t kEventsPerPlugin = 1024;
    static constexpr float kSampleRate = 44100.0f;

    // owner receives the device's finished buffers and must hand each to
    // onWaveBufferDone on its own thread. backend null: the device that
    // KORVANE_AUDIO chooses. Thread: UI.
    CVstHostMain(WaveNotificationSink* owner, int32_t deviceId, int32_t bufferBytes,
                 int32_t bufferCount, int32_t latencyMs, int32_t periodMs,
                 std::unique_ptr<AudioBackend> backend = nullptr);
    CVstHostMain(const CVstHostMain&) = delete;
    CVstHostMain& operator=(const CVstHostMain&) = delete;
    // Stops, then closes the plug-ins still loaded. Thread: UI.
    virtual ~CVstHostMain();

    // Loads a plug-in library into a slot (0..15), replacing what was there.
    // Events waiting for the next pass are discarded. 1 on success, 0 on
    // failure (reported). Thread: UI.
    int loadPlugin(int32_t slot, const std::string& path);
    // Thread: UI for the slot operations; an empty or invalid slot does nothing.
    void unloadPlugin(int32_t slot);
    void resumePlugin(int32_t slot);
    void suspendPlugin(int32_t slot);
    void setPluginProgram(int32_t slot, int32_t program);
    void setPluginParameter(int32_t slot, int32_t index, float value);

    // Queues a MIDI short message for the slot of its channel, at the output
    // frame that the device will play one latency from now. Only the low 8 bits
    // of each argument are used. Thread: any (UI, MIDI player).
    void sendMidiMessage(int status, int data1, int data2);

    // Opens the device and starts playing; with RenderDrive::thread also starts
    // the render thread. False when a device step failed (reported); the device
    // is then closed again. Thread: UI.
    bool start(RenderDrive drive = RenderDrive::thread);
    // Ends the render thread (returns after its last pass), then resets and
    // closes the device. Thread: UI.
    void stop();
    // Hands a finished buffer back to the device while running. Thread: the
    // owner's (UI).
    void onWaveBufferDone(WaveHeader* header);

    // One pass: render up to one latency ahead of the play position (at most
    // blockFrames) and write it into the ring. Thread: render, or the caller
    // with RenderDrive::caller.
    void renderPass();

    // Factor applied to the mix. Thread: any.
    std::atomic<double> outputGain{1.0};

    // The plug-in in a slot, or null. The pointer stays valid until the slot is
    // unloaded; calls through it bypass the engine lock, so only observe.
    // Thread: UI.
    CVstPlugin* plugin(int32_t slot);

    // Observers. Thread: any.
    int32_t latencyFrames() const { return latencyFrames_; }
    int32_t blockFrames() const { return blockFrames_; }
    int32_t periodMs() const { return periodMs_; }
    bool isRunning() const { return running_.load(); }
    int32_t pluginCount();
    int32_t eventCapacity();
    int32_t eventCount();
    uint32_t renderedFrame();
    const WaveFormat& format() const { return format_; }
    CWaveOut& device() { return *device_; }
    // Longest wait of a pass for the engine lock since the last reset.
    std::chrono::nanoseconds longestRenderLockWait() const;
    void resetRenderLockWait();
    // Passes that found the target more than blockFrames beyond the rendered
    // position: the render thread had fallen behind the device, so frames were
    // skipped (they play what the ring held) and a message stamped meanwhile may
    // sound late. The jump of the first pass after start is by design and not
    // counted. Never reset.
    uint64_t latePasses() const { return latePasses_.load(); }

  private:
    static bool validSlot(int32_t slot) { return slot >= 0 && slot < kSlotCount; }
    void renderLoop();

    WaveFormat format_{};
    std::unique_ptr<CWaveOut> device_;
    std::unique_ptr<CRingPosition> renderedPosition_;
    std::unique_ptr<CRingPosition> targetPosition_;
    std::array<std::unique_ptr<CVstPlugin>, kSlotCount> slots_;
    int32_t pluginCount_ = 0;
    std::vector<int16_t> mixBuffer_;
    int32_t blockFrames_ = 0;
    int32_t bufferBytes_;
    int32_t bufferCount_;
    int32_t periodMs_;
    int32_t latencyFrames_ = 0;
    WaveNotificationSink* owner_;
    int32_t deviceId_;
    std::atomic<bool> running_{false};
    std::unique_ptr<VstMidiEvent[]> events_;
    int32_t eventCapacity_ = 0;
    int32_t eventCount_ = 0;

    FairMutex engineLock_;
    std::thread renderThread_;
    std::mutex wakeMutex_;
    std::condition_variable wake_;
    std::atomic<int64_t> longestLockWaitNs_{0};
    std::atomic<uint64_t> latePasses_{0};
};
