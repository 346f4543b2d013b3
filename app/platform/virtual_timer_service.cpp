#include "app/platform/virtual_timer_service.h"

#include <algorithm>
#include <utility>

VirtualTimerService::VirtualTimerService() {
    scheduler_ = std::thread([this] { schedule(); });
    schedulerId_ = scheduler_.get_id();
}

VirtualTimerService::~VirtualTimerService() {
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
        // Whoever still sleeps is let go, so that nothing waits for a clock that
        // no longer runs.
        for (auto& [key, woken] : sleepers_) {
            *woken = true;
        }
        sleepers_.clear();
    }
    idle_.notify_all();
    woken_.notify_all();
    scheduler_.join();
}

std::uint32_t VirtualTimerService::setEvent(std::uint32_t delayMs, std::uint32_t /*resolutionMs*/,
                                            Callback callback, void* user) {
    if (callback == nullptr) {
        return 0;
    }
    std::lock_guard lock(mutex_);
    if (quit_) {
        return 0;
    }
    std::uint32_t id = nextId_++;
    if (nextId_ == 0) {
        nextId_ = 1;
    }
    Key key{now_ + delayMs, sequence_++};
    timers_.emplace(key, Entry{id, callback, user});
    keyOf_.emplace(id, key);
    idle_.notify_all();
    return id;
}

bool VirtualTimerService::killEvent(std::uint32_t timerId) {
    // A callback runs only while every taking-part thread sleeps, so a caller
    // other than the callback itself never meets one running.
    std::lock_guard lock(mutex_);
    auto found = keyOf_.find(timerId);
    if (found == keyOf_.end()) {
        return false;
    }
    timers_.erase(found->second);
    keyOf_.erase(found);
    return true;
}

void VirtualTimerService::sleep(std::uint32_t ms) {
    std::unique_lock lock(mutex_);
    if (quit_ || std::this_thread::get_id() == schedulerId_) {
        // A callback that sleeps would stop the clock it runs on; time does
        // not move for it.
        return;
    }
    bool woken = false;
    sleepers_.emplace(Key{now_ + ms, sequence_++}, &woken);
    --running_;
    idle_.notify_all();
    woken_.wait(lock, [&] { return woken; });
}

std::uint64_t VirtualTimerService::now() const {
    std::lock_guard lock(mutex_);
    return now_;
}

std::thread VirtualTimerService::startThread(std::function<void()> body) {
    {
        std::lock_guard lock(mutex_);
        ++running_;
    }
    std::thread thread([this, body = std::move(body)] {
        body();
        std::lock_guard lock(mutex_);
        --running_;
        idle_.notify_all();
    });
    // The new thread runs first, until it sleeps or ends: without this both
    // would run at once and their order would be left to the machine.
    sleep(0);
    return thread;
}

std::size_t VirtualTimerService::pendingEvents() const {
    std::lock_guard lock(mutex_);
    return timers_.size();
}

void VirtualTimerService::schedule() {
    std::unique_lock lock(mutex_);
    for (;;) {
        idle_.wait(lock, [&] {
            return quit_ || (running_ == 0 && (!timers_.empty() || !sleepers_.empty()));
        });
        if (quit_) {
            return;
        }
        // At equal times a timer event goes before a sleeper: the timer thread
        // of a real system would have fired by then.
        bool timerFirst =
            !timers_.empty() &&
            (sleepers_.empty() || timers_.begin()->first.first <= sleepers_.begin()->first.first);
        if (timerFirst) {
            auto first = timers_.begin();
            Entry entry = first->second;
            now_ = std::max(now_, first->first.first);
            keyOf_.erase(entry.id);
            timers_.erase(first);
            ++running_;
            lock.unlock();
            entry.callback(entry.id, entry.user);
            lock.lock();
            --running_;
        } else {
            auto first = sleepers_.begin();
            now_ = std::max(now_, first->first.first);
            *first->second = true;
            sleepers_.erase(first);
            ++running_;
            woken_.notify_all();
        }
    }
}
