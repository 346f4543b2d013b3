#include "app/host/wave_out.h"

#include <gtest/gtest.h>

#include <cstring>
#include <numeric>
#include <string>
#include <vector>

#include "app/host/host_messages.h"
#include "app/host/ring_position.h"
#include "app/platform/manual_audio_backend.h"
#include "app/platform/wave_done_queue.h"
#include "tests/host/host_test_support.h"

namespace {

constexpr int32_t kBytes = 32768;
constexpr int32_t kCount = 4;
constexpr int32_t kFrames = 16384;

TEST(RingPosition, MapsAbsoluteFramesOntoTheRing) {
    const WaveFormat format;
    struct Case {
        uint32_t frame;
        int32_t buffer;
        int32_t offset;
    };
    const Case cases[] = {{0, 0, 0},        {16383, 0, 16383}, {16384, 1, 0},
                          {20000, 1, 3616}, {70000, 0, 4464},  {0xFFFFFFFFu, 3, 16383}};
    for (const auto& c : cases) {
        CRingPosition position(kBytes, kCount, &format);
        position.set(c.frame);
        EXPECT_EQ(position.bufferIndex(), c.buffer) << c.frame;
        EXPECT_EQ(position.frameOffset(), c.offset) << c.frame;
        EXPECT_EQ(position.absoluteFrame(), c.frame);
    }
}

TEST(RingPosition, MeasuresForwardAroundTheRing) {
    const WaveFormat format;
    struct Case {
        uint32_t from;
        uint32_t to;
        int32_t distance;
    };
    const Case cases[] = {
        {3 * kFrames + 16000, 400, 784},     // wraps from buffer 3 to buffer 0
        {500, 300, -200},                    // behind within one buffer
        {100, kFrames + 100, kFrames},       // next buffer
        {100, 4 * kFrames + 100, 0},         // one whole ring later: same place
        {kFrames + 10, 5, 3 * kFrames - 5},  // behind across buffers: the long way round
    };
    for (const auto& c : cases) {
        CRingPosition from(kBytes, kCount, &format);
        CRingPosition to(kBytes, kCount, &format);
        from.set(c.from);
        to.set(c.to);
        EXPECT_EQ(from.distanceTo(to), c.distance) << c.from << " -> " << c.to;
    }
    CRingPosition a(kBytes, kCount, &format);
    a.set(1234);
    a.copyFrom(a);
    EXPECT_EQ(a.absoluteFrame(), 1234u);
}

class WaveOutTest : public ::testing::Test {
  protected:
    WaveOutTest() {
        auto device = std::make_unique<ManualAudioBackend>();
        backend = device.get();
        out = std::make_unique<CWaveOut>(-1, &format, kBytes, kCount, std::move(device));
    }

    std::vector<int16_t> buffer(int32_t index) {
        const auto* data = reinterpret_cast<const int16_t*>(out->pool().buffer(index));
        return std::vector<int16_t>(data, data + kFrames);
    }

    bool openAndQueue() {
        return out->queryFormat() && out->open(&owner) && out->queueAll() && out->restart();
    }

    WaveFormat format;
    WaveDoneQueue owner;
    ManualAudioBackend* backend = nullptr;
    std::unique_ptr<CWaveOut> out;
    MessageRecorder messages;
};

TEST_F(WaveOutTest, WriteWrapsFromTheLastBufferToTheFirst) {
    std::vector<int16_t> values(882);
    std::iota(values.begin(), values.end(), int16_t{1});
    out->write(3, 16000, values.data(), 882);
    const auto last = buffer(3);
    const auto first = buffer(0);
    EXPECT_EQ(last[15999], 0);
    EXPECT_EQ(last[16000], 1);
    EXPECT_EQ(last[16383], 384);
    EXPECT_EQ(first[0], 385);
    EXPECT_EQ(first[497], 882);
    EXPECT_EQ(first[498], 0);
}

TEST_F(WaveOutTest, WriteClampsIndexOffsetAndCount) {
    const int16_t seven[3] = {7, 7, 7};
    out->write(9, 0, seven, 1);  // index 9 is buffer 3
    EXPECT_EQ(buffer(3)[0], 7);
    out->write(1, 99999, seven, 1);  // offset beyond the buffer: its last frame
    EXPECT_EQ(buffer(1)[kFrames - 1], 7);

    // More than the ring holds is cut to one ring length, starting at the offset.
    std::vector<int16_t> many(kFrames * kCount + 10, 5);
    many[kFrames * kCount - 1] = 9;
    out->write(0, 100, many.data(), static_cast<int32_t>(many.size()));
    EXPECT_EQ(buffer(0)[99], 9);  // the last written frame lands just before the start
    EXPECT_EQ(buffer(0)[100], 5);
}

TEST_F(WaveOutTest, OpenTwiceIsRefused) {
    ASSERT_TRUE(out->open(&owner));
    EXPECT_FALSE(out->open(&owner));
    EXPECT_EQ(messages.texts(), std::vector<std::string>{kMsgDeviceAlreadyOpen});
    EXPECT_TRUE(out->close());
    EXPECT_TRUE(out->close());  // closing a closed device is fine
    EXPECT_TRUE(out->open(&owner));
}

TEST_F(WaveOutTest, DeviceStepFailuresShowTheirMessages) {
    struct Case {
        ManualAudioBackend::Failures failures;
        const char* message;
    };
    Case cases[4];
    cases[0].failures.query = true;
    cases[0].message = kMsgNoAudioDevice;
    cases[1].failures.open = true;
    cases[1].message = kMsgDeviceOpenFailed;
    cases[2].failures.prepare = true;
    cases[2].message = kMsgQueueAllPrepareFailed;
    cases[3].failures.write = true;
    cases[3].message = kMsgQueueFailed;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        messages.clear();
        backend->setFailures(c.failures);
        EXPECT_FALSE(openAndQueue());
        EXPECT_EQ(messages.texts(), std::vector<std::string>{c.message});
        out->reset();
        out->close();
    }
}

TEST_F(WaveOutTest, QueueAllClearsAndHoldsPlaybackUntilRestart) {
    std::memset(out->pool().buffer(2), 0x55, kBytes);
    ASSERT_TRUE(out->open(&owner));
    ASSERT_TRUE(out->queueAll());
    EXPECT_EQ(buffer(2)[0], 0);
    EXPECT_EQ(backend->advance(100), 0u);  // paused
    ASSERT_TRUE(out->restart());
    EXPECT_EQ(backend->advance(100), 100u);
    EXPECT_EQ(out->position(), 100u);
}

TEST_F(WaveOutTest, FinishedBuffersGoBackToTheEndOfTheQueue) {
    ASSERT_TRUE(openAndQueue());
    for (int32_t i = 0; i < kCount; ++i) {
        const int16_t mark = static_cast<int16_t>(i + 1);
        out->write(i, 0, &mark, 1);
    }
    // Requeue of a buffer that is still playing does nothing.
    EXPECT_FALSE(out->requeue(&out->pool().header(0)));
    // Nor does a header the pool does not own.
    WaveHeader stranger;
    stranger.flags = kWaveHeaderDone | kWaveHeaderPrepared;
    EXPECT_FALSE(out->requeue(&stranger));

    std::vector<int16_t> played(kFrames * 6);
    uint64_t done = 0;
    while (done < played.size()) {
        const uint64_t n = backend->advance(kFrames, played.data() + done);
        ASSERT_EQ(n, static_cast<uint64_t>(kFrames));
        done += n;
        owner.drain([&](WaveHeader* header) { EXPECT_TRUE(out->requeue(header)); });
    }
    // The ring plays 0, 1, 2, 3, 0, 1 without a gap, its contents untouched.
    for (int32_t k = 0; k < 6; ++k) {
        EXPECT_EQ(played[static_cast<size_t>(k) * kFrames], (k % kCount) + 1) << k;
    }
    EXPECT_EQ(out->position(), static_cast<uint32_t>(6 * kFrames));
    EXPECT_TRUE(messages.texts().empty());
}

TEST_F(WaveOutTest, ResetReturnsEveryBufferAndCloseForgetsThePosition) {
    ASSERT_TRUE(openAndQueue());
    backend->advance(1000);
    ASSERT_TRUE(out->reset());
    EXPECT_EQ(owner.pending(), static_cast<size_t>(kCount));
    for (int32_t i = 0; i < kCount; ++i) {
        EXPECT_EQ(out->pool().header(i).flags.load() & kWaveHeaderPrepared, 0u) << i;
    }
    EXPECT_TRUE(out->close());
    EXPECT_EQ(out->position(), 0u);
    EXPECT_TRUE(messages.texts().empty());
}

TEST_F(WaveOutTest, RequeueReportsEachFailedStep) {
    ASSERT_TRUE(openAndQueue());
    backend->advance(kFrames);
    WaveHeader* finished = nullptr;
    owner.drain([&](WaveHeader* header) { finished = header; });
    ASSERT_NE(finished, nullptr);
    ManualAudioBackend::Failures failures;
    failures.unprepare = failures.prepare = failures.write = true;
    backend->setFailures(failures);
    EXPECT_FALSE(out->requeue(finished));
    EXPECT_EQ(
        messages.texts(),
        (std::vector<std::string>{kMsgUnprepareFailed, kMsgRequeuePrepareFailed, kMsgQueueFailed}));
}

TEST(WaveBufferPool, ImpossibleRingIsNotReadyAndSaysSo) {
    MessageRecorder messages;
    CWaveBufferPool pool(0, 4);
    EXPECT_FALSE(pool.ready());
    pool.clear();
    EXPECT_EQ(messages.texts(), std::vector<std::string>{kMsgBufferAllocFailed});
}

}  // namespace
