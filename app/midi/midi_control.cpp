#include "app/midi/midi_control.h"

#include <atomic>
#include <vector>

#include "app/midi/error_catalogs.h"

namespace {

// The report for a system without any output device shows once per process:
// it would otherwise come back at every song.
std::atomic<int> reportNoDevice{1};

std::uint32_t lowByte(int value) {
    return static_cast<std::uint32_t>(value) & 0xFF;
}

std::uint32_t statusWith(int kind, int channel) {
    return static_cast<std::uint32_t>(kind) | (static_cast<std::uint32_t>(channel) & 0x0F);
}

}  // namespace

CMidiControl::CMidiControl(int deviceId) {
    Open(deviceId);
}

CMidiControl::~CMidiControl() {
    Close();
}

void CMidiControl::Open(int deviceId) {
    Close();
    std::unique_ptr<MidiOutputPort> port;
    switch (midiOutputSystem().open(deviceId, port)) {
        case MidiOpenResult::opened:
            handle = std::move(port);
            break;
        case MidiOpenResult::noDevices:
            handle.reset();
            if (reportNoDevice.exchange(0) == 1) {
                ReportError(kControlOpenFailed);
            }
            break;
        case MidiOpenResult::failed:
            handle.reset();
            ReportError(kControlOpenFailed);
            break;
    }
}

void CMidiControl::Close() {
    if (!handle) {
        return;
    }
    if (!handle->reset()) {
        ReportError(kControlCloseFailed);
    }
    if (!handle->close()) {
        ReportError(kControlCloseFailed);
    }
    handle.reset();
}

void CMidiControl::SendShortWord(std::uint32_t word, std::uint32_t errorCode) {
    if (!handle) {
        return;
    }
    if (!handle->sendShort(word) && errorCode != 0) {
        ReportError(errorCode);
    }
}

void CMidiControl::NoteOn(int note, int velocity, int channel) {
    // The velocity is limited before it is cut to a byte: 300 is loud, not 44.
    std::uint32_t v = velocity > 127 || lowByte(velocity) > 127 ? 127 : lowByte(velocity);
    SendShortWord(statusWith(0x90, channel) | lowByte(note) << 8 | v << 16, 0);
}

void CMidiControl::NoteOff(int note, int channel) {
    SendShortWord(statusWith(0x80, channel) | lowByte(note) << 8, 0);
}

void CMidiControl::ProgramChange(int program, int channel) {
    SendShortWord(statusWith(0xC0, channel) | lowByte(program) << 8, kControlProgramFailed);
}

void CMidiControl::ShortMessage(int data2, int data1, int status) {
    SendShortWord(lowByte(status) | lowByte(data1) << 8 | lowByte(data2) << 16, 0);
}

void CMidiControl::SendGmSystemOn() {
    static const std::uint8_t kGmSystemOn[7] = {0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7};
    SendExclusive(7, kGmSystemOn);
}

void CMidiControl::SendExclusive(int length, const std::uint8_t* bytes) {
    if (!handle || bytes == nullptr || length <= 0) {
        return;
    }
    std::vector<std::uint8_t> message;
    if (bytes[0] == 0xF0) {
        // The stored count is a variable-length number: every byte with its top
        // bit set, then one more. Left in, it would read as body bytes.
        int body = 1;
        while (body < length && (bytes[body] & 0x80) != 0) {
            ++body;
        }
        ++body;
        message.reserve(static_cast<std::size_t>(length));
        message.push_back(0xF0);
        for (int i = body; i < length; ++i) {
            message.push_back(bytes[i]);
        }
    } else {
        message.assign(bytes, bytes + length);
    }
    // The buffer is made to the message's size, so no message is cut or
    // overruns it; the output copies it before returning, so it goes at once.
    handle->sendLong(message.data(), message.size());
}

void CMidiControl::ReportError(std::uint32_t code) {
    ReportCatalogError(CatalogModule::MDCT, code);
}

void CMidiControl::RearmNoDeviceReport() {
    reportNoDevice.store(1);
}
