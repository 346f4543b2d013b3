// The timer services: order of events, killing, and virtual time.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <vector>

#include "app/platform/timer_service.h"
#include "app/platform/virtual_timer_service.h"

namespace {

struct Log {
    std::mutex mutex;
    std::vector<std::string> entries;
    void add(std::string entry) {
        std::lock_guard lock(mutex);
        entries.push_back(std::move(entry));
    }
};

struct Tagged {
    Log* log;
    std::string tag;
    TimerService* timers;
};

void logTag(std::uint32_t, void* user) {
    auto* tagged = static_cast<Tagged*>(user);
    tagged->log->add(tagged->tag + "@" + std::to_string(tagged->timers->now()));
}

// Waits in real time, boundedly, for a condition that another thread brings.
template <typename Condition>
bool eventually(Condition condition) {
    for (int i = 0; i < 1000 && !condition(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return condition();
}

}  // namespace

TEST(VirtualTimerServiceTest, TimeJumpsToEachEventAndSleepersWakeInOrder) {
    VirtualTimerService timers;
    Log log;
    Tagged late{&log, "timer30", &timers};
    Tagged early{&log, "timer10", &timers};
    Tagged tie{&log, "timer20", &timers};
    Tagged killed{&log, "killed", &timers};
    timers.setEvent(30, 1, &logTag, &late);
    timers.setEvent(10, 1, &logTag, &early);
    timers.setEvent(20, 1, &logTag, &tie);
    std::uint32_t doomed = timers.setEvent(15, 1, &logTag, &killed);
    EXPECT_TRUE(timers.killEvent(doomed));
    EXPECT_FALSE(timers.killEvent(doomed));

    std::thread worker = timers.startThread([&] {
        timers.sleep(20);  // wakes at 20, after the timer due at 20
        log.add("worker@" + std::to_string(timers.now()));
        timers.sleep(1000);
        log.add("worker@" + std::to_string(timers.now()));
    });
    timers.sleep(500);
    log.add("driver@" + std::to_string(timers.now()));
    timers.sleep(600);
    worker.join();

    std::vector<std::string> expected = {"timer10@10", "timer20@20", "worker@20",
                                         "timer30@30", "driver@500", "worker@1020"};
    EXPECT_EQ(log.entries, expected);
    EXPECT_EQ(timers.now(), 1100u);
    EXPECT_EQ(timers.pendingEvents(), 0u);
}

namespace {

struct Chain {
    VirtualTimerService* timers;
    std::vector<std::uint64_t> ticks;
};

void chainTick(std::uint32_t, void* user) {
    auto* chain = static_cast<Chain*>(user);
    chain->ticks.push_back(chain->timers->now());
    if (chain->ticks.size() < 4) {
        EXPECT_NE(chain->timers->setEvent(250, 2, &chainTick, chain), 0u);
    }
}

}  // namespace

TEST(VirtualTimerServiceTest, CallbackCanArmTheNextEvent) {
    VirtualTimerService timers;
    Chain chain{&timers, {}};
    timers.setEvent(2, 1, &chainTick, &chain);
    timers.sleep(10000);
    std::vector<std::uint64_t> expected = {2, 252, 502, 752};
    EXPECT_EQ(chain.ticks, expected);
}

TEST(TimerServiceTest, PeriodsArePairedAndHaveAMinimum) {
    VirtualTimerService timers;
    EXPECT_FALSE(timers.beginPeriod(0));
    EXPECT_TRUE(timers.beginPeriod(2));
    EXPECT_TRUE(timers.beginPeriod(5));
    EXPECT_EQ(timers.periodsInUse(), 2);
    EXPECT_TRUE(timers.endPeriod(2));
    EXPECT_TRUE(timers.endPeriod(5));
    EXPECT_FALSE(timers.endPeriod(5));
    EXPECT_EQ(timers.periodsInUse(), 0);
}

TEST(RealTimerServiceTest, EventsFireInDueOrderAndKilledOnesNever) {
    TimerService& timers = realTimerService();
    Log log;
    Tagged second{&log, "b", &timers};
    Tagged first{&log, "a", &timers};
    Tagged killed{&log, "killed", &timers};
    std::uint32_t late = timers.setEvent(40, 1, &logTag, &second);
    std::uint32_t early = timers.setEvent(5, 1, &logTag, &first);
    std::uint32_t doomed = timers.setEvent(20, 1, &logTag, &killed);
    EXPECT_NE(late, 0u);
    EXPECT_NE(early, late);
    EXPECT_TRUE(timers.killEvent(doomed));
    ASSERT_TRUE(eventually([&] {
        std::lock_guard lock(log.mutex);
        return log.entries.size() == 2;
    }));
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    std::lock_guard lock(log.mutex);
    ASSERT_EQ(log.entries.size(), 2u);
    EXPECT_EQ(log.entries[0].substr(0, 2), "a@");
    EXPECT_EQ(log.entries[1].substr(0, 2), "b@");
}

TEST(RealTimerServiceTest, KillWaitsForACallbackThatIsRunning) {
    TimerService& timers = realTimerService();
    struct Slow {
        std::atomic<bool> entered{false};
        std::atomic<bool> returned{false};
    } slow;
    std::uint32_t id = timers.setEvent(
        1, 1,
        [](std::uint32_t, void* user) {
            auto* s = static_cast<Slow*>(user);
            s->entered = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            s->returned = true;
        },
        &slow);
    ASSERT_TRUE(eventually([&] { return slow.entered.load(); }));
    EXPECT_TRUE(timers.killEvent(id));
    EXPECT_TRUE(slow.returned);
}
