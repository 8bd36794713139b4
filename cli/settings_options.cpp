#include "cli/settings_options.h"

#include <array>

#include "cli/common_options.h"
#include "text/encoding.h"

namespace crv::cli {

const char* const kSettingsOptionsHelp =
    "Impostazioni (salvate in dati/Crv_XML.ini con \"crvxml impostazioni\"; ciascuna\n"
    "opzione prevale sul valore salvato; tra parentesi il valore di progetto):\n"
    "  --mandato CODICE            Mandato, al massimo 3 caratteri (CRV)\n"
    "  --intervento TIPO           Intervento, al massimo 3 caratteri (MO)\n"
    "  --sit-affido SIT            Sit.Affido, al massimo 3 caratteri (A)\n"
    "  --sezioni NNNNNN            Sezioni da importare, una cifra 0/1 per sezione\n"
    "                              (111111): 1 Dati Identificativi, 2 Cliente,\n"
    "                              3 Dati Contratto, 4 Affidamenti, 5 Estratto Conto,\n"
    "                              6 Scadenze; 2, 3 e 4 si leggono sempre\n"
    "  --dettagli, --no-dettagli   Dettagli: il memo di ogni pratica nel listato (sì)\n"
    "  --solo-test, --no-solo-test Solo Test: legge e lista senza scrivere (sì)\n"
    "  --sp-rec, --no-sp-rec       ->sp.rec: spese in \"importo speserecupero\" (no)\n"
    "  --int-da-file, --no-int-da-file\n"
    "                              int.da file: tipo intervento letto dal file (sì)\n"
    "  --access, --no-access       Access: archivio locale dati/vex.sqlite invece del\n"
    "                              database di connstring= in dati/vex32.ini (no)\n";

namespace {

constexpr Sinonimo kEnglish[] = {
    {"--sections", "--sezioni"}, {"--details", "--dettagli"},   {"--no-details", "--no-dettagli"},
    {"--test", "--solo-test"},   {"--no-test", "--no-solo-test"},
};

struct Switch {
    const char* on;
    const char* off;
    int WindowSettings::*state;
};

constexpr std::array<Switch, 5> kSwitches{{
    {"--dettagli", "--no-dettagli", &WindowSettings::dettagli},
    {"--solo-test", "--no-solo-test", &WindowSettings::soloTest},
    {"--sp-rec", "--no-sp-rec", &WindowSettings::spRec},
    {"--int-da-file", "--no-int-da-file", &WindowSettings::intDaFile},
    {"--access", "--no-access", &WindowSettings::usaAccess},
}};

struct Text {
    const char* option;
    const char* box;
    std::string WindowSettings::*text;
};

constexpr std::array<Text, 3> kTexts{{
    {"--mandato", "Mandato", &WindowSettings::mandato},
    {"--intervento", "Intervento", &WindowSettings::intervento},
    {"--sit-affido", "Sit.Affido", &WindowSettings::sitAffido},
}};

}  // namespace

const Sinonimi kSinonimiImpostazioni{kEnglish};

std::optional<std::string> takeSettingsOptions(Args& args, WindowSettings& settings, bool& taken)
{
    nomiItaliani(args, {kSinonimiImpostazioni});
    for (std::size_t i = 0; i < args.size();) {
        const std::string& a = args[i];
        if (a == "--") break;
        bool matched = false;
        for (const Switch& s : kSwitches) {
            if (a == s.on || a == s.off) {
                settings.*s.state = a == s.on ? 1 : 0;
                args.erase(args.begin() + static_cast<std::ptrdiff_t>(i));
                matched = true;
                break;
            }
        }
        for (const Text& t : kTexts) {
            if (matched) break;
            std::string value;
            const int r = takeOptionValue(args, i, t.option, value);
            if (r < 0) return std::string("Manca il valore di ") + t.option;
            if (r == 0) continue;
            // The box holds no more: a longer value would be cut without a word.
            if (utf8Length(value) > kBoxMaxLength)
                return std::string(t.option) + ": " + t.box + " contiene al massimo " +
                       std::to_string(kBoxMaxLength) + " caratteri (\"" + value + "\")";
            settings.*t.text = value;
            matched = true;
        }
        if (!matched) {
            std::string value;
            const int r = takeOptionValue(args, i, "--sezioni", value);
            if (r < 0) return std::string("Manca il valore di --sezioni");
            if (r > 0) {
                if (value.size() != 6 || value.find_first_not_of("01") != std::string::npos)
                    return "--sezioni vuole sei cifre 0 o 1, una per sezione (per esempio 111111): \"" + value +
                           "\"";
                for (std::size_t k = 0; k < 6; ++k) settings.sezioni[k] = value[k] == '1' ? 1 : 0;
                matched = true;
            }
        }
        if (matched)
            taken = true;
        else
            ++i;
    }
    return std::nullopt;
}

RunParams runParamsFrom(const WindowSettings& s)
{
    RunParams p;
    p.mandato = s.mandato;
    p.intervento = s.intervento;
    p.sitAffido = s.sitAffido;
    for (std::size_t k = 0; k < s.sezioni.size(); ++k) p.sezioni[k] = s.sezioni[k] != 0;
    p.dettagli = s.dettagli != 0;
    p.soloTest = s.soloTest != 0;
    p.spRec = s.spRec != 0;
    p.intDaFile = s.intDaFile != 0;
    p.usaAccess = s.usaAccess != 0;
    return p;
}

}  // namespace crv::cli
