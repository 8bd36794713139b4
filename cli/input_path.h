#pragma once
// Which file a name on the command line means: a bare name is one of the
// suite's import folder, as the window's file list shows them; a path (what
// tab completion gives) is taken as it is.
#include <filesystem>
#include <string>

#include "app/suite_root.h"

namespace crv::cli {

// A name without a folder separator: the file of that name in import/. A
// path: the path as given (absolute or from the current folder), or the
// file at that path within import/ when only that one exists.
std::filesystem::path fileIndicato(const std::string& name, const SuitePaths& paths);

}  // namespace crv::cli
