#include "app/midi/general_routines.h"

#include <gtest/gtest.h>

#include <cstring>

#include "tests/midi/midi_test_support.h"

namespace {

class GeneralRoutines : public ReportRecorder {};

TEST_F(GeneralRoutines, DropMacBinaryHeaderMovesTheFileDown) {
    Bytes file = HeaderChunk(0, 1, 96);
    Bytes buffer = MacBinary(file);
    std::int32_t length = static_cast<std::int32_t>(buffer.size());
    EXPECT_EQ(DropMacBinaryHeader(buffer.data(), "MThd", length), 1);
    EXPECT_EQ(length, static_cast<std::int32_t>(file.size()));
    EXPECT_TRUE(std::equal(file.begin(), file.end(), buffer.begin()));
}

TEST_F(GeneralRoutines, DropMacBinaryHeaderLeavesOtherBuffersAlone) {
    Bytes buffer(200, 0x22);
    Bytes original = buffer;
    std::int32_t length = 200;
    EXPECT_EQ(DropMacBinaryHeader(buffer.data(), "MThd", length), 0);
    EXPECT_EQ(length, 200);
    EXPECT_EQ(buffer, original);
    // Too short to hold a header at 128: never read past the length.
    std::int32_t shortLength = 100;
    EXPECT_EQ(DropMacBinaryHeader(buffer.data(), "MThd", shortLength), 0);
    EXPECT_EQ(shortLength, 100);
}

TEST_F(GeneralRoutines, TempoToBeatsPerMinuteTruncates) {
    EXPECT_EQ(TempoToBeatsPerMinute(500000), 120u);
    EXPECT_EQ(TempoToBeatsPerMinute(7000000), 8u);
    EXPECT_EQ(TempoToBeatsPerMinute(1999), 60000u);
    EXPECT_EQ(TempoToBeatsPerMinute(999), 0u);  // no division by zero
}

TEST_F(GeneralRoutines, MakeTimeSignatureBytes) {
    struct Case {
        std::int32_t value;
        std::uint8_t numerator, power;
    } cases[] = {{0x0308, 3, 3}, {0x0404, 4, 2}, {0x0602, 6, 1}, {0x0401, 4, 0}, {0x0400, 4, 0}};
    for (const Case& c : cases) {
        std::uint8_t bytes[4] = {};
        std::int32_t length = 0;
        MakeTimeSignatureBytes(c.value, bytes, length);
        EXPECT_EQ(length, 4);
        EXPECT_EQ(bytes[0], c.numerator) << c.value;
        EXPECT_EQ(bytes[1], c.power) << c.value;
        EXPECT_EQ(bytes[2], 18);
        EXPECT_EQ(bytes[3], 8);
    }
}

TEST_F(GeneralRoutines, AllocZeroedGivesZeros) {
    auto* block = static_cast<std::uint8_t*>(AllocZeroed(16));
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(block[i], 0);
    }
    FreeBlock(block);
}

TEST_F(GeneralRoutines, ReadFileIntoCutsAtTheCapacitySilently) {
    TempDir dir;
    Bytes content(500000);
    for (std::size_t i = 0; i < content.size(); ++i) {
        content[i] = static_cast<std::uint8_t>(i * 7);
    }
    std::string path = dir.Write("big.bin", content);
    Bytes buffer(393216);
    std::int32_t count = -1;
    EXPECT_EQ(ReadFileInto(path.c_str(), buffer.data(), count, 393216), 1);
    EXPECT_EQ(count, 393216);
    EXPECT_TRUE(std::equal(buffer.begin(), buffer.end(), content.begin()));
    EXPECT_TRUE(reports.empty());
}

TEST_F(GeneralRoutines, ReadFileIntoReportsAFullLargeRead) {
    TempDir dir;
    std::string path = dir.Write("full.bin", Bytes(983040, 1));
    Bytes buffer(983040);
    std::int32_t count = 0;
    EXPECT_EQ(ReadFileInto(path.c_str(), buffer.data(), count, 983040), 1);
    EXPECT_EQ(count, 983040);
    EXPECT_EQ(ReportCodes(), std::vector<std::string>{"GENE0100000A"});
}

TEST_F(GeneralRoutines, ReadFileIntoFailsOnFilesThatCannotBeRead) {
    TempDir dir;
    Bytes buffer(64);
    std::int32_t count = -1;
    std::string missing = (dir.path() / "missing.mid").string();
    EXPECT_EQ(ReadFileInto(missing.c_str(), buffer.data(), count, 64), 0);
    EXPECT_EQ(count, 0);
    std::string directory = dir.path().string();
    EXPECT_EQ(ReadFileInto(directory.c_str(), buffer.data(), count, 64), 0);
    EXPECT_EQ(ReportCodes(), (std::vector<std::string>{"GENE01000007", "GENE01000007"}));
}

TEST_F(GeneralRoutines, FileSizeOf) {
    TempDir dir;
    std::string path = dir.Write("seven.bin", Bytes(7));
    EXPECT_EQ(FileSizeOf(path.c_str()), 7u);
    EXPECT_EQ(FileSizeOf(dir.path().string().c_str()), 0u);
    EXPECT_EQ(FileSizeOf((dir.path() / "none").string().c_str()), 0u);
    EXPECT_TRUE(reports.empty());
}

}  // namespace
