#pragma once
// What ended an import run that did not conclude, kept as its parts: the
// kind, the place in the file, the case, the element, the field and the
// reason. Each front end and the register show the text made from them here;
// a test reads the parts.
#include <cstdint>
#include <optional>
#include <string>

namespace crv {

struct XmlParseError;

enum class TipoGuasto {
    FileMancante,      // no file chosen, or not there
    Parametro,         // a mandate parameter empty or not a date
    FileNonXml,        // the file is not well-formed XML, or could not be opened
    Lettura,           // the file could not be read further
    NessunaPratica,    // no case element of the chosen format
    DatoErrato,        // a value of a case that the import cannot take
    SenzaIntestatario, // a bank case without holder, whose data would have no row
    RigaRifiutata,     // a case's row refused by the archive, or by the check made before it
    Database,          // the archive failed outside any case (opening, batch, commit)
    Ricerca,           // the search for the cases already in the archive failed
    ConnessionePersa,  // the connection to the archive broke
    ArchivioAccessMancante,
    Interrotta,        // the operator stopped the run
    Memoria,           // a value too large for the memory there is
    GiaPresenti,       // cases already in the archive, repeated or without a code, not imported
};

// What became of what a normal run had written when it failed.
enum class Annullamento {
    Nessuno,               // nothing had been written (a test run, or a failure before the archive)
    Annullata,             // rolled back: the archive is as it was
    ConfermaSenzaRisposta, // the connection broke during the commit: all or nothing, unknown which
    NonRiuscito,           // the rollback itself failed
};

struct Guasto {
    TipoGuasto tipo = TipoGuasto::Database;
    std::string file;  // the delivery's path (empty where the fault is not the file's)

    // FileNonXml: where the reader stopped (1-based line and column, in
    // characters; line 0 when the file could not be opened), and that line's
    // text (a stretch of it, from column `sorgenteDa`, when it is very long).
    std::int64_t riga = 0;
    std::int64_t colonna = 0;
    std::string sorgente;
    std::int64_t sorgenteDa = 1;
    bool sorgenteContinua = false;

    // The case (1 for the first element; 0: none) and its code. A row the
    // archive refused in a group may be any of the cases up to `finoAPratica`.
    int pratica = 0;
    std::string codice;
    int finoAPratica = 0;
    std::string codiceFinoA;

    std::string elemento;  // DatoErrato: the element of the file
    std::string valore;    // its value as the file holds it (the start of a long one)
    std::string campo;     // the field of the archive, or the parameter box
    std::string motivo;    // the reason, in Italian

    Annullamento annullamento = Annullamento::Nessuno;
    std::optional<std::int64_t> lotto;  // ConfermaSenzaRisposta: the batch that tells
    std::string motivoAnnullamento;     // NonRiuscito: why
};

// The operator's text of the fault: the message box's, standard error's and,
// its first line, the register's.
std::string testoGuasto(const Guasto& guasto);

// A file that is not well-formed XML, where the reader says.
Guasto guastoXml(const XmlParseError& error);

}  // namespace crv
