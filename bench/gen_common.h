#pragma once
// Pieces shared by the generators of large case files: a seeded random
// source that gives the same file on every machine, Italian-looking people,
// places, amounts and dates, and a buffered writer of indented XML lines in
// ISO-8859-1 bytes.
#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace crv::bench {

// splitmix64: tiny, fast and the same everywhere (the standard
// distributions are not, so the generators use only this).
class Rng {
public:
    explicit Rng(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next();
    // A whole number in [lo, hi].
    int between(int lo, int hi);
    std::int64_t between64(std::int64_t lo, std::int64_t hi);
    // True with the given chance in percent.
    bool percent(int chance);
    template <typename T, std::size_t N>
    const T& pick(const std::array<T, N>& items)
    {
        return items[static_cast<std::size_t>(between(0, static_cast<int>(N) - 1))];
    }
    // A string of `count` decimal digits.
    std::string digits(int count);
    // A string of `count` capital letters.
    std::string letters(int count);

private:
    std::uint64_t state_;
};

// Cents as an Italian amount: "1234,56", or with the grouping sign
// "1.234,56" when `grouped`; a zero decimal part may be left out ("20").
std::string importoItaliano(std::int64_t cents, bool grouped, bool dropZeroDecimals = false);
// Cents with a period before the decimals ("150.00").
std::string importoPunto(std::int64_t cents);
// yyyy-mm-dd and dd/mm/yyyy.
std::string dataIso(int year, int month, int day);
std::string dataItaliana(int year, int month, int day);

struct Data {
    int year, month, day;
};
Data dataCasuale(Rng& rng, int fromYear, int toYear);

// One person or company of the delivery. Texts are ISO-8859-1 bytes,
// already escaped for XML.
struct Persona {
    std::string nome;           // "ROSSI MARIO"
    std::string codiceFiscale;  // 16 characters
    Data nascita{};
    std::string luogoNascita;
    std::string indirizzo;
    std::string localita;       // hamlet or quarter, often empty
    std::string comune;
    std::string cap;
    std::string provincia;
    std::string telefono;       // landline
    std::string cellulare;
};
Persona personaCasuale(Rng& rng);
std::string telefonoFisso(Rng& rng);
std::string telefonoCellulare(Rng& rng);
// A company, a shop or a public office, sometimes with an ampersand.
std::string datoreCasuale(Rng& rng);

// Writes the file through a large buffer; every line ends with CR LF as the
// creditors' systems write them. Throws std::runtime_error on a write
// failure.
class XmlWriter {
public:
    explicit XmlWriter(const std::filesystem::path& path);
    ~XmlWriter();
    XmlWriter(const XmlWriter&) = delete;
    XmlWriter& operator=(const XmlWriter&) = delete;

    // The declaration line naming ISO-8859-1.
    void declaration();
    // One line: `depth` levels of two blanks, then the text as it stands.
    void line(int depth, std::string_view text);
    void open(int depth, std::string_view tag);
    void close(int depth, std::string_view tag);
    // <tag>text</tag> on one line; an empty text gives <tag></tag>.
    void leaf(int depth, std::string_view tag, std::string_view text);
    // <tag a="v" b="w"/> from name/value pairs.
    void empty(int depth, std::string_view tag,
               std::initializer_list<std::pair<std::string_view, std::string_view>> attributes);
    // Flushes and closes; reports the bytes written.
    std::uint64_t finish();

private:
    void put(std::string_view bytes);

    std::FILE* file_ = nullptr;
    std::filesystem::path path_;
    std::vector<char> buffer_;
    std::uint64_t written_ = 0;
};

// The command line of a generator: N OUT.xml [--seed S].
struct GenArgs {
    long cases = 0;
    std::filesystem::path out;
    std::uint64_t seed = 20260401;
};
// Nothing (after printing the usage) when the arguments are wrong.
std::optional<GenArgs> parseGenArgs(int argc, char** argv, const char* usage);

// The whole of a generator's main: reads the arguments, writes the
// declaration, the root element `root` around N cases made by `writeCase`,
// and prints what it wrote. Returns the exit status.
int runGenerator(int argc, char** argv, const char* usage, const char* program, const char* root,
                 const std::function<void(XmlWriter&, Rng&, long)>& writeCase);

}  // namespace crv::bench
