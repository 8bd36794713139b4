#pragma once
// The queue between the thread that reads the cases and the thread that
// writes them. It holds a few items and a few megabytes at most (one item is
// always let in, however large), so memory follows a few cases whatever the
// size of the file. Either side may close it, and a stop asked from outside
// (`stop`, polled every few milliseconds while a side waits) closes it too:
// the side that waits wakes and gives up at once.
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
    // queue is closed.
    bool push(T item, std::size_t bytes)
    {
        std::unique_lock lock(mutex_);
        while (!closed_ && !items_.empty() && (items_.size() >= maxItems_ || bytes_ + bytes > maxBytes_))
            waitOn(notFull_, lock);
        if (closed_) return false;
        items_.emplace_back(std::move(item), bytes);
        bytes_ += bytes;
        notEmpty_.notify_one();
        return true;
    }

    // Waits for an item and takes it; nothing once the queue is closed.
    std::optional<T> pop()
    {
        std::unique_lock lock(mutex_);
        while (!closed_ && items_.empty()) waitOn(notEmpty_, lock);
        if (closed_) return std::nullopt;
        std::optional<T> item(std::move(items_.front().first));
        bytes_ -= items_.front().second;
        items_.pop_front();
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
    bool closed_ = false;
};

}  // namespace crv
