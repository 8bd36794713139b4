// The tab "Varie": the export definition in TxtCampi, "Salva Definizione",
// and the two utilities (common notes to memo, the spreadsheet export) run
// on a worker thread with the filter boxes of the strip.
#include <algorithm>
#include <filesystem>
#include <limits>
#include <utility>

#include <QCheckBox>
#include <QDate>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QStandardPaths>
#include <QStatusBar>
#include <QUrl>

#include "db/import_lock.h"
#include "tools/case_check.h"
#include "tools/case_export.h"
#include "tools/case_selection.h"
#include "tools/common_notes.h"
#include "tools/export_definition.h"
#include "window/main_window.h"
#include "window/message_box.h"
#include "window/tab_control.h"
#include "window/varie_run.h"

namespace crv::window {

namespace {

constexpr int kTabVarie = 1;
constexpr int kTabLotti = 2;

// Where the save dialog starts: the user's documents folder (its home when
// the desktop has none), with a name holding today's date.
QString suggestedWorkbook()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QDir(folder).exists()) folder = QDir::homePath();
    const QString name =
        QStringLiteral("Pratiche_%1.xlsx").arg(QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")));
    return QDir(folder).filePath(name);
}

}  // namespace

void MainWindow::SSTab1_Click(int index)
{
    if (index == kTabVarie) LeggeDefinizione();
    if (index == kTabLotti) aggiornaLotti();
}

void MainWindow::LeggeDefinizione()
{
    const tools::Definizione def = tools::LeggeDefinizione(config_.paths);
    mostraDefinizione(def.campi, def.avvisi);
}

void MainWindow::mostraDefinizione(const std::vector<std::string>& campi, const std::vector<std::string>& avvisi)
{
    campi_ = campi;
    campiCaricati_ = true;
    QString text;
    for (const std::string& name : campi) text += QString::fromStdString(name) + QLatin1Char('\n');
    c_.TxtCampi->setPlainText(text);
    for (const std::string& avviso : avvisi) mostraMessaggio(this, QString::fromStdString(avviso));
}

void MainWindow::Command1_Click()
{
    try {
        const tools::Definizione def =
            tools::SalvaDefinizione(config_.paths, c_.TxtCampi->toPlainText().toStdString());
        mostraDefinizione(def.campi, def.avvisi);
    } catch (const tools::DefinizioneError& e) {
        // The old file stays, and so does the text typed into the box.
        mostraMessaggio(this, QString::fromStdString(e.what()));
    }
}

tools::FiltroPratiche MainWindow::filtroPratiche() const
{
    return tools::FiltroPratiche{c_.Scheda[0]->text().toStdString(), c_.Scheda[1]->text().toStdString(),
                                 c_.Scheda[2]->text().toStdString(), c_.Scheda[9]->text().toStdString()};
}

QString MainWindow::chiediFileEsportazione()
{
    const QString suggested = suggestedWorkbook();
    QFileDialog dialog(this, QStringLiteral("Salva le pratiche esportate"));
    dialog.setObjectName(QStringLiteral("SalvaEsportazione"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(QStringLiteral("Cartella di lavoro Excel (*.xlsx)"));
    dialog.setDefaultSuffix(QStringLiteral("xlsx"));
    dialog.setDirectory(QFileInfo(suggested).absolutePath());
    dialog.selectFile(QFileInfo(suggested).fileName());
    if (dialog.exec() != QDialog::Accepted) return {};
    const QStringList chosen = dialog.selectedFiles();
    return chosen.isEmpty() ? QString() : chosen.front();
}

void MainWindow::cmd_Varie_Click(int index)
{
    // One run at a time: the import and the utilities share the database.
    if (run_ || varieRun_) return;
    const tools::FiltroPratiche filtro = filtroPratiche();
    const bool usaAccess = c_.chkUsaAccess->checkState() != Qt::Unchecked;
    const SuitePaths paths = config_.paths;
    const Regional regional = config_.regional;
    filtriVarie_ = tools::filtriApplicati(filtro, regional);
    fileEsportazione_.clear();
    if (index != 1) {
        // A trying run first: the question names how many memos would
        // change, and a run that would change none asks nothing.
        seguitoVarie_ = [this, paths, usaAccess, filtro, regional](const tools::RisultatoVarie& prova) {
            if (prova.modificate == 0) {
                mostraMessaggio(this, QString::fromStdString(tools::nienteDaAccodare(prova) + "\n" + filtriVarie_));
                return;
            }
            if (!domandaSiNo(this, QString::fromStdString(tools::domandaNoteComuni(prova, filtro, regional))))
                return;
            avviaVarie([paths, usaAccess, filtro, regional](const tools::Avanzamento& avanzamento) {
                return tools::accodaNoteComuni(paths, usaAccess, filtro, regional, avanzamento);
            });
        };
        avviaVarie([paths, usaAccess, filtro, regional](const tools::Avanzamento& avanzamento) {
            return tools::accodaNoteComuni(paths, usaAccess, filtro, regional, avanzamento, tools::ModoNote::Prova);
        });
        return;
    }
    // The buttons sit on the tab, whose selection loads the definition;
    // loaded here too should the tab never have been selected.
    if (!campiCaricati_) LeggeDefinizione();
    // Where to save is asked only once some case matches: the check runs
    // first, and its end asks and starts the export with the same filter.
    seguitoVarie_ = [this, paths, usaAccess, filtro, regional](const tools::RisultatoVarie&) {
        const QString out = chiediFileEsportazione();
        if (out.isEmpty()) return;
        fileEsportazione_ = out;
        avviaVarie([paths, usaAccess, filtro, campi = campi_, out = std::filesystem::path(out.toStdString()),
                    regional](const tools::Avanzamento& avanzamento) {
            return tools::esportaPratiche(paths, usaAccess, filtro, campi, out, regional, avanzamento);
        });
    };
    avviaVarie([paths, usaAccess, filtro, regional](const tools::Avanzamento& avanzamento) {
        return tools::verificaPratiche(paths, usaAccess, filtro, regional, avanzamento);
    });
}

void MainWindow::avviaVarie(std::function<tools::RisultatoVarie(const tools::Avanzamento&)> work)
{
    varieRun_ = std::make_unique<VarieRun>(std::move(work));
    connect(varieRun_.get(), &VarieRun::ended, this, &MainWindow::varieEnded);
    c_.ProgressBar1->setValue(0);
    setRunning(true);
    MouseAttesa();
    runTimer_.start();
    varieRun_->start();
}

void MainWindow::applyVarieProgress()
{
    if (!varieRun_) return;
    mostraAttesaLotto(*lottoInAttesa_);
    const auto [done, total] = varieRun_->progress();
    if (total <= 0) return;
    const int maximum = static_cast<int>(std::min<long>(total, std::numeric_limits<int>::max()));
    if (c_.ProgressBar1->maximum() != maximum) c_.ProgressBar1->setRange(0, maximum);
    c_.ProgressBar1->setValue(static_cast<int>(std::min<long>(done, maximum)));
}

void MainWindow::mostraAttesaLotto(bool inAttesa)
{
    const QString testo = QString::fromUtf8(db::kAttesaAltraImportazione);
    if (inAttesa && c_.Stato->currentMessage() != testo)
        c_.Stato->showMessage(testo);
    else if (!inAttesa && c_.Stato->currentMessage() == testo)
        c_.Stato->clearMessage();
}

void MainWindow::varieEnded()
{
    applyVarieProgress();
    runTimer_.stop();
    *lottoInAttesa_ = false;
    mostraAttesaLotto(false);
    const tools::RisultatoVarie result = varieRun_->result();
    // The run object emitted the signal being handled: it goes once the
    // handler has returned.
    varieRun_.release()->deleteLater();
    MouseNormale();
    setRunning(false);
    if (const qint64 lotto = std::exchange(lottoInAnnullamento_, 0)) lottoAnnullato(lotto, result);
    if (const auto seguito = std::exchange(seguitoVarie_, {})) {
        if (result.esito == tools::Esito::Terminata) return seguito(result);
    }

    // The finished workbook is put before the operator, as the spreadsheet
    // program used to show it, and then the run's messages.
    bool opened = true;
    if (result.esito == tools::Esito::Terminata && !fileEsportazione_.isEmpty())
        opened = QDesktopServices::openUrl(QUrl::fromLocalFile(fileEsportazione_));
    // The closing message says which filters chose the cases.
    for (std::size_t i = 0; i < result.messaggi.size(); ++i) {
        const bool closing =
            result.esito == tools::Esito::Terminata && i + 1 == result.messaggi.size() && !filtriVarie_.empty();
        mostraMessaggio(this, QString::fromStdString(closing ? result.messaggi[i] + "\n" + filtriVarie_
                                                             : result.messaggi[i]));
    }
    if (!opened)
        mostraMessaggio(this, QStringLiteral("Impossibile aprire %1 con l'applicazione predefinita")
                                  .arg(QDir::toNativeSeparators(fileEsportazione_)));
    fileEsportazione_.clear();
    // "Archivio Access NON trovato. Il programma termina": as at start-up;
    // and so it does on a signal.
    if (result.esito == tools::Esito::ArchivioAccessMancante || terminando_) {
        close();
        return;
    }
    if (c_.SSTab1->currentIndex() == kTabLotti) aggiornaLotti();
}

}  // namespace crv::window
