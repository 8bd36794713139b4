#pragma once
// What an installation of the window shows, chosen once per suite in the
// data folder's file Crv_XML_installazione.ini (key=value lines, keys
// without regard to case, windows-1252 like the other settings files):
//
//   presentazione=banca        starts in the bank presentation (default: corvestra)
//   importa_rove=si            shows the button "Importa ROVE"
//   fattura_elettronica=si     shows the button "Fatt.Elett"
//
// A missing file or key keeps the design: Corvestra presentation, both
// buttons hidden.
#include <filesystem>

#include "app/suite_root.h"

namespace crv {

struct Installazione {
    bool presentazioneBanca = false;   // ModoDocumento true at start-up
    bool mostraImportaRove = false;    // Cmd_Importa(2)
    bool mostraFattElett = false;      // Cmd_Importa(3)
};

// The installation file of the suite: dati/Crv_XML_installazione.ini.
std::filesystem::path installazioneIni(const SuitePaths& paths);

// Reads the installation file; missing file or keys give the defaults.
Installazione LeggiInstallazione(const SuitePaths& paths);

}  // namespace crv
