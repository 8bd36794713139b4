#pragma once
// One run of a utility of the tab "Varie" (the spreadsheet export or common
// notes to memo) on a worker thread, so that the window repaints, follows
// the progress and answers its stop button while the core works. The core
// opens its own database connection on that thread; the window reads the
// progress from here and the result once `ended` has been emitted.
#include <atomic>
#include <functional>
#include <utility>

#include <QObject>

#include "db/statement_cancel.h"
#include "tools/varie.h"
#include "window/worker_thread.h"

namespace crv::window {

class VarieRun : public QObject {
    Q_OBJECT
public:
    // The utility's call, with the progress callback it must pass to the core.
    using Work = std::function<tools::RisultatoVarie(const tools::Avanzamento&)>;

    explicit VarieRun(Work work, QObject* parent = nullptr);
    // Asks a run still going to stop and waits for the worker thread: the
    // core then leaves nothing changed or written.
    ~VarieRun() override;
    VarieRun(const VarieRun&) = delete;
    VarieRun& operator=(const VarieRun&) = delete;

    // Starts the work on its worker thread.
    void start();
    // Asks the run to stop after the case it is on; a statement that waits
    // for a table is cancelled on the server.
    void requestStop();

    // Window thread: the cases done and the cases selected so far (0, 0 until
    // the core has counted them).
    std::pair<long, long> progress() const { return {done_.load(), total_.load()}; }
    // Window thread: the result, once `ended` was emitted.
    const tools::RisultatoVarie& result() const { return result_; }

signals:
    // The work is over and the worker thread has ended.
    void ended();

private:
    Work work_;
    std::atomic<bool> stop_{false};
    db::CancelScope cancel_;  // the core's connection, entered by the worker
    std::atomic<long> done_{0};
    std::atomic<long> total_{0};
    tools::RisultatoVarie result_;
    WorkerThread worker_;  // last: the thread ends before the state it uses goes
};

}  // namespace crv::window
