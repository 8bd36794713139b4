#pragma once
// Why the system refused a file operation, in the operator's language.
#include <filesystem>
#include <string>
#include <system_error>

namespace crv {

// The system's reason for an error number (errno): "disco pieno",
// "permesso negato"... A rare one keeps its number and the system's text.
std::string motivoDiSistema(int error);
std::string motivoDiSistema(const std::error_code& error);

// Why writing into `folder` failed with `error` (0 when the writer did not
// say), naming the folder: "disco pieno nella cartella D" whenever the disk
// that holds it is full now, "la cartella D non esiste" when it is gone,
// else the system's reason followed by " nella cartella D".
std::string motivoDiScrittura(const std::filesystem::path& folder, int error);

}  // namespace crv
