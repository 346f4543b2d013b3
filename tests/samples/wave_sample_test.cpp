#include "plugin/samples/wave_sample.h"

#include <gtest/gtest.h>

#include <cstring>

#include "plugin/samples/riff_reader.h"
#include "plugin/samples/wave_file_reader.h"
#include "tests/samples/test_support.h"

using namespace testsupport;

namespace {

const char* const kLoadFailed = "Wave file load failed.";

// A sample with a recognisable state, to see whether a failed load touched it.
WaveSample loadedMarker(const TempDir& dir) {
    writeFile(dir.path() / "marker.wav", wav16(1, {111, 222, 333}, 22050));
    WaveSample sample;
    EXPECT_TRUE(sample.load((dir.path() / "marker.wav").string()));
    return sample;
}

std::vector<std::int16_t> ramp(int count, int step) {
    std::vector<std::int16_t> values;
    for (int i = 0; i < count; ++i) {
        values.push_back(static_cast<std::int16_t>(i * step - 1000));
    }
    return values;
}

}  // namespace

TEST(WaveSample, NeverLoadedSampleHasNoFrames) {
    WaveSample sample;
    EXPECT_EQ(sample.frameCount(), 0u);
    EXPECT_EQ(sample.getSample(0, 0), 0);
    EXPECT_EQ(sample.getSample(5, 1), 0);
    sample.putSample(0, 123, 0);  // must not write anywhere
    EXPECT_EQ(sample.getSample(0, 0), 0);
    EXPECT_EQ(sample.rootFrequency, 440.0);
    EXPECT_EQ(sample.sampleRate, 44100);
    EXPECT_EQ(sample.blockAlign, 2);
}

// Files that load, and what each leaves behind.
struct GoodFile {
    const char* what;
    Bytes file;
    std::uint32_t dataSize;
    std::int32_t channels, bitsPerSample, blockAlign, sampleRate;
    std::uint32_t frameCount;
};

TEST(WaveSample, LoadsFormatsAsTheFileStatesThem) {
    const std::vector<std::int16_t> mono = {1, -2, 32767, -32768};
    const Bytes eightBit = {0x80, 0x00, 0xFF, 0x7F, 0x01};
    const std::vector<GoodFile> cases = {
        {"16-bit mono, 16-byte fmt", wav16(1, mono), 8, 1, 16, 2, 44100, 4},
        {"16-bit stereo", wav16(2, ramp(200, 3)), 400, 2, 16, 4, 44100, 100},
        {"8-bit mono, odd data size padded",
         riffForm("WAVE", {chunk("fmt ", fmtPayload(1, 8000, 8, 1)), chunk("data", eightBit)}), 5,
         1, 8, 1, 8000, 5},
        {"fmt of 19 bytes: first 18 used, pad byte skipped",
         riffForm("WAVE", {chunk("fmt ", fmtPayload(1, 48000, 16, 2, {1, 0, 0xAA})),
                           chunk("data", pcm16(mono))}),
         8, 1, 16, 2, 48000, 4},
        {"other chunks around fmt and data",
         riffForm("WAVE",
                  {chunk("LIST", {'I', 'N', 'F', 'O'}), chunk("fmt ", fmtPayload(1, 44100, 16, 2)),
                   chunk("fact", {1, 2, 3}), chunk("data", pcm16(mono))}),
         8, 1, 16, 2, 44100, 4},
        {"fmt too short for a block size: no frames, no division by zero",
         riffForm("WAVE", {chunk("fmt ", Bytes{1, 0, 1, 0, 0x44, 0xAC, 0, 0, 0, 0, 0, 0}),
                           chunk("data", pcm16(mono))}),
         8, 1, 0, 0, 44100, 0},
    };
    TempDir dir;
    for (const GoodFile& c : cases) {
        SCOPED_TRACE(c.what);
        MessageRecorder messages;
        const auto path = dir.path() / "good.wav";
        writeFile(path, c.file);
        WaveSample sample;
        EXPECT_TRUE(sample.load(path.string()));
        EXPECT_TRUE(messages.messages().empty());
        EXPECT_EQ(sample.dataSize, c.dataSize);
        EXPECT_EQ(sample.channels, c.channels);
        EXPECT_EQ(sample.bitsPerSample, c.bitsPerSample);
        EXPECT_EQ(sample.blockAlign, c.blockAlign);
        EXPECT_EQ(sample.sampleRate, c.sampleRate);
        EXPECT_EQ(sample.frameCount(), c.frameCount);
        if (c.frameCount == 0) {
            EXPECT_EQ(sample.getSample(0, 0), 0);
        }
    }
}

TEST(WaveSample, SixteenBitValuesByFrameAndChannel) {
    TempDir dir;
    const auto values = ramp(200, 3);
    writeFile(dir.path() / "stereo.wav", wav16(2, values));
    WaveSample stereo;
    ASSERT_TRUE(stereo.load((dir.path() / "stereo.wav").string()));
    EXPECT_EQ(stereo.getSample(10, 1), values[21]);
    EXPECT_EQ(stereo.getSample(10, 0), values[20]);
    EXPECT_EQ(stereo.getSample(10, 2), values[20]);  // only the lowest bit of the channel counts
    EXPECT_EQ(stereo.getSample(10, 3), values[21]);
    EXPECT_EQ(stereo.getSample(99, 1), values[199]);
    EXPECT_EQ(stereo.getSample(100, 0), 0);
    stereo.putSample(10, -7, 3);
    EXPECT_EQ(stereo.getSample(10, 1), -7);
    EXPECT_EQ(stereo.getSample(10, 0), values[20]);
    stereo.putSample(100, 5, 0);                                       // past the end: nothing
    EXPECT_EQ(stereo.data[42], static_cast<std::uint8_t>(-7 & 0xFF));  // stored little-endian

    const std::vector<std::int16_t> mono = {1, -2, 32767, -32768};
    writeFile(dir.path() / "mono.wav", wav16(1, mono));
    WaveSample m;
    ASSERT_TRUE(m.load((dir.path() / "mono.wav").string()));
    for (std::uint32_t i = 0; i < 4; ++i) {
        EXPECT_EQ(m.getSample(i, 0), mono[i]);
        EXPECT_EQ(m.getSample(i, 1), mono[i]);  // mono ignores the channel
    }
}

TEST(WaveSample, EightBitValuesAreOffsetNotScaled) {
    TempDir dir;
    writeFile(dir.path() / "8.wav",
              riffForm("WAVE", {chunk("fmt ", fmtPayload(1, 8000, 8, 1)),
                                chunk("data", Bytes{0x80, 0x00, 0xFF, 0x7F})}));
    WaveSample s;
    ASSERT_TRUE(s.load((dir.path() / "8.wav").string()));
    EXPECT_EQ(s.getSample(0, 0), 0);
    EXPECT_EQ(s.getSample(1, 0), -128);
    EXPECT_EQ(s.getSample(2, 0), 127);
    EXPECT_EQ(s.getSample(3, 0), -1);
    s.putSample(0, -128, 0);
    s.putSample(1, 127, 0);
    s.putSample(2, 1000, 0);  // low 8 bits of 1128
    EXPECT_EQ(s.data[0], 0x00);
    EXPECT_EQ(s.data[1], 0xFF);
    EXPECT_EQ(s.data[2], (1000 + 128) & 0xFF);

    writeFile(dir.path() / "8s.wav",
              riffForm("WAVE", {chunk("fmt ", fmtPayload(2, 8000, 8, 2)),
                                chunk("data", Bytes{0x80, 0x81, 0x82, 0x83})}));
    WaveSample st;
    ASSERT_TRUE(st.load((dir.path() / "8s.wav").string()));
    EXPECT_EQ(st.frameCount(), 2u);
    EXPECT_EQ(st.getSample(1, 0), 2);
    EXPECT_EQ(st.getSample(1, 1), 3);
}

// Files that must not load: the sample keeps what it had.
TEST(WaveSample, RejectedFilesReportAndLeaveTheSampleAlone) {
    const Bytes data = chunk("data", pcm16({5, 6, 7, 8}));
    const Bytes fmt = chunk("fmt ", fmtPayload(2, 96000, 16, 4));
    const std::vector<std::pair<const char*, Bytes>> cases = {
        {"data before fmt", riffForm("WAVE", {data, fmt})},
        {"another form type", riffForm("AVI ", {fmt, data})},
        {"no data chunk", riffForm("WAVE", {fmt})},
        {"no fmt chunk", riffForm("WAVE", {data})},
        {"fmt shorter than it claims", riffForm("WAVE", {chunk("fmt ", Bytes{1, 0, 1, 0}, 16)})},
        {"not a RIFF file", Bytes{'M', 'T', 'h', 'd', 0, 0, 0, 6}},
        {"empty file", Bytes{}},
    };
    TempDir dir;
    for (const auto& [what, bytes] : cases) {
        SCOPED_TRACE(what);
        WaveSample sample = loadedMarker(dir);
        MessageRecorder messages;
        writeFile(dir.path() / "bad.wav", bytes);
        EXPECT_FALSE(sample.load((dir.path() / "bad.wav").string()));
        ASSERT_EQ(messages.messages().size(), 1u);
        EXPECT_EQ(messages.messages()[0].first, kLoadFailed);
        EXPECT_EQ(messages.messages()[0].second, "Error");
        EXPECT_EQ(sample.sampleRate, 22050);
        EXPECT_EQ(sample.dataSize, 6u);
        EXPECT_EQ(sample.getSample(2, 0), 333);
    }
    {
        SCOPED_TRACE("missing file");
        WaveSample sample = loadedMarker(dir);
        MessageRecorder messages;
        EXPECT_FALSE(sample.load((dir.path() / "absent.wav").string()));
        EXPECT_EQ(messages.messages().size(), 1u);
        EXPECT_EQ(sample.getSample(2, 0), 333);
    }
    {
        SCOPED_TRACE("empty path: silent");
        WaveSample sample = loadedMarker(dir);
        MessageRecorder messages;
        EXPECT_FALSE(sample.load(""));
        EXPECT_TRUE(messages.messages().empty());
        EXPECT_EQ(sample.getSample(2, 0), 333);
    }
}

TEST(WaveSample, TruncatedDataKeepsWhatTheFileHolds) {
    TempDir dir;
    // The header claims 4 GiB less one byte: the load must not try to allocate that.
    for (long declared : {16L, 0xFFFFFFFFL}) {
        SCOPED_TRACE(declared);
        writeFile(dir.path() / "short.wav",
                  riffForm("WAVE", {chunk("fmt ", fmtPayload(1, 32000, 16, 2)),
                                    chunk("data", pcm16({10, 20, 30}), declared)}));
        WaveSample sample = loadedMarker(dir);
        sample.setName("keep");
        sample.rootFrequency = 123.0;
        MessageRecorder messages;
        EXPECT_FALSE(sample.load((dir.path() / "short.wav").string()));
        EXPECT_TRUE(messages.messages().empty());
        EXPECT_EQ(sample.sampleRate, 32000);  // the new format is in place
        EXPECT_EQ(sample.dataSize, 6u);
        EXPECT_EQ(sample.getSample(2, 0), 30);
        EXPECT_EQ(sample.getSample(3, 0), 0);
        EXPECT_EQ(sample.name, "keep");
        EXPECT_EQ(sample.rootFrequency, 123.0);
    }
}

TEST(WaveSample, ReloadReplacesFormatAndDataButKeepsIdentity) {
    TempDir dir;
    WaveSample sample = loadedMarker(dir);
    sample.setName("Grand C4");
    sample.setFileName("marker.wav");
    sample.rootFrequency = 261.6;
    writeFile(dir.path() / "stereo.wav", wav16(2, {9, 8, 7, 6}, 48000));
    ASSERT_TRUE(sample.load((dir.path() / "stereo.wav").string()));
    EXPECT_EQ(sample.channels, 2);
    EXPECT_EQ(sample.sampleRate, 48000);
    EXPECT_EQ(sample.frameCount(), 2u);
    EXPECT_EQ(sample.getSample(1, 1), 6);
    EXPECT_EQ(sample.name, "Grand C4");
    EXPECT_EQ(sample.fileName, "marker.wav");
    EXPECT_EQ(sample.rootFrequency, 261.6);
}

TEST(WaveSample, HeaderThatUnderstatesItsBlockSizeNeverReadsPastTheData) {
    TempDir dir;
    // Two 16-bit channels in blocks of one byte: the frame count says 8 frames
    // but the data holds only 2 stereo frames.
    writeFile(dir.path() / "odd.wav", riffForm("WAVE", {chunk("fmt ", fmtPayload(2, 44100, 16, 1)),
                                                        chunk("data", pcm16({1, 2, 3, 4}))}));
    WaveSample sample;
    ASSERT_TRUE(sample.load((dir.path() / "odd.wav").string()));
    EXPECT_EQ(sample.frameCount(), 8u);
    EXPECT_EQ(sample.getSample(1, 1), 4);
    EXPECT_EQ(sample.getSample(2, 0), 0);
    EXPECT_EQ(sample.getSample(7, 1), 0);
    sample.putSample(7, 99, 1);
    EXPECT_EQ(sample.getSample(1, 1), 4);
}

TEST(WaveSample, CopiesAreDeepAndSwapExchangesEverything) {
    TempDir dir;
    WaveSample a = loadedMarker(dir);
    a.setFileName("a.wav");
    WaveSample b(a);
    b.putSample(0, -5, 0);
    EXPECT_EQ(a.getSample(0, 0), 111);
    EXPECT_EQ(b.getSample(0, 0), -5);

    WaveSample empty;
    empty.swap(a);
    EXPECT_EQ(a.frameCount(), 0u);
    EXPECT_EQ(empty.getSample(0, 0), 111);
    EXPECT_EQ(empty.fileName, "a.wav");
}

TEST(WaveFileReader, AnswersTheNumericCodes) {
    TempDir dir;
    writeFile(dir.path() / "ok.wav", wav16(1, {1, 2}));
    writeFile(dir.path() / "nofmt.wav", riffForm("WAVE", {chunk("data", pcm16({1}))}));
    writeFile(dir.path() / "shortfmt.wav", riffForm("WAVE", {chunk("fmt ", Bytes{1, 0}, 16)}));

    struct Case {
        const char* what;
        std::string path;
        unsigned code;
    };
    const std::vector<Case> cases = {
        {"empty path", "", riff::kFileNotFound},
        {"missing file", (dir.path() / "absent.wav").string(), riff::kFileNotFound},
        {"missing directory", (dir.path() / "nowhere" / "a.wav").string(), riff::kFileNotFound},
        {"a directory", dir.path().string(), riff::kCannotOpen},
        {"no fmt chunk", (dir.path() / "nofmt.wav").string(), riff::kChunkNotFound},
        {"short fmt read", (dir.path() / "shortfmt.wav").string(), riff::kCannotRead},
        {"good file", (dir.path() / "ok.wav").string(), riff::kOk},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WaveFileReader reader;
        EXPECT_EQ(reader.open(c.path), c.code);
    }

    WaveFileReader reader;
    EXPECT_EQ(reader.close(), 0u);  // nothing open
    ASSERT_EQ(reader.open((dir.path() / "ok.wav").string()), riff::kOk);
    EXPECT_EQ(reader.dataSize, 4u);
    EXPECT_EQ(reader.open((dir.path() / "ok.wav").string()), riff::kCannotOpen);
    std::uint8_t bytes[8] = {};
    EXPECT_EQ(reader.read(bytes, 8), 4u);  // positioned at the data, reads to the end of the file
    EXPECT_EQ(bytes[0], 1);
    EXPECT_EQ(bytes[2], 2);
    EXPECT_EQ(reader.close(), 0u);
}
