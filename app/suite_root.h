#pragma once
// The suite's folders: the import folder and the data folder (with the
// settings files and the local file database) sit under one root.
#include <filesystem>
#include <string>

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

}  // namespace crv
