// MIDI intake: the event queue filled by effProcessEvents and the channel
// messages that the render call applies when their frame is due.
#include <atomic>
#include <cstring>
#include <new>

#include "plugin/sampler/sampler_effect.h"

namespace {

// Registered-parameter state, held once for the whole module: every instance in a
// process shares it, and it survives the closing and re-creation of instances.
// Atomic so that instances rendered on different threads never make it undefined;
// the four values still belong to whichever message sequence arrives last.
std::atomic<std::int32_t> rpnMsb{-1};
std::atomic<std::int32_t> rpnLsb{-1};
std::atomic<std::int32_t> dataEntryMsb{-1};
std::atomic<std::int32_t> dataEntryLsb{-1};

constexpr int kControllerDataEntryMsb = 6;
constexpr int kControllerVolume = 7;
constexpr int kControllerExpression = 11;
constexpr int kControllerDataEntryLsb = 38;
constexpr int kControllerRpnLsb = 100;
constexpr int kControllerRpnMsb = 101;
constexpr int kControllerAllSoundOff = 120;
constexpr int kControllerAllNotesOff = 123;

}  // namespace

std::int32_t SamplerEffect::processEvents(VstEvents* events) {
    std::lock_guard render(renderMutex);
    // Events of the previous list that were not yet applied are dropped.
    nextEvent = 0;
    framesSinceEvents = 0;
    eventCount = 0;
    const std::int32_t count = events != nullptr ? events->numEvents : 0;
    if (count <= 0) {
        return 1;
    }
    if (count > eventCapacity) {
        // The queue grows to the exact count and never shrinks, so a steady stream
        // of lists allocates nothing. When memory runs out the old queue stays and
        // the list is cut to what it holds.
        VstMidiEvent* larger = new (std::nothrow) VstMidiEvent[static_cast<std::size_t>(count)];
        if (larger != nullptr) {
            eventQueue.reset(larger);
            eventCapacity = count;
        }
    }
    for (std::int32_t i = 0; i < count && eventCount < eventCapacity; ++i) {
        const VstEvent* event = events->events[i];
        if (event == nullptr || event->type != kVstMidiType) {
            continue;
        }
        // A whole copy: the host may reuse its event memory once this call returns.
        std::memcpy(&eventQueue[static_cast<std::size_t>(eventCount)], event, sizeof(VstMidiEvent));
        ++eventCount;
    }
    return 1;
}

void SamplerEffect::handleMidiMessage(int status, int data1, int data2) {
    status &= 0xFF;
    if (status < 0x80 || status > 0xEF) {
        return;  // system messages, and data bytes in the status position
    }
    // The channel is ignored: the instrument plays on all 16 alike.
    data1 &= 0x7F;
    data2 &= 0x7F;
    switch (status & 0xF0) {
        case 0x80:
            noteOff(data1);
            break;
        case 0x90:
            if (data2 == 0) {
                noteOff(data1);
            } else {
                noteOn(data1, data2);
            }
            break;
        case 0xB0: {
            switch (data1) {
                case kControllerVolume:
                    volume = static_cast<float>(data2 * (1.0 / 127.0));
                    break;
                case kControllerExpression:
                    expression = static_cast<float>(data2 * (1.0 / 127.0));
                    break;
                case kControllerRpnMsb:
                    rpnMsb = data2;
                    break;
                case kControllerRpnLsb:
                    rpnLsb = data2;
                    break;
                case kControllerDataEntryMsb:
                    dataEntryMsb = data2;
                    break;
                case kControllerDataEntryLsb:
                    dataEntryLsb = 0;
                    break;
                case kControllerAllSoundOff:
                case kControllerAllNotesOff:
                    noteOff(-1);
                    break;
                default:
                    break;
            }
            // Pitch-bend sensitivity: registered parameter 0/0 with both data entry
            // bytes seen, in any order; the last of the four messages sets it.
            if (rpnMsb == 0 && rpnLsb == 0 && dataEntryMsb >= 0 && dataEntryLsb >= 0) {
                pitchBendRange = dataEntryMsb.load();
                rpnMsb = -1;
                rpnLsb = -1;
                dataEntryMsb = -1;
                dataEntryLsb = -1;
            }
            break;
        }
        case 0xE0:
            pitchBend = (data2 * 128 + data1) - 8192;
            break;
        default:
            // Key pressure, channel pressure, and program change: programs change
            // only through effSetProgram.
            break;
    }
}
