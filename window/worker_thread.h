#pragma once
// A job of the window (an import run, a utility of the tab "Varie") on a
// thread of its own. Its result reaches the window's thread through the
// owner's event queue, once the thread has ended: the owner then reads it
// without locks, and an owner destroyed first simply never gets it.
#include <functional>
#include <thread>
#include <utility>

#include <QMetaObject>
#include <QObject>

namespace crv::window {

class WorkerThread {
public:
    WorkerThread() = default;
    // Waits for the thread: its owner asks the job to stop first.
    ~WorkerThread() { wait(); }
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // Runs `job` on the thread; `done` gets its result on `owner`'s thread.
    template <typename Result>
    void start(QObject* owner, std::function<Result()> job, std::function<void(Result)> done)
    {
        thread_ = std::thread([this, owner, job = std::move(job), done = std::move(done)]() mutable {
            Result result = job();
            QMetaObject::invokeMethod(
                owner,
                [this, done = std::move(done), result = std::move(result)]() mutable {
                    wait();
                    done(std::move(result));
                },
                Qt::QueuedConnection);
        });
    }

    // Waits until the thread has ended (at once when none runs).
    void wait()
    {
        if (thread_.joinable()) thread_.join();
    }

private:
    std::thread thread_;
};

}  // namespace crv::window
