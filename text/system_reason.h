#pragma once
// The reason a file operation failed, in Italian: the system's own texts
// follow the machine's language (English on a server) and say "Unknown
// error" for some conditions.
#include <string>
#include <system_error>

namespace crv {

// "permesso negato", "spazio su disco esaurito"...; for a condition without
// an Italian text, the system's own followed by its number.
std::string motivoDiSistema(std::error_code error);

}  // namespace crv
