#pragma once
// The case record writer: turns the values a reader gathered into a new row
// of [Tabella Pratiche], and in the bank format changes that row while the
// case is read and adds instalment rows to [tabella fatture].
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include <QString>
#include <QVariant>

#include "app/suite_root.h"
#include "db/database.h"
#include "db/row_writer.h"
#include "import/case_store.h"
#include "import/value_limits.h"
#include "numbers/regional.h"

namespace crv {

// A test run (params.soloTest) makes the same rows and checks them against
// the archive's own columns, read only, writing nothing and never taking the
// import lock; without a database it checks what needs no archive.
class DbCaseStore final : public CaseStore {
public:
    DbCaseStore(std::unique_ptr<db::Database> db, const RunParams& params, const Regional& regional);

    void begin(const std::function<void(std::string_view)>& inAttesa) override;
    void commit() override;
    void rollback() override;
    const LimitiValori* limiti() override;
    std::int64_t AddLotto(const RunParams& params) override;
    void SalvaNumPratiche(std::int64_t lotto, int count) override;

    void nuovaPratica(int numero) override { pratica_ = numero; }
    void fineCasi() override { aggiungiRiga(); }
    void ScriviPratica(const Case& values, const std::string& memo) override;
    void LeggiContatore() override;
    void AnteponiMemo(std::string_view text) override;
    void SommaTotaliRapporto(const Case& values) override;
    void ImpostaTotali(const Case& values) override;
    void InserisciRata(Case& values, TipoRata kind) override;
    bool cercaGiaPresenti(const CodiciFile& codici, GiaPresenti& fatti, std::optional<std::int64_t> tranne) override;

    db::Database& database() { return *db_; }

private:
    // A bank case row, kept here until the next case row is added (or the
    // run ends): the bank format changes it while its case is read, so it
    // reaches the table once, whole. A Corvestra case row goes at once.
    // Field names as written here, matched without regard to case.
    struct Riga {
        db::RowWriter::Ref ref = 0;
        std::int64_t pratica = 0;  // the case that added it
        std::vector<std::pair<const char*, QVariant>> values;
    };

    // The case table's columns, read once per store; null without a database.
    const db::TableInfo* pratiche() const;
    // The defined size of a field of the case table (-1: no limit, or no table).
    int dimensione(const char* field) const;
    // Whether rows go to the database (a normal run), or are only checked.
    bool scrive() const { return db_ && !params_.soloTest; }
    void soloSeScrive(const char* operation) const;
    void set(const char* field, QVariant value);
    const QVariant* current(const char* field) const;
    Amount amountOf(const char* field) const;  // `No`: Null as 0
    void ScriviGarante(const Case& values);
    void aggiungiRiga();  // hands the kept row to the writer (or checks it)
    void requireRow(const char* operation) const;
    // Refuses a text of `length` characters (beginning with `start`) longer
    // than the field takes, before it is converted for the database.
    void verificaLunghezza(const char* field, std::size_t length, std::string_view start) const;
    QString cut(const std::string& text, const char* field) const;
    QVariant dateOrText(const std::string& text, bool dateColumn) const;

    std::unique_ptr<db::Database> db_;
    mutable const db::TableInfo* pratiche_ = nullptr;
    const RunParams& params_;
    const Regional& regional_;
    std::int64_t lotto_ = 0;
    std::int64_t pratica_ = 0;                          // the case being read
    std::optional<db::RowWriter::Ref> ultimaRiga_;      // the row added last in this run
    std::optional<db::RowWriter::Ref> contatore_;       // the row LeggiContatore found
    bool esisteProvider_ = false;
    bool esisteUserT15_ = false;
    bool tableChecked_ = false;
    std::optional<Riga> riga_;
    std::optional<LimitiValori> limiti_;
    bool rataChecked_ = false;
    bool dataFatturaIsDate_ = false;   // the instalment dates go as dates
    bool dataScadenzaIsDate_ = false;
};

// No archive configured: neither the "Access" box nor a connection string
// in the suite's settings.
class NessunArchivio : public db::DbError {
public:
    using db::DbError::DbError;
};

// The store of a normal run: opens the case database chosen by the "Access"
// box and the suite's settings. Throws db::DbError (NessunArchivio when none
// is configured).
std::unique_ptr<CaseStore> openDatabaseStore(const SuitePaths& paths, const RunParams& params,
                                             const Regional& regional);

// The phone fields of a case row (Telefono1, Telefono2, tel recapito) from
// the case's numbers; `sizeTelefono1` cuts the numbers (-1: no cut).
struct Telefoni {
    std::string telefono1, telefono2, telRecapito;
};
Telefoni assegnaTelefoni(const Case& values, int sizeTelefono1);
// The phone lines appended to the memo ("tipo = numero" + CR LF each), or
// nothing when the first type is empty.
std::string righeTelefoni(const Case& values);
// Runs of blanks halved ten times, as the guarantor name is cleaned.
std::string dimezzaSpazi(std::string text);
// The leftmost `size` characters (-1: the whole text).
std::string tagliaA(std::string_view text, int size);

}  // namespace crv
