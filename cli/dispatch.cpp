// The commands of crvxml: every feature of the window runs here too, without
// a display.
#include <cstdio>
#include <new>
#include <string>

#include "cli/commands.h"

namespace crv::cli {
namespace {

struct Command {
    const char* name;
    const char* summary;
    int (*run)(const Args&);
};

// One row per command; the help lists them in this order.
constexpr Command kCommands[] = {
    {"import", "importa un file di pratiche (Corvestra o formato banca)", importCommand},
    {"init-db", "crea le tabelle dell'archivio pratiche in un database vuoto", initDbCommand},
    {"impostazioni", "mostra o salva le impostazioni della finestra (dati/Crv_XML.ini)", settingsCommand},
    {"esporta", "esporta pratiche e note comuni in una cartella di lavoro .xlsx", esportaCommand},
    {"note-comuni", "accoda la nota comune di ogni pratica al suo memo", noteComuniCommand},
    {"lotti", "elenca i lotti di importazione, dal più recente", lottiCommand},
    {"annulla-lotto", "mostra ed elimina (--conferma) le pratiche di un lotto di importazione", annullaLottoCommand},
    {"fattura", "mostra fatture elettroniche (XML, .p7m): valori, PNG, PDF, allegati", fatturaCommand},
};

void printUsage(std::FILE* out)
{
    std::fputs("Uso: crvxml [--radice DIR] [--locale NOME]\n"
               "     crvxml COMANDO [opzioni]\n"
               "\n"
               "Senza COMANDO apre la finestra dell'operatore sulla radice della suite\n"
               "(--radice DIR, poi la variabile d'ambiente VEX32_ROOT, poi ~/vex32), che ha\n"
               "le cartelle import/ e dati/; \"crvxml init-db --radice DIR\" ne crea una.\n"
               "\n"
               "Comandi:\n",
               out);
    for (const Command& c : kCommands) std::fprintf(out, "  %-14s %s\n", c.name, c.summary);
    std::fputs("\n\"crvxml COMANDO --aiuto\" descrive le opzioni di ciascun comando.\n"
               "\"crvxml --versione\" mostra la versione.\n"
               "--help e --version valgono come --aiuto e --versione.\n"
               "\n"
               "Uscita della finestra: 0 alla sua chiusura; 1 senza schermo grafico, senza la\n"
               "cartella import/ della radice o senza l'archivio locale quando \"Access\" è\n"
               "spuntata; 2 per un uso errato (opzione sconosciuta o senza valore). Uscita dei\n"
               "comandi: nell'aiuto di ciascuno; 2 anche per un comando sconosciuto.\n",
               out);
}

}  // namespace

int run(int argc, char** argv)
{
    if (argc < 2) {
        printUsage(stderr);
        return 2;
    }
    const std::string command = argv[1];
    if (command == "--aiuto" || command == "aiuto" || command == "--help" || command == "-h" || command == "help") {
        printUsage(stdout);
        return 0;
    }
    if (command == "--versione" || command == "--version" || command == "-V") {
        std::printf("crvxml %s\n", CRVXML_VERSION);
        return 0;
    }
    Args args(argv + 2, argv + argc);
    for (const Command& c : kCommands) {
        if (command != c.name) continue;
        // The program's own name counts: a name holding "rove" starts in text mode.
        if (command == "import") args.insert(args.begin(), std::string("--program-name=") + argv[0]);
        try {
            return c.run(args);
        } catch (const std::bad_alloc&) {
            // Each command tells its own failures; this is the last word on memory.
            std::fputs("Memoria insufficiente\n", stderr);
            return 1;
        }
    }
    std::fprintf(stderr, "Comando sconosciuto: %s\n\n", command.c_str());
    printUsage(stderr);
    return 2;
}

}  // namespace crv::cli
