#pragma once
// The register of what was done to the suite's archive: one line for every
// import, annulla-lotto, esporta and note-comuni, with who ran it, where,
// when, on which delivery (its name, size and SHA-256) and how it ended.
// A CSV file in the suite's dati/ folder that a spreadsheet opens as it is:
// UTF-8 with its byte-order mark, ";" between fields (the list separator of
// Italian spreadsheets), a header row, CR LF line ends.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/suite_root.h"
#include "numbers/regional.h"

namespace crv {

// One run.
struct VoceRegistro {
    std::string inizio;      // "2026-12-03 10:41:07", local time
    std::string fine;
    std::string utente;
    std::string macchina;
    std::string operazione;  // "import", "annulla-lotto", "esporta", "note-comuni"
    std::string modo;        // "prova" (nothing written) or "normale"
    std::string file;        // the delivery (import), the workbook (esporta)
    std::optional<std::uint64_t> dimensione;  // of the delivery, in bytes
    std::string sha256;      // of the delivery, 64 lower-case hexadecimal digits
    std::string esito;       // how it ended, in a few words ("conclusa", "interrotta"...)
    std::optional<std::int64_t> lotto;
    std::optional<std::int64_t> lette;    // cases read (import) or chosen
    std::optional<std::int64_t> scritte;  // cases written, removed or changed
    std::string database;    // the connection string as the caption shows it (no password)
    std::string messaggio;   // the run's last message, first line
    std::string programma;   // "crvxml 0.1.20"
};

// dati/Crv_XML_registro.csv
std::filesystem::path fileRegistro(const SuitePaths& paths);

// The header row and one line, each with its CR LF; the header starts with
// the byte-order mark. A field that holds ";", a double quote, a line break
// or blanks at its ends is quoted; one that a spreadsheet would take for a
// formula (it starts with "=", "+", "-" or "@") starts with "'".
std::string intestazioneRegistro();
std::string rigaRegistro(const VoceRegistro& voce);

// The lines of a register's text, by the names of the header's columns (a
// register written by an older or newer version reads too). A missing file
// or text reads as no line; a number that does not read is left empty. A
// file that is there but cannot be read (permissions, a folder, a link in
// its place) throws FileError ("Registro non leggibile: FILE: reason"):
// read as empty, it would say that no delivery was ever imported.
std::vector<VoceRegistro> registroDaTesto(std::string_view text);
std::vector<VoceRegistro> leggiRegistro(const std::filesystem::path& file);

// Appends the line under a lock shared with every other program that
// appends (AppendOptions: up to 15 seconds). `inAttesa` is called once when
// another program holds it. Returns the message that says why the line was
// not written, or nothing.
std::optional<std::string> accodaAlRegistro(const SuitePaths& paths, const VoceRegistro& voce,
                                            const std::function<void()>& inAttesa = {});

// The delivery's name of each batch of `database` the register knows (the
// normal imports that wrote it).
std::map<std::int64_t, std::string> fileDeiLotti(const std::vector<VoceRegistro>& voci, std::string_view database);
// The same from the suite's register file (FileError as leggiRegistro).
std::map<std::int64_t, std::string> fileDeiLotti(const SuitePaths& paths, std::string_view database);

// When the normal imports into `database` that concluded include one of a
// delivery with this SHA-256: "Lo stesso file fu importato come
// consegna_marzo.xml il 03/12/2026 10:41, lotto 17", one such clause per
// import, and whether that batch was taken back since. Nothing otherwise.
std::optional<std::string> giaImportato(const std::vector<VoceRegistro>& voci, std::string_view sha256,
                                        std::string_view database, const Regional& regional);

// What a line says of the present: the local time in the register's form,
// the user and the machine.
std::string oraRegistro();
std::string utenteCorrente();
std::string macchinaCorrente();

// The line of a run that starts now: its time, user, machine and program,
// what it is (`operazione`, "prova" or "normale") and the database shown.
VoceRegistro nuovaVoce(std::string operazione, bool prova, std::string database);

}  // namespace crv
