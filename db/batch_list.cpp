#include "db/batch_list.h"

#include <QSqlQuery>

#include "db/database.h"

namespace crv::db {
namespace {

std::vector<Lotto> leggi(Database& db, std::optional<qint64> contatore, std::optional<long> ultimi)
{
    const auto& lotti = db.table(QStringLiteral("TabellaLottiImp"));
    const auto& pratiche = db.table(QStringLiteral("Tabella Pratiche"));
    auto l = [&](const char* name) {
        return QStringLiteral("l.") + db.quote(lotti.realColumn(QString::fromLatin1(name)));
    };
    const QString key = l("contatore");
    // The case rows counted per batch by the index on lottoimportazione.
    const QString casi = QStringLiteral("(SELECT COUNT(*) FROM %1 p WHERE p.%2 = %3)")
                             .arg(db.quote(pratiche.realName()),
                                  db.quote(pratiche.realColumn(QStringLiteral("lottoimportazione"))), key);
    QString sql = QStringLiteral("SELECT %1, %2, %3, %4, %5, %6, %7, %8 FROM %9 l")
                      .arg(key, l("DataImportazione"), l("DataAffido"), l("ScadAffido"), l("CodMandante"),
                           l("TipoIntervento"), l("NumPratiche"), casi, db.quote(lotti.realName()));
    QVariantList binds;
    if (contatore) {
        sql += QStringLiteral(" WHERE %1 = ?").arg(key);
        binds << *contatore;
    }
    sql += QStringLiteral(" ORDER BY %1 DESC").arg(key);

    std::vector<Lotto> out;
    QSqlQuery rows = db.query(sql, binds);
    while ((!ultimi || static_cast<long>(out.size()) < *ultimi) && db.next(rows)) {
        Lotto lotto;
        lotto.contatore = rows.value(0).toLongLong();
        lotto.dataImportazione = rows.value(1).toDateTime();
        lotto.dataAffido = rows.value(2).toDate();
        lotto.scadAffido = rows.value(3).toDate();
        lotto.codMandante = rows.value(4).toString();
        lotto.tipoIntervento = rows.value(5).toString();
        if (!rows.value(6).isNull()) lotto.numPratiche = rows.value(6).toLongLong();
        lotto.praticheOggi = rows.value(7).toLongLong();
        out.push_back(std::move(lotto));
    }
    rows.finish();
    return out;
}

}  // namespace

std::string testoData(const QDate& date, const Regional& regional)
{
    if (!date.isValid()) return {};
    return regional.formatDate(std::chrono::year_month_day{
        std::chrono::year{date.year()}, std::chrono::month{static_cast<unsigned>(date.month())},
        std::chrono::day{static_cast<unsigned>(date.day())}});
}

std::string testoDataOra(const QDateTime& when, const Regional& regional)
{
    if (!when.isValid()) return {};
    return testoData(when.date(), regional) + " " + when.time().toString(QStringLiteral("HH:mm")).toStdString();
}

std::string descriviLotto(const Lotto& lotto, const Regional& regional)
{
    std::string out = "lotto " + std::to_string(lotto.contatore);
    if (lotto.dataImportazione.isValid()) out += " del " + testoDataOra(lotto.dataImportazione, regional);
    out += ", mandato " + lotto.codMandante.toStdString();
    if (lotto.dataAffido.isValid()) out += ", affido " + testoData(lotto.dataAffido, regional);
    if (lotto.scadAffido.isValid()) out += ", scad. " + testoData(lotto.scadAffido, regional);
    return out;
}

std::vector<Lotto> elencoLotti(Database& db, std::optional<long> ultimi)
{
    return leggi(db, std::nullopt, ultimi);
}

std::optional<Lotto> leggiLotto(Database& db, qint64 contatore)
{
    std::vector<Lotto> found = leggi(db, contatore, std::nullopt);
    if (found.empty()) return std::nullopt;
    return std::move(found.front());
}

}  // namespace crv::db
