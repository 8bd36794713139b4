#pragma once
// The limits a connection gets unless its connection string sets its own, so
// that nothing waits for ever: 10 seconds to reach the server, 30 seconds to
// wait for a table another session holds (as long as SQLite's busy wait),
// and TCP keepalives that notice a server gone (switched off, cable pulled)
// within about a minute instead of two hours.
#include <QString>

#include "db/connection_string.h"

namespace crv::db {

inline constexpr int kConnectSeconds = 10;
inline constexpr int kLockWaitSeconds = 30;
inline constexpr int kKeepaliveIdleSeconds = 30;
inline constexpr int kKeepaliveIntervalSeconds = 10;
inline constexpr int kKeepaliveCount = 3;

// The connection parameters with the defaults added where the string says nothing: SQLite's
// busy wait; libpq's connect_timeout and keepalives for Qt's PostgreSQL
// driver; for ODBC the driver manager's login time-out and, when the string
// names PostgreSQL's ODBC driver, its KeepaliveTime and KeepaliveInterval and
// CommLog=0 (no communication log left in the temporary folder).
// PostgreSQL's lock wait is set once connected (Database::open), where the
// value the server already has for the session can be seen.
ConnectionParams withConnectionDefaults(ConnectionParams connParams);

// Seconds the parameters let the connection wait for the server; -1 when it sets
// no limit this code can read.
int connectSeconds(const ConnectionParams& connParams);

}  // namespace crv::db
