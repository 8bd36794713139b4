#pragma once
// Where an import run writes: the import batch, the case rows and the
// instalment rows. A normal run writes through the database writer; a test
// run through TestCaseStore, which writes nothing and lists the instalment
// statements instead.
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "import/case.h"
#include "numbers/regional.h"
#include "import/run.h"

namespace crv {

class LimitiValori;
struct CodiciFile;
struct GiaPresenti;

enum class TipoRata { Rata, Rapporto };  // InserisciRata: instalment or relation row

class CaseStore {
public:
    virtual ~CaseStore() = default;

    // The whole run is one transaction, the batch row included. It begins
    // with the archive's import lock: while another run holds it,
    // `inAttesa` is called once with what the run waits for, and the run waits.
    virtual void begin(const std::function<void(std::string_view)>& inAttesa) = 0;
    virtual void commit() = 0;
    virtual void rollback() = 0;

    // The fields case values go to whole, for the readers to refuse a value
    // no field could hold before copying it; null when nothing is written.
    virtual const LimitiValori* limiti() { return nullptr; }

    // Opens the import batch; returns its own counter.
    virtual std::int64_t AddLotto(const RunParams& params) = 0;
    // Stores the number of cases of the batch at the end of the run.
    virtual void SalvaNumPratiche(std::int64_t lotto, int count) = 0;

    // The case element being read (1 for the first): a row the database
    // refuses later is reported with its own case.
    virtual void nuovaPratica(int /*numero*/) {}
    // The last case is over: its row is complete.
    virtual void fineCasi() {}
    // Adds the case row (memo is the case's Memo text).
    virtual void ScriviPratica(const Case& values, const std::string& memo) = 0;

    // Bank format: the row added last and the operations that change it.
    virtual void LeggiContatore() = 0;
    virtual void AnteponiMemo(std::string_view text) = 0;
    virtual void SommaTotaliRapporto(const Case& values) = 0;
    virtual void ImpostaTotali(const Case& values) = 0;
    virtual void InserisciRata(Case& values, TipoRata kind) = 0;

    // The codes the file repeats and, where the store has an archive to look
    // in (true), which of them it holds outside batch `tranne`.
    virtual bool cercaGiaPresenti(const CodiciFile& codici, GiaPresenti& fatti, std::optional<std::int64_t> tranne);
};

// Opens the store of a normal run (the database); throws on failure.
using StoreOpener = std::function<std::unique_ptr<CaseStore>(const RunParams&)>;

// A failure met by a store, by the opening of one, or by a reader's check
// of a value against the archive's fields, as a run tells it apart.
struct GuastoStore {
    enum class Tipo {
        Altro,             // the failure's own text says what it was
        Interruzione,      // a statement cancelled by the operator's stop
        ConnessionePersa,  // the connection broke: the server dropped the transaction
        ArchivioMancante,  // "Access" checked and the suite's local archive missing
        NessunArchivio,    // no archive configured
    };
    Tipo tipo = Tipo::Altro;
    // A row refused, or rows still on their way when the connection broke:
    // the cases the row may be of (the archive may not say which of a
    // group); 0 when the failure is no row's.
    std::int64_t daPratica = 0;
    std::int64_t aPratica = 0;
    std::string campo;  // a value too long for its field: the field
};

GuastoStore classificaGuasto(const std::exception& failure);

// InserisciRata's first step, the same for every store: an instalment
// without a number gets "0", and the reader goes on with it.
void numeroRataVuoto(Case& values, TipoRata kind);

// The instalment statement text, as the suite has always built it; it is
// listed in test mode, and its values are what a normal run binds.
std::string testoInserisciRata(const Case& values, std::int64_t contatore, TipoRata kind);
// The listing line of a test run for that statement.
std::string rigaListinoRata(const std::string& statement);

// The rows a normal run would write, made and checked without an archive:
// what the file alone can fail (amounts out of range, a memo no database
// takes), never a field's size. For a test run that cannot reach its archive.
std::unique_ptr<CaseStore> righeSenzaArchivio(const RunParams& params, const Regional& regional);

// The store of a test run: nothing is written. The rows are made and checked
// by `righe` as a normal run makes them (against the archive's own columns,
// or the file alone); the instalment statements are listed.
class TestCaseStore final : public CaseStore {
public:
    explicit TestCaseStore(RunListener& listener, std::unique_ptr<CaseStore> righe = nullptr)
        : listener_(listener), righe_(std::move(righe))
    {
    }
    void begin(const std::function<void(std::string_view)>&) override {}
    void commit() override {}
    void rollback() override {}
    const LimitiValori* limiti() override { return righe_ ? righe_->limiti() : nullptr; }
    std::int64_t AddLotto(const RunParams&) override { return 0; }
    void SalvaNumPratiche(std::int64_t, int) override {}
    void nuovaPratica(int numero) override;
    void fineCasi() override;
    void ScriviPratica(const Case& values, const std::string& memo) override;
    void LeggiContatore() override;
    void AnteponiMemo(std::string_view text) override;
    void SommaTotaliRapporto(const Case& values) override;
    void ImpostaTotali(const Case& values) override;
    void InserisciRata(Case& values, TipoRata kind) override;
    bool cercaGiaPresenti(const CodiciFile& codici, GiaPresenti& fatti, std::optional<std::int64_t> tranne) override;

private:
    RunListener& listener_;
    std::unique_ptr<CaseStore> righe_;
    std::int64_t contatore_ = 0;
};

}  // namespace crv
