#pragma once
// Reads the cases a filter chooses, in the order of their counter, with the
// first row of their common notes. The counters are read first; the rows
// and the notes then come in chunks of a few hundred cases, each with one
// statement, so that memory does not grow with the size of the rows and no
// statement is left open while the caller writes to the database.
#include <functional>
#include <vector>

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>

#include "tools/case_selection.h"

namespace crv::db {
class Database;
}

namespace crv::tools {

// One case as read for a utility.
struct PraticaLetta {
    qint64 contatore = 0;
    QVariantList valori;   // the fields asked for, in their order
    bool haNota = false;   // [notecomuni] has a row whose posizione the database finds equal to the case's
    QVariant nota;         // "note comuni" of that row (may be Null); only with haNota
};

// The cases a selection chooses, read chunk by chunk.
class PraticheScelte {
public:
    // Selects the counters of the cases. `colonne` are real column names of
    // [Tabella Pratiche]; with `conNote` the first note of each case is read too.
    PraticheScelte(db::Database& db, const Selezione& selezione, QStringList colonne, bool conNote);

    // How many cases the filter chose.
    long totale() const { return static_cast<long>(contatori_.size()); }

    // Calls `visita` for each case in the order of its counter; stops (and
    // returns false) when it returns false. Database failures throw DbError.
    bool perOgni(const std::function<bool(const PraticaLetta&)>& visita);

private:
    // The first note of each of these cases that has one, by counter.
    void leggiNote(const QVariantList& contatori, QHash<qint64, QVariant>& note);

    db::Database& db_;
    QStringList colonne_;
    bool conNote_;
    std::vector<qint64> contatori_;
};

}  // namespace crv::tools
