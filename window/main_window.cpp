#include "window/main_window.h"

#include <chrono>
#include <cstdio>
#include <filesystem>

#include <QCheckBox>
#include <QCloseEvent>
#include <QDateTime>
#include <QDesktopServices>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QStatusBar>
#include <QTime>
#include <QUrl>

#include "db/connection_string.h"
#include "db/db_error.h"
#include "db/open_db.h"
#include "window/file_list.h"
#include "window/import_run.h"
#include "window/full_invoice_view.h"
#include "window/invoice_view.h"
#include "window/listing_view.h"
#include "window/message_box.h"
#include "window/signal_stop.h"
#include "window/tab_control.h"
#include "window/varie_run.h"

namespace crv::window {

namespace {

const QString kCaption = QStringLiteral("Importazione Corvestra XML");
const QString kPattern = QStringLiteral("*.xml;GM_XML;*.TXT");
// Inner size of the window at design, in twips.
constexpr int kDesignWidth = 16860;
constexpr int kDesignHeight = 10092;

QString fromUtf8(const std::string& text)
{
    return QString::fromStdString(text);
}

// A check state of the settings file (0 clear, 1 checked, 2 greyed) and back.
int stateOf(const QCheckBox* box)
{
    switch (box->checkState()) {
    case Qt::Checked: return 1;
    case Qt::PartiallyChecked: return 2;
    default: return 0;
    }
}

void setState(QCheckBox* box, int state)
{
    box->setCheckState(state == 1 ? Qt::Checked : state == 2 ? Qt::PartiallyChecked : Qt::Unchecked);
}

std::chrono::year_month_day dayOf(const QDate& date)
{
    return std::chrono::year_month_day{std::chrono::year{date.year()},
                                       std::chrono::month{static_cast<unsigned>(date.month())},
                                       std::chrono::day{static_cast<unsigned>(date.day())}};
}

}  // namespace

MainWindow::MainWindow(WindowConfig config, QWidget* parent)
    : QWidget(parent), config_(std::move(config)), twips_(logicalDpiX())
{
    setObjectName(QStringLiteral("Frm_Imp_Crv_XML"));
    setWindowTitle(kCaption);
    // The design's 8-point face, as wide as the controls were drawn for
    // (Arial, or its metric twin Liberation Sans); sizes follow the screen's
    // logical resolution.
    QFont base(QStringLiteral("Arial"), 8);
    base.setStyleHint(QFont::SansSerif);
    setFont(base);
    c_ = buildControls(*this, twips_);
    connectControls();
    runTimer_.setInterval(40);
    connect(&runTimer_, &QTimer::timeout, this, &MainWindow::applyRunUpdate);
    connect(&runTimer_, &QTimer::timeout, this, &MainWindow::applyVarieProgress);
    setMinimumSize(dimensioneMinima());
    resize(twips_.px(kDesignWidth), twips_.px(kDesignHeight));
    Form_Resize();
    SignalStop::segui(this);
}

MainWindow::~MainWindow()
{
    SignalStop::lascia(this);
    if (terminando_) senzaFinestreDiMessaggio(false);
}

void MainWindow::connectControls()
{
    for (int i = 0; i < static_cast<int>(c_.Cmd_Importa.size()); ++i)
        connect(c_.Cmd_Importa[static_cast<std::size_t>(i)], &QPushButton::clicked, this,
                [this, i] { Cmd_Importa_Click(i); });
    connect(c_.Cmd_Salva_Impostazioni, &QPushButton::clicked, this, &MainWindow::Cmd_Salva_Impostazioni_Click);
    connect(c_.Cmd_Interrompi, &QPushButton::clicked, this, [this] {
        if (run_) run_->requestStop();
        if (varieRun_) varieRun_->requestStop();
        c_.Cmd_Interrompi->setEnabled(false);
    });
    connect(c_.File1, &QListWidget::currentItemChanged, this, [this] { File1_Click(); });
    connect(c_.File1, &QListWidget::itemClicked, this, [this] { File1_Click(); });
    connect(c_.File1, &QListWidget::itemDoubleClicked, this, [this] { File1_DblClick(); });
    // A file the list no longer shows is not the one an import button reads.
    connect(c_.File1, &FileList::sceltaTolta, this, [this] {
        c_.LBLFILEIMPORT->clear();
        c_.lblfileinfo->clear();
    });
    connect(c_.Scheda[10], &QLineEdit::textChanged, this,
            [this](const QString& text) { c_.File1->setPattern(text + QLatin1Char('*')); });
    connect(c_.Check1, &QCheckBox::clicked, this, &MainWindow::Check1_Click);
    connect(c_.SSTab1, &TabControl::currentChanged, this, [this](int index) { SSTab1_Click(index); });
    connect(c_.Command1, &QPushButton::clicked, this, &MainWindow::Command1_Click);
    connect(c_.Cmd_Annulla_Lotto, &QPushButton::clicked, this, &MainWindow::Cmd_Annulla_Lotto_Click);
    for (int i = 0; i < static_cast<int>(c_.cmd_Varie.size()); ++i)
        connect(c_.cmd_Varie[static_cast<std::size_t>(i)], &QPushButton::clicked, this,
                [this, i] { cmd_Varie_Click(i); });
    auto* const escape = std::make_unique<QShortcut>(QKeySequence(Qt::Key_Escape), this).release();
    escape->setContext(Qt::WindowShortcut);
    connect(escape, &QShortcut::activated, this, &MainWindow::escapePressed);
    // Escape taken by the page itself: it has hidden itself, the listing comes back.
    connect(c_.Pic_Fatt, &InvoiceView::chiusa, this, [this] { c_.List1->setVisible(true); });
    connect(c_.Pic_Fatt_Completa, &FullInvoiceView::chiusa, this, [this] { c_.List1->setVisible(true); });
}

bool MainWindow::Form_Load()
{
    // 1. The file list on the import folder; without it the program ends.
    const QString folder = QString::fromStdString(config_.paths.importDir().string());
    const QString problem = c_.File1->setFolder(folder);
    if (!problem.isEmpty()) {
        // A root that is not there, or not made yet: how to make one.
        const QString come = QString::fromStdString(radiceMancante(config_.paths));
        mostraMessaggio(nullptr, come.isEmpty() ? problem : problem + QStringLiteral("\n\n") + come);
        return false;
    }
    // 2. The file pattern.
    c_.File1->setPattern(kPattern);
    // 3. Today and today + 30 days.
    const QDate today = QDate::currentDate();
    c_.Scheda[1]->setText(fromUtf8(config_.regional.formatDate(dayOf(today))));
    c_.Scheda[2]->setText(fromUtf8(config_.regional.formatDate(dayOf(today.addDays(30)))));
    // 4. The operator's saved settings.
    WindowSettings settings = currentSettings();
    LeggiImpostazioni(config_.paths.crvXmlIni(), settings);
    applySettings(settings);
    // 5. The text mode from the program's name.
    const QString name = QFileInfo(QString::fromStdString(config_.programName)).completeBaseName().toLower();
    modoTesto_ = name.contains(QLatin1String("rove"));

    installazione_ = LeggiInstallazione(config_.paths);
    modoDocumento_ = installazione_.presentazioneBanca;
    presentazioneNormale_ = !modoDocumento_ && !modoTesto_;
    QString caption = kCaption;
    // 6. The bank presentation.
    if (modoDocumento_) {
        caption = QStringLiteral("Importazione XML DEZ/ZUZOZUR");
        if (c_.Scheda[0]->text() == QLatin1String("CRV")) c_.Scheda[0]->setText(QStringLiteral("DEZ"));
        if (c_.File1->count() > 0) c_.File1->setCurrentRow(0);
        for (QCheckBox* box : c_.Chk_Sezioni_da_Importare) box->setVisible(false);
    }
    // 7. The text mode: only the text import is offered.
    if (modoTesto_) {
        caption = QStringLiteral("Importazione ROVE ");
        c_.Cmd_Importa[0]->setVisible(false);
        c_.Cmd_Importa[1]->setVisible(false);
    }
    // The installation's buttons; the text mode needs "Importa ROVE".
    c_.Cmd_Importa[2]->setVisible(installazione_.mostraImportaRove || modoTesto_);
    c_.Cmd_Importa[3]->setVisible(installazione_.mostraFattElett);
    c_.chkCompleta->setVisible(installazione_.mostraFattElett);
    // 8. The first tab.
    c_.SSTab1->setCurrentIndex(0);
    // 9. The database.
    QString suffix;
    bool mustEnd = false;
    apriDBAllAvvio(suffix, mustEnd);
    if (mustEnd) return false;
    // 10. The version; 11. the database in use.
    caption += QStringLiteral(" %1.%2").arg(CRVXML_VERSION_MINOR).arg(CRVXML_VERSION_PATCH);
    if (!suffix.isEmpty()) caption += QStringLiteral(" -- ") + suffix;
    setWindowTitle(caption);
    return true;
}

void MainWindow::apriDBAllAvvio(QString& captionSuffix, bool& mustEnd)
{
    try {
        const auto database = db::ApriDB(config_.paths, c_.chkUsaAccess->checkState() != Qt::Unchecked);
        captionSuffix = fromUtf8(db::captionText(database->connSpec().original.toStdString()));
        // Every operation opens the database again when it needs it.
    } catch (const db::AccessArchiveMissing& e) {
        mostraMessaggio(nullptr, fromUtf8(e.what()));
        mustEnd = true;
    } catch (const db::DbError& e) {
        mostraMessaggio(nullptr, fromUtf8(e.what()));
    }
}

WindowSettings MainWindow::currentSettings() const
{
    WindowSettings s;
    s.mandato = c_.Scheda[0]->text().toStdString();
    s.intervento = c_.Scheda[3]->text().toStdString();
    s.sitAffido = c_.Scheda[4]->text().toStdString();
    for (std::size_t i = 0; i < s.sezioni.size(); ++i) s.sezioni[i] = stateOf(c_.Chk_Sezioni_da_Importare[i]);
    s.dettagli = stateOf(c_.chkDettagli);
    s.soloTest = stateOf(c_.ChkSoloTest);
    s.spRec = stateOf(c_.chkAgg6);
    s.intDaFile = stateOf(c_.chkAgg16);
    s.usaAccess = stateOf(c_.chkUsaAccess);
    s.completa = stateOf(c_.chkCompleta);
    return s;
}

void MainWindow::applySettings(const WindowSettings& s)
{
    c_.Scheda[0]->setText(fromUtf8(s.mandato));
    c_.Scheda[3]->setText(fromUtf8(s.intervento));
    c_.Scheda[4]->setText(fromUtf8(s.sitAffido));
    for (std::size_t i = 0; i < s.sezioni.size(); ++i) setState(c_.Chk_Sezioni_da_Importare[i], s.sezioni[i]);
    setState(c_.chkDettagli, s.dettagli);
    setState(c_.ChkSoloTest, s.soloTest);
    setState(c_.chkAgg6, s.spRec);
    setState(c_.chkAgg16, s.intDaFile);
    setState(c_.chkUsaAccess, s.usaAccess);
    setState(c_.chkCompleta, s.completa);
}

void MainWindow::Cmd_Salva_Impostazioni_Click()
{
    try {
        SalvaImpostazioni(config_.paths.crvXmlIni(), currentSettings());
    } catch (const SettingsError& e) {
        c_.Stato->clearMessage();
        mostraMessaggio(this, fromUtf8(e.what()));
        return;
    }
    // Said where the operator looks, without a box to close.
    c_.Stato->showMessage(QStringLiteral("Impostazioni salvate alle %1 in %2")
                              .arg(QTime::currentTime().toString(QStringLiteral("HH:mm:ss")),
                                   QString::fromStdString(config_.paths.crvXmlIni().string())));
}

void MainWindow::File1_Click()
{
    const QString name = c_.File1->selectedName();
    if (name.isEmpty()) return;
    c_.LBLFILEIMPORT->setText(name);
    const QFileInfo info(c_.File1->pathOf(name));
    const QDateTime modified = info.lastModified();
    const QString when = fromUtf8(config_.regional.formatDate(dayOf(modified.date()))) + QLatin1Char(' ') +
                         modified.time().toString(QStringLiteral("HH:mm:ss"));
    c_.lblfileinfo->setText(when.toLower() + QLatin1Char(' ') + QString::number(info.size()) +
                            QStringLiteral(" bytes"));
}

void MainWindow::File1_DblClick()
{
    const QString name = c_.File1->selectedName();
    if (name.isEmpty()) return;
    // The desktop opens a ".txt" file (text/plain) in its text editor and any
    // other file with its default application. A desktop that has none for
    // it says so on standard error only, which the operator does not see.
    const QString path = c_.File1->pathOf(name);
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
        mostraMessaggio(this, QStringLiteral("Nessuna applicazione predefinita per aprire il file %1").arg(path));
}

void MainWindow::Check1_Click(bool checked)
{
    // "Download" cleared: the file list goes back on the import folder. When
    // that folder cannot be read the operator is told, and the list stays.
    if (checked) return;
    const QString problem = c_.File1->setFolder(QString::fromStdString(config_.paths.importDir().string()));
    if (!problem.isEmpty()) mostraMessaggio(this, problem);
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (run_) {
        // A run still going is stopped: it ends with nothing written.
        MouseAttesa();
        run_->requestStop();
        run_.reset();
        runTimer_.stop();
    }
    if (varieRun_) {
        // A utility still going is stopped the same way: its core changes
        // and writes nothing.
        MouseAttesa();
        varieRun_->requestStop();
        varieRun_.reset();
        runTimer_.stop();
        MouseNormale();
    }
    event->accept();
}

void MainWindow::terminaPerSegnale(int signal)
{
    if (terminando_) return;
    terminando_ = true;
    interrottaDaSegnale_ = run_ || varieRun_;
    std::fprintf(stderr, "Ricevuto %s: %s\n", StopSignals::nome(signal),
                 interrottaDaSegnale_ ? "interrompo e chiudo la finestra" : "chiudo la finestra");
    // Nobody may be there to answer: from now on the texts of the boxes go
    // to standard error, questions get No, and the boxes open now close.
    senzaFinestreDiMessaggio();
    seguitoVarie_ = {};
    if (run_) run_->requestStop();
    if (varieRun_) varieRun_->requestStop();
    // The window goes once the run has ended (runEnded, varieEnded): its
    // rollback and its register line are done by then.
    if (!run_ && !varieRun_) QTimer::singleShot(0, this, &QWidget::close);
}

void MainWindow::MouseAttesa()
{
    setCursor(Qt::WaitCursor);
}

void MainWindow::MouseNormale()
{
    unsetCursor();
}

}  // namespace crv::window
