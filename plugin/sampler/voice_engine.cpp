// The 16 voices: note on and off, and the render call that cuts each block at
// the queued events and resamples every sounding voice's sample by linear
// interpolation.
#include <algorithm>
#include <cmath>

#include "plugin/sampler/sampler_effect.h"

namespace {

constexpr double kPitchBendScale = 1.0 / 8192.0;        // semitones per unit of bend and range
constexpr double kGainScale = 1.0 / (127.0 * 32768.0);  // velocity 127, full-scale value: 1.0
constexpr double kReleaseSlope = 1.0 / 110000.0;        // per-frame release factor 1 - f × slope
constexpr double kReleaseEnd = 0.001;

// s0 + (s1 - s0) × frac of one channel between frames i and i + 1.
inline double interpolate(const WaveSample& sample, std::uint32_t frame, int channel,
                          double fraction) {
    const double s0 = sample.getSample(frame, channel);
    const double s1 = sample.getSample(frame + 1, channel);
    return s0 + (s1 - s0) * fraction;
}

// Value `frame` of 16-bit mono data that is known to hold it: what getSample
// answers, without its checks.
inline double monoValue(const std::uint8_t* data, std::uint32_t frame) {
    const std::uint8_t* bytes = data + 2 * static_cast<std::size_t>(frame);
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(bytes[0] | bytes[1] << 8));
}

}  // namespace

void SamplerEffect::noteOn(std::int32_t key, std::int32_t velocity) {
    // The first free voice; with all 16 sounding the note is dropped, never stolen.
    for (Voice& voice : voices) {
        if (!voice.gate && !voice.releasing) {
            voice.gate = true;
            voice.releasing = false;
            voice.key = key;
            voice.velocity = velocity;
            voice.position = 0.0;
            return;
        }
    }
}

void SamplerEffect::noteOff(std::int32_t key) {
    for (Voice& voice : voices) {
        if (voice.gate && voice.key == key) {
            voice.gate = false;
            voice.releasing = true;
            voice.releaseLevel = 1.0;
        } else if (key == -1) {
            // A held voice falls silent at once; one already releasing goes on.
            voice.gate = false;
        }
    }
}

void SamplerEffect::processReplacing(float** inputs, float** outputs, std::int32_t sampleFrames) {
    if (outputs == nullptr || outputs[0] == nullptr || outputs[1] == nullptr || sampleFrames <= 0) {
        return;
    }
    std::lock_guard render(renderMutex);
    std::fill_n(outputs[0], sampleFrames, 0.0f);
    std::fill_n(outputs[1], sampleFrames, 0.0f);

    // Every event takes effect at its frame: render up to it, then apply it. An
    // event already past applies before the next frame; one at or beyond the end
    // of the block applies after its last frame and ends the block.
    std::int32_t offset = 0;
    std::int32_t remaining = sampleFrames;
    while (remaining > 0) {
        const bool pending = nextEvent < eventCount;
        std::int32_t length = remaining;
        if (pending) {
            const std::int64_t due =
                eventQueue[static_cast<std::size_t>(nextEvent)].deltaFrames - framesSinceEvents;
            length = static_cast<std::int32_t>(std::clamp<std::int64_t>(due, 0, remaining));
        }
        renderChunk(outputs, offset, length);
        framesSinceEvents += length;
        offset += length;
        if (pending) {
            const VstMidiEvent& event = eventQueue[static_cast<std::size_t>(nextEvent)];
            handleMidiMessage(static_cast<std::uint8_t>(event.midiData[0]),
                              static_cast<std::uint8_t>(event.midiData[1]),
                              static_cast<std::uint8_t>(event.midiData[2]));
            ++nextEvent;
        }
        remaining -= length;
    }
}

const WaveSample& SamplerEffect::sampleForKey(std::int32_t key) const {
    const std::int32_t index = sampleSet_.keyMap[static_cast<std::size_t>(key & 0x7F)];
    // Zone indices come from the sample list, but the render thread must not trust
    // anything to stay inside the table.
    const std::size_t slot =
        index >= 0 && index < SampleSet::kSampleSlots ? static_cast<std::size_t>(index) : 0;
    return sampleSet_.samples[slot];
}

void SamplerEffect::renderChunk(float** outputs, std::int32_t offset, std::int32_t length) {
    if (length <= 0) {
        return;
    }
    // The product of two integers first; 64 bits, since a range set through
    // parameter 1 may be large.
    const double bend =
        static_cast<double>(static_cast<std::int64_t>(pitchBendRange.load()) * pitchBend) *
        kPitchBendScale;
    for (Voice& voice : voices) {
        if (voice.gate || voice.releasing) {
            renderVoice(voice, outputs[0] + offset, outputs[1] + offset, length, bend);
        }
    }
}

void SamplerEffect::renderVoice(Voice& voice, float* left, float* right, std::int32_t length,
                                double bend) {
    const WaveSample& sample = sampleForKey(voice.key);
    const double frequency = noteFrequency(voice.key + bend);
    // Frames of the sample per output frame: a key at its root pitch reads one
    // recorded frame per output frame, whatever the rates of file and host.
    const double step = frequency / sample.rootFrequency;
    const double gain = voice.velocity * static_cast<double>(volume.load()) *
                        static_cast<double>(expression) * kGainScale;
    const double decay = 1.0 - frequency * kReleaseSlope;
    const std::uint32_t frames = sample.frameCount();
    const double frameCount = frames;
    // 16-bit mono, the format of the sample sets, is read directly wherever both
    // frames of an interpolation lie inside the data; the last frame and every
    // other format go through getSample.
    const std::uint8_t* mono =
        sample.bitsPerSample == 16 && sample.channels == 1 && sample.blockAlign == 2
            ? sample.data.get()
            : nullptr;

    for (std::int32_t k = 0; k < length; ++k) {
        double g = gain;
        if (voice.releasing) {
            voice.releaseLevel *= decay;
            if (voice.releaseLevel < kReleaseEnd) {
                voice.releasing = false;  // free; silent for the rest of the chunk
                return;
            }
            g = voice.releaseLevel * gain;
        }
        // Past the end every value reads 0: the voice keeps sounding silence until
        // it is released. The test also keeps a huge position from overflowing the
        // frame index.
        if (voice.position < frameCount) {
            const double whole = std::floor(voice.position);
            const auto frame = static_cast<std::uint32_t>(whole);
            const double fraction = voice.position - whole;
            if (mono != nullptr && frame + 1 < frames) {
                const double s0 = monoValue(mono, frame);
                const double value = (s0 + (monoValue(mono, frame + 1) - s0) * fraction) * g;
                left[k] = static_cast<float>(left[k] + value);
                right[k] = static_cast<float>(right[k] + value);
            } else {
                left[k] = static_cast<float>(left[k] + interpolate(sample, frame, 0, fraction) * g);
                right[k] =
                    static_cast<float>(right[k] + interpolate(sample, frame, 1, fraction) * g);
            }
        }
        voice.position += step;
    }
}
