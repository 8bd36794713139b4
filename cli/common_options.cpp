#include "cli/common_options.h"

#include <cstdio>

namespace crv::cli {

const char* const kCommonOptionsHelp =
    "  --radice DIR                radice della suite, con import/ e dati/\n"
    "                              (senza: VEX32_ROOT, poi ~/vex32)\n"
    "  --locale NOME               impostazioni regionali di questa esecuzione (it_IT,\n"
    "                              en_GB...); senza: quelle del sistema, italiane\n"
    "                              (virgola decimale, gg/mm/aaaa) sotto C, C.UTF-8,\n"
    "                              POSIX o senza LANG\n";

int takeOptionValue(Args& args, std::size_t i, const std::string& name, std::string& value)
{
    const std::string& a = args[i];
    if (a.rfind(name + "=", 0) == 0) {
        value = a.substr(name.size() + 1);
        args.erase(args.begin() + static_cast<std::ptrdiff_t>(i));
        return 1;
    }
    if (a != name) return 0;
    if (i + 1 >= args.size()) return -1;
    value = args[i + 1];
    args.erase(args.begin() + static_cast<std::ptrdiff_t>(i), args.begin() + static_cast<std::ptrdiff_t>(i) + 2);
    return 1;
}

bool asksForHelp(const Args& args)
{
    for (const std::string& a : args) {
        if (a == "--") return false;
        if (a == "--aiuto" || a == "--help" || a == "-h") return true;
    }
    return false;
}

int usageError(const std::string& command, const std::string& problem)
{
    std::fprintf(stderr, "%s\n\"crvxml %s --aiuto\" descrive le opzioni.\n", problem.c_str(), command.c_str());
    return 2;
}

std::optional<int> startCommand(const std::string& command, const std::string& help, Args& args,
                                CommonOptions& common, std::initializer_list<Sinonimi> sinonimi)
{
    if (asksForHelp(args)) {
        std::fputs((help + aiutoSinonimi(sinonimi)).c_str(), stdout);
        return 0;
    }
    nomiItaliani(args, sinonimi);
    if (const auto problem = takeCommonOptions(args, common)) return usageError(command, *problem);
    return std::nullopt;
}

std::optional<std::string> takeCommonOptions(Args& args, CommonOptions& out)
{
    nomiItaliani(args);
    for (std::size_t i = 0; i < args.size();) {
        if (args[i] == "--") break;   // what follows are names, not options
        bool taken = false;
        for (const auto& [name, target] : {std::pair<std::string, std::string*>{"--radice", &out.root},
                                           std::pair<std::string, std::string*>{"--locale", &out.locale}}) {
            const int r = takeOptionValue(args, i, name, *target);
            if (r < 0) return "Manca il valore di " + name;
            if (r > 0) {
                taken = true;
                break;
            }
        }
        if (!taken) ++i;
    }
    if (!out.locale.empty() && !Regional::fromLocaleName(out.locale))
        return "Impostazioni regionali sconosciute: " + out.locale + " (per esempio it_IT, en_GB)";
    return std::nullopt;
}

std::string archivioAccessMancante(const SuitePaths& paths)
{
    return "Manca l'archivio locale " + paths.accessDb().string() + ": si crea con \"crvxml init-db --radice " +
           paths.root.string() + " --access\"";
}

SuitePaths suitePathsFor(const CommonOptions& options)
{
    return resolveSuitePaths(options.root);
}

Regional regionalFor(const CommonOptions& options)
{
    if (!options.locale.empty()) {
        if (auto r = Regional::fromLocaleName(options.locale)) return *r;
    }
    return Regional::system();
}

}  // namespace crv::cli
