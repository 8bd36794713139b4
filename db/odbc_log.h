#pragma once
// The file Debian's psqlODBC leaves in the temporary folder for every
// program that connects: registered with CommLog=1, it writes a "PQfinish"
// line at each disconnection under the driver's system-wide setting, even
// for a connection that says CommLog=0.
namespace crv::db {

// Removes this process's psqlODBC log when it holds nothing but those
// closing lines; a log with anything else in it (a connection string asked
// for one) stays.
void removeClosingOnlyOdbcLog();

}  // namespace crv::db
