#include "tools/mididump/schedule_mode.h"

#include <cinttypes>
#include <mutex>

#include "app/midi/midi_format0_data.h"
#include "app/midi/midi_playback.h"
#include "app/platform/recording_midi_output.h"
#include "app/platform/timer_service.h"
#include "app/platform/virtual_timer_service.h"

namespace {

// The callbacks are plain functions; they reach the output through these.
std::mutex outputMutex;
std::FILE* scheduleOut = nullptr;
std::uint64_t playStart = 0;

std::uint64_t sincePlay() {
    return timerService().now() - playStart;
}

void onEvent(int eventIndex, int tickPosition, CMusicEvent* event) {
    std::lock_guard lock(outputMutex);
    if (event == nullptr) {
        std::fprintf(scheduleOut, "cb %" PRIu64 " %d %d - - - -\n", sincePlay(), eventIndex,
                     tickPosition);
        return;
    }
    std::fprintf(scheduleOut, "cb %" PRIu64 " %d %d %02X %d %d %d\n", sincePlay(), eventIndex,
                 tickPosition, static_cast<unsigned>(event->status) & 0xFFu, event->channel,
                 event->note, event->velocity);
}

void onEnd() {
    std::lock_guard lock(outputMutex);
    std::fprintf(scheduleOut, "end %" PRIu64 "\n", sincePlay());
}

void onMessage(const RecordedMidiMessage& message) {
    if (message.kind != RecordedMidiMessage::Kind::shortMessage &&
        message.kind != RecordedMidiMessage::Kind::longMessage) {
        return;
    }
    std::lock_guard lock(outputMutex);
    std::fprintf(scheduleOut, "out %" PRIu64 " ", message.timeMs - playStart);
    for (std::uint8_t byte : message.bytes) {
        std::fprintf(scheduleOut, "%02X", byte);
    }
    std::fputc('\n', scheduleOut);
}

}  // namespace

void WriteSchedule(const CMidiFormat0Data& song, std::FILE* out) {
    VirtualTimerService timers;
    RecordingMidiOutputSystem outputs;
    outputs.setListener(&onMessage);
    scheduleOut = out;
    TimerService* previousTimers = setTimerService(&timers);
    MidiOutputSystem* previousOutputs = setMidiOutputSystem(&outputs);
    {
        // Play keeps its copy in the song it plays; the caller's song stays as
        // it was loaded.
        CMidiFormat0Data played(song, kSongCapacity);
        playStart = timers.now();
        Play(played, &onEnd, &onEvent, 0);
        while (!Playback().JoinFinishedThread()) {
            timers.sleep(100);
        }
    }
    setMidiOutputSystem(previousOutputs);
    setTimerService(previousTimers);
    scheduleOut = nullptr;
}
