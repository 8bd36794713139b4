#include "import/case_store.h"

#include "import/already_imported.h"

namespace crv {

namespace {
constexpr std::string_view kTestaRata =
    "Insert into [tabella fatture] (conta,[numero fattura],periodo,[data fattura],saldo,[DATA scadenza]) values";
}

std::string testoInserisciRata(const Case& v, std::int64_t contatore, TipoRata kind)
{
    std::string s(kTestaRata);
    if (kind == TipoRata::Rapporto) s += ' ';
    s += "(" + std::to_string(contatore) + ",'" + v.NumeroFattura + "','" + v.Periodo + "','" + v.DataFattura +
         "'," + v.Insoluto.toInvariant() + ",'" + v.DataFattura + "')";
    return s;
}

std::string rigaListinoRata(const std::string& statement)
{
    // The table name (characters 13 to 29) and the tail from character 91.
    std::string line = "\t\t-->     ";
    line += statement.substr(12, 17);
    line += ' ';
    line += statement.size() > 90 ? statement.substr(90) : std::string();
    return line;
}

void numeroRataVuoto(Case& values, TipoRata kind)
{
    // assign(1, c) rather than = "0": GCC 12 warns wrongly (-Wrestrict) on the literal.
    if (kind == TipoRata::Rata && values.NumeroFattura.empty()) values.NumeroFattura.assign(1, '0');
}

bool CaseStore::cercaGiaPresenti(const CodiciFile& codici, GiaPresenti& fatti, std::optional<std::int64_t>)
{
    fatti = ripetuteNelFile(codici);
    return false;
}

void TestCaseStore::nuovaPratica(int numero)
{
    if (righe_) righe_->nuovaPratica(numero);
}

void TestCaseStore::fineCasi()
{
    if (righe_) righe_->fineCasi();
}

void TestCaseStore::ScriviPratica(const Case& values, const std::string& memo)
{
    if (righe_) righe_->ScriviPratica(values, memo);
}

void TestCaseStore::LeggiContatore()
{
    if (righe_) righe_->LeggiContatore();
    contatore_ = 1;
}

void TestCaseStore::AnteponiMemo(std::string_view text)
{
    if (righe_) righe_->AnteponiMemo(text);
}

void TestCaseStore::SommaTotaliRapporto(const Case& values)
{
    if (righe_) righe_->SommaTotaliRapporto(values);
}

void TestCaseStore::ImpostaTotali(const Case& values)
{
    if (righe_) righe_->ImpostaTotali(values);
}

void TestCaseStore::InserisciRata(Case& values, TipoRata kind)
{
    numeroRataVuoto(values, kind);
    if (righe_) righe_->InserisciRata(values, kind);
    listener_.listingLine(rigaListinoRata(testoInserisciRata(values, contatore_, kind)));
}

bool TestCaseStore::cercaGiaPresenti(const CodiciFile& codici, GiaPresenti& fatti, std::optional<std::int64_t> tranne)
{
    return righe_ ? righe_->cercaGiaPresenti(codici, fatti, tranne) : CaseStore::cercaGiaPresenti(codici, fatti, tranne);
}

}  // namespace crv
