#include "app/midi/player_state_table.h"

#include "app/midi/error_catalogs.h"
#include "app/midi/general_routines.h"
#include "app/midi/midi_player_core.h"

namespace {

struct ChannelState {
    std::int32_t program = -1;  // -1: not set
    bool bendSet = false;
    std::int32_t bendLow = 0;
    std::int32_t bendHigh = 0;
    std::int32_t controllers[128];
    ChannelState() {
        for (std::int32_t& value : controllers) {
            value = -1;
        }
    }
};

struct StateTable {
    ChannelState channels[16];
    std::int32_t tempo = -1;  // microseconds per quarter note, -1 not set
    bool timeSignatureSet = false;
    std::int32_t timeSignature = 0;  // numerator * 256 + denominator

    void take(const CMusicEvent& event) {
        int channel = event.channel & 0x0F;
        switch (event.status) {
            case kStatusControl:
                channels[channel].controllers[event.subtype & 0x7F] = event.value;
                break;
            case kStatusProgram:
                channels[channel].program = event.value;
                break;
            case kStatusPitchBend:
                channels[channel].bendSet = true;
                channels[channel].bendLow = event.note;
                channels[channel].bendHigh = event.value;
                break;
            case kStatusMeta:
                if (event.subtype == kMetaTempo) {
                    tempo = event.value;
                } else if (event.subtype == kMetaTimeSignature) {
                    timeSignatureSet = true;
                    timeSignature = event.value;
                }
                break;
            default:
                break;
        }
    }

    void send() const {
        if (timeSignatureSet) {
            if (timeSignature == 0) {
                ReportStateTableError(kStateTableBadTimeSignature);
            } else {
                CMusicEvent event(0);
                event.status = kStatusMeta;
                event.subtype = kMetaTimeSignature;
                event.value = timeSignature;
                std::uint8_t bytes[4];
                std::int32_t length = 0;
                MakeTimeSignatureBytes(timeSignature, bytes, length);
                event.SetData(bytes, length);
                SendEvent(event);
            }
        }
        if (tempo >= 0) {
            CMusicEvent event(0);
            event.status = kStatusMeta;
            event.subtype = kMetaTempo;
            event.value = tempo;
            SendEvent(event);
        }
        for (int channel = 0; channel < 16; ++channel) {
            const ChannelState& state = channels[channel];
            if (state.program >= 0) {
                CMusicEvent event(0);
                event.status = kStatusProgram;
                event.channel = channel;
                event.value = state.program;
                SendEvent(event);
            }
            for (int controller = 0; controller < 128; ++controller) {
                if (state.controllers[controller] >= 0) {
                    CMusicEvent event(0);
                    event.status = kStatusControl;
                    event.channel = channel;
                    event.subtype = controller;
                    event.value = state.controllers[controller];
                    SendEvent(event);
                }
            }
            if (state.bendSet) {
                CMusicEvent event(0);
                event.status = kStatusPitchBend;
                event.channel = channel;
                event.note = state.bendLow;
                event.value = state.bendHigh;
                SendEvent(event);
            }
        }
    }
};

}  // namespace

std::int32_t ChaseToTick(const CMidiTrackData& track, std::int32_t startTick,
                         std::int32_t& eventIndex) {
    StateTable table;
    std::int64_t tick = 0;
    std::int32_t index = 0;
    for (; index < track.count; ++index) {
        const CMusicEvent* event = track.EventAt(index);
        if (event == nullptr || tick + event->delta >= startTick) {
            break;
        }
        tick += event->delta;
        table.take(*event);
    }
    table.send();
    eventIndex = index;
    return static_cast<std::int32_t>(tick);
}

void ReportStateTableError(std::uint32_t code) {
    ReportCatalogError(CatalogModule::MDSS, code);
}
