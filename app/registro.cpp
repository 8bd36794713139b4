#include "app/registro.h"

#include <cerrno>
#include <charconv>
#include <ctime>
#include <iterator>
#include <type_traits>
#include <utility>
#include <variant>

#include <fcntl.h>
#include <pwd.h>
#include <sys/types.h>
#include <unistd.h>

#include "files/file_descriptor.h"
#include "files/locked_append.h"
#include "files/system_reason.h"
#include "files/whole_file.h"
#include "text/encoding.h"

namespace crv {
namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";
constexpr char kSeparator = ';';

template <typename T>
std::string numberText(const std::optional<T>& value)
{
    return value ? std::to_string(*value) : std::string();
}

template <typename T>
std::optional<T> readNumber(std::string_view text)
{
    T value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
    return value;
}

// The columns, in the order of the file.
using Member = std::variant<std::string VoceRegistro::*, std::optional<std::uint64_t> VoceRegistro::*,
                            std::optional<std::int64_t> VoceRegistro::*>;
struct Column {
    const char* name;
    Member member;
};

const Column kColumns[] = {
    {"inizio", &VoceRegistro::inizio},
    {"fine", &VoceRegistro::fine},
    {"utente", &VoceRegistro::utente},
    {"macchina", &VoceRegistro::macchina},
    {"operazione", &VoceRegistro::operazione},
    {"modo", &VoceRegistro::modo},
    {"file", &VoceRegistro::file},
    {"dimensione", &VoceRegistro::dimensione},
    {"sha256", &VoceRegistro::sha256},
    {"esito", &VoceRegistro::esito},
    {"lotto", &VoceRegistro::lotto},
    {"pratiche lette", &VoceRegistro::lette},
    {"pratiche scritte", &VoceRegistro::scritte},
    {"database", &VoceRegistro::database},
    {"messaggio", &VoceRegistro::messaggio},
    {"programma", &VoceRegistro::programma},
};

std::string get(const Column& column, const VoceRegistro& voce)
{
    return std::visit(
        [&](auto member) {
            if constexpr (std::is_same_v<decltype(member), std::string VoceRegistro::*>)
                return voce.*member;
            else
                return numberText(voce.*member);
        },
        column.member);
}

void set(const Column& column, VoceRegistro& voce, std::string text)
{
    std::visit(
        [&](auto member) {
            using Value = std::remove_reference_t<decltype(voce.*member)>;
            if constexpr (std::is_same_v<Value, std::string>)
                voce.*member = std::move(text);
            else
                voce.*member = readNumber<typename Value::value_type>(text);
        },
        column.member);
}

// The first characters by which a spreadsheet takes a cell for a formula.
bool startsFormula(std::string_view text)
{
    const std::size_t first = text.find_first_not_of('\'');
    return first != std::string_view::npos && std::string_view("=+-@\t\r").find(text[first]) != std::string_view::npos;
}

std::string field(std::string text)
{
    if (startsFormula(text)) text.insert(text.begin(), '\'');
    const bool quote = text.find_first_of(";\"\r\n") != std::string::npos ||
                       (!text.empty() && (text.front() == ' ' || text.back() == ' '));
    if (!quote) return text;
    std::string out = "\"";
    for (const char c : text) out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

std::string unguarded(std::string text)
{
    if (!text.empty() && text.front() == '\'' && startsFormula(std::string_view(text).substr(1))) text.erase(0, 1);
    return text;
}

// The records of a CSV text: fields quoted or not, line breaks inside quotes kept.
std::vector<std::vector<std::string>> records(std::string_view text)
{
    if (text.starts_with(kBom)) text.remove_prefix(kBom.size());
    std::vector<std::vector<std::string>> out;
    std::vector<std::string> record;
    std::string current;
    bool quoted = false;
    bool any = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c != '"') {
                current += c;
            } else if (i + 1 < text.size() && text[i + 1] == '"') {
                current += '"';
                ++i;
            } else {
                quoted = false;
            }
            continue;
        }
        if (c == '"') {
            quoted = true;
            any = true;
        } else if (c == kSeparator) {
            record.push_back(std::move(current));
            current.clear();
            any = true;
        } else if (c == '\n' || c == '\r') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            if (any || !current.empty()) {
                record.push_back(std::move(current));
                out.push_back(std::move(record));
            }
            record.clear();
            current.clear();
            any = false;
        } else {
            current += c;
            any = true;
        }
    }
    if (any || !current.empty()) {
        record.push_back(std::move(current));
        out.push_back(std::move(record));
    }
    return out;
}

// "03/12/2026 10:41" from "2026-12-03 10:41:07"; the text as it is when it does not read.
std::string quando(const std::string& inizio, const Regional& regional)
{
    if (inizio.size() >= 16) {
        if (const auto day = regional.parseDate(inizio.substr(0, 10)))
            return regional.formatDate(*day) + " " + inizio.substr(11, 5);
    }
    return inizio;
}

bool importConclusa(const VoceRegistro& v, std::string_view database)
{
    return v.operazione == "import" && v.modo == "normale" && v.esito == "conclusa" && v.lotto &&
           v.database == database;
}

}  // namespace

std::filesystem::path fileRegistro(const SuitePaths& paths)
{
    return paths.dataDir() / "Crv_XML_registro.csv";
}

std::string intestazioneRegistro()
{
    std::string out(kBom);
    for (const Column& c : kColumns) {
        if (&c != kColumns) out += kSeparator;
        out += c.name;
    }
    return out + "\r\n";
}

std::string rigaRegistro(const VoceRegistro& voce)
{
    std::string out;
    for (const Column& c : kColumns) {
        if (&c != kColumns) out += kSeparator;
        // A file name of an 8-bit system would make the UTF-8 file unreadable.
        out += field(utf8Valido(get(c, voce)));
    }
    return out + "\r\n";
}

std::vector<VoceRegistro> registroDaTesto(std::string_view text)
{
    const std::vector<std::vector<std::string>> all = records(text);
    if (all.empty()) return {};
    // Where each of our columns stands in this file.
    std::vector<std::pair<const Column*, std::size_t>> places;
    for (const Column& c : kColumns)
        for (std::size_t i = 0; i < all.front().size(); ++i)
            if (all.front()[i] == c.name) places.emplace_back(&c, i);
    std::vector<VoceRegistro> out;
    for (auto record = std::next(all.begin()); record != all.end(); ++record) {
        VoceRegistro voce;
        for (const auto& [column, index] : places)
            if (index < record->size()) set(*column, voce, unguarded((*record)[index]));
        out.push_back(std::move(voce));
    }
    return out;
}

std::vector<VoceRegistro> leggiRegistro(const std::filesystem::path& file)
{
    const auto fail = [&file](int error) {
        // A link is not followed here either: the lines are the register's own.
        const std::string reason = error == ELOOP ? "è un collegamento simbolico, che non si segue" : motivoDiSistema(error);
        throw FileError("Registro non leggibile: " + file.string() + ": " + reason, reason);
    };
    const FileDescriptor fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    if (fd.get() < 0) {
        if (errno == ENOENT) return {};
        fail(errno);
    }
    std::string text;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n > 0) {
            text.append(buffer, static_cast<std::size_t>(n));
        } else if (n == 0) {
            break;
        } else if (errno != EINTR) {
            fail(errno);
        }
    }
    return registroDaTesto(text);
}

std::optional<std::string> accodaAlRegistro(const SuitePaths& paths, const VoceRegistro& voce,
                                            const std::function<void()>& inAttesa)
{
    const std::string header = intestazioneRegistro();
    AppendOptions options;
    options.header = header;
    options.onWait = inAttesa;
    try {
        appendLocked(fileRegistro(paths), rigaRegistro(voce), options);
        return std::nullopt;
    } catch (const FileError& error) {
        return "Registro non aggiornato: " + fileRegistro(paths).string() + ": " + error.motivo();
    }
}

std::map<std::int64_t, std::string> fileDeiLotti(const std::vector<VoceRegistro>& voci, std::string_view database)
{
    std::map<std::int64_t, std::string> out;
    for (const VoceRegistro& v : voci)
        if (importConclusa(v, database)) out[*v.lotto] = v.file;
    return out;
}

std::map<std::int64_t, std::string> fileDeiLotti(const SuitePaths& paths, std::string_view database)
{
    return fileDeiLotti(leggiRegistro(fileRegistro(paths)), database);
}

std::optional<std::string> giaImportato(const std::vector<VoceRegistro>& voci, std::string_view sha256,
                                        std::string_view database, const Regional& regional)
{
    if (sha256.empty()) return std::nullopt;
    std::vector<std::string> volte;
    for (auto v = voci.begin(); v != voci.end(); ++v) {
        if (!importConclusa(*v, database) || v->sha256 != sha256) continue;
        std::string volta = v->file + " il " + quando(v->inizio, regional) + ", lotto " + std::to_string(*v->lotto);
        // A batch taken back later: its cases are no longer in the archive.
        for (auto later = std::next(v); later != voci.end(); ++later)
            if (later->operazione == "annulla-lotto" && later->modo == "normale" && later->esito == "terminata" &&
                later->lotto == v->lotto && later->database == database) {
                volta += " (annullato il " + quando(later->inizio, regional) + ")";
                break;
            }
        volte.push_back(std::move(volta));
    }
    if (volte.empty()) return std::nullopt;
    // A file imported again and again: the last times say enough.
    constexpr std::size_t kUltime = 3;
    std::string text = "Lo stesso file fu importato ";
    std::size_t from = 0;
    if (volte.size() > kUltime) {
        text += std::to_string(volte.size()) + " volte; le ultime " + std::to_string(kUltime) + " ";
        from = volte.size() - kUltime;
    }
    for (std::size_t i = from; i < volte.size(); ++i) text += (i == from ? "come " : ";\ne come ") + volte[i];
    return text;
}

std::string oraRegistro()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

std::string utenteCorrente()
{
    passwd entry{};
    passwd* found = nullptr;
    char buffer[4096];
    if (getpwuid_r(geteuid(), &entry, buffer, sizeof buffer, &found) == 0 && found && found->pw_name)
        return found->pw_name;
    for (const char* name : {"USER", "LOGNAME"})
        if (const char* value = std::getenv(name); value && *value) return value;
    return std::to_string(geteuid());
}

std::string macchinaCorrente()
{
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0) return {};
    return name;
}

VoceRegistro nuovaVoce(std::string operazione, bool prova, std::string database)
{
    VoceRegistro voce;
    voce.inizio = oraRegistro();
    voce.utente = utenteCorrente();
    voce.macchina = macchinaCorrente();
    voce.operazione = std::move(operazione);
    voce.modo = prova ? "prova" : "normale";
    voce.database = std::move(database);
    voce.programma = std::string("crvxml ") + CRVXML_VERSION;
    return voce;
}

}  // namespace crv
