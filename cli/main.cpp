// crvxml: the import module of the case-management suite, from the command
// line. Every feature of the window runs here too, without a display.
#include <cstdio>
#include <cstring>
#include <string>

#include "cli/commands.h"

namespace {

void printUsage(std::FILE* out)
{
    std::fputs(
        "Uso: crvxml COMANDO [opzioni]\n"
        "\n"
        "Comandi:\n"
        "  import   importa un file di pratiche (Corvestra o formato banca)\n"
        "  init-db  crea le tabelle dell'archivio pratiche in un database vuoto\n"
        "\n"
        "\"crvxml COMANDO --help\" descrive le opzioni di ciascun comando.\n",
        out);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        printUsage(stderr);
        return 2;
    }
    const std::string command = argv[1];
    if (command == "--help" || command == "-h" || command == "help") {
        printUsage(stdout);
        return 0;
    }
    crv::cli::Args args(argv + 2, argv + argc);
    // The program's own name counts: a name holding "rove" starts in text mode.
    args.insert(args.begin(), std::string("--program-name=") + argv[0]);
    if (command == "import") return crv::cli::importCommand(args);
    if (command == "init-db") {
        args.erase(args.begin());
        return crv::cli::initDbCommand(args);
    }
    std::fprintf(stderr, "Comando sconosciuto: %s\n\n", command.c_str());
    printUsage(stderr);
    return 2;
}
