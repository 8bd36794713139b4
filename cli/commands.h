#pragma once
// The subcommands of the crvxml program. Each takes the arguments after its
// own name and returns the process exit status.
#include <string>
#include <vector>

namespace crv::cli {

using Args = std::vector<std::string>;

// The whole command line: argv[1] names the command (usage to standard
// error and 2 when it is missing or unknown).
int run(int argc, char** argv);

// crvxml import: one import run.
int importCommand(const Args& args);
// crvxml init-db: the suite's tables in an empty database.
int initDbCommand(const Args& args);
// crvxml impostazioni: shows or saves the window's settings (Crv_XML.ini).
int settingsCommand(const Args& args);
// crvxml esporta: chosen case fields and common notes to an .xlsx workbook.
int esportaCommand(const Args& args);
// crvxml note-comuni: each case's common note appended to its memo.
int noteComuniCommand(const Args& args);
// crvxml lotti: the import batches, newest first.
int lottiCommand(const Args& args);
// crvxml annulla-lotto: what taking a batch back removes, and its removal.
int annullaLottoCommand(const Args& args);
// crvxml fattura: electronic invoices shown as values, PNG or PDF pages.
int fatturaCommand(const Args& args);

}  // namespace crv::cli
