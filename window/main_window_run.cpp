// The import dispatch and the import run of the window.
#include <algorithm>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>

#include "import/driver.h"
#include "import/run_report.h"
#include "window/counter_box.h"
#include "window/import_run.h"
#include "window/listing_view.h"
#include "window/main_window.h"
#include "window/message_box.h"
#include "window/tab_control.h"

namespace crv::window {

namespace {

constexpr const char* kNessunPulsante = "in questa finestra nessun pulsante lo legge";

constexpr int kPassiBarra = 1000;

bool on(const QCheckBox* box)
{
    return box->checkState() != Qt::Unchecked;
}

}  // namespace

void MainWindow::Cmd_Importa_Click(int index)
{
    // A second run inside the first would share its database and listing.
    if (run_ || varieInCorso()) return;
    if (index == 3) {
        mostraPaginaFattura();
        return;
    }
    // No question about an import that cannot start.
    const std::string missing = messaggioFileMancante(config_.paths, c_.LBLFILEIMPORT->text().toStdString());
    if (!missing.empty()) {
        mostraMessaggio(this, QString::fromStdString(missing));
        return;
    }
    if (!confermaImportazione(this, c_.LBLFILEIMPORT->text(), on(c_.ChkSoloTest))) return;
    if (presentazioneNormale_) {
        // Each button reads its own format: "Importa" the Corvestra one.
        modoDocumento_ = index != 0;
        modoTesto_ = index == 2;
    } else {
        // The bank presentation and the text mode keep a flag once set:
        // their buttons read one format.
        if (index == 1) modoDocumento_ = true;
        if (index == 2) {
            modoTesto_ = true;
            modoDocumento_ = true;
        }
    }
    lavora();
}

RunParams MainWindow::runParams() const
{
    RunParams p;
    p.fileName = c_.LBLFILEIMPORT->text().toStdString();
    p.mandato = c_.Scheda[0]->text().toStdString();
    p.dataAffido = c_.Scheda[1]->text().toStdString();
    p.scadenza = c_.Scheda[2]->text().toStdString();
    p.intervento = c_.Scheda[3]->text().toStdString();
    p.sitAffido = c_.Scheda[4]->text().toStdString();
    p.dettagli = on(c_.chkDettagli);
    p.soloTest = on(c_.ChkSoloTest);
    p.spRec = on(c_.chkAgg6);
    p.intDaFile = on(c_.chkAgg16);
    p.usaAccess = on(c_.chkUsaAccess);
    for (std::size_t i = 0; i < p.sezioni.size(); ++i) p.sezioni[i] = on(c_.Chk_Sezioni_da_Importare[i]);
    p.modoDocumento = modoDocumento_;
    p.modoTesto = modoTesto_;
    // The button that reads the other format, in this window's words: only
    // the normal presentation reads both (the bank presentation and the text
    // mode read the bank format alone).
    if (presentazioneNormale_) {
        p.comeLeggereCorvestra = "si legge con il pulsante \"Importa\"";
        p.comeLeggereBanca = "si legge con il pulsante \"Importa Radoze\"";
    } else {
        p.comeLeggereCorvestra = kNessunPulsante;
    }
    p.comeLeggereCorvestraTesto = kNessunPulsante;
    return p;
}

void MainWindow::lavora()
{
    const RunParams params = runParams();
    provaInCorso_ = params.soloTest;
    c_.Stato->clearMessage();
    run_ = std::make_unique<ImportRun>(params, config_.paths, config_.regional);
    connect(run_.get(), &ImportRun::messageWaiting, this, &MainWindow::showRunMessage);
    connect(run_.get(), &ImportRun::ended, this, &MainWindow::runEnded);
    c_.ProgressBar1->setRange(0, kPassiBarra);
    setRunning(true);
    runTimer_.start();
    run_->start();
}

void MainWindow::setRunning(bool running)
{
    for (QPushButton* b : c_.Cmd_Importa) b->setEnabled(!running);
    for (QPushButton* b : c_.cmd_Varie) b->setEnabled(!running);
    c_.Cmd_Annulla_Lotto->setEnabled(!running);
    c_.Cmd_Interrompi->setEnabled(running);
}

void MainWindow::applyRunUpdate()
{
    if (!run_) return;
    RunUpdate update = run_->take();
    if (update.cleared) {
        c_.List1->clear();
        c_.ProgressBar1->setValue(0);
    }
    for (ListingChunk& chunk : update.lines) c_.List1->append(std::move(chunk));
    if (update.counters) {
        const RunCounters& k = *update.counters;
        mostraContatore(*c_.Scheda[5], QString::number(k.praticheImportate));
        mostraContatore(*c_.Scheda[6], QString::fromStdString(k.capitale.toGrouped2(config_.regional)));
        mostraContatore(*c_.Scheda[7], QString::fromStdString(k.interessi.toGrouped2(config_.regional)));
        mostraContatore(*c_.Scheda[8], QString::fromStdString(k.spese.toGrouped2(config_.regional)));
        mostraContatore(*c_.Scheda[9], k.lotto ? QString::number(*k.lotto) : QString());
    }
    // The number of cases is known only at the end: the bar follows the
    // part of the file read.
    if (update.progress && update.progress->size > 0) {
        const double part = static_cast<double>(update.progress->bytesRead) / static_cast<double>(update.progress->size);
        c_.ProgressBar1->setValue(std::clamp(static_cast<int>(part * kPassiBarra), 0, kPassiBarra));
    }
    // A run undone (Interrompi, a failure) puts its counters back to zero,
    // after its last progress: the bar goes back with them.
    if (update.counters && update.counters->praticheImportate == 0) c_.ProgressBar1->setValue(0);
    // A wait for another run on the same archive shows on the status line
    // for as long as it lasts; Interrompi stays at hand.
    if (update.attesa) {
        if (update.attesa->empty())
            c_.Stato->clearMessage();
        else
            c_.Stato->showMessage(QString::fromStdString(*update.attesa));
    }
    if (update.waitCursor) {
        if (*update.waitCursor)
            MouseAttesa();
        else
            MouseNormale();
    }
}

void MainWindow::showRunMessage()
{
    if (!run_) return;
    // Everything the run listed before its message is on screen first.
    applyRunUpdate();
    const RunMessage message = run_->pendingMessage();
    if (message.domanda) {
        // Nothing is written yet: No ends the run as a stop does.
        const bool si = domandaSiNo(this, QString::fromStdString(message.text), QStringLiteral("Importare comunque?"));
        run_->messageAnswered(si);
        return;
    }
    // The run's message is its last word: its work is done or undone, and
    // nothing is left to stop while the operator reads it.
    c_.Cmd_Interrompi->setEnabled(false);
    mostraMessaggio(this, QString::fromStdString(message.text));
    if (message.focus != Box::None) c_.Scheda[static_cast<std::size_t>(message.focus)]->setFocus();
    run_->messageAnswered();
}

void MainWindow::runEnded()
{
    applyRunUpdate();
    runTimer_.stop();
    lastResult_ = run_->result();
    // The file's end is no case: the bar fills when the run is done.
    if (lastResult_.outcome == RunOutcome::Concluded) c_.ProgressBar1->setValue(c_.ProgressBar1->maximum());
    // The run object emitted the signal being handled: it goes once the
    // handler has returned.
    run_.release()->deleteLater();
    MouseNormale();
    setRunning(false);
    // A test run's counters read like an import's: the status line tells
    // them apart, and stays until the next run.
    if (provaInCorso_ && runAvviato(lastResult_.outcome))
        c_.Stato->showMessage(QString::fromUtf8(kProvaSenzaModifiche));
    // "Archivio Access NON trovato. Il programma termina" has been shown:
    // the program ends, as at start-up; and so it does on a signal.
    if (lastResult_.outcome == RunOutcome::AccessArchiveMissing || terminando_) {
        close();
        return;
    }
    // The tab "Lotti", when shown meanwhile, lists the batch just written.
    if (c_.SSTab1->currentIndex() == 2) aggiornaLotti();
}

}  // namespace crv::window
