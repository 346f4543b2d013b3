// CMidiControl: one MIDI output device. It opens the device by number, sends
// short messages, the General MIDI system-on message and exclusive messages,
// and resets and closes it. Failures are reported through the MDCT catalog;
// the object stays usable and the caller carries on.
#pragma once

#include <cstdint>
#include <memory>

#include "app/platform/midi_output.h"

class CMidiControl {
  public:
    // Opens device `deviceId` (-1: the default output). The caller asks
    // IsOpen() to learn whether it opened. Thread: the playback thread.
    explicit CMidiControl(int deviceId);
    // Closes the device if it is still open. Thread: the playback thread.
    virtual ~CMidiControl();
    CMidiControl(const CMidiControl&) = delete;
    CMidiControl& operator=(const CMidiControl&) = delete;

    // A system without any output device reports 07000001 the first time in
    // the process only; a device that does not open reports it every time.
    // An open device is closed first. Thread: the playback thread.
    void Open(int deviceId);
    // Resets, then closes; a failure of either reports 07000002. With no device
    // nothing happens. Thread: the playback thread (after the timer chain has
    // stopped).
    void Close();
    bool IsOpen() const { return handle != nullptr; }

    // Short messages; every argument counts with its low byte, the channel
    // with its low four bits. Thread: playback or timer thread, one at a time.
    // 0x90 + channel, note, velocity (127 when above 127). Errors pass silently.
    void NoteOn(int note, int velocity, int channel);
    // 0x80 + channel, note, 0. Errors pass silently.
    void NoteOff(int note, int channel);
    // 0xC0 + channel, program; an error reports 07000003.
    void ProgramChange(int program, int channel);
    // status, data1, data2. Errors pass silently.
    void ShortMessage(int data2, int data1, int status);

    // F0 7E 7F 09 01 F7. Thread: as the short messages.
    void SendGmSystemOn();
    // An exclusive message in the stored form of a track: F0, the
    // variable-length count, the body, F7. The count is left out, however many
    // bytes it takes, and the device receives F0, body, F7. Any other message
    // (an exclusive escape F7 ...) goes out unchanged. Messages of any length
    // are sent whole. Send errors pass silently. Thread: as the short messages.
    void SendExclusive(int length, const std::uint8_t* bytes);

    // MDCT report. Thread: any.
    static void ReportError(std::uint32_t code);

    // Lets the next "no output device" report show again, as at program start.
    // Thread: any; for tests.
    static void RearmNoDeviceReport();

    std::unique_ptr<MidiOutputPort> handle;  // empty while the device is not open

  private:
    void SendShortWord(std::uint32_t word, std::uint32_t errorCode);
};

inline constexpr std::uint32_t kControlOpenFailed = 0x07000001;
inline constexpr std::uint32_t kControlCloseFailed = 0x07000002;
inline constexpr std::uint32_t kControlProgramFailed = 0x07000003;
inline constexpr std::uint32_t kControlExclusiveFailed = 0x07000004;
