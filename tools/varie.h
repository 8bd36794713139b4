#pragma once
// The utilities of the tab "Varie" over the case database, as the window's
// buttons and the commands `crvxml esporta` and `crvxml note-comuni` start
// them: the filter boxes in, a progress callback that can stop the run, and
// a result with the messages to show, in order.
#include <functional>
#include <string>
#include <vector>

namespace crv::tools {

// The filter boxes as the operator left them; an empty box sets no condition.
struct FiltroPratiche {
    std::string mandato{};   // Scheda(0): equal to [tipo mandato]
    std::string affido{};    // Scheda(1): [data affido] from this date on (regional short form)
    std::string scadenza{};  // Scheda(2): [scadenza mandato] up to this date (regional short form)
    std::string lotto{};     // Scheda(9): equal to [lottoimportazione]; must be a whole number
};

// Called after each case with the cases done and the cases selected, and
// once more before the run's work is kept (the memos committed, the workbook
// put in place); returning false stops the run, which then leaves nothing
// written.
using Avanzamento = std::function<bool(long fatte, long totale)>;

// How a run ended.
enum class Esito {
    Terminata,               // "Elaborazione terminata"
    DbNonCollegato,          // the database could not be opened: "DB non collegato"
    ArchivioAccessMancante,  // "Access" checked and the local archive missing: the program ends
    NessunaPratica,          // "Nessuna pratica trovata"
    FiltroNonValido,         // a batch that is not a whole number
    DefinizioneNonValida,    // a column the case table does not have, or no column at all
    Errore,                  // the database or the file failed; nothing was changed or written
    Interrotta,              // stopped through the progress callback; nothing changed or written
    Rifiutata,               // a batch that cannot be taken back (counter 0, missing, no case left)
};

// What a run did, and the message boxes to show, in order.
struct RisultatoVarie {
    Esito esito = Esito::Terminata;
    std::vector<std::string> messaggi;
    long pratiche = 0;       // cases selected
    long modificate = 0;     // common notes to memo: cases whose memo was (or, trying, would be) extended
    long giaAccodate = 0;    // common notes to memo: cases whose memo already ended with the note
    long celleTagliate = 0;  // export: texts cut to the cell's limit
};

}  // namespace crv::tools
