#pragma once
// The one exception type of the database layer: an Italian description of
// what was being done, followed by the driver's own error text.
#include <stdexcept>
#include <string>

namespace crv::db {

// The failures the program tells apart, to name what was waited for or lost.
enum class DbFailure {
    Other,
    LockTimeout,     // a table (or the SQLite file) held by another session past the lock wait
    NoAnswer,        // the server did not answer within the connect time-out
    ConnectionLost,  // the connection broke: the server dropped the transaction
    Cancelled,       // the operator stopped the statement (Interrompi, Ctrl-C)
};

class DbError : public std::runtime_error {
public:
    explicit DbError(const std::string& context, const std::string& driverText = {},
                     DbFailure failure = DbFailure::Other);

    // What was being done, in Italian ("Impossibile aprire il database").
    const std::string& context() const { return context_; }
    // The text reported by the driver or the database server (may be empty).
    const std::string& driverText() const { return driverText_; }
    DbFailure failure() const { return failure_; }

private:
    std::string context_;
    std::string driverText_;
    DbFailure failure_ = DbFailure::Other;
};

// The suite's local archive is missing while the "Access" box is checked: the
// program cannot go on (the caller ends it after showing the message).
class AccessArchiveMissing : public DbError {
public:
    AccessArchiveMissing();
};

}  // namespace crv::db
