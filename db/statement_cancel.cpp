#include "db/statement_cancel.h"

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include <QSqlResult>
#include <QVariant>

#include <libpq-fe.h>
#include <sql.h>

#include "db/driver_state.h"

namespace crv::db {

struct Canceller::Shared {
    std::mutex mutex;                  // guards what follows
    std::shared_ptr<PGcancel> libpq;   // Qt's PostgreSQL driver
    SQLHANDLE statement = nullptr;     // ODBC: the statement running now
    int running = 0;                   // statements running now
    std::atomic<bool> cancelled{false};
    std::atomic<bool> sending{false};  // a thread sends the requests

    // One request to stop what runs; false when nothing runs any more.
    bool sendOnce()
    {
        const std::lock_guard lock(mutex);
        if (running == 0) return false;
        if (libpq) {
            char reason[256];
            PQcancel(libpq.get(), reason, sizeof reason);
        } else if (statement != nullptr) {
            SQLCancel(statement);
        }
        return true;
    }
};

Canceller::Canceller(const QSqlDatabase& db) : shared_(std::make_shared<Shared>())
{
    if (PGconn* const connection = libpqConnection(db))
        shared_->libpq.reset(PQgetCancel(connection), PQfreeCancel);
}

Canceller::~Canceller() = default;

void Canceller::cancel()
{
    shared_->cancelled = true;
    if (shared_->sending.exchange(true)) return;
    // The request may reach the server before the statement does: ask again
    // while the statement still runs, a few times.
    std::thread([shared = shared_] {
        for (int attempt = 0; attempt < 20 && shared->sendOnce(); ++attempt)
            std::this_thread::sleep_for(std::chrono::milliseconds(250));
        shared->sending = false;
    }).detach();
}

bool Canceller::cancelled() const
{
    return shared_->cancelled;
}

Canceller::Running::Running(Canceller* canceller, const QSqlQuery* statement) : canceller_(canceller)
{
    if (canceller_ == nullptr) return;
    Shared& shared = *canceller_->shared_;
    const std::lock_guard lock(shared.mutex);
    ++shared.running;
    if (statement != nullptr && statement->result() != nullptr) {
        const QVariant handle = statement->result()->handle();
        if (handle.isValid() && handle.metaType() == QMetaType::fromType<SQLHANDLE>())
            shared.statement = *static_cast<const SQLHANDLE*>(handle.constData());
    }
}

Canceller::Running::~Running()
{
    if (canceller_ == nullptr) return;
    Shared& shared = *canceller_->shared_;
    // Waits for a request being sent: the ODBC statement must outlive it.
    const std::lock_guard lock(shared.mutex);
    --shared.running;
    shared.statement = nullptr;
}

// ---- Scopes ----

struct CancelScope::State {
    std::atomic<bool> cancelled{false};
    std::mutex mutex;
    std::vector<std::weak_ptr<Canceller>> cancellers;
};

namespace {
thread_local std::shared_ptr<CancelScope::State> currentScope;
}  // namespace

CancelScope::CancelScope() : state_(std::make_shared<State>()) {}

CancelScope::~CancelScope() = default;

CancelScope::Inside::Inside(CancelScope& scope) : previous_(currentScope)
{
    currentScope = scope.state_;
}

CancelScope::Inside::~Inside()
{
    currentScope = previous_;
}

void CancelScope::cancel()
{
    state_->cancelled = true;
    const std::lock_guard lock(state_->mutex);
    for (const auto& weak : state_->cancellers)
        if (const auto canceller = weak.lock()) canceller->cancel();
}

bool CancelScope::cancelled() const
{
    return state_->cancelled;
}

void CancelScope::join(const std::shared_ptr<Canceller>& canceller)
{
    const std::shared_ptr<State> scope = currentScope;
    if (!scope || !canceller) return;
    const std::lock_guard lock(scope->mutex);
    std::erase_if(scope->cancellers, [](const auto& weak) { return weak.expired(); });
    scope->cancellers.push_back(canceller);
    if (scope->cancelled) canceller->cancel();
}

std::function<bool()> CancelScope::watch()
{
    std::shared_ptr<State> scope = currentScope;
    if (!scope) return [] { return false; };
    return [scope = std::move(scope)] { return scope->cancelled.load(); };
}

}  // namespace crv::db
