#pragma once
// A suite root for driving the window: import/ with sample deliveries, and
// dati/ with an SQLite case database holding the suite's tables, named by
// vex32.ini, so the window opens as on an operator's desktop.
#include <filesystem>
#include <string>

#include "app/suite_root.h"
#include "support/test_support.h"
#include "window/main_window.h"

namespace crv::test {

class WindowSuite {
public:
    WindowSuite();
    const SuitePaths& paths() const { return paths_; }
    // Copies tests/data/<relative> into the import folder; returns its name.
    std::string addImportFile(const std::string& relative);
    // Writes the installation file (dati/Crv_XML_installazione.ini).
    void writeInstallation(const std::string& lines) const;
    // The case database file.
    std::filesystem::path database() const { return paths_.dataDir() / "pratiche.sqlite"; }
    // Number of rows of a table of the case database.
    long long rowCount(const char* table) const;
    // The window's configuration: this suite, Italian regional settings.
    window::WindowConfig config(const std::string& programName = "/usr/bin/crvxml") const;

private:
    TempDir dir_;
    SuitePaths paths_;
};

}  // namespace crv::test
