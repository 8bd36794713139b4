#pragma once
// The suite's folders: the import folder and the data folder (with the
// settings files and the local file database) sit under one root.
#include <filesystem>
#include <string>
#include <vector>

namespace crv {

struct SuitePaths {
    std::filesystem::path root;
    std::filesystem::path importDir() const;   // root/"import"
    std::filesystem::path dataDir() const;     // root/"dati"
    std::filesystem::path crvXmlIni() const;   // dataDir()/"Crv_XML.ini"
    std::filesystem::path vex32Ini() const;    // dataDir()/"vex32.ini"
    std::filesystem::path accessDb() const;    // dataDir()/"vex.sqlite" (the suite's local file database)
};

// --root when given (non-empty), else env VEX32_ROOT, else Z:\work\vex32 on Windows, ~/vex32 (from $HOME) elsewhere.
SuitePaths resolveSuitePaths(const std::string& rootOption);

// Makes the root, import/ and dati/ where they are missing; returns the
// folders it made, in that order. Throws FileError naming the folder.
std::vector<std::filesystem::path> creaCartelleSuite(const SuitePaths& paths);

// When the root or its import/ folder is missing: what is missing, the
// command that makes a suite root there, and the two ways of choosing
// another (--radice, VEX32_ROOT). Empty when import/ is there.
std::string radiceMancante(const SuitePaths& paths);

// A path as a shell reads it back: quoted when it holds anything but
// letters, digits and "/._-+,:@".
std::string percorsoPerShell(const std::filesystem::path& path);

}  // namespace crv
