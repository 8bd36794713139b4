#pragma once
// Which cases of [Tabella Pratiche] the filter boxes choose: the conditions
// of the query, with every typed value as a bound parameter.
#include <optional>
#include <string>

#include <QDate>
#include <QString>
#include <QVariantList>

#include "numbers/regional.h"
#include "tools/varie.h"

namespace crv::db {
class Database;
}

namespace crv::tools {

// The filter once checked: what each box asks for, or nothing.
struct FiltroLetto {
    std::optional<QString> mandato;
    std::optional<QDate> affidoDal;      // [data affido] >= this date
    std::optional<QDate> scadenzaAl;     // [scadenza mandato] <= this date (the whole day)
    std::optional<qint64> lotto;
};

// Reads the boxes: a date that is not a date adds no condition (as the
// window always did); a batch that is not a whole number is an error, whose
// Italian message is returned instead.
struct FiltroOErrore {
    FiltroLetto filtro;
    std::string errore;  // empty when the filter is usable
};
FiltroOErrore leggiFiltro(const FiltroPratiche& boxes, const Regional& regional);

// The filters a run applies, for its closing message: "Filtri: Mandato CRV,
// Lotto Imp 2", "Filtri: nessuno (tutte le pratiche)"; a date box whose text
// is not a date (and so chooses nothing) is named as left out.
std::string filtriApplicati(const FiltroPratiche& boxes, const Regional& regional);
// The same in a few words, by the boxes' captions, for a question: "Mandato
// CRV, Affido dal 07/12/2026", "tutte le pratiche" without filters.
std::string filtriBrevi(const FiltroPratiche& boxes, const Regional& regional);

// The conditions and their values, for a statement on [Tabella Pratiche]:
// `where` is empty or begins with " WHERE ".
struct Selezione {
    QString where;
    QVariantList binds;
};
Selezione selezione(db::Database& db, const FiltroLetto& filtro);

}  // namespace crv::tools
