#include "tools/common_notes.h"

#include <QVariant>

#include "db/database.h"
#include "db/keyed_update.h"
#include "db/row_writer.h"
#include "tools/case_selection.h"
#include "tools/chosen_cases.h"
#include "tools/database_access.h"
#include "tools/varie_register.h"
#include "tools/varie_messages.h"

namespace crv::tools {

namespace {

QStringView withoutTrailingBlanks(QStringView text)
{
    qsizetype end = text.size();
    while (end > 0 && (text[end - 1] == u' ' || text[end - 1] == u'\t' || text[end - 1] == u'\r' ||
                       text[end - 1] == u'\n'))
        --end;
    return text.first(end);
}

const char* const kInterrotta = "Elaborazione interrotta: nessun memo modificato";

}  // namespace

bool notaGiaAccodata(const QVariant& memo, const QString& nota)
{
    if (memo.isNull()) return false;
    const QString text = memo.toString();
    QStringView m = text;
    QStringView n = nota;
    if (!withoutTrailingBlanks(n).isEmpty()) {
        m = withoutTrailingBlanks(m);
        n = withoutTrailingBlanks(n);
    }
    return m == n || (m.endsWith(n) && m.size() > n.size() && m[m.size() - n.size() - 1] == u'\n');
}

std::string domandaNoteComuni(const RisultatoVarie& prova, const FiltroPratiche& filtro, const Regional& regional)
{
    return "Accodare la nota comune al memo di " + migliaia(prova.modificate) +
           (prova.modificate == 1 ? " pratica (" : " pratiche (") + filtriBrevi(filtro, regional) + ")?";
}

std::string nienteDaAccodare(const RisultatoVarie& prova)
{
    return "Nessuna nota comune da accodare\nPratiche scelte: " + migliaia(prova.pratiche) +
           ", già accodate: " + migliaia(prova.giaAccodate);
}

RisultatoVarie accodaNoteComuni(db::Database& db, const FiltroPratiche& filtro, const Regional& regional,
                                const Avanzamento& avanzamento, ModoNote modo)
{
    const FiltroOErrore letto = leggiFiltro(filtro, regional);
    if (!letto.errore.empty()) return esitoSenzaLavoro(Esito::FiltroNonValido, {letto.errore});

    const bool prova = modo == ModoNote::Prova;
    const QString table = QStringLiteral("Tabella Pratiche");
    qint64 current = 0;  // counter of the case being changed, for the messages
    try {
        const QString memo = db.table(table).realColumn(QStringLiteral("memo"));
        // Trying writes nothing and holds no lock.
        if (!prova) db.begin();
        PraticheScelte pratiche(db, selezione(db, letto.filtro), {memo}, true, !prova);
        RisultatoVarie result;
        result.pratiche = pratiche.totale();
        if (result.pratiche == 0) {
            db.rollback();
            return esitoSenzaLavoro(Esito::NessunaPratica, {"Nessuna pratica trovata"});
        }
        db::KeyedUpdate memos(db, table, QStringLiteral("contatore"), memo);
        long done = 0;
        const bool completed = pratiche.perOgni([&](const PraticaLetta& p) {
            current = p.contatore;
            if (p.haNota && !p.nota.isNull()) {
                const QVariant& old = p.valori.front();
                const QString note = p.nota.toString();
                if (notaGiaAccodata(old, note)) {
                    ++result.giaAccodate;
                } else {
                    ++result.modificate;
                    if (!prova)
                        memos.add(p.contatore, old.isNull() ? note : old.toString() + QStringLiteral("\r\n") + note);
                }
            }
            ++done;
            return !avanzamento || avanzamento(done, result.pratiche);
        });
        current = 0;
        if (!completed) {
            db.rollback();
            return esitoSenzaLavoro(Esito::Interrotta, {kInterrotta});
        }
        const std::string conteggio = migliaia(result.modificate) + " di " + migliaia(result.pratiche) +
                                      ", già accodate: " + migliaia(result.giaAccodate);
        if (prova) {
            result.messaggi.push_back("Prova terminata: nessun memo modificato\n"
                                      "Pratiche a cui si accoderebbe la nota comune: " + conteggio);
            return result;
        }
        memos.apply();
        // A stop that came after the last case still changes nothing.
        if (avanzamento && !avanzamento(done, result.pratiche)) {
            db.rollback();
            return esitoSenzaLavoro(Esito::Interrotta, {kInterrotta});
        }
        db.commit();
        result.messaggi.push_back("Elaborazione terminata\nPratiche con la nota comune accodata al memo: " +
                                  conteggio);
        return result;
    } catch (const std::exception& error) {
        try {
            db.rollback();
        } catch (const std::exception&) {
            // The connection is gone: the server drops the transaction itself.
        }
        if (interrottaDallOperatore(error)) return esitoSenzaLavoro(Esito::Interrotta, {kInterrotta});
        if (const auto* refused = dynamic_cast<const db::RowRefused*>(&error)) current = refused->owner();
        std::string text = causa(error);
        if (current != 0)
            text = "Note comuni fermate alla pratica con contatore " + std::to_string(current) + ": " + text;
        return esitoSenzaLavoro(Esito::Errore, {causaEConseguenza(text, "Nessun memo modificato")});
    }
}

RisultatoVarie accodaNoteComuni(const SuitePaths& paths, bool usaAccess, const FiltroPratiche& filtro,
                                const Regional& regional, const Avanzamento& avanzamento, ModoNote modo)
{
    return conRegistro(paths, usaAccess, {"note-comuni", modo == ModoNote::Prova, {}, {}}, [&] {
        const FiltroOErrore letto = leggiFiltro(filtro, regional);
        if (!letto.errore.empty()) return esitoSenzaLavoro(Esito::FiltroNonValido, {letto.errore});
        DatabaseAperto aperto = apriDatabase(paths, usaAccess);
        if (!aperto.db) return aperto.errore;
        return accodaNoteComuni(*aperto.db, filtro, regional, avanzamento, modo);
    });
}

}  // namespace crv::tools
