#include "gen_common.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace crv::bench {

std::uint64_t Rng::next()
{
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

int Rng::between(int lo, int hi)
{
    return static_cast<int>(between64(lo, hi));
}

std::int64_t Rng::between64(std::int64_t lo, std::int64_t hi)
{
    const auto span = static_cast<std::uint64_t>(hi - lo) + 1;
    return lo + static_cast<std::int64_t>(next() % span);
}

bool Rng::percent(int chance)
{
    return between(0, 99) < chance;
}

std::string Rng::digits(int count)
{
    std::string out;
    for (int i = 0; i < count; ++i) out += static_cast<char>('0' + between(0, 9));
    return out;
}

std::string Rng::letters(int count)
{
    std::string out;
    for (int i = 0; i < count; ++i) out += static_cast<char>('A' + between(0, 25));
    return out;
}

std::string importoItaliano(std::int64_t cents, bool grouped, bool dropZeroDecimals)
{
    const bool negative = cents < 0;
    const std::uint64_t magnitude = negative ? static_cast<std::uint64_t>(-cents) : static_cast<std::uint64_t>(cents);
    std::string whole = std::to_string(magnitude / 100);
    if (grouped) {
        for (std::ptrdiff_t at = static_cast<std::ptrdiff_t>(whole.size()) - 3; at > 0; at -= 3)
            whole.insert(static_cast<std::size_t>(at), 1, '.');
    }
    const unsigned decimals = static_cast<unsigned>(magnitude % 100);
    std::string out = negative ? "-" + whole : whole;
    if (dropZeroDecimals && decimals == 0) return out;
    out += ',';
    out += static_cast<char>('0' + decimals / 10);
    out += static_cast<char>('0' + decimals % 10);
    return out;
}

std::string importoPunto(std::int64_t cents)
{
    const std::uint64_t magnitude = static_cast<std::uint64_t>(cents < 0 ? -cents : cents);
    const unsigned decimals = static_cast<unsigned>(magnitude % 100);
    std::string out = (cents < 0 ? "-" : "") + std::to_string(magnitude / 100) + ".";
    out += static_cast<char>('0' + decimals / 10);
    out += static_cast<char>('0' + decimals % 10);
    return out;
}

namespace {

std::string twoDigits(int n)
{
    return std::string{static_cast<char>('0' + n / 10), static_cast<char>('0' + n % 10)};
}

// ISO-8859-1 bytes: \xC0 A grave, \xC8 E grave, \xCC I grave, \xD2 O grave, \xD9 U grave.
constexpr std::array<std::string_view, 40> kCognomi = {
    "ROSSI", "RUSSO", "FERRARI", "ESPOSITO", "BIANCHI", "ROMANO", "COLOMBO", "RICCI", "MARINO",
    "GRECO", "BRUNO", "GALLO", "CONTI", "DE LUCA", "MANCINI", "COSTA", "GIORDANO", "RIZZO",
    "LOMBARDI", "MORETTI", "BARBIERI", "FONTANA", "SANTORO", "MARIANI", "RINALDI", "CARUSO",
    "FERRARA", "GALLI", "MARTINI", "LEONE", "LONGO", "GENTILE", "D'ANGELO", "DELL'ACQUA",
    "NICOL\xD2", "FAL\xC0", "PEL\xC8", "BORR\xC0", "LA ROCCA DI SANT'ANNA", "VITALE"};
constexpr std::array<std::string_view, 32> kNomi = {
    "MARIO", "GIUSEPPE", "LUIGI", "ANTONIO", "FRANCESCO", "GIOVANNI", "ROBERTO", "ANDREA",
    "STEFANO", "MARCO", "PAOLO", "LUCA", "ANNA", "MARIA", "GIUSEPPINA", "ROSA", "ANGELA",
    "GIOVANNA", "TERESA", "LUCIA", "CARMELA", "FRANCESCA", "NICCOL\xD2", "ELISABETTA",
    "MARIA GRAZIA", "GIAN LUCA", "SALVATORE", "CONCETTA", "DANIELA", "ELENA", "ILARIA", "PIETRO"};

struct Comune {
    std::string_view nome, provincia, cap, prefisso;
};
constexpr std::array<Comune, 24> kComuni = {{
    {"ROMA", "RM", "001", "06"},          {"MILANO", "MI", "201", "02"},
    {"NAPOLI", "NA", "801", "081"},       {"TORINO", "TO", "101", "011"},
    {"PALERMO", "PA", "901", "091"},      {"GENOVA", "GE", "161", "010"},
    {"BOLOGNA", "BO", "401", "051"},      {"FIRENZE", "FI", "501", "055"},
    {"BARI", "BA", "701", "080"},         {"CATANIA", "CT", "951", "095"},
    {"VENEZIA", "VE", "301", "041"},      {"VERONA", "VR", "371", "045"},
    {"FORL\xCC", "FC", "471", "0543"},    {"CANT\xD9", "CO", "220", "031"},
    {"PATERN\xD2", "CT", "950", "095"},   {"SAN DON\xC0 DI PIAVE", "VE", "300", "0421"},
    {"PERUGIA", "PG", "061", "075"},      {"LAMEZIA TERME", "CZ", "880", "0968"},
    {"CAGLIARI", "CA", "091", "070"},     {"TRENTO", "TN", "381", "0461"},
    {"PESCARA", "PE", "651", "085"},      {"REGGIO DI CALABRIA", "RC", "891", "0965"},
    {"SANT'AGATA DI MILITELLO", "ME", "980", "0941"}, {"BRESCIA", "BS", "251", "030"},
}};
constexpr std::array<std::string_view, 8> kLocalita = {"", "", "", "", "OSTIA", "FRAZ. SAN MARTINO",
                                                        "LOC. PIAN DEL LAGO", "BORGO NUOVO"};
constexpr std::array<std::string_view, 20> kVie = {
    "VIA GARIBALDI", "VIA ROMA", "CORSO VITTORIO EMANUELE II", "VIA MAZZINI", "VIA CAVOUR",
    "PIAZZA DELLA LIBERT\xC0", "VIA DANTE ALIGHIERI", "VIALE EUROPA", "VIA DEI MILLE",
    "VIA XX SETTEMBRE", "VIA G. MARCONI", "VICOLO DEL POZZO", "VIA SANT'ANTONIO",
    "VIA DELL'INDUSTRIA", "LARGO RISORGIMENTO", "VIA NAZIONALE", "VIA PO", "VIA ETNEA",
    "VIA ENRICO FERMI", "CONTRADA CITT\xC0 VECCHIA"};
constexpr std::array<std::string_view, 14> kDatori = {
    "ACME SPA", "ROSSI &amp; FIGLI SNC", "COMUNE DI ROMA", "MINISTERO DELLA DIFESA",
    "AZIENDA SANITARIA LOCALE", "BAR DELLA STAZIONE", "TRASPORTI VELOCI SRL",
    "PENSIONATO INPS", "SUPERMERCATI ITALIA SPA", "CARPENTERIA F.LLI B\xC8", "DISOCCUPATO", "",
    "STUDIO LEGALE ASSOCIATO", "COOP. SOCIALE L'ALBERO"};

constexpr std::array<char, 12> kMesiCf = {'A', 'B', 'C', 'D', 'E', 'H', 'L', 'M', 'P', 'R', 'S', 'T'};

}  // namespace

std::string dataIso(int year, int month, int day)
{
    return std::to_string(year) + "-" + twoDigits(month) + "-" + twoDigits(day);
}

std::string dataItaliana(int year, int month, int day)
{
    return twoDigits(day) + "/" + twoDigits(month) + "/" + std::to_string(year);
}

Data dataCasuale(Rng& rng, int fromYear, int toYear)
{
    return Data{rng.between(fromYear, toYear), rng.between(1, 12), rng.between(1, 28)};
}

std::string telefonoFisso(Rng& rng)
{
    return std::string(rng.pick(kComuni).prefisso) + rng.digits(rng.between(6, 7));
}

std::string telefonoCellulare(Rng& rng)
{
    static constexpr std::array<std::string_view, 6> prefissi = {"333", "347", "348", "320", "339", "380"};
    return std::string(rng.pick(prefissi)) + rng.digits(7);
}

std::string datoreCasuale(Rng& rng)
{
    return std::string(rng.pick(kDatori));
}

Persona personaCasuale(Rng& rng)
{
    Persona p;
    std::string cognome(rng.pick(kCognomi));
    std::string nome(rng.pick(kNomi));
    p.nome = cognome + " " + nome;
    if (rng.percent(5)) p.nome = cognome + "    " + nome;  // the blanks a mainframe pads with
    p.nascita = dataCasuale(rng, 1935, 2003);
    const bool donna = rng.percent(45);
    p.codiceFiscale = rng.letters(6) + twoDigits(p.nascita.year % 100) +
                      kMesiCf[static_cast<std::size_t>(p.nascita.month - 1)] +
                      twoDigits(p.nascita.day + (donna ? 40 : 0)) + rng.letters(1) + rng.digits(3) + rng.letters(1);
    const Comune& nato = rng.pick(kComuni);
    p.luogoNascita = std::string(nato.nome);
    const Comune& vive = rng.pick(kComuni);
    p.indirizzo = std::string(rng.pick(kVie)) + " " + std::to_string(rng.between(1, 240));
    if (rng.percent(15)) p.indirizzo += "/" + rng.letters(1);
    p.localita = std::string(rng.pick(kLocalita));
    p.comune = std::string(vive.nome);
    p.cap = std::string(vive.cap) + rng.digits(2);
    p.provincia = std::string(vive.provincia);
    p.telefono = std::string(vive.prefisso) + rng.digits(rng.between(6, 7));
    p.cellulare = telefonoCellulare(rng);
    return p;
}

XmlWriter::XmlWriter(const std::filesystem::path& path) : path_(path), buffer_(std::size_t{1} << 20)
{
    file_ = std::fopen(path.c_str(), "wb");
    if (file_ == nullptr)
        throw std::runtime_error("impossibile creare " + path.string() + ": " + std::strerror(errno));
    std::setvbuf(file_, buffer_.data(), _IOFBF, buffer_.size());
}

XmlWriter::~XmlWriter()
{
    if (file_ != nullptr) std::fclose(file_);
}

void XmlWriter::put(std::string_view bytes)
{
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size())
        throw std::runtime_error("errore di scrittura su " + path_.string() + ": " + std::strerror(errno));
    written_ += bytes.size();
}

void XmlWriter::declaration()
{
    put("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n");
}

void XmlWriter::line(int depth, std::string_view text)
{
    static const std::string blanks(64, ' ');
    put(std::string_view(blanks).substr(0, static_cast<std::size_t>(depth) * 2));
    put(text);
    put("\r\n");
}

void XmlWriter::open(int depth, std::string_view tag)
{
    line(depth, "<" + std::string(tag) + ">");
}

void XmlWriter::close(int depth, std::string_view tag)
{
    line(depth, "</" + std::string(tag) + ">");
}

void XmlWriter::leaf(int depth, std::string_view tag, std::string_view text)
{
    std::string s;
    s.reserve(tag.size() * 2 + text.size() + 5);
    s += '<';
    s += tag;
    s += '>';
    s += text;
    s += "</";
    s += tag;
    s += '>';
    line(depth, s);
}

void XmlWriter::empty(int depth, std::string_view tag,
                      std::initializer_list<std::pair<std::string_view, std::string_view>> attributes)
{
    std::string s = "<" + std::string(tag);
    for (const auto& [name, value] : attributes) {
        s += ' ';
        s += name;
        s += "=\"";
        s += value;
        s += '"';
    }
    s += "/>";
    line(depth, s);
}

std::uint64_t XmlWriter::finish()
{
    std::FILE* f = file_;
    file_ = nullptr;
    if (std::fclose(f) != 0)
        throw std::runtime_error("errore di scrittura su " + path_.string() + ": " + std::strerror(errno));
    return written_;
}

std::optional<GenArgs> parseGenArgs(int argc, char** argv, const char* usage)
{
    GenArgs args;
    std::vector<std::string> positional;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--seed" && i + 1 < argc) {
            char* end = nullptr;
            args.seed = std::strtoull(argv[++i], &end, 10);
            if (end == nullptr || *end != '\0') {
                std::fprintf(stderr, "--seed vuole un numero\n%s", usage);
                return std::nullopt;
            }
        } else if (a == "--help" || a == "-h") {
            std::fputs(usage, stdout);
            std::exit(0);
        } else if (a.rfind("--", 0) == 0) {
            std::fprintf(stderr, "Opzione sconosciuta: %s\n%s", a.c_str(), usage);
            return std::nullopt;
        } else {
            positional.push_back(a);
        }
    }
    if (positional.size() != 2) {
        std::fputs(usage, stderr);
        return std::nullopt;
    }
    char* end = nullptr;
    args.cases = std::strtol(positional[0].c_str(), &end, 10);
    if (end == nullptr || *end != '\0' || args.cases < 0) {
        std::fprintf(stderr, "N deve essere un numero di pratiche\n%s", usage);
        return std::nullopt;
    }
    args.out = positional[1];
    return args;
}

int runGenerator(int argc, char** argv, const char* usage, const char* program, const char* root,
                 const std::function<void(XmlWriter&, Rng&, long)>& writeCase)
{
    const auto args = parseGenArgs(argc, argv, usage);
    if (!args) return 2;
    try {
        Rng rng(args->seed);
        XmlWriter w(args->out);
        w.declaration();
        w.open(0, root);
        for (long i = 0; i < args->cases; ++i) writeCase(w, rng, i);
        w.close(0, root);
        const std::uint64_t bytes = w.finish();
        std::printf("%ld pratiche, %llu byte in %s\n", args->cases, static_cast<unsigned long long>(bytes),
                    args->out.c_str());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", program, e.what());
        return 1;
    }
    return 0;
}

}  // namespace crv::bench
