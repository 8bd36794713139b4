#pragma once
// Files the commands write carry their format in their name: a name whose
// extension says another format (a workbook named .csv, PNG data named
// .jpg) would open wrongly, or not at all, in the program it leads to.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace crv::cli {

// The usage problem of `name`, given to `option` for a file of `extension`
// (".xlsx", with its dot) holding `what` ("una cartella di lavoro"), when
// its own extension is another; nothing for that extension in any case of
// letters, or for a name without extension.
std::optional<std::string> altroFormato(std::string_view option, const std::filesystem::path& name,
                                        std::string_view extension, std::string_view what);

}  // namespace crv::cli
