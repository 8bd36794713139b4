#pragma once
// Why the system refused a file operation, in the operator's language.
#include <cstdint>
#include <filesystem>
#include <optional>
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

// Bytes free for files on the disk that holds `folder`, or nothing when the
// system does not say.
std::optional<std::uint64_t> spazioLibero(const std::filesystem::path& folder);

// A size for a message: "12 MB", "0,5 MB".
std::string megabyte(std::uint64_t bytes);

}  // namespace crv
