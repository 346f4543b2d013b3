#include "app/platform/timer_service.h"

#include <pthread.h>
#include <sched.h>

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <system_error>
#include <unordered_map>
#include <utility>

bool TimerService::beginPeriod(std::uint32_t periodMs) {
    if (periodMs < minimumPeriod()) {
        return false;
    }
    periodsInUse_.fetch_add(1);
    return true;
}

bool TimerService::endPeriod(std::uint32_t periodMs) {
    if (periodMs < minimumPeriod()) {
        return false;
    }
    int inUse = periodsInUse_.load();
    while (inUse > 0) {
        if (periodsInUse_.compare_exchange_weak(inUse, inUse - 1)) {
            return true;
        }
    }
    return false;
}

namespace {

// One timer thread serves every event in due order. The steady clock keeps
// gaps right when the wall clock is set; waits use the condition variable's
// timed wait, which on Linux wakes well within a millisecond.
class RealTimerService final : public TimerService {
  public:
    using Clock = std::chrono::steady_clock;

    RealTimerService() : start_(Clock::now()) {}

    ~RealTimerService() override {
        {
            std::lock_guard lock(mutex_);
            quit_ = true;
        }
        changed_.notify_all();
        if (thread_.joinable()) {
            thread_.join();
        }
    }

    std::uint32_t setEvent(std::uint32_t delayMs, std::uint32_t /*resolutionMs*/, Callback callback,
                           void* user) override {
        if (callback == nullptr) {
            return 0;
        }
        std::lock_guard lock(mutex_);
        if (quit_ || !startThreadLocked()) {
            return 0;
        }
        std::uint32_t id = nextId_++;
        if (nextId_ == 0) {
            nextId_ = 1;
        }
        Key key{Clock::now() + std::chrono::milliseconds(delayMs), sequence_++};
        pending_.emplace(key, Entry{id, callback, user});
        keyOf_.emplace(id, key);
        changed_.notify_all();
        return id;
    }

    bool killEvent(std::uint32_t timerId) override {
        if (timerId == 0) {
            return false;
        }
        std::unique_lock lock(mutex_);
        auto found = keyOf_.find(timerId);
        if (found != keyOf_.end()) {
            pending_.erase(found->second);
            keyOf_.erase(found);
            return true;
        }
        if (running_ != timerId) {
            return false;
        }
        if (std::this_thread::get_id() != timerThreadId_) {
            finished_.wait(lock, [&] { return running_ != timerId; });
        }
        return true;
    }

    void sleep(std::uint32_t ms) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }

    std::uint64_t now() const override {
        return static_cast<std::uint64_t>(
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start_).count());
    }

    std::thread startThread(std::function<void()> body) override {
        return std::thread(std::move(body));
    }

  private:
    using Key = std::pair<Clock::time_point, std::uint64_t>;
    struct Entry {
        std::uint32_t id;
        Callback callback;
        void* user;
    };

    bool startThreadLocked() {
        if (thread_.joinable()) {
            return true;
        }
        try {
            thread_ = std::thread([this] { run(); });
        } catch (const std::system_error&) {
            return false;
        }
        timerThreadId_ = thread_.get_id();
        return true;
    }

    void run() {
        // Timer ticks should not queue behind ordinary work; where the system
        // does not allow a real-time priority the thread simply keeps its own.
        sched_param param{};
        param.sched_priority = 1;
        pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);

        std::unique_lock lock(mutex_);
        while (!quit_) {
            if (pending_.empty()) {
                changed_.wait(lock);
                continue;
            }
            auto first = pending_.begin();
            if (Clock::now() < first->first.first) {
                changed_.wait_until(lock, first->first.first);
                continue;
            }
            Entry entry = first->second;
            keyOf_.erase(entry.id);
            pending_.erase(first);
            running_ = entry.id;
            lock.unlock();
            entry.callback(entry.id, entry.user);
            lock.lock();
            running_ = 0;
            finished_.notify_all();
        }
    }

    const Clock::time_point start_;
    std::mutex mutex_;
    std::condition_variable changed_;   // new event or quit
    std::condition_variable finished_;  // a callback has returned
    std::map<Key, Entry> pending_;
    std::unordered_map<std::uint32_t, Key> keyOf_;
    std::uint32_t nextId_ = 1;
    std::uint64_t sequence_ = 0;
    std::uint32_t running_ = 0;
    bool quit_ = false;
    std::thread thread_;
    std::thread::id timerThreadId_;
};

std::atomic<TimerService*> installed{nullptr};

}  // namespace

TimerService& realTimerService() {
    static RealTimerService service;
    return service;
}

TimerService& timerService() {
    TimerService* service = installed.load();
    return service ? *service : realTimerService();
}

TimerService* setTimerService(TimerService* service) {
    return installed.exchange(service);
}
