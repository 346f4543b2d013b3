// A MIDI output system that keeps every message that reaches its devices, with
// the timer service's time, for tests and for tools that show what a playback
// sends. Its device count and failures can be set to stand in for machines
// without MIDI or with devices that misbehave.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "app/platform/midi_output.h"

struct RecordedMidiMessage {
    enum class Kind { shortMessage, longMessage, reset, close };
    Kind kind = Kind::shortMessage;
    std::uint64_t timeMs = 0;         // timerService().now() when it arrived
    int deviceId = 0;                 // the device it was opened as
    std::vector<std::uint8_t> bytes;  // what went on the wire (empty for reset, close)
};

class RecordingMidiOutputSystem final : public MidiOutputSystem {
  public:
    using Listener = std::function<void(const RecordedMidiMessage&)>;

    // Devices 0 .. count - 1 and the default (-1) exist while count > 0; with
    // count 0 every open finds no device. Thread: any.
    void setDeviceCount(int count);
    // Every open of an existing device fails. Thread: any.
    void setOpenFails(bool fails);
    // Sending (short, long), reset or close report failure; the message is
    // still kept. Thread: any.
    void setSendFails(bool fails);
    void setResetFails(bool fails);
    void setCloseFails(bool fails);
    // Called, outside the system's lock, for every message as it arrives.
    // Thread: set before devices are opened.
    void setListener(Listener listener);

    MidiOpenResult open(int deviceId, std::unique_ptr<MidiOutputPort>& port) override;

    // Everything recorded so far. Thread: any.
    std::vector<RecordedMidiMessage> messages() const;
    // Only the bytes of short and long messages, in order. Thread: any.
    std::vector<std::vector<std::uint8_t>> sentBytes() const;
    // Opens that succeeded, devices still open. Thread: any.
    int opens() const;
    int openDevices() const;
    void clear();

  private:
    friend class RecordingPort;
    bool record(RecordedMidiMessage message, bool(RecordingMidiOutputSystem::*fails));
    void portClosed();

    mutable std::mutex mutex_;
    std::vector<RecordedMidiMessage> messages_;
    Listener listener_;
    int deviceCount_ = 1;
    bool openFails_ = false;
    bool sendFails_ = false;
    bool resetFails_ = false;
    bool closeFails_ = false;
    int opens_ = 0;
    int openDevices_ = 0;
};
