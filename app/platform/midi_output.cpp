#include "app/platform/midi_output.h"

#include <atomic>

#include "app/platform/rtmidi_output.h"

std::size_t shortMessageBytes(std::uint32_t word, std::uint8_t bytes[3]) {
    std::uint8_t status = static_cast<std::uint8_t>(word & 0xFF);
    if (status < 0x80) {
        return 0;
    }
    bytes[0] = status;
    bytes[1] = static_cast<std::uint8_t>((word >> 8) & 0xFF);
    bytes[2] = static_cast<std::uint8_t>((word >> 16) & 0xFF);
    switch (status & 0xF0) {
        case 0xC0:
        case 0xD0:
            return 2;
        case 0xF0:
            break;
        default:
            return 3;
    }
    switch (status) {
        case 0xF1:  // MIDI time code quarter frame
        case 0xF3:  // song select
            return 2;
        case 0xF2:  // song position
            return 3;
        default:
            return 1;
    }
}

void SoundingNotes::note(const std::uint8_t* bytes, std::size_t count) {
    if (count < 3) {
        return;
    }
    int kind = bytes[0] & 0xF0;
    int channel = bytes[0] & 0x0F;
    int key = bytes[1] & 0x7F;
    if (kind == 0x90 && bytes[2] != 0) {
        on_[channel][key] = true;
    } else if (kind == 0x80 || kind == 0x90) {
        on_[channel][key] = false;
    }
}

namespace {

class NullPort final : public MidiOutputPort {
  public:
    bool sendShort(std::uint32_t /*word*/) override { return true; }
    bool sendLong(const std::uint8_t* /*bytes*/, std::size_t /*count*/) override { return true; }
    bool reset() override { return true; }
    bool close() override { return true; }
};

std::atomic<MidiOutputSystem*> installed{nullptr};

}  // namespace

std::unique_ptr<MidiOutputPort> makeNullMidiOutput() {
    return std::make_unique<NullPort>();
}

MidiOutputSystem& midiOutputSystem() {
    MidiOutputSystem* system = installed.load();
    return system ? *system : rtMidiOutputSystem();
}

MidiOutputSystem* setMidiOutputSystem(MidiOutputSystem* system) {
    return installed.exchange(system);
}
