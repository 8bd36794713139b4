#pragma once
// The queue between the thread that reads the cases and the thread that
// writes them. It holds a few items and a few megabytes at most (one item is
// always let in, however large), so memory follows a few cases whatever the
// size of the file. Either side may close it, and a stop asked from outside
// (`stop`, polled every few milliseconds while a side waits) closes it too:
// the side that waits wakes and gives up at once.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <utility>

namespace crv {

template <typename T>
class BoundedQueue {
public:
    static constexpr auto kPoll = std::chrono::milliseconds(10);

    BoundedQueue(std::size_t maxItems, std::size_t maxBytes, std::function<bool()> stop)
        : maxItems_(maxItems), maxBytes_(maxBytes), stop_(std::move(stop))
    {
    }

    // Waits for room, then adds the item; false (the item dropped) once the
    // queue is closed. A side that waits is woken for a handful of items or
    // a good part of the room, not for each one: every wake-up costs both
    // threads a switch, more than a small case costs to read. `subito` wakes
    // the other side for this item (the first case, the end); otherwise a
    // waiting side looks again within kPoll at the latest.
    bool push(T item, std::size_t bytes, bool subito = false)
    {
        std::unique_lock lock(mutex_);
        while (!closed_ && !items_.empty() && (items_.size() >= maxItems_ || bytes_ + bytes > maxBytes_)) {
            if (poppersWaiting_ > 0) notEmpty_.notify_one();
            ++pushersWaiting_;
            waitOn(notFull_, lock);
            --pushersWaiting_;
        }
        if (closed_) return false;
        items_.emplace_back(std::move(item), bytes);
        bytes_ += bytes;
        if (poppersWaiting_ > 0 && (subito || items_.size() >= wakeItems() || bytes_ >= maxBytes_ / 2))
            notEmpty_.notify_one();
        return true;
    }

    // Waits for an item and takes it; nothing once the queue is closed.
    std::optional<T> pop()
    {
        std::unique_lock lock(mutex_);
        while (!closed_ && items_.empty()) {
            ++poppersWaiting_;
            waitOn(notEmpty_, lock);
            --poppersWaiting_;
        }
        if (closed_) return std::nullopt;
        std::optional<T> item(std::move(items_.front().first));
        bytes_ -= items_.front().second;
        items_.pop_front();
        if (pushersWaiting_ > 0 && items_.size() <= maxItems_ - wakeItems() && bytes_ <= maxBytes_ / 2)
            notFull_.notify_one();
        return item;
    }

    // Both sides give up: waits end, what is queued is dropped.
    void close()
    {
        const std::lock_guard lock(mutex_);
        closeLocked();
    }

    bool closed() const
    {
        const std::lock_guard lock(mutex_);
        return closed_;
    }

private:
    void waitOn(std::condition_variable& cv, std::unique_lock<std::mutex>& lock)
    {
        if (cv.wait_for(lock, kPoll) == std::cv_status::timeout && stop_ && stop_()) closeLocked();
    }
    std::size_t wakeItems() const { return std::max<std::size_t>(1, maxItems_ / 2); }
    void closeLocked()
    {
        closed_ = true;
        items_.clear();
        bytes_ = 0;
        notFull_.notify_all();
        notEmpty_.notify_all();
    }

    const std::size_t maxItems_;
    const std::size_t maxBytes_;
    const std::function<bool()> stop_;
    mutable std::mutex mutex_;
    std::condition_variable notFull_, notEmpty_;
    std::deque<std::pair<T, std::size_t>> items_;
    std::size_t bytes_ = 0;
    int pushersWaiting_ = 0, poppersWaiting_ = 0;
    bool closed_ = false;
};

}  // namespace crv
