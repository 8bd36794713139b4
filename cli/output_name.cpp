#include "cli/output_name.h"

#include <algorithm>
#include <cctype>

namespace crv::cli {

std::optional<std::string> altroFormato(std::string_view option, const std::filesystem::path& name,
                                        std::string_view extension, std::string_view what)
{
    const std::string own = name.extension().string();
    const bool same = std::equal(own.begin(), own.end(), extension.begin(), extension.end(), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
    });
    if (own.empty() || same) return std::nullopt;
    return std::string(option) + " " + name.string() + ": si scrive " + std::string(what) + " " +
           std::string(extension) + ", non un file " + own;
}

}  // namespace crv::cli
