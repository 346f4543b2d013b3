// Treatments and program changes on a control thread while a render thread plays
// notes without pause, as real hosts do. Built twice: plainly, and with
// ThreadSanitizer watching every access of the instrument's code.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "plugin/sampler/sampler_effect.h"
#include "tests/sampler/sample_set_files.h"

// The ThreadSanitizer build names its suite apart, so both runs show in the results.
#ifndef SAMPLER_STRESS_SUITE
#define SAMPLER_STRESS_SUITE StressTest
#endif

namespace samplertest {
namespace {

std::intptr_t quietHost(AEffect*, std::int32_t opcode, std::int32_t, std::intptr_t, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

class SAMPLER_STRESS_SUITE : public ::testing::Test {
  protected:
    SAMPLER_STRESS_SUITE() {
        std::string samples;
        std::string programs;
        for (int i = 0; i < 4; ++i) {
            const std::string name = "s" + std::to_string(i) + ".wav";
            dir.writeWave(name, pianoLikeValues(20000, static_cast<std::uint32_t>(i + 1)));
            samples += name + ",S" + std::to_string(i) + "," + std::to_string(48 + 12 * i) + "\n";
        }
        for (int p = 0; p < 3; ++p) {
            programs += "Program\nP,0.8,2,P" + std::to_string(p) + "\n";
            for (int i = 0; i < 4; ++i) {
                const int low = 32 * i;
                programs += "S," + std::to_string(low) + "," + std::to_string(low + 31) + ",s" +
                            std::to_string((i + p) % 4) + ".wav\n";
            }
            programs += "End\n";
        }
        dir.writeText("samples.txt", samples);
        dir.writeText("programs.txt", programs);
    }

    SampleSetDir dir;
};

TEST_F(SAMPLER_STRESS_SUITE, PreparationsAndProgramChangesWhileRendering) {
    SamplerEffect effect(&quietHost, dir.root().string());
    AEffect* record = effect.getAEffect();
    std::atomic<bool> controlDone{false};
    std::atomic<bool> allFinite{true};

    std::thread render([&] {
        std::vector<float> left(256), right(256);
        float* outputs[2] = {left.data(), right.data()};
        VstMidiEvent notes[4] = {};
        struct {
            std::int32_t numEvents;
            std::intptr_t reserved;
            VstEvent* events[4];
        } storage = {};
        auto* list = reinterpret_cast<VstEvents*>(&storage);
        int block = 0;
        while (!controlDone || block < 200) {
            storage.numEvents = 4;
            for (int i = 0; i < 4; ++i) {
                VstMidiEvent& note = notes[i];
                note.type = kVstMidiType;
                note.byteSize = sizeof note;
                note.deltaFrames = 60 * i;
                const int key = 36 + (block * 7 + i * 13) % 72;
                note.midiData[0] = static_cast<char>(i % 2 == 0 ? 0x90 : 0x80);
                note.midiData[1] = static_cast<char>(key);
                note.midiData[2] = 100;
                storage.events[i] = reinterpret_cast<VstEvent*>(&note);
            }
            record->dispatcher(record, effProcessEvents, 0, 0, list, 0.0f);
            record->processReplacing(record, nullptr, outputs, 256);
            for (float v : left) {
                if (!std::isfinite(v)) {
                    allFinite = false;
                }
            }
            ++block;
        }
    });

    char text[32];
    for (int round = 0; round < 60; ++round) {
        const float key = static_cast<float>((round * 11) % 128);
        record->setParameter(record, 2, static_cast<float>(round % 5));
        record->setParameter(record, 3, key);
        record->setParameter(record, 4, 1.0f + static_cast<float>(round % 41) * 0.1f);
        if (round % 4 == 0) {
            record->dispatcher(record, effSetProgram, 0, (round / 4) % 3, nullptr, 0.0f);
        }
        record->setParameter(record, 0, 0.5f + 0.01f * static_cast<float>(round % 10));
        record->setParameter(record, 1, 0.25f);
        record->getParameter(record, 0);
        record->getParameter(record, 1);
        record->dispatcher(record, effGetParamDisplay, round % 5, 0, text, 0.0f);
        record->dispatcher(record, effGetProgramName, 0, 0, text, 0.0f);
        record->dispatcher(record, effGetProgram, 0, 0, nullptr, 0.0f);
    }
    controlDone = true;
    render.join();
    EXPECT_TRUE(allFinite);
}

}  // namespace
}  // namespace samplertest
