#include "app/suite_root.h"

#include <cstdlib>
#include <system_error>

#include "files/system_reason.h"
#include "files/whole_file.h"

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

bool isFolder(const std::filesystem::path& path)
{
    std::error_code ec;
    return std::filesystem::is_directory(path, ec);
}

}  // namespace

SuitePaths resolveSuitePaths(const std::string& rootOption)
{
    if (!rootOption.empty()) return SuitePaths{std::filesystem::path(rootOption)};
    const std::string fromEnv = environment("VEX32_ROOT");
    if (!fromEnv.empty()) return SuitePaths{std::filesystem::path(fromEnv)};
    return SuitePaths{defaultRoot()};
}

std::vector<std::filesystem::path> creaCartelleSuite(const SuitePaths& paths)
{
    std::vector<std::filesystem::path> made;
    for (const std::filesystem::path& folder : {paths.root, paths.importDir(), paths.dataDir()}) {
        if (isFolder(folder)) continue;
        std::error_code ec;
        // The root may lie several levels below a folder that exists.
        std::filesystem::create_directories(folder, ec);
        if (ec) {
            const std::string reason = motivoDiSistema(ec);
            throw FileError("Impossibile creare la cartella " + folder.string() + ": " + reason, reason);
        }
        made.push_back(folder);
    }
    return made;
}

std::string radiceMancante(const SuitePaths& paths)
{
    if (isFolder(paths.importDir())) return {};
    std::string what;
    if (!isFolder(paths.root)) {
        what = "La radice della suite " + paths.root.string() + " non esiste.";
    } else {
        what = "La radice della suite " + paths.root.string() + " non ha la cartella import/";
        what += isFolder(paths.dataDir()) ? "." : " né la cartella dati/.";
    }
    const std::string env = environment("VEX32_ROOT");
    return what + "\nPer crearla, con un archivio SQLite vuoto: crvxml init-db --radice " +
           percorsoPerShell(paths.root) +
           "\nPer usare un'altra radice: crvxml --radice CARTELLA, oppure la variabile d'ambiente VEX32_ROOT (" +
           (env.empty() ? std::string("ora non impostata") : "ora " + env) + ").";
}

std::string percorsoPerShell(const std::filesystem::path& path)
{
    const std::string text = path.string();
    const bool plain = !text.empty() && text.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                                               "0123456789/._-+,:@") == std::string::npos;
    if (plain) return text;
    std::string quoted = "'";
    for (const char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

}  // namespace crv
