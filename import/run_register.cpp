#include "import/run_register.h"

#include <array>
#include <system_error>

#include <openssl/evp.h>
#include <sys/stat.h>

#include "db/open_db.h"
#include "files/whole_file.h"
#include "import/driver.h"
#include "text/encoding.h"

namespace crv {

// SHA-256 over the bytes as they come.
class Sha256 {
public:
    Sha256() : context_(EVP_MD_CTX_new(), &EVP_MD_CTX_free)
    {
        if (!context_ || EVP_DigestInit_ex(context_.get(), EVP_sha256(), nullptr) != 1) context_.reset();
    }
    void add(std::string_view bytes)
    {
        if (context_ && EVP_DigestUpdate(context_.get(), bytes.data(), bytes.size()) != 1) context_.reset();
    }
    // 64 lower-case hexadecimal digits; empty when the library failed.
    std::string hex()
    {
        std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
        unsigned int size = 0;
        if (!context_ || EVP_DigestFinal_ex(context_.get(), digest.data(), &size) != 1) return {};
        context_.reset();
        static constexpr char kDigits[] = "0123456789abcdef";
        std::string out;
        for (unsigned int i = 0; i < size; ++i) {
            out += kDigits[digest[i] >> 4];
            out += kDigits[digest[i] & 0xF];
        }
        return out;
    }

private:
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context_;
};

namespace {

std::string primaRiga(const std::string& text)
{
    std::string line = text.substr(0, text.find('\n'));
    // 300 characters, not bytes: a letter is never cut in two.
    if (const std::size_t cut = utf8Offset(line, 300); cut < line.size()) line = line.substr(0, cut) + "…";
    return line;
}

}  // namespace

std::string esitoImportazione(RunOutcome outcome)
{
    switch (outcome) {
    case RunOutcome::Concluded: return "conclusa";
    case RunOutcome::NoFile: return "file mancante";
    case RunOutcome::BadParameter: return "parametro errato";
    case RunOutcome::ParseError: return "file non XML";
    case RunOutcome::NoCases: return "nessuna pratica";
    case RunOutcome::BadInput: return "dato errato";
    case RunOutcome::DatabaseError: return "errore del database";
    case RunOutcome::AccessArchiveMissing: return "archivio Access mancante";
    case RunOutcome::Stopped: return "interrotta";
    case RunOutcome::AlreadyImported: return "pratiche già in archivio";
    }
    return "sconosciuto";
}

RegistroImportazione::RegistroImportazione(const SuitePaths& paths, const RunParams& params)
    : paths_(paths),
      voce_(nuovaVoce("import", params.soloTest, db::databaseMostrato(paths, params.usaAccess))),
      hash_(std::make_unique<Sha256>())
{
    voce_.file = params.fileName;
}

RegistroImportazione::~RegistroImportazione() = default;

void RegistroImportazione::bytes(std::string_view chunk)
{
    if (letti_ == 0) allInizio_ = statoDelFile();
    if (hash_) hash_->add(chunk);
    letti_ += chunk.size();
}

std::optional<RegistroImportazione::Stato> RegistroImportazione::statoDelFile() const
{
    struct stat st {};
    // A name in import/, or a whole path (appended, it stays as it is).
    if (::stat((paths_.importDir() / voce_.file).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    return Stato{static_cast<std::uint64_t>(st.st_size),
                 static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec};
}

void RegistroImportazione::chiudiImpronta()
{
    if (!hash_) return;
    const std::optional<Stato> ora = statoDelFile();
    if (ora) voce_.dimensione = ora->size;
    // Every byte of the file read, and the file as it was when reading began.
    if (ora && letti_ == ora->size && allInizio_ == ora) voce_.sha256 = hash_->hex();
    hash_.reset();
}

std::optional<std::string> RegistroImportazione::giaImportato(const Regional& regional)
{
    chiudiImpronta();
    try {
        return crv::giaImportato(leggiRegistro(fileRegistro(paths_)), voce_.sha256, voce_.database, regional);
    } catch (const FileError& error) {
        // Said where the warning would be: its silence would read as "never imported".
        return std::string(error.what()) + ": non si può sapere se lo stesso file fu già importato";
    }
}

std::optional<std::string> RegistroImportazione::registra(const RunResult& result,
                                                          const std::function<void()>& inAttesa)
{
    chiudiImpronta();
    voce_.fine = oraRegistro();
    voce_.esito = esitoImportazione(result.outcome);
    voce_.lotto = result.counters.lotto;
    voce_.lette = result.casesRead;
    const bool scritte = voce_.modo == "normale" && result.outcome == RunOutcome::Concluded && !result.rolledBack;
    voce_.scritte = scritte ? result.counters.praticheImportate : 0;
    if (!scritte) voce_.lotto.reset();
    voce_.messaggio = primaRiga(result.message);
    return accodaAlRegistro(paths_, voce_, inAttesa);
}

std::optional<std::string> RegistroImportazione::registraErrore(const std::string& what,
                                                                const std::function<void()>& inAttesa)
{
    chiudiImpronta();
    voce_.fine = oraRegistro();
    voce_.esito = "errore imprevisto";
    voce_.scritte = 0;
    voce_.messaggio = primaRiga(what);
    return accodaAlRegistro(paths_, voce_, inAttesa);
}

RunResult lavoraRegistrato(const RunParams& params, const SuitePaths& paths, const Regional& regional,
                           RunListener& listener, const StoreOpener& openStore,
                           const std::function<void()>& inAttesa)
{
    RegistroImportazione registro(paths, params);
    RunParams hooked = params;
    hooked.onBytes = [&registro](std::string_view bytes) { registro.bytes(bytes); };
    hooked.primaDelControllo = [&registro, &regional] { return registro.giaImportato(regional); };
    RunResult result;
    try {
        result = lavora(hooked, paths, regional, listener, openStore);
    } catch (const std::exception& error) {
        registro.registraErrore(error.what(), inAttesa);
        throw;
    }
    if (const auto problem = registro.registra(result, inAttesa)) listener.message(*problem, Box::None);
    return result;
}

}  // namespace crv
