// The records shared by the wave output and the audio backends: the output
// format, the header of one buffer of the ring, and the receiver of finished
// buffers. They mirror what a wave-out device works with, so the ring logic
// above them keeps its shape whatever plays the sound.
#pragma once

#include <atomic>
#include <cstdint>

// PCM output format (the fields of a classic WAVEFORMATEX).
struct WaveFormat {
    uint16_t formatTag = 1;  // 1 = PCM
    uint16_t channels = 1;
    uint32_t samplesPerSec = 44100;
    uint32_t avgBytesPerSec = 88200;
    uint16_t blockAlign = 2;
    uint16_t bitsPerSample = 16;
    uint16_t extraSize = 0;
};

// Bits of WaveHeader::flags.
enum WaveHeaderFlags : uint32_t {
    kWaveHeaderDone = 1,      // the device has finished with the buffer
    kWaveHeaderPrepared = 2,  // prepared for the device
    kWaveHeaderInQueue = 16,  // waiting in or playing from the device's queue
};

// One buffer of the ring. The owner fills data and bufferLength; the device
// sets and clears the flags, which the owner's thread reads while the device's
// thread may change them, hence atomic.
struct WaveHeader {
    char* data = nullptr;
    uint32_t bufferLength = 0;  // bytes
    uintptr_t user = 0;
    std::atomic<uint32_t> flags{0};
    uint32_t loops = 0;
};

// Receives every buffer that the device has finished, in the order in which
// they finished (the role of the window that gets "buffer done" messages).
class WaveNotificationSink {
  public:
    virtual ~WaveNotificationSink() = default;
    // Thread: the device's thread (or the thread that resets it). Must not block
    // for long and must not call back into the device; it only hands the header
    // over to the owner's thread.
    virtual void post(WaveHeader* header) = 0;
};
