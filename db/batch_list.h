#pragma once
// The import batches as they stand: each row of TabellaLottiImp with the
// number of case rows that still carry its counter.
#include <optional>
#include <string>
#include <vector>

#include <QDate>
#include <QDateTime>
#include <QString>

#include "numbers/regional.h"

namespace crv::db {

class Database;

struct Lotto {
    qint64 contatore = 0;
    QDateTime dataImportazione;   // when the run opened it
    QDate dataAffido;             // Affido
    QDate scadAffido;             // Scad.
    QString codMandante;
    QString tipoIntervento;
    std::optional<qint64> numPratiche;  // Null while a run is open or when it imported nothing
    qint64 praticheOggi = 0;            // case rows of [Tabella Pratiche] with this lottoimportazione
};

// The batch rows, newest (highest counter) first; at most `ultimi` of them
// when given. Throws DbError.
std::vector<Lotto> elencoLotti(Database& db, std::optional<long> ultimi = std::nullopt);

// One batch row, or nothing when no row has that counter. Throws DbError.
std::optional<Lotto> leggiLotto(Database& db, qint64 contatore);

// Dates and times of a batch as the listings show them (regional short
// form; empty for Null).
std::string testoData(const QDate& date, const Regional& regional);
std::string testoDataOra(const QDateTime& when, const Regional& regional);

// A batch in one line: "lotto 12 del 07/12/2026 10:31, mandato CRV, affido
// 07/12/2026, scad. 06/01/2027".
std::string descriviLotto(const Lotto& lotto, const Regional& regional);

}  // namespace crv::db
