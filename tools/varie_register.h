#pragma once
// The utilities of the tabs "Varie" and "Lotti" written to the suite's
// register (app/registro.h), one line per run, whichever front end runs them.
#include <functional>
#include <optional>
#include <string>

#include "app/registro.h"
#include "app/suite_root.h"
#include "tools/varie.h"

namespace crv::tools {

// What the register says of one utility's run besides how it ended.
struct VarieDaRegistrare {
    std::string operazione;          // "esporta", "note-comuni", "annulla-lotto"
    bool prova = false;              // annulla-lotto without --conferma: nothing removed
    std::string file;                // the workbook of esporta
    std::optional<std::int64_t> lotto;
};

// Runs `run` and appends its line. A line that cannot be written adds a
// message at the end of the result; the result is otherwise the run's own.
RisultatoVarie conRegistro(const SuitePaths& paths, bool usaAccess, const VarieDaRegistrare& cosa,
                           const std::function<RisultatoVarie()>& run);

// How a run of the utilities ended, in the register's words.
std::string esitoVarie(Esito esito);

}  // namespace crv::tools
