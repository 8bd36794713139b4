// crvxml fattura: the invoice view without a window. Reads electronic
// invoices (plain XML or signed .xml.p7m) and prints their values, draws
// their page to PNG or PDF, and saves their attachments.
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "cli/commands.h"
#include "cli/common_options.h"
#include "cli/fattura_completa.h"
#include "cli/gui_session.h"
#include "cli/input_path.h"
#include "cli/output_name.h"
#include "invoice/attachments.h"
#include "invoice/invoice_reader.h"
#include "invoice/invoice_text.h"
#include "invoice/page_layout.h"
#include "invoice/sheet_export.h"

namespace crv::cli {
namespace {

constexpr double kMaxInterlinea = 999;  // the window's box holds three digits

std::string helpText()
{
    return std::string(
    "Uso: crvxml fattura [opzioni] FILE...\n"
    "\n"
    "Mostra le fatture elettroniche FILE (XML, anche firmate .xml.p7m) come il pulsante\n"
    "\"Fatt.Elett\" della finestra. FILE è un nome nella cartella import/ della radice\n"
    "della suite, o un percorso quando contiene \"/\". Un file con più documenti\n"
    "(un lotto: più FatturaElettronicaBody) ha una pagina per documento, con\n"
    "\"Documento i di n\". Ogni file scritto (pagina, PDF, allegato) è detto in una\n"
    "riga dello standard output.\n"
    "\n") + kCommonOptionsHelp +
    "  --interlinea N              altezza di una riga della pagina in pixel (predefinita 18)\n"
    "  --png FILE                  la pagina come immagine PNG, come la disegna la finestra;\n"
    "                              con più FILE è una cartella, con un PNG per fattura;\n"
    "                              un lotto dà un PNG per documento, chiamato con\n"
    "                              \"_documento_N\" prima dell'estensione (pagina.png:\n"
    "                              pagina_documento_1.png, pagina_documento_2.png...);\n"
    "                              un nome con un'altra estensione (.jpg...) è un uso errato\n"
    "  --pdf FILE                  le pagine in un PDF A4 verticale: ogni fattura, e ogni\n"
    "                              documento di un lotto, inizia su un nuovo foglio; una\n"
    "                              pagina lunga continua sui seguenti\n"
    "  --testo                     stampa i valori letti (predefinito senza --png, --pdf,\n"
    "                              --allegati)\n"
    "  --allegati DIR              salva gli allegati in DIR, senza sovrascrivere file\n"
    "                              esistenti\n"
    "  --completa                  la fattura completa invece della pagina: ogni documento\n"
    "                              del file, soggetti, righe, riepilogo IVA, ritenuta,\n"
    "                              cassa, bollo, pagamenti, allegati, con la verifica dello\n"
    "                              schema e, per un .p7m, i dati della firma, su fogli A4\n"
    "                              (--testo, --png: i fogli uno sotto l'altro, --pdf)\n"
    "  --verifica                  verifica ogni FILE con lo schema ufficiale FatturaPA\n"
    "                              1.2.2 (quello di xmllint --schema) e stampa una riga per\n"
    "                              file: conforme, o le violazioni (riga, elemento, cosa\n"
    "                              si aspetta lo schema); non si combina con altre opzioni\n"
    "  --                          gli argomenti seguenti sono nomi di file\n"
    "\n"
    "Uscita: 0 tutte mostrate, 1 se una fattura non si può mostrare o scrivere,\n"
    "2 per un uso errato. Con --verifica: 0 tutti i file conformi, 1 se un file non è\n"
    "conforme o non si può leggere, 2 per un uso errato.\n";
}

int usage(const std::string& problem)
{
    return usageError("fattura", problem);
}

void printErr(const std::string& text)
{
    std::fprintf(stderr, "%s\n", text.c_str());
}

struct Options {
    double interlinea = 18;
    std::optional<std::filesystem::path> png;
    std::optional<std::filesystem::path> pdf;
    std::optional<std::filesystem::path> allegati;
    bool testo = false;
    bool completa = false;
    bool verifica = false;
    std::vector<std::string> files;
};

std::optional<double> parseInterlinea(const std::string& text)
{
    double value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || !(value > 0) || value > kMaxInterlinea)
        return std::nullopt;
    return value;
}

// "IT01_FPR03.xml.p7m" -> "IT01_FPR03.png", with `documento` before the
// extension ("IT01_FPR03_documento_2.png"); a name taken in this run gets " (2)".
std::filesystem::path pngNameFor(const std::filesystem::path& source, const std::string& documento,
                                 std::set<std::string>& taken)
{
    std::string name = source.filename().string();
    for (const char* ext : {".p7m", ".xml"}) {
        const std::string e = ext;
        if (name.size() > e.size()) {
            std::string tail = name.substr(name.size() - e.size());
            for (char& c : tail) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
            if (tail == e) name.resize(name.size() - e.size());
        }
    }
    name += documento;
    std::string candidate = name + ".png";
    for (int n = 2; taken.count(candidate) > 0; ++n) candidate = name + " (" + std::to_string(n) + ").png";
    taken.insert(candidate);
    return candidate;
}

// What the picture of document i (from 1) of a file of n is named after:
// nothing when the file holds one document, else "_documento_i".
std::string documentSuffix(std::size_t i, std::size_t n)
{
    return n > 1 ? "_documento_" + std::to_string(i) : std::string();
}

// The picture of one document of a file of several, when the operator named
// one PNG file: "pagina.png" -> "pagina_documento_2.png".
std::filesystem::path withSuffix(const std::filesystem::path& file, const std::string& suffix)
{
    std::filesystem::path named = file;
    named.replace_filename(file.stem().string() + suffix + file.extension().string());
    return named;
}

// Why the output the operator named must not be written: it is a file of
// another kind (an invoice, say, when "--pdf *.xml" lacks the PDF's name).
// An earlier picture or PDF, recognised by its first bytes, is replaced.
std::optional<std::string> otherFileAt(const std::filesystem::path& target, std::string_view magic, const char* kind)
{
    std::error_code ec;
    if (!std::filesystem::is_regular_file(target, ec) || std::filesystem::file_size(target, ec) == 0) return {};
    std::ifstream in(target, std::ios::binary);
    std::string head(magic.size(), '\0');
    in.read(head.data(), static_cast<std::streamsize>(head.size()));
    if (in && head == magic) return {};
    return "Il file " + target.string() + " esiste e non è un " + kind + ": non lo sostituisco";
}

}  // namespace

int fatturaCommand(const Args& rawArgs)
{
    Args args = rawArgs;
    CommonOptions common;
    if (const auto status = startCommand("fattura", helpText(), args, common)) return *status;

    Options o;
    bool namesOnly = false;
    const std::pair<const char*, std::optional<std::filesystem::path>*> fileOptions[] = {
        {"--png", &o.png}, {"--pdf", &o.pdf}, {"--allegati", &o.allegati}};
    for (std::size_t i = 0; i < args.size();) {
        const std::string a = args[i];  // a copy: taking an option erases it from args
        if (namesOnly || a.empty() || a[0] != '-' || a == "-") {
            o.files.push_back(a);
            ++i;
            continue;
        }
        if (a == "--") {
            namesOnly = true;
            ++i;
            continue;
        }
        if (a == "--testo" || a == "--completa" || a == "--verifica") {
            (a == "--testo" ? o.testo : a == "--completa" ? o.completa : o.verifica) = true;
            ++i;
            continue;
        }
        // "--name VALUE" or "--name=VALUE", as every command takes them.
        std::string value;
        const int spacing = takeOptionValue(args, i, "--interlinea", value);
        if (spacing < 0) return usage("Manca il valore di --interlinea");
        if (spacing > 0) {
            const auto n = parseInterlinea(value);
            if (!n) return usage("--interlinea vuole un numero di pixel maggiore di 0 e fino a 999: " + value);
            o.interlinea = *n;
            continue;
        }
        bool taken = false;
        for (const auto& [name, target] : fileOptions) {
            const int r = takeOptionValue(args, i, name, value);
            if (r == 0) continue;
            if (r < 0 || value.empty()) return usage(std::string("Manca il valore di ") + name);
            *target = value;
            taken = true;
            break;
        }
        if (!taken) return usage("Opzione sconosciuta: " + a);
    }
    if (o.files.empty()) return usage("Manca il nome della fattura da mostrare");
    if (o.verifica && (o.testo || o.completa || o.png || o.pdf || o.allegati))
        return usage("--verifica non si combina con --testo, --completa, --png, --pdf, --allegati");
    if (!o.png && !o.pdf && !o.allegati) o.testo = true;
    std::error_code ec;
    if (o.pdf) {
        if (const auto problem = otherFileAt(*o.pdf, "%PDF", "PDF")) return usage(*problem + " (--pdf)");
        if (const auto problem = altroFormato("--pdf", *o.pdf, ".pdf", "un documento")) return usage(*problem);
    }
    if (o.png && o.files.size() == 1 && !std::filesystem::is_directory(*o.png, ec)) {
        if (const auto problem = otherFileAt(*o.png, "\x89PNG", "PNG")) return usage(*problem + " (--png)");
        if (const auto problem = altroFormato("--png", *o.png, ".png", "un'immagine")) return usage(*problem);
    }

    const SuitePaths paths = suitePathsFor(common);
    if (o.verifica) {
        std::vector<std::filesystem::path> files;
        for (const std::string& file : o.files) files.push_back(fileIndicato(file, paths));
        return verifyInvoices(files);
    }
    const Regional regional = regionalFor(common);
    const bool drawing = o.png || o.pdf;
    std::optional<OffscreenGui> gui;
    if (drawing || o.completa) gui.emplace();  // the complete view measures its texts in the page's face

    // With several files --png names a folder; with one, a file (or a folder that exists).
    const bool pngFolder = o.png && (o.files.size() > 1 || std::filesystem::is_directory(*o.png, ec));
    if (pngFolder) {
        std::filesystem::create_directories(*o.png, ec);
        if (!std::filesystem::is_directory(*o.png, ec)) {
            printErr("Impossibile creare la cartella " + o.png->string());
            return 1;
        }
    }

    int status = 0;
    std::set<std::string> pngNames;
    SheetsForPdf pagesPdf;  // one page each
    bool firstText = true;
    SheetsForPdf completePdf;
    for (const std::string& file : o.files) {
        const std::filesystem::path path = fileIndicato(file, paths);
        if (o.completa) {
            CompleteOutputs outputs{o.testo, std::nullopt, o.pdf.has_value()};
            if (o.png) outputs.png = pngFolder ? *o.png / pngNameFor(path, {}, pngNames) : *o.png;
            if (!showComplete(path, outputs, regional, completePdf, firstText)) status = 1;
            if (!o.allegati) continue;
        }
        const InvoiceReading reading = readInvoiceFile(path);
        if (!reading.ok()) {
            if (!o.completa) printErr(failureText(reading.outcome, reading.message, path));  // the complete view told it already
            status = 1;
            continue;
        }
        if (o.testo && !o.completa) {
            if (!firstText) std::fputc('\n', stdout);
            firstText = false;
            const std::string text = "File: " + path.string() + "\n" + invoiceText(reading.fattura, regional);
            std::fwrite(text.data(), 1, text.size(), stdout);
        }
        if (o.allegati && reading.fattura.allegati.empty())
            std::printf("Nessun allegato nel file %s\n", path.string().c_str());
        if (o.allegati) {
            for (const SavedAttachment& s : saveAttachments(reading.fattura.allegati, *o.allegati)) {
                if (s.problem.empty()) {
                    std::printf("Allegato \"%s\" salvato in %s\n", oneLine(s.nomeAttachment).c_str(),
                                s.savedAs.string().c_str());
                } else {
                    printErr("Errore nel file " + path.string() + "\nAllegato \"" + oneLine(s.nomeAttachment) +
                             "\": " + s.problem);
                    status = 1;
                }
            }
        }
        if (!drawing || o.completa) continue;
        // One page per document: a batch of invoices is never drawn as one.
        std::vector<Sheet> documents = layoutInvoice(reading.fattura, regional);
        const Style style = pageStyle(o.interlinea);
        const std::size_t n = documents.size();
        for (std::size_t i = 0; i < n; ++i) {
            Sheet& page = documents[i];
            const std::string which = n > 1 ? " (documento " + std::to_string(i + 1) + " di " + std::to_string(n) + ")" : "";
            if (o.png) {
                const std::string suffix = documentSuffix(i + 1, n);
                const std::filesystem::path target =
                    pngFolder ? *o.png / pngNameFor(path, suffix, pngNames) : withSuffix(*o.png, suffix);
                if (const auto other = n > 1 ? otherFileAt(target, "\x89PNG", "PNG") : std::nullopt) {
                    printErr(*other + " (pagina della fattura " + path.string() + which + ")");
                    status = 1;
                } else if (const auto problem = writePng({&page, 1}, style, 1, target)) {
                    // A page too tall is the invoice's; a file that cannot be written names itself.
                    printErr(fitsPng({&page, 1}, style, 1)
                                 ? *problem + " (pagina della fattura " + path.string() + which + ")"
                                 : "Errore nel file " + path.string() + which + "\n" + *problem);
                    status = 1;
                } else {
                    std::printf("Pagina salvata in %s\n", target.string().c_str());
                }
            }
            if (o.pdf) pagesPdf.emplace_back(std::vector<Sheet>{std::move(page)}, path.filename().string() + which);
        }
    }
    if (o.pdf && !completePdf.empty() && !writeSheetsPdf(completePdf, kSheetStyle, *o.pdf)) status = 1;
    if (o.pdf && !pagesPdf.empty() && !writeSheetsPdf(pagesPdf, pageStyle(o.interlinea), *o.pdf)) status = 1;
    std::fflush(stdout);
    return status;
}

}  // namespace crv::cli
