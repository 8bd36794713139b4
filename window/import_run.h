#pragma once
// One import run of the window on a worker thread. The run is the core's
// `lavora`, the same as the command line's; its listener calls arrive on the
// worker thread and are gathered here, so the window thread takes the new
// listing lines, counters and progress in batches (`take`) and stays free to
// repaint and answer the operator. A message of the run is shown by the
// window while the run waits for the operator's OK, as a message box would
// hold it.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <QObject>

#include "app/suite_root.h"
#include "db/statement_cancel.h"
#include "import/run.h"
#include "numbers/regional.h"
#include "window/listing_chunk.h"
#include "window/worker_thread.h"

namespace crv::window {

// What the run told its listener since the last `take`.
struct RunUpdate {
    bool cleared = false;                  // the listing was emptied first
    std::vector<ListingChunk> lines;       // new listing lines, in order
    std::optional<RunCounters> counters;   // the latest counters
    std::optional<RunProgress> progress;   // the latest
    std::optional<bool> waitCursor;        // the latest wait-cursor request
    std::optional<std::string> attesa;     // what the run waits for now; empty: nothing
};

// A message the run waits on, or a question it waits to have answered.
struct RunMessage {
    std::string text;
    Box focus = Box::None;
    bool domanda = false;  // Yes or No: whether to import cases the archive already holds
};

class ImportRun : public QObject, private RunListener {
    Q_OBJECT
public:
    ImportRun(RunParams params, SuitePaths paths, Regional regional, QObject* parent = nullptr);
    // Asks a run still going to stop, lets it end without showing messages
    // and waits for the worker thread.
    ~ImportRun() override;
    ImportRun(const ImportRun&) = delete;
    ImportRun& operator=(const ImportRun&) = delete;

    // Starts the run on its worker thread.
    void start();
    // Asks the run to stop after the case it is reading (or, after the last
    // one, before it is committed; a statement that waits for a table is
    // cancelled on the server); it then ends with nothing written.
    void requestStop();
    // Whether a stop was asked.
    bool stopRequested() const override { return stop_; }

    // Window thread: everything reported since the last call.
    RunUpdate take();
    // Window thread: the message the run waits on (after `messageWaiting`).
    RunMessage pendingMessage();
    // Window thread: the operator has read the message (answered the
    // question: `si` Yes); the run goes on.
    void messageAnswered(bool si = false);
    // Window thread: the result, once `ended` was emitted.
    const RunResult& result() const { return result_; }

signals:
    // The run waits until the window calls messageAnswered().
    void messageWaiting();
    // The run is over; the worker thread has ended.
    void ended();

private:
    // RunListener, on the worker thread.
    void listingCleared() override;
    void listingLine(std::string_view line) override;
    void message(std::string_view text, Box focus) override;
    bool importareComunque(std::string_view fatti) override;
    bool waitForOperator(RunMessage message);  // worker: until the window answers
    void countersChanged(const RunCounters& counters) override;
    bool progress(const RunProgress& progress) override;
    void waitCursor(bool on) override;
    void attesa(std::string_view text) override;

    void handOver();  // worker: moves the lines gathered so far to `shared_`

    const RunParams params_;
    const SuitePaths paths_;
    const Regional regional_;
    std::atomic<bool> stop_{false};
    db::CancelScope cancel_;  // the run's connections, entered by the worker
    RunResult result_;

    // Worker-only: lines not yet handed over, and when that last happened.
    ListingChunk local_;
    std::chrono::steady_clock::time_point lastHandOver_;

    std::mutex mutex_;  // guards what follows
    RunUpdate shared_;
    std::optional<RunMessage> message_;
    bool messageDone_ = false;
    bool answer_ = false;  // the answer to the question
    bool closing_ = false;  // the window is going away: messages are not shown
    std::condition_variable answered_;
    WorkerThread worker_;  // last: the thread ends before the state it uses goes
};

}  // namespace crv::window
