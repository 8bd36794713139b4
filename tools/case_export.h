#pragma once
// The spreadsheet export of the tab "Varie": the cases the filter boxes
// choose, one row each, with the columns of the export definition, into a
// new .xlsx workbook.
#include <filesystem>
#include <string>
#include <vector>

#include "app/suite_root.h"
#include "numbers/regional.h"
#include "tools/varie.h"

namespace crv::db {
class Database;
}

namespace crv::tools {

// Opens the case database as the window does (ApriDB, "Access" box) and
// exports. `campi` are the definition's names (LeggeDefinizione or the box).
// The workbook appears at `out` only when the export is complete.
RisultatoVarie esportaPratiche(const SuitePaths& paths, bool usaAccess, const FiltroPratiche& filtro,
                               const std::vector<std::string>& campi, const std::filesystem::path& out,
                               const Regional& regional, const Avanzamento& avanzamento = {});

// The same on a database already open.
RisultatoVarie esportaPratiche(db::Database& db, const FiltroPratiche& filtro,
                               const std::vector<std::string>& campi, const std::filesystem::path& out,
                               const Regional& regional, const Avanzamento& avanzamento = {});

// Opens a file with the desktop's default application (the workbook, after
// the export); false when no such application could be started.
bool apriConApplicazionePredefinita(const std::filesystem::path& file);

}  // namespace crv::tools
