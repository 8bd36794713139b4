#pragma once
// Whether the filter boxes choose any case, asked before the export asks
// where to save: no save dialog for a workbook that would not be written.
#include "app/suite_root.h"
#include "numbers/regional.h"
#include "tools/varie.h"

namespace crv::tools {

// Terminata with the cases counted in `pratiche` when there are some;
// otherwise the export's own ending and messages ("Nessuna pratica trovata",
// "DB non collegato", a batch that is not a number, a database error), or
// Interrotta when `avanzamento`, asked once at the end, says to stop.
RisultatoVarie verificaPratiche(const SuitePaths& paths, bool usaAccess, const FiltroPratiche& filtro,
                                const Regional& regional, const Avanzamento& avanzamento = {});

}  // namespace crv::tools
