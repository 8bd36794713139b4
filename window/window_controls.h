#pragma once
// The controls of the main window, built at their design positions: the
// strip of parameter boxes and switches at the top, and the tab control
// with the tabs "Importazione", "Varie" and "Lotti". Each control's object
// name is its design name ("Scheda_5" for Scheda(5)); the window's parent
// ownership keeps them.
#include <array>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QStatusBar;
class QTableWidget;
class QWidget;

namespace crv {
class FullInvoiceView;
class InvoiceView;
}

namespace crv::window {

class FileList;
class ListingView;
class TabControl;
class Twips;

struct Controls {
    // The strip.
    QCheckBox* chkDettagli = nullptr;
    QCheckBox* ChkSoloTest = nullptr;
    QCheckBox* chkAgg6 = nullptr;    // chkAgg(6) "->sp.rec"
    QCheckBox* chkAgg16 = nullptr;   // chkAgg(16) "int.da file"
    QCheckBox* chkUsaAccess = nullptr;
    std::array<QLineEdit*, 11> Scheda{};
    QProgressBar* ProgressBar1 = nullptr;
    QPushButton* Cmd_Interrompi = nullptr;  // stops a run; enabled only during one
    TabControl* SSTab1 = nullptr;
    QStatusBar* Stato = nullptr;  // the window's status line, below the tab control

    // The tab "Importazione".
    std::array<QPushButton*, 4> Cmd_Importa{};
    QLineEdit* Txt_Interlinea = nullptr;
    QCheckBox* chkCompleta = nullptr;  // "Completa": "Fatt.Elett" shows the complete view
    QGroupBox* Frame1 = nullptr;
    std::array<QCheckBox*, 6> Chk_Sezioni_da_Importare{};
    QPushButton* Cmd_Salva_Impostazioni = nullptr;
    ListingView* List1 = nullptr;
    QCheckBox* Check1 = nullptr;  // "Download"
    FileList* File1 = nullptr;
    QLabel* LBLFILEIMPORT = nullptr;
    QLabel* lblfileinfo = nullptr;
    InvoiceView* Pic_Fatt = nullptr;  // the invoice page
    FullInvoiceView* Pic_Fatt_Completa = nullptr;  // the complete invoice, in the page's place

    // The tab "Varie".
    std::array<QPushButton*, 2> cmd_Varie{};
    QPlainTextEdit* TxtCampi = nullptr;
    QPushButton* Command1 = nullptr;  // "Salva Definizione"

    // The tab "Lotti" (the design's empty "Tab 2").
    QTableWidget* Lista_Lotti = nullptr;
    QPushButton* Cmd_Annulla_Lotto = nullptr;
    QLabel* lblLotti = nullptr;  // how many batches, or why the list could not be read
};

// Builds every control as a child of `window`, in its design state.
Controls buildControls(QWidget& window, const Twips& twips);

}  // namespace crv::window
