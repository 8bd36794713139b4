#pragma once
// Reads the cases a filter chooses, in the order of their counter, with the
// first row of their common notes. The counters are read first (the count
// the progress follows); the rows then come with their notes in one query,
// read as it streams where the driver streams (Qt's PostgreSQL driver,
// SQLite), through a cursor a few thousand rows at a time through ODBC to
// PostgreSQL (whose driver would hold a whole result in memory), and in
// chunks of a few hundred cases elsewhere. Memory does not grow with the
// rows; on a server the waits do not grow with them either.
#include <functional>
#include <vector>

#include <QHash>
#include <QSqlQuery>
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

// The cases a selection chooses, read once.
class PraticheScelte {
public:
    // Selects the counters of the cases. `colonne` are real column names of
    // [Tabella Pratiche]; with `conNote` the first note of each case is read
    // too; with `perModificare` (inside the caller's transaction) each case
    // row is locked as it is read, so that no other session changes it before
    // the caller writes it.
    PraticheScelte(db::Database& db, const Selezione& selezione, QStringList colonne, bool conNote,
                   bool perModificare = false);

    // How many cases the filter chose.
    long totale() const { return static_cast<long>(contatori_.size()); }

    // Calls `visita` for each case in the order of its counter; stops (and
    // returns false) when it returns false. `visita` must not use the
    // connection (its rows may still be coming). Database failures throw DbError.
    bool perOgni(const std::function<bool(const PraticaLetta&)>& visita);

private:
    enum class Lettura { Flusso, Cursore, APezzi };

    // The rows and their first notes, ordered by counter.
    QString query(bool chunk) const;
    bool perFlusso(const std::function<bool(const PraticaLetta&)>& visita);
    bool perCursore(const std::function<bool(const PraticaLetta&)>& visita);
    bool aPezzi(const std::function<bool(const PraticaLetta&)>& visita);
    // How a case's notes are ordered ("the first one entered"), `prefix`
    // naming the notes' table; empty when the database keeps no order.
    QString noteOrder(const QString& prefix) const;
    // The first note of each of these cases that has one, by counter.
    void leggiNote(const QVariantList& contatori, QHash<qint64, QVariant>& note);
    // A row of the query (with the note's two columns after the fields when
    // `conNota`); false for a case not among the counters (added since they
    // were read) or read already.
    bool leggi(const QSqlQuery& row, PraticaLetta& p, bool conNota);

    db::Database& db_;
    Selezione selezione_;
    QStringList colonne_;
    bool conNote_;
    bool perModificare_;
    Lettura lettura_;
    std::vector<qint64> contatori_;
    std::size_t prossimo_ = 0;  // the first counter not yet visited
};

}  // namespace crv::tools
