#include "player_fixture.h"

#include <atomic>
#include <filesystem>
#include <fstream>
#include <mutex>

#include <unistd.h>

#include "app/midi/midi_control.h"
#include "app/platform/app_message.h"
#include "app/platform/timer_service.h"

namespace {

std::mutex recordMutex;
std::vector<CallbackCall> calls;
std::vector<std::uint64_t> ends;
std::vector<std::string> reports;
std::atomic<EventTreatment> treatment{EventTreatment::leave};
std::atomic<std::uint64_t> startTime{0};

void putVarLen(std::vector<std::uint8_t>& out, std::uint32_t value) {
    std::uint8_t groups[5];
    int n = 0;
    do {
        groups[n++] = static_cast<std::uint8_t>(value & 0x7F);
        value >>= 7;
    } while (value != 0);
    while (n > 1) {
        out.push_back(groups[--n] | 0x80);
    }
    out.push_back(groups[0]);
}

void putBigEndian(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) {
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
}

}  // namespace

TrackBytes& TrackBytes::event(std::uint32_t delta, std::initializer_list<std::uint8_t> bytes) {
    putVarLen(bytes_, delta);
    bytes_.insert(bytes_.end(), bytes);
    return *this;
}

TrackBytes& TrackBytes::tempo(std::uint32_t delta, std::uint32_t microsecondsPerQuarter) {
    return event(delta, {0xFF, 0x51, 0x03, static_cast<std::uint8_t>(microsecondsPerQuarter >> 16),
                         static_cast<std::uint8_t>(microsecondsPerQuarter >> 8),
                         static_cast<std::uint8_t>(microsecondsPerQuarter)});
}

TrackBytes& TrackBytes::endOfTrack(std::uint32_t delta) {
    return event(delta, {0xFF, 0x2F, 0x00});
}

std::vector<std::uint8_t> formatZeroFile(std::uint16_t division, const TrackBytes& track) {
    std::vector<std::uint8_t> file = {'M', 'T', 'h', 'd'};
    putBigEndian(file, 6, 4);
    putBigEndian(file, 0, 2);
    putBigEndian(file, 1, 2);
    putBigEndian(file, division, 2);
    file.insert(file.end(), {'M', 'T', 'r', 'k'});
    putBigEndian(file, static_cast<std::uint32_t>(track.bytes().size()), 4);
    file.insert(file.end(), track.bytes().begin(), track.bytes().end());
    return file;
}

std::string writeTempFile(const std::vector<std::uint8_t>& bytes) {
    static std::atomic<int> counter{0};
    std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                ("korvane-player-test-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::filesystem::path path = dir / ("song" + std::to_string(counter++) + ".mid");
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return path.string();
}

void setEventTreatment(EventTreatment value) {
    treatment = value;
}

std::vector<CallbackCall> recordedCalls() {
    std::lock_guard lock(recordMutex);
    return calls;
}

std::vector<std::uint64_t> recordedEnds() {
    std::lock_guard lock(recordMutex);
    return ends;
}

std::vector<std::string> recordedReports() {
    std::lock_guard lock(recordMutex);
    return reports;
}

void recordEvent(int eventIndex, int tickPosition, CMusicEvent* event) {
    CallbackCall call{
        timerService().now() - startTime, eventIndex, tickPosition, event != nullptr, -1, -1, -1};
    if (event != nullptr) {
        call.status = event->status;
        call.channel = event->channel;
        call.note = event->note;
        if (treatment == EventTreatment::consumeNotes &&
            (event->status == kStatusNoteOn || event->status == kStatusNoteOff)) {
            event->status = 0;
        }
    }
    std::lock_guard lock(recordMutex);
    calls.push_back(call);
}

void recordEnd() {
    std::lock_guard lock(recordMutex);
    ends.push_back(timerService().now() - startTime);
}

PlayerTest::PlayerTest() {
    {
        std::lock_guard lock(recordMutex);
        calls.clear();
        ends.clear();
        reports.clear();
    }
    treatment = EventTreatment::leave;
    CMidiControl::RearmNoDeviceReport();
    setTimerService(&timers);
    setMidiOutputSystem(&outputs);
    setAppMessageHandler([](const std::string& text, const std::string&) {
        std::lock_guard lock(recordMutex);
        reports.push_back(text);
    });
}

PlayerTest::~PlayerTest() {
    // A test that left a playback running lets it finish on virtual time, so
    // that nothing of it outlives the fixture's timer and output.
    while (!Playback().JoinFinishedThread()) {
        timers.sleep(100);
    }
    setAppMessageHandler(nullptr);
    setMidiOutputSystem(nullptr);
    setTimerService(nullptr);
}

void PlayerTest::play(CMidiFormat0Data& song, int startMode) {
    playStart = timers.now();
    startTime = playStart;
    Play(song, &recordEnd, &recordEvent, startMode);
}

void PlayerTest::runToEnd() {
    while (!Playback().JoinFinishedThread()) {
        timers.sleep(10);
    }
}

std::vector<CallbackCall> PlayerTest::eventCalls() const {
    std::vector<CallbackCall> withEvent;
    for (const CallbackCall& call : recordedCalls()) {
        if (call.hasEvent) {
            withEvent.push_back(call);
        }
    }
    return withEvent;
}

std::vector<std::pair<std::uint64_t, std::vector<std::uint8_t>>> PlayerTest::sent() const {
    std::vector<std::pair<std::uint64_t, std::vector<std::uint8_t>>> messages;
    for (const RecordedMidiMessage& message : outputs.messages()) {
        if (message.kind == RecordedMidiMessage::Kind::shortMessage ||
            message.kind == RecordedMidiMessage::Kind::longMessage) {
            messages.emplace_back(message.timeMs - playStart, message.bytes);
        }
    }
    return messages;
}

int PlayerTest::reportsStartingWith(const std::string& prefix) const {
    int n = 0;
    for (const std::string& line : recordedReports()) {
        if (line.rfind(prefix, 0) == 0) {
            ++n;
        }
    }
    return n;
}
