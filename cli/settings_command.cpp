// crvxml impostazioni: shows the saved settings of the window (Crv_XML.ini)
// and, with options, saves them as the window's "Salva Impostazioni" does.
#include <cstdio>
#include <string>

#include "app/settings.h"
#include "app/suite_root.h"
#include "cli/commands.h"
#include "cli/common_options.h"
#include "cli/settings_options.h"

namespace crv::cli {
namespace {

std::string helpText()
{
    return std::string(
               "Uso: crvxml impostazioni [opzioni]\n"
               "\n"
               "Senza opzioni mostra le impostazioni salvate in dati/Crv_XML.ini (i valori di\n"
               "progetto quando il file manca). Con le opzioni le cambia e le salva come il\n"
               "pulsante \"Salva Impostazioni\" della finestra: le opzioni non date restano come\n"
               "erano; il file nuovo sostituisce il vecchio solo quando è scritto per intero.\n"
               "Le importazioni successive partono da questi valori.\n"
               "\n"
               "Opzioni:\n") +
           kCommonOptionsHelp + "\n" + kSettingsOptionsHelp +
           "\n"
           "Un testo con una virgola, un doppio apice o un a capo non si salva (il file non\n"
           "lo conserverebbe).\n"
           "\n"
           "Uscita: 0 impostazioni mostrate o salvate; 1 salvataggio non riuscito (il file\n"
           "precedente resta com'era); 2 per un uso errato, anche un testo che non si può\n"
           "salvare (nulla salvato).\n";
}

const char* stateText(int state)
{
    switch (state) {
    case 0: return "no";
    case 1: return "sì";
    default: return "indeterminato";
    }
}

// The settings one per line, each with the option that overrides it.
std::string describe(const WindowSettings& s)
{
    std::string sections;
    for (const int state : s.sezioni) sections += std::to_string(state);
    std::string out;
    out += "Mandato (--mandato): " + s.mandato + "\n";
    out += "Intervento (--intervento): " + s.intervento + "\n";
    out += "Sit.Affido (--sit-affido): " + s.sitAffido + "\n";
    out += "Sezioni da importare (--sezioni): " + sections + "\n";
    for (std::size_t k = 0; k < s.sezioni.size(); ++k)
        out += "  " + std::to_string(k + 1) + " " + kSectionNames[k] + ": " + stateText(s.sezioni[k]) + "\n";
    out += std::string("Dettagli (--dettagli, --no-dettagli): ") + stateText(s.dettagli) + "\n";
    out += std::string("Solo Test (--solo-test, --no-solo-test): ") + stateText(s.soloTest) + "\n";
    out += std::string("->sp.rec (--sp-rec, --no-sp-rec): ") + stateText(s.spRec) + "\n";
    out += std::string("int.da file (--int-da-file, --no-int-da-file): ") + stateText(s.intDaFile) + "\n";
    out += std::string("Access (--access, --no-access): ") + stateText(s.usaAccess) + "\n";
    out += std::string("Completa (finestra, \"Fatt.Elett\"): ") + stateText(s.completa) + "\n";
    return out;
}

}  // namespace

int settingsCommand(const Args& rawArgs)
{
    Args args = rawArgs;
    CommonOptions common;
    if (const auto status = startCommand("impostazioni", helpText(), args, common, {kSinonimiImpostazioni}))
        return *status;
    const SuitePaths paths = suitePathsFor(common);
    const auto file = paths.crvXmlIni();

    std::error_code ec;
    const bool existed = std::filesystem::is_regular_file(file, ec);
    WindowSettings settings;
    LeggiImpostazioni(file, settings);
    bool changed = false;
    if (const auto problem = takeSettingsOptions(args, settings, changed))
        return usageError("impostazioni", *problem);
    if (!args.empty()) {
        const std::string& a = args.front();
        const bool oneRun = a == "--affido" || a == "--scadenza" || a == "--banca" || a == "--testo" ||
                            a == "--bank" || a == "--text";
        return usageError("impostazioni", oneRun ? a + " vale per una sola importazione e non si salva"
                                                 : "Argomento sconosciuto: " + a);
    }

    if (!changed) {
        std::printf("File: %s%s\n%s", file.string().c_str(),
                    existed ? "" : " (non trovato: valori di progetto)", describe(settings).c_str());
        return 0;
    }
    // A value the file cannot keep is wrong usage: nothing is saved.
    if (const std::string problem = valoreNonSalvabile(settings); !problem.empty())
        return usageError("impostazioni", problem);
    try {
        SalvaImpostazioni(file, settings);
    } catch (const SettingsError& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    // What the next start will restore: the file read back.
    WindowSettings saved;
    LeggiImpostazioni(file, saved);
    std::printf("Impostazioni salvate in %s\n%s", file.string().c_str(), describe(saved).c_str());
    if (!(saved == settings))
        std::fputs("Attenzione: rileggendo il file alcuni valori cambiano (gli spazi iniziali di un testo\n"
                   "non si rileggono); sopra i valori riletti.\n",
                   stderr);
    return 0;
}

}  // namespace crv::cli
