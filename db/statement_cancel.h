#pragma once
// Stopping, from another thread, a statement that waits (for a table another
// session holds, for a slow server): Interrompi in the window, Ctrl-C on the
// command line. A front end runs its work inside a CancelScope; each
// connection opened on that thread meanwhile gets a Canceller and joins the
// scope, and CancelScope::cancel() asks each server to stop the statement it
// is running. The statement fails (DbFailure::Cancelled), the run rolls back,
// and the connection refuses further work, so nothing is written.
//
// The cancel key is the connection's own (libpq's PQcancel for Qt's
// PostgreSQL driver, SQLCancel on the running ODBC statement); a statement
// sent through libpq directly can use the same Canceller.
#include <functional>
#include <memory>

#include <QSqlDatabase>
#include <QSqlQuery>

namespace crv::db {

class Canceller {
public:
    // The cancel side of an open connection.
    explicit Canceller(const QSqlDatabase& db);
    ~Canceller();
    Canceller(const Canceller&) = delete;
    Canceller& operator=(const Canceller&) = delete;

    // Any thread; returns at once. Asks the server to stop the statement that
    // runs now (again while it still runs, in case it had not yet reached the
    // server), on a thread of its own: a server that does not answer must not
    // hold up the window.
    void cancel();
    // Whether cancel() was called: the connection takes no further work.
    bool cancelled() const;

    // Marks a statement as running while it lives (`statement`: the ODBC one
    // to stop; null with other drivers, whose whole connection is stopped).
    class Running {
    public:
        Running(Canceller* canceller, const QSqlQuery* statement);
        ~Running();
        Running(const Running&) = delete;
        Running& operator=(const Running&) = delete;

    private:
        Canceller* canceller_;
    };

private:
    struct Shared;
    std::shared_ptr<Shared> shared_;
};

class CancelScope {
public:
    struct State;

    CancelScope();
    ~CancelScope();
    CancelScope(const CancelScope&) = delete;
    CancelScope& operator=(const CancelScope&) = delete;

    // While it lives, connections opened on the calling thread join `scope`.
    class Inside {
    public:
        explicit Inside(CancelScope& scope);
        ~Inside();
        Inside(const Inside&) = delete;
        Inside& operator=(const Inside&) = delete;

    private:
        std::shared_ptr<State> previous_;
    };

    // Any thread; returns at once: cancels the statements of every connection
    // that joined, and of those that join from now on.
    void cancel();
    bool cancelled() const;

    // Joins the canceller to the calling thread's scope, if there is one.
    static void join(const std::shared_ptr<Canceller>& canceller);
    // Whether the calling thread's scope (if any) has been cancelled, as a
    // test any thread may make later: threads a job starts stop with it.
    static std::function<bool()> watch();

private:
    std::shared_ptr<State> state_;
};

}  // namespace crv::db
