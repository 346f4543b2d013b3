// The MIDI output the player sends to: a system that opens output devices by
// number (-1 is the default output), and an open device that takes short
// messages as one 32-bit word (status in the low byte, then the two data
// bytes) and whole exclusive messages. Implementations: the ALSA sequencer
// through RtMidi (the default), a null output, and a recording output for
// tests and tools.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

// Device number of the default output: a virtual port named "KorvaneApp" that
// synthesizers can be connected to, or the null output where the system has no
// MIDI at all.
inline constexpr int kDefaultMidiOutput = -1;

class MidiOutputPort {
  public:
    virtual ~MidiOutputPort() = default;

    // Sends the bytes of a short message (see shortMessageBytes). False when
    // the message could not be sent. Thread: any, one at a time.
    virtual bool sendShort(std::uint32_t word) = 0;
    // Sends a complete message as it is (an exclusive message F0 ... F7). False
    // when it could not be sent. Thread: any, one at a time.
    virtual bool sendLong(const std::uint8_t* bytes, std::size_t count) = 0;
    // Silences the receiver: every note this port started is ended, and every
    // channel gets sustain off and all notes off. Thread: any, one at a time.
    virtual bool reset() = 0;
    // Closes the device; nothing is sent afterwards. Thread: any, one at a time.
    virtual bool close() = 0;
};

enum class MidiOpenResult {
    opened,
    noDevices,  // the system has no output device at all
    failed,     // the device exists (or might) but did not open
};

class MidiOutputSystem {
  public:
    virtual ~MidiOutputSystem() = default;
    // Opens device `deviceId` (kDefaultMidiOutput or 0 .. count - 1); on
    // success `port` holds it. Thread: any.
    virtual MidiOpenResult open(int deviceId, std::unique_ptr<MidiOutputPort>& port) = 0;
};

// The bytes a short message puts on the wire: its status byte and as many data
// bytes as the status takes (one for program change, channel pressure, MIDI
// time code and song select; none for the other system messages; two
// otherwise). A word whose low byte is no status byte gives 0 bytes.
// Thread: any.
std::size_t shortMessageBytes(std::uint32_t word, std::uint8_t bytes[3]);

// Keeps track of the notes a port has started, so that reset() can end them
// even on receivers that ignore "all notes off".
class SoundingNotes {
  public:
    // Thread: the port's.
    void note(const std::uint8_t* bytes, std::size_t count);
    // Calls `send` with the bytes of a note off for every sounding note, then
    // forgets them. Thread: the port's.
    template <typename Send>
    void endAll(Send send) {
        for (int channel = 0; channel < 16; ++channel) {
            for (int key = 0; key < 128; ++key) {
                if (on_[channel][key]) {
                    std::uint8_t off[3] = {static_cast<std::uint8_t>(0x80 | channel),
                                           static_cast<std::uint8_t>(key), 0};
                    send(off);
                    on_[channel][key] = false;
                }
            }
        }
    }

  private:
    bool on_[16][128] = {};
};

// An output that accepts everything and sends nothing.
std::unique_ptr<MidiOutputPort> makeNullMidiOutput();

// The system the player opens its device from: the RtMidi system unless
// another was installed. Thread: any.
MidiOutputSystem& midiOutputSystem();

// Installs a system (null restores the RtMidi one) and returns the previous
// one. Keep it alive while any device opened from it is open. Thread: any.
MidiOutputSystem* setMidiOutputSystem(MidiOutputSystem* system);
