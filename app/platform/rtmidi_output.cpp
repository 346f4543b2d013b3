#include "app/platform/rtmidi_output.h"

#include <unistd.h>

#include <RtMidi.h>
#include <atomic>
#include <string>

namespace {

constexpr const char* kClientName = "KorvaneApp";
constexpr const char* kPortName = "KorvaneApp";

class RtMidiPort final : public MidiOutputPort {
  public:
    explicit RtMidiPort(std::unique_ptr<RtMidiOut> out) : out_(std::move(out)) {
        // Errors become a flag instead of exceptions or lines on the terminal;
        // the caller decides what to report.
        out_->setErrorCallback(&RtMidiPort::onError, this);
    }

    ~RtMidiPort() override { close(); }

    bool sendShort(std::uint32_t word) override {
        std::uint8_t bytes[3];
        std::size_t count = shortMessageBytes(word, bytes);
        if (count == 0 || !out_) {
            return false;
        }
        // A data byte with its top bit set would read as a status byte on the
        // wire and garble the stream; the receiver gets its low seven bits.
        for (std::size_t i = 1; i < count; ++i) {
            bytes[i] &= 0x7F;
        }
        sounding_.note(bytes, count);
        return send(bytes, count);
    }

    bool sendLong(const std::uint8_t* bytes, std::size_t count) override {
        if (bytes == nullptr || count == 0 || !out_) {
            return false;
        }
        return send(bytes, count);
    }

    bool reset() override {
        if (!out_) {
            return false;
        }
        bool ok = true;
        sounding_.endAll([&](const std::uint8_t* off) { ok = send(off, 3) && ok; });
        for (std::uint8_t channel = 0; channel < 16; ++channel) {
            const std::uint8_t sustainOff[3] = {static_cast<std::uint8_t>(0xB0 | channel), 64, 0};
            const std::uint8_t allNotesOff[3] = {static_cast<std::uint8_t>(0xB0 | channel), 123, 0};
            ok = send(sustainOff, 3) && ok;
            ok = send(allNotesOff, 3) && ok;
        }
        return ok;
    }

    bool close() override {
        if (!out_) {
            return true;
        }
        error_ = false;
        try {
            out_->closePort();
        } catch (const RtMidiError&) {
            error_ = true;
        }
        out_.reset();
        return !error_;
    }

  private:
    static void onError(RtMidiError::Type type, const std::string& /*text*/, void* user) {
        if (type != RtMidiError::WARNING && type != RtMidiError::DEBUG_WARNING) {
            static_cast<RtMidiPort*>(user)->error_ = true;
        }
    }

    bool send(const std::uint8_t* bytes, std::size_t count) {
        error_ = false;
        try {
            out_->sendMessage(bytes, count);
        } catch (const RtMidiError&) {
            error_ = true;
        }
        return !error_;
    }

    std::unique_ptr<RtMidiOut> out_;
    SoundingNotes sounding_;
    bool error_ = false;
};

class RtMidiSystem final : public MidiOutputSystem {
  public:
    MidiOpenResult open(int deviceId, std::unique_ptr<MidiOutputPort>& port) override {
        port.reset();
        if (deviceId < kDefaultMidiOutput) {
            return MidiOpenResult::failed;
        }
        std::unique_ptr<RtMidiOut> out;
        if (alsaSequencerAvailable()) {
            try {
                out = std::make_unique<RtMidiOut>(RtMidi::LINUX_ALSA, kClientName);
            } catch (const RtMidiError&) {
                out.reset();
            }
        }
        if (!out) {
            if (deviceId == kDefaultMidiOutput) {
                port = makeNullMidiOutput();
                return MidiOpenResult::opened;
            }
            return MidiOpenResult::noDevices;
        }
        bool failed = false;
        out->setErrorCallback(
            [](RtMidiError::Type type, const std::string&, void* user) {
                if (type != RtMidiError::WARNING && type != RtMidiError::DEBUG_WARNING) {
                    *static_cast<bool*>(user) = true;
                }
            },
            &failed);
        try {
            if (deviceId == kDefaultMidiOutput) {
                out->openVirtualPort(kPortName);
            } else {
                unsigned count = out->getPortCount();
                if (count == 0) {
                    return MidiOpenResult::noDevices;
                }
                if (static_cast<unsigned>(deviceId) >= count) {
                    return MidiOpenResult::failed;
                }
                out->openPort(static_cast<unsigned>(deviceId), kPortName);
            }
        } catch (const RtMidiError&) {
            failed = true;
        }
        if (failed) {
            return MidiOpenResult::failed;
        }
        port = std::make_unique<RtMidiPort>(std::move(out));
        return MidiOpenResult::opened;
    }
};

}  // namespace

bool alsaSequencerAvailable() {
    // Asking first keeps ALSA from printing its own failure when the device is
    // missing (containers, machines without sound drivers).
    return access("/dev/snd/seq", R_OK | W_OK) == 0;
}

MidiOutputSystem& rtMidiOutputSystem() {
    static RtMidiSystem system;
    return system;
}
