#include "import/case_store.h"

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

void TestCaseStore::InserisciRata(Case& values, TipoRata kind)
{
    numeroRataVuoto(values, kind);
    listener_.listingLine(rigaListinoRata(testoInserisciRata(values, contatore_, kind)));
}

}  // namespace crv
