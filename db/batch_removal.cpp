#include "db/batch_removal.h"

#include <QSqlQuery>

#include "db/database.h"
#include "db/import_lock.h"

namespace crv::db {
namespace {

// The quoted names the statements need.
struct Nomi {
    QString pratiche, contatore, lottoimportazione;
    QString fatture, conta;
    QString lotti, chiaveLotti, numPratiche;

    explicit Nomi(Database& db)
    {
        const auto& p = db.table(QStringLiteral("Tabella Pratiche"));
        const auto& f = db.table(QStringLiteral("tabella fatture"));
        const auto& l = db.table(QStringLiteral("TabellaLottiImp"));
        pratiche = db.quote(p.realName());
        contatore = db.quote(p.realColumn(QStringLiteral("contatore")));
        lottoimportazione = db.quote(p.realColumn(QStringLiteral("lottoimportazione")));
        fatture = db.quote(f.realName());
        conta = db.quote(f.realColumn(QStringLiteral("conta")));
        lotti = db.quote(l.realName());
        chiaveLotti = db.quote(l.realColumn(QStringLiteral("contatore")));
        numPratiche = db.quote(l.realColumn(QStringLiteral("NumPratiche")));
    }
    // The instalment rows of the batch's cases, after FROM or DELETE FROM.
    QString rateDelLotto() const
    {
        return QStringLiteral("%1 WHERE %2 IN (SELECT %3 FROM %4 WHERE %5 = ?)")
            .arg(fatture, conta, contatore, pratiche, lottoimportazione);
    }
};

qint64 contaRate(Database& db, const Nomi& n, qint64 lotto)
{
    QSqlQuery count = db.query(QStringLiteral("SELECT COUNT(*) FROM ") + n.rateDelLotto(), {lotto});
    const qint64 rate = db.next(count) ? count.value(0).toLongLong() : 0;
    count.finish();
    return rate;
}

qint64 righeToccate(Database& db, const QString& sql, qint64 lotto)
{
    QSqlQuery statement = db.query(sql, {lotto});
    const qint64 rows = statement.numRowsAffected();
    statement.finish();
    return rows;
}

}  // namespace

ContenutoLotto esaminaLotto(Database& db, qint64 lotto)
{
    if (lotto == 0)
        throw LottoRifiutato("Il lotto 0 non si annulla: è il numero che portano le pratiche scritte "
                             "senza un lotto di importazione, non un'importazione sola");
    const Nomi n(db);
    std::optional<Lotto> row = leggiLotto(db, lotto);
    if (!row) throw LottoRifiutato("Lotto " + std::to_string(lotto) + " non trovato in TabellaLottiImp");
    if (row->praticheOggi == 0)
        throw LottoRifiutato("Il lotto " + std::to_string(lotto) +
                             " non ha più pratiche in archivio: niente da annullare");
    ContenutoLotto out;
    out.pratiche = row->praticheOggi;
    out.rate = contaRate(db, n, lotto);
    out.lotto = std::move(*row);
    return out;
}

std::optional<ContenutoLotto> annullaLotto(Database& db, qint64 lotto, const std::function<bool()>& continua,
                                           const std::function<void()>& inAttesa)
{
    auto goOn = [&] { return !continua || continua(); };
    beginExclusive(db, inAttesa);
    try {
        // Looked at again inside the transaction: what is removed is what is counted.
        ContenutoLotto found = esaminaLotto(db, lotto);
        const Nomi n(db);
        std::optional<ContenutoLotto> done;
        if (goOn()) {
            ContenutoLotto removed = found;
            removed.rate = righeToccate(db, QStringLiteral("DELETE FROM ") + n.rateDelLotto(), lotto);
            if (goOn()) {
                removed.pratiche = righeToccate(
                    db, QStringLiteral("DELETE FROM %1 WHERE %2 = ?").arg(n.pratiche, n.lottoimportazione), lotto);
                if (righeToccate(db,
                                 QStringLiteral("UPDATE %1 SET %2 = 0 WHERE %3 = ?")
                                     .arg(n.lotti, n.numPratiche, n.chiaveLotti),
                                 lotto) == 0)
                    throw DbError("Lotto " + std::to_string(lotto) + " non aggiornato", "riga non trovata");
                removed.lotto.numPratiche = 0;
                removed.lotto.praticheOggi = 0;
                if (goOn()) done = removed;
            }
        }
        if (done)
            db.commit();
        else
            db.rollback();
        return done;
    } catch (...) {
        try {
            db.rollback();
        } catch (const std::exception&) {
            // The connection is gone: the server drops the transaction itself.
        }
        throw;
    }
}

}  // namespace crv::db
