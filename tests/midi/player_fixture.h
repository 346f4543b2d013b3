// Shared pieces of the player tests: Standard MIDI Files built in the test, a
// fixture that runs playbacks on the virtual timer with a recording MIDI
// output, and recorders for the callbacks and the reports.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "app/midi/midi_format0_data.h"
#include "app/midi/midi_playback.h"
#include "app/platform/recording_midi_output.h"
#include "app/platform/virtual_timer_service.h"

// The events of one track chunk, each with its delta.
class TrackBytes {
  public:
    TrackBytes& event(std::uint32_t delta, std::initializer_list<std::uint8_t> bytes);
    TrackBytes& tempo(std::uint32_t delta, std::uint32_t microsecondsPerQuarter);
    TrackBytes& endOfTrack(std::uint32_t delta = 0);
    const std::vector<std::uint8_t>& bytes() const { return bytes_; }

  private:
    std::vector<std::uint8_t> bytes_;
};

// A format-0 file of one track.
std::vector<std::uint8_t> formatZeroFile(std::uint16_t division, const TrackBytes& track);

// Writes the bytes to a new file under the temporary directory and returns its
// path; the files go when the process's test ends.
std::string writeTempFile(const std::vector<std::uint8_t>& bytes);

// One call of the event callback.
struct CallbackCall {
    std::uint64_t timeMs;
    int index;
    int tick;
    bool hasEvent;
    int status;
    int channel;
    int note;
};

class PlayerTest : public testing::Test {
  protected:
    PlayerTest();
    ~PlayerTest() override;

    // Plays the song with the recording callbacks from now on.
    void play(CMidiFormat0Data& song, int startMode = 0);
    // Lets virtual time run until the playback thread has finished.
    void runToEnd();
    // Milliseconds of virtual time since play().
    std::uint64_t sincePlay() const { return timers.now() - playStart; }

    // Callback calls with an event, as (ms since play, status, note).
    std::vector<CallbackCall> eventCalls() const;
    // The short and long messages that reached the device, with their time
    // since play(), leaving out resets and closes.
    std::vector<std::pair<std::uint64_t, std::vector<std::uint8_t>>> sent() const;
    // Report lines shown so far that begin with `prefix` (e.g. "MDPL08000003").
    int reportsStartingWith(const std::string& prefix) const;

    VirtualTimerService timers;
    RecordingMidiOutputSystem outputs;
    std::uint64_t playStart = 0;
};

// What the recording event callback does to the events it sees.
enum class EventTreatment { leave, consumeNotes };
void setEventTreatment(EventTreatment treatment);

// Everything the recording callbacks saw. Thread: any.
std::vector<CallbackCall> recordedCalls();
std::vector<std::uint64_t> recordedEnds();
std::vector<std::string> recordedReports();

// The recording callbacks.
void recordEvent(int eventIndex, int tickPosition, CMusicEvent* event);
void recordEnd();
