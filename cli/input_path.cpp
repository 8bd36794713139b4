#include "cli/input_path.h"

namespace crv::cli {

std::filesystem::path fileIndicato(const std::string& name, const SuitePaths& paths)
{
    namespace fs = std::filesystem;
    const fs::path given(name);
    if (!given.has_parent_path()) return paths.importDir() / given;
    std::error_code ec;
    if (!fs::exists(given, ec) && given.is_relative() && fs::exists(paths.importDir() / given, ec))
        return paths.importDir() / given;
    return given;
}

}  // namespace crv::cli
