#pragma once
// What a database value becomes in a spreadsheet cell: dates as dates,
// numbers of numeric fields as numbers, everything else as text without
// surrounding blanks, Null as an empty cell.
#include <string>
#include <string_view>

#include <QVariant>

#include "db/field_kind.h"

namespace crv::tools {

// The mark that ends a text cut to the cell's limit.
inline constexpr std::string_view kMarcaTaglio = " [testo tagliato]";

// One cell of the sheet: its kind and what it shows.
struct Cella {
    enum class Tipo { Vuota, Testo, Intero, Decimale, Data, DataOra };
    Tipo tipo = Tipo::Vuota;
    std::string testo;       // Testo: UTF-8
    bool tagliato = false;   // Testo: cut to 32,767 characters, ending with kMarcaTaglio
    double numero = 0;       // Intero, Decimale
    int anno = 0, mese = 0, giorno = 0, ora = 0, minuto = 0;
    double secondo = 0;      // Data, DataOra
};

// The cell for a value read from a field of the given kind. A value that
// does not fit its kind (a text in a date field of SQLite) becomes text.
Cella cellaPer(const QVariant& value, db::FieldKind kind);

// The text as a cell shows it (the value of a text-kind field), without
// its surrounding blanks unless `conSpazi`.
Cella cellaTesto(const QString& text, bool conSpazi = false);

// A common note's cell: its text whole, leading and trailing blanks kept
// (only the case table's fields lose theirs); Null is an empty cell.
Cella cellaNota(const QVariant& note);

}  // namespace crv::tools
