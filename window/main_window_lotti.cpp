// The tab "Lotti": the batches listed from the database when the tab is
// shown and after each run, and "Annulla lotto" for the one selected.
#include <map>

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QProgressBar>

#include "app/registro.h"
#include "db/open_db.h"
#include "files/whole_file.h"
#include "tools/batch_undo.h"
#include "window/counter_box.h"
#include "window/lotti_tab.h"
#include "window/main_window.h"
#include "window/message_box.h"

namespace crv::window {

void MainWindow::aggiornaLotti()
{
    // Its own pointer: a run going on keeps the one it asked for.
    QApplication::setOverrideCursor(Qt::WaitCursor);
    std::vector<db::Lotto> lotti;
    QString problema;
    const bool usaAccess = c_.chkUsaAccess->checkState() != Qt::Unchecked;
    try {
        const auto database = db::ApriDB(config_.paths, usaAccess);
        lotti = db::elencoLotti(*database);
    } catch (const std::exception& error) {
        problema = QStringLiteral("Elenco dei lotti non letto: ") + QString::fromStdString(error.what());
    }
    std::map<std::int64_t, std::string> files;
    try {
        files = fileDeiLotti(config_.paths, db::databaseMostrato(config_.paths, usaAccess));
    } catch (const FileError& error) {
        if (problema.isEmpty())
            problema = QString::fromStdString(error.what()) + QStringLiteral(": la colonna File resta vuota");
    }
    QApplication::restoreOverrideCursor();
    mostraLotti(c_, lotti, files, config_.regional, problema);
}

void MainWindow::Cmd_Annulla_Lotto_Click()
{
    if (run_ || varieRun_) return;
    const qint64 lotto = lottoScelto(c_);
    if (lotto == 0) {
        mostraMessaggio(this, QStringLiteral("Scegliere nell'elenco il lotto da annullare"));
        return;
    }
    const SuitePaths paths = config_.paths;
    const Regional regional = config_.regional;
    const bool usaAccess = c_.chkUsaAccess->checkState() != Qt::Unchecked;

    // What goes, read now; the removal looks again inside its transaction.
    const tools::RisultatoVarie esame = tools::annullaLotto(paths, usaAccess, lotto, false, regional);
    if (esame.esito != tools::Esito::Terminata) {
        for (const std::string& text : esame.messaggi) mostraMessaggio(this, QString::fromStdString(text));
        if (esame.esito == tools::Esito::ArchivioAccessMancante)
            close();
        else
            aggiornaLotti();
        return;
    }
    if (!domandaSiNo(this, QString::fromStdString(esame.messaggi.front()),
                     QStringLiteral("Annullare il lotto %1?").arg(lotto)))
        return;
    // No filter chose the cases, and no workbook follows.
    filtriVarie_.clear();
    fileEsportazione_.clear();
    lottoInAnnullamento_ = lotto;
    *lottoInAttesa_ = false;
    avviaVarie([paths, usaAccess, lotto, regional, attesa = lottoInAttesa_](const tools::Avanzamento& avanzamento) {
        // The first step comes once the archive is this run's: the wait is over.
        const tools::Avanzamento passi = [&](long fatte, long totale) {
            *attesa = false;
            return avanzamento(fatte, totale);
        };
        return tools::annullaLotto(paths, usaAccess, lotto, true, regional, passi, [&] { *attesa = true; });
    });
}

void MainWindow::lottoAnnullato(qint64 lotto, const tools::RisultatoVarie& result)
{
    // The bar followed the removal, which is over (or undone).
    c_.ProgressBar1->setValue(0);
    if (result.esito != tools::Esito::Terminata) return;
    // The counters of the run that wrote the batch describe cases now gone.
    if (lastResult_.counters.lotto == lotto) {
        for (std::size_t i = 5; i <= 8; ++i) mostraContatore(*c_.Scheda[i], QString());
        lastResult_.counters = RunCounters();
    }
    // The box is also the utilities' filter: a number typed there since stays.
    if (c_.Scheda[9]->text() == QString::number(lotto)) mostraContatore(*c_.Scheda[9], QString());
}

}  // namespace crv::window
