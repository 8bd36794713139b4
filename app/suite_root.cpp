#include "app/suite_root.h"

#include <cstdlib>

namespace crv {

std::filesystem::path SuitePaths::importDir() const { return root / "import"; }
std::filesystem::path SuitePaths::dataDir() const { return root / "dati"; }
std::filesystem::path SuitePaths::crvXmlIni() const { return dataDir() / "Crv_XML.ini"; }
std::filesystem::path SuitePaths::vex32Ini() const { return dataDir() / "vex32.ini"; }
std::filesystem::path SuitePaths::accessDb() const { return dataDir() / "vex.sqlite"; }

namespace {

std::string environment(const char* name)
{
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

std::filesystem::path defaultRoot()
{
#ifdef _WIN32
    return std::filesystem::path("Z:\\work\\vex32");
#else
    // Without a home folder the suite is looked for under the current folder.
    const std::string home = environment("HOME");
    return home.empty() ? std::filesystem::path("vex32") : std::filesystem::path(home) / "vex32";
#endif
}

}  // namespace

SuitePaths resolveSuitePaths(const std::string& rootOption)
{
    if (!rootOption.empty()) return SuitePaths{std::filesystem::path(rootOption)};
    const std::string fromEnv = environment("VEX32_ROOT");
    if (!fromEnv.empty()) return SuitePaths{std::filesystem::path(fromEnv)};
    return SuitePaths{defaultRoot()};
}

}  // namespace crv
