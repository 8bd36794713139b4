#include "window/import_run.h"

#include <exception>

#include "import/case_writer.h"
#include "import/driver.h"
#include "import/run_register.h"

namespace crv::window {

namespace {
// A batch goes to the window when it holds this much text, or after
// kHandOverEvery at the end of a case, whichever comes first.
constexpr std::size_t kChunkBytes = 256 * 1024;
constexpr std::size_t kChunkLines = 16 * 1024;
constexpr auto kHandOverEvery = std::chrono::milliseconds(25);
}  // namespace

ImportRun::ImportRun(RunParams params, SuitePaths paths, Regional regional, QObject* parent)
    : QObject(parent), params_(std::move(params)), paths_(std::move(paths)), regional_(regional)
{
}

ImportRun::~ImportRun()
{
    requestStop();
    {
        const std::lock_guard lock(mutex_);
        closing_ = true;
    }
    answered_.notify_all();
    worker_.wait();
}

void ImportRun::requestStop()
{
    stop_ = true;
    cancel_.cancel();
}

void ImportRun::start()
{
    lastHandOver_ = std::chrono::steady_clock::now();
    local_.text.reserve(kChunkBytes);
    local_.ends.reserve(kChunkLines);
    worker_.start<RunResult>(
        this,
        [this] {
            const db::CancelScope::Inside cancellable(cancel_);
            const StoreOpener opener = [this](const RunParams& p) { return openDatabaseStore(paths_, p, regional_); };
            RunResult result;
            try {
                result = lavoraRegistrato(params_, paths_, regional_, *this, opener);
            } catch (const std::exception& e) {
                // The driver reports its own failures; anything else still ends
                // the run with a message rather than with the program. Nothing
                // was committed: the store rolls back when it is dropped.
                result.outcome = RunOutcome::DatabaseError;
                result.message = std::string("Importazione interrotta da un errore imprevisto: ") + e.what();
                waitCursor(false);
                message(result.message, Box::None);
            }
            handOver();
            return result;
        },
        [this](RunResult result) {
            result_ = std::move(result);
            emit ended();
        });
}

RunUpdate ImportRun::take()
{
    const std::lock_guard lock(mutex_);
    RunUpdate update = std::move(shared_);
    shared_ = RunUpdate();
    return update;
}

RunMessage ImportRun::pendingMessage()
{
    const std::lock_guard lock(mutex_);
    return message_.value_or(RunMessage());
}

void ImportRun::messageAnswered(bool si)
{
    {
        const std::lock_guard lock(mutex_);
        messageDone_ = true;
        answer_ = si;
    }
    answered_.notify_all();
}

void ImportRun::handOver()
{
    if (local_.empty()) return;
    ListingChunk full = std::move(local_);
    local_ = ListingChunk();
    local_.text.reserve(kChunkBytes);
    local_.ends.reserve(kChunkLines);
    lastHandOver_ = std::chrono::steady_clock::now();
    const std::lock_guard lock(mutex_);
    shared_.lines.push_back(std::move(full));
}

void ImportRun::listingCleared()
{
    local_ = ListingChunk();
    local_.text.reserve(kChunkBytes);
    local_.ends.reserve(kChunkLines);
    const std::lock_guard lock(mutex_);
    shared_.lines.clear();
    shared_.cleared = true;
}

void ImportRun::listingLine(std::string_view line)
{
    // A full batch is handed over before it would grow (and be copied).
    if (!local_.empty() && (local_.text.size() + line.size() > kChunkBytes || local_.ends.size() >= kChunkLines))
        handOver();
    local_.append(line);
}

void ImportRun::countersChanged(const RunCounters& counters)
{
    const std::lock_guard lock(mutex_);
    shared_.counters = counters;
}

bool ImportRun::progress(const RunProgress& progress)
{
    if (std::chrono::steady_clock::now() - lastHandOver_ >= kHandOverEvery) handOver();
    {
        const std::lock_guard lock(mutex_);
        shared_.progress = progress;
    }
    return !stop_;
}

void ImportRun::waitCursor(bool on)
{
    const std::lock_guard lock(mutex_);
    shared_.waitCursor = on;
}

void ImportRun::attesa(std::string_view text)
{
    const std::lock_guard lock(mutex_);
    shared_.attesa = std::string(text);
}

void ImportRun::message(std::string_view text, Box focus)
{
    waitForOperator(RunMessage{std::string(text), focus});
}

bool ImportRun::importareComunque(std::string_view fatti)
{
    return waitForOperator(RunMessage{std::string(fatti), Box::None, true});
}

bool ImportRun::waitForOperator(RunMessage pending)
{
    handOver();
    std::unique_lock lock(mutex_);
    if (closing_) return false;
    message_ = std::move(pending);
    messageDone_ = false;
    answer_ = false;
    lock.unlock();
    QMetaObject::invokeMethod(this, &ImportRun::messageWaiting, Qt::QueuedConnection);
    lock.lock();
    answered_.wait(lock, [this] { return messageDone_ || closing_; });
    message_.reset();
    return messageDone_ && answer_ && !closing_;
}

}  // namespace crv::window
