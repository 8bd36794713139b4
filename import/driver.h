#pragma once
// The import run: checks the mandate parameters, opens the import batch,
// reads the delivery one case element at a time (repaired while reading where
// the mode asks, never written), lists each case with running totals and
// hands it to the case store.
#include <string_view>

#include "app/suite_root.h"
#include "import/case_store.h"
#include "numbers/regional.h"
#include "import/run.h"

namespace crv {

// One import run over params.fileName in the suite's import folder. In a
// normal run `openStore` gives the database store; the run is one
// transaction, committed only when it reaches "Importazione Conclusa".
RunResult lavora(const RunParams& params, const SuitePaths& paths, const Regional& regional,
                 RunListener& listener, const StoreOpener& openStore);

// "Scegliere il file da importare" and what was found in place of the file
// to import; empty when the file is there. A front end may ask before the
// run, so as not to ask for a confirmation of an import that cannot start.
std::string messaggioFileMancante(const SuitePaths& paths, const std::string& fileName);

// The message for a date box that is not a date: the title ("Inserire Data
// Affido"), then on its own line what was typed and the form expected.
std::string messaggioData(std::string_view titolo, std::string_view testo, const Regional& regional);

}  // namespace crv
