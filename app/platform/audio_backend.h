// The audio output that plays the wave ring: a queue of equal buffers played in
// order, each finished buffer handed to a notification sink, and a count of the
// frames played. Implementations: the sound card through RtAudio, a null device
// that consumes in real time, a WAV recorder, and a manually driven device for
// tests. KORVANE_AUDIO chooses among them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "app/platform/wave_format.h"

class AudioBackend {
  public:
    virtual ~AudioBackend() = default;

    // Whether the device can play the format. Thread: UI.
    virtual bool queryFormat(int deviceId, const WaveFormat& format) = 0;
    // Opens the device; finished buffers go to sink. Fails when already open.
    // Thread: UI.
    virtual bool open(int deviceId, const WaveFormat& format, WaveNotificationSink* sink) = 0;
    // Closes the device; buffers still queued are dropped without notification
    // (reset first to get them back). True when it was not open. Thread: UI.
    virtual bool close() = 0;
    // Marks a header usable by the device. Needs an open device and a buffer.
    // Thread: UI.
    virtual bool prepare(WaveHeader& header) = 0;
    // Releases a prepared header; fails while it is still queued. Thread: UI.
    virtual bool unprepare(WaveHeader& header) = 0;
    // Appends a prepared header to the play queue. Thread: UI.
    virtual bool write(WaveHeader& header) = 0;
    // Holds playback; the queue and the position stay. Thread: UI.
    virtual bool pause() = 0;
    // Resumes playback after pause. Thread: UI.
    virtual bool restart() = 0;
    // Stops playback, marks every queued buffer done and hands it to the sink,
    // and sets the position to 0. Thread: UI.
    virtual bool reset() = 0;
    // Frames played since the device was opened (or last reset); 0 when closed.
    // Thread: any.
    virtual uint64_t position() = 0;
    // Whether the device is open. Thread: any.
    virtual bool isOpen() = 0;
};

// What KORVANE_AUDIO names: the real device (unset or empty), "null" or
// "wav:PATH". Any other text is an invalid choice.
struct AudioBackendChoice {
    enum class Kind { device, null, wav, invalid };
    Kind kind = Kind::device;
    std::string wavPath;
};

// Parses a KORVANE_AUDIO value (null pointer = unset). Thread: any.
AudioBackendChoice parseAudioBackendChoice(const char* text);

// Creates the backend for a choice. An invalid choice gives a device that
// supports no format, so opening it reports that no usable device exists; the
// bad value is named on standard error. Thread: any.
std::unique_ptr<AudioBackend> createAudioBackend(const AudioBackendChoice& choice);

// Creates the backend that KORVANE_AUDIO chooses. Thread: any.
std::unique_ptr<AudioBackend> createAudioBackendFromEnvironment();
