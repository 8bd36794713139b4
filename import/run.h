#pragma once
// What one import run needs from the front end and tells it back: the state
// of the window's boxes and check boxes, the listener that shows the listing,
// counters, messages and progress, and the result.
#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "import/run_fault.h"
#include "numbers/amount.h"

namespace crv {

// The parameter boxes, check boxes and run flags as the operator left them.
struct RunParams {
    std::string fileName;      // LBLFILEIMPORT: a name in the import folder
    std::string mandato;       // Scheda(0)
    std::string dataAffido;    // Scheda(1), short date form
    std::string scadenza;      // Scheda(2), short date form
    std::string intervento;    // Scheda(3)
    std::string sitAffido;     // Scheda(4)
    bool dettagli = true;      // chkDettagli
    bool soloTest = true;      // ChkSoloTest
    bool spRec = false;        // chkAgg(6): expenses to "importo speserecupero"
    bool intDaFile = true;     // chkAgg(16): intervention type from the file
    bool usaAccess = false;    // chkUsaAccess
    std::array<bool, 6> sezioni{true, true, true, true, true, true};  // Chk_Sezioni_da_Importare
    bool modoDocumento = false;
    bool modoTesto = false;
    // Write even the cases whose code the archive already holds or the file
    // repeats, without looking for them.
    bool ancheGiaPresenti = false;
    // How the front end that starts the run reads a file of each format, in
    // its own words, for the message about a file in the other format
    // ("si legge con il pulsante \"Importa\""); empty: it says nothing.
    std::string comeLeggereCorvestra;
    std::string comeLeggereBanca;
    // Every byte of the delivery, once, in order, as the run reads it (the
    // register's SHA-256).
    std::function<void(std::string_view)> onBytes;
    // Asked once the delivery has been read whole, just before the check of
    // the cases already in the archive (where a run makes none, at the same
    // point): a message to show first, or nothing.
    std::function<std::optional<std::string>()> primaDelControllo;
    // The same for the Corvestra format's text export, its cases without a
    // root element (which "Importa" does not read).
    std::string comeLeggereCorvestraTesto;

    // The field that receives the recovery expenses.
    std::string_view campoSpese() const { return spRec ? "importo speserecupero" : "importo spese"; }
};

// The counter boxes Scheda(5) to Scheda(9).
struct RunCounters {
    int praticheImportate = 0;               // Scheda(5)
    Amount capitale;                         // Scheda(6)
    Amount interessi;                        // Scheda(7)
    Amount spese;                            // Scheda(8)
    std::optional<std::int64_t> lotto;       // Scheda(9); empty in test mode
};

enum class RunOutcome {
    Concluded,       // "Importazione Conclusa"
    NoFile,          // "Scegliere il file da importare"
    BadParameter,    // a mandate parameter missing or not a date
    ParseError,      // the file is not well-formed XML
    NoCases,         // no case element of the chosen format in the file
    BadInput,        // a value of a case the import cannot take
    DatabaseError,   // the database refused or could not be reached
    AccessArchiveMissing,  // "Access" checked and the local archive missing: the program ends
    Stopped,         // the operator asked to stop
    AlreadyImported, // cases already in the archive or repeated in the file, not to be imported anyway
};

// Parameter box that gets the focus after a parameter message.
enum class Box { None = -1, Mandato = 0, DataAffido = 1, Scadenza = 2, Intervento = 3 };

// Where a run is: the cases listed so far, and how far into the file the
// reading is (the number of cases is known only at the end).
struct RunProgress {
    int pratiche = 0;
    std::uint64_t bytesRead = 0;
    std::uint64_t size = 0;   // the delivery's size in bytes
};

// The calls come on the thread that called lavora(), in the file's order.
class RunListener {
public:
    virtual ~RunListener() = default;
    virtual void listingCleared() {}
    virtual void listingLine(std::string_view line) = 0;
    // A message box; `focus` is the box to put the focus in afterwards.
    virtual void message(std::string_view text, Box focus) = 0;
    virtual void countersChanged(const RunCounters&) {}
    // Called once per case after its listing; false asks the run to stop.
    virtual bool progress(const RunProgress& progress) = 0;
    // Asked once every case is read and written, before a normal run is
    // committed, when the archive holds some of the file's cases (outside
    // this run's batch) or the file repeats a code; `fatti` says which. True
    // imports them anyway; false (the default) undoes the run.
    virtual bool importareComunque(std::string_view) { return false; }
    // Asked once more before a normal run is committed: a stop that came
    // after the last case still undoes the run. (A stop at any other moment
    // comes through progress() or the thread's db::CancelScope.)
    virtual bool stopRequested() const { return false; }
    virtual void waitCursor(bool) {}
    // The run waits for another run on the same archive and says so, once;
    // an empty text: the wait is over. The run can still be stopped.
    virtual void attesa(std::string_view) {}
    // A note about the archive, once per run (the lack of an index that the
    // check of the cases already in it would use); it does not stop the run.
    virtual void nota(std::string_view text) { listingLine(text); }
};

struct RunResult {
    RunOutcome outcome = RunOutcome::Concluded;
    std::string message;   // the last message shown
    RunCounters counters;  // after a rollback: all zero, nothing having been written
    bool rolledBack = false;   // a normal run undone: the database is as it was
    int casesRead = 0;         // case elements read, written or not
    std::optional<Guasto> guasto;  // what ended a run that did not conclude
    // A test run that could not check the file against the archive (none
    // configured, or not reachable): why. Empty otherwise.
    std::string soloFile;
};

}  // namespace crv
