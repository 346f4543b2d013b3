#include "app/host/host_callback.h"

#include <gtest/gtest.h>

#include <chrono>

namespace {

struct CallbackCase {
    int32_t opcode;
    const char* word;
    intptr_t answer;
};

TEST(HostCallback, AnswersTheRequestsItKnowsAndZeroOtherwise) {
    const CallbackCase cases[] = {
        {audioMasterVersion, nullptr, 2400},
        {audioMasterGetLanguage, nullptr, 6},
        {audioMasterCanDo, "sendVstEvents", 1},
        {audioMasterCanDo, "sendVstMidiEvent", 1},
        {audioMasterCanDo, "supplyIdle", 1},
        {audioMasterCanDo, "sendvstevents", 0},
        {audioMasterCanDo, "receiveVstTimeInfo", 0},
        {audioMasterCanDo, "", 0},
        {audioMasterCanDo, nullptr, 0},
        {audioMasterAutomate, nullptr, 0},
        {audioMasterWantMidi, nullptr, 0},
        {audioMasterGetTime, nullptr, 0},
        {47, nullptr, 0},
        {-1, nullptr, 0},
    };
    for (const auto& c : cases) {
        void* ptr = const_cast<char*>(c.word);
        EXPECT_EQ(hostCallback(nullptr, c.opcode, 0, 0, ptr, 0.0f), c.answer)
            << "opcode " << c.opcode << " word " << (c.word ? c.word : "(null)");
    }
}

TEST(HostCallback, IdlePausesAtLeastOneMillisecond) {
    const auto before = std::chrono::steady_clock::now();
    EXPECT_EQ(hostCallback(nullptr, audioMasterIdle, 0, 0, nullptr, 0.0f), 0);
    EXPECT_GE(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(1));
}

}  // namespace
