#pragma once
// The case record writer: turns the values a reader gathered into a new row
// of [Tabella Pratiche], and in the bank format changes that row while the
// case is read and adds instalment rows to [tabella fatture].
#include <map>
#include <memory>
#include <optional>

#include <QString>
#include <QVariant>

#include "app/suite_root.h"
#include "db/database.h"
#include "import/case_store.h"
#include "numbers/regional.h"

namespace crv {

class DbCaseStore final : public CaseStore {
public:
    DbCaseStore(std::unique_ptr<db::Database> db, const RunParams& params, const Regional& regional);

    void begin() override;
    void commit() override;
    void rollback() override;
    std::int64_t AddLotto(const RunParams& params) override;
    void SalvaNumPratiche(std::int64_t lotto, int count) override;

    void ScriviPratica(const Case& values, const std::string& memo) override;
    void LeggiContatore() override;
    std::int64_t Contatore() const override { return contatore_; }
    void AnteponiMemo(std::string_view text) override;
    void SommaTotaliRapporto(const Case& values) override;
    void ImpostaTotali(const Case& values) override;
    void InserisciRata(Case& values, TipoRata kind) override;
    void SalvaRigaPendente() override;
    bool cercaGiaPresenti(const CodiciFile& codici, GiaPresenti& fatti) override;

    db::Database& database() { return *db_; }

private:
    // The current case row as this run last wrote it, so the bank-format
    // operations can add to its amounts and memo without reading it back.
    struct Riga {
        std::int64_t key = 0;
        std::map<QString, QVariant> values;   // by lower-case field name
        std::map<QString, QVariant> pending;  // changes not yet saved
    };

    void set(const QString& field, const QVariant& value);
    QVariant current(const QString& field) const;
    Amount amountOf(const QString& field) const;  // `No`: Null as 0
    void ScriviGarante(const Case& values);
    void save();
    void requireRow(const char* operation) const;
    QString cut(const std::string& text, const char* field) const;
    QVariant dateOrText(const std::string& text, bool dateColumn) const;

    std::unique_ptr<db::Database> db_;
    const RunParams& params_;
    const Regional& regional_;
    std::int64_t lotto_ = 0;
    std::int64_t contatore_ = 0;
    std::optional<std::int64_t> ultimaRiga_;  // key of the row added last in this run
    bool esisteProvider_ = false;
    bool esisteUserT15_ = false;
    bool tableChecked_ = false;
    std::optional<Riga> riga_;   // the current row
    QString sqlRata_;            // the instalment insert, built once
    bool dataFatturaIsDate_ = false;   // the instalment dates go as dates
    bool dataScadenzaIsDate_ = false;
    bool nuovaRiga_ = false;     // the current row is being built, not yet inserted
};

// The store of a normal run: opens the case database chosen by the "Access"
// box and the suite's settings. Throws db::DbError.
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
