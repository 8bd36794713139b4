#pragma once
// The operator's window (Frm_Imp_Crv_XML): start-up, presentation modes,
// layout on resizing, the file list, the import dispatch, and the import run
// and the utilities of the tab "Varie" on worker threads. The work behind the
// buttons is the core's.
#include <functional>
#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include <QTimer>
#include <QWidget>

#include "app/installation.h"
#include "app/settings.h"
#include "app/suite_root.h"
#include "import/run.h"
#include "numbers/regional.h"
#include "tools/varie.h"
#include "window/twips.h"
#include "window/window_controls.h"

namespace crv::window {

class ImportRun;
class VarieRun;

// What the window needs from the program.
struct WindowConfig {
    SuitePaths paths;
    Regional regional;
    std::string programName;  // as started (argv[0]): a name holding "rove" starts the text mode
};

class MainWindow : public QWidget {
    Q_OBJECT
public:
    explicit MainWindow(WindowConfig config, QWidget* parent = nullptr);
    ~MainWindow() override;

    // The start-up sequence. False when the program must end (the import
    // folder cannot be read, or "Access" is checked and its archive is
    // missing); the reason has been shown to the operator.
    bool Form_Load();

    // The run flags: text converted to XML first; bank format. Once true they stay true.
    bool ModoTesto() const { return modoTesto_; }
    bool ModoDocumento() const { return modoDocumento_; }
    // Whether an import run is under way.
    bool importInCorso() const { return run_ != nullptr; }
    // The result of the import run that ended last.
    const RunResult& ultimoRisultato() const { return lastResult_; }
    // Whether a utility of the tab "Varie" is running.
    bool varieInCorso() const { return varieRun_ != nullptr; }

    // A signal asks the program to end (window/signal_stop.h): the run or
    // utility under way stops as Interrompi stops it, no message box is
    // shown from now on, and the window closes once nothing runs.
    void terminaPerSegnale(int signal);
    // Whether a signal came, and whether it stopped a run or a utility (the
    // program then ends with status 1, as a stopped command does).
    bool terminataDaSegnale() const { return terminando_; }
    bool interrottaDaSegnale() const { return interrottaDaSegnale_; }

    // The hourglass over the window, and back to the normal pointer.
    void MouseAttesa();
    void MouseNormale();

    // The controls, for the parts of the window built elsewhere.
    const Controls& controls() const { return c_; }
    // The conversion of design twips to this window's pixels.
    const Twips& twips() const { return twips_; }
    // The smallest size at which every control is in sight and none lies
    // over another: the window cannot be made smaller.
    QSize dimensioneMinima() const;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void connectControls();
    void Form_Resize();
    void Cmd_Importa_Click(int index);
    void Cmd_Salva_Impostazioni_Click();
    void File1_Click();
    void File1_DblClick();
    void Check1_Click(bool checked);
    void escapePressed();
    void mostraPaginaFattura();
    void placePicFatt();
    void Fatt_Elet();

    WindowSettings currentSettings() const;
    void applySettings(const WindowSettings& settings);
    RunParams runParams() const;
    void apriDBAllAvvio(QString& captionSuffix, bool& mustEnd);

    // The tab "Varie" (main_window_varie.cpp).
    void SSTab1_Click(int index);
    void LeggeDefinizione();
    void Command1_Click();
    void cmd_Varie_Click(int index);
    void mostraDefinizione(const std::vector<std::string>& campi, const std::vector<std::string>& avvisi);
    tools::FiltroPratiche filtroPratiche() const;
    QString chiediFileEsportazione();
    void avviaVarie(std::function<tools::RisultatoVarie(const tools::Avanzamento&)> work);
    void applyVarieProgress();
    // The status line while "Annulla lotto" waits for another run, and after.
    void mostraAttesaLotto(bool inAttesa);
    void varieEnded();

    // The tab "Lotti" (main_window_lotti.cpp).
    void aggiornaLotti();
    void Cmd_Annulla_Lotto_Click();
    // The end of the removal of `lotto`: what shows that batch goes.
    void lottoAnnullato(qint64 lotto, const tools::RisultatoVarie& result);

    void lavora();
    void applyRunUpdate();
    void showRunMessage();
    void runEnded();
    void setRunning(bool running);

    WindowConfig config_;
    Twips twips_;
    Controls c_;
    Installazione installazione_;
    bool modoTesto_ = false;
    bool modoDocumento_ = false;
    bool presentazioneNormale_ = true;  // neither the bank presentation nor the text mode
    std::unique_ptr<ImportRun> run_;
    QTimer runTimer_;  // takes the run's batches (or the utility's progress) while it goes on
    RunResult lastResult_;
    bool provaInCorso_ = false;  // the run under way (or the last one) is a test run
    bool terminando_ = false;    // a signal asked the program to end
    bool interrottaDaSegnale_ = false;
    std::unique_ptr<VarieRun> varieRun_;
    std::vector<std::string> campi_;  // the export definition as last loaded (Campi)
    bool campiCaricati_ = false;
    QString fileEsportazione_;        // the workbook of the export under way
    // What follows a run that only looked (the export's check, the notes'
    // trying run) when it ended well: the question, then the real run.
    std::function<void(const tools::RisultatoVarie&)> seguitoVarie_;
    std::string filtriVarie_;         // the filters of the utility under way, for its closing message
    qint64 lottoInAnnullamento_ = 0;  // the batch being taken back by the utility under way
    // Set while "Annulla lotto" waits for another run on the archive (its
    // worker thread writes it, the window's timer shows it).
    std::shared_ptr<std::atomic<bool>> lottoInAttesa_ = std::make_shared<std::atomic<bool>>(false);
};

}  // namespace crv::window
