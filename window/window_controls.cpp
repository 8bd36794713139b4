#include "window/window_controls.h"

#include <memory>

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>

#include "window/counter_box.h"
#include "window/file_list.h"
#include "window/full_invoice_view.h"
#include "window/invoice_view.h"
#include "window/listing_view.h"
#include "window/lotti_tab.h"
#include "window/tab_control.h"
#include "window/twips.h"

namespace crv::window {

namespace {

const QColor kBlue(0, 0, 255);
const QColor kPaleYellow(255, 255, 192);

// The listing's and the filter's fixed-pitch face (Courier New where the
// desktop has it, else its own fixed-pitch face).
QFont fixedFont(const QFont& base)
{
    QFont font(QStringLiteral("Courier New"), base.pointSize());
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    return font;
}

// Creates a control of type T owned by `parent` at a design position.
template <typename T>
T* make(QWidget* parent, const char* name, const Twips& twips, TwipRect place)
{
    T* const widget = std::make_unique<T>(parent).release();
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(twips.rect(place));
    return widget;
}

QCheckBox* checkBox(QWidget* parent, const char* name, const QString& caption, const Twips& twips, TwipRect place,
                    bool checked)
{
    QCheckBox* const box = make<QCheckBox>(parent, name, twips, place);
    box->setText(caption);
    box->setChecked(checked);
    return box;
}

QLabel* label(QWidget* parent, const char* name, const QString& caption, const Twips& twips, TwipRect place,
              Qt::Alignment align = Qt::AlignLeft)
{
    QLabel* const text = make<QLabel>(parent, name, twips, place);
    text->setText(caption);
    text->setWordWrap(true);
    text->setAlignment(align | Qt::AlignTop);
    return text;
}

QLineEdit* textBox(QWidget* parent, const char* name, const QString& text, const Twips& twips, TwipRect place,
                   Qt::Alignment align = Qt::AlignLeft, int maxLength = 0)
{
    QLineEdit* const box = make<QLineEdit>(parent, name, twips, place);
    box->setText(text);
    box->setAlignment(align | Qt::AlignVCenter);
    if (maxLength > 0) box->setMaxLength(maxLength);
    box->setTextMargins(0, 0, 0, 0);
    return box;
}

void blueBold(QLineEdit* box)
{
    QPalette pal = box->palette();
    pal.setColor(QPalette::Text, kBlue);
    box->setPalette(pal);
    QFont font = box->font();
    font.setBold(true);
    box->setFont(font);
}

// A counter box: right-aligned, blue bold on pale yellow.
void counterStyle(QLineEdit* box)
{
    blueBold(box);
    QPalette pal = box->palette();
    pal.setColor(QPalette::Base, kPaleYellow);
    box->setPalette(pal);
    preparaContatore(*box);
}

QPushButton* button(QWidget* parent, const char* name, const QString& caption, const Twips& twips, TwipRect place)
{
    QPushButton* const b = make<QPushButton>(parent, name, twips, place);
    b->setText(caption);
    return b;
}

// A button whose long caption wraps over several lines, as the tab "Varie"
// has them; the caption stays the button's accessible name.
QPushButton* wrappingButton(QWidget* parent, const char* name, const QString& caption, const Twips& twips,
                            TwipRect place)
{
    QPushButton* const b = make<QPushButton>(parent, name, twips, place);
    b->setAccessibleName(caption);
    b->setToolTip(caption);
    auto* const layout = std::make_unique<QHBoxLayout>(b).release();
    layout->setContentsMargins(4, 2, 4, 2);
    QLabel* const text = std::make_unique<QLabel>(caption, b).release();
    text->setWordWrap(true);
    text->setAlignment(Qt::AlignCenter);
    text->setAttribute(Qt::WA_TransparentForMouseEvents);
    layout->addWidget(text);
    return b;
}

void buildStrip(QWidget& w, const Twips& t, Controls& c)
{
    c.chkDettagli = checkBox(&w, "chkDettagli", QStringLiteral("Dettagli"), t, {90, 60, 975, 285}, true);
    c.ChkSoloTest = checkBox(&w, "ChkSoloTest", QStringLiteral("Solo Test"), t, {90, 390, 1125, 285}, true);
    c.chkAgg6 = checkBox(&w, "chkAgg_6", QStringLiteral("->sp.rec"), t, {1350, 0, 915, 252}, false);
    c.chkAgg6->setToolTip(QStringLiteral("Carica spese in Spese Recupero"));
    c.chkAgg16 = checkBox(&w, "chkAgg_16", QStringLiteral("int.da file"), t, {1350, 270, 945, 252}, true);
    c.chkAgg16->setToolTip(QStringLiteral("Leggi Intervento dal File"));
    c.chkUsaAccess = checkBox(&w, "chkUsaAccess", QStringLiteral("Access"), t, {1350, 540, 1125, 285}, false);

    label(&w, "Label1_0", QStringLiteral("Mandato"), t, {2580, 60, 675, 255});
    c.Scheda[0] = textBox(&w, "Scheda_0", QStringLiteral("CRV"), t, {2580, 300, 555, 315}, Qt::AlignHCenter, 3);
    blueBold(c.Scheda[0]);
    label(&w, "Label1_1", QStringLiteral("Affido"), t, {3420, 60, 555, 255}, Qt::AlignRight);
    c.Scheda[1] = textBox(&w, "Scheda_1", QString(), t, {3990, 30, 975, 315}, Qt::AlignHCenter, 10);
    label(&w, "Label1_2", QStringLiteral("Scad."), t, {3420, 360, 555, 255}, Qt::AlignRight);
    c.Scheda[2] = textBox(&w, "Scheda_2", QString(), t, {3990, 330, 975, 315}, Qt::AlignHCenter, 10);
    label(&w, "Label1_3", QStringLiteral("Intervento"), t, {5040, 60, 795, 255});
    c.Scheda[3] = textBox(&w, "Scheda_3", QStringLiteral("MO"), t, {5880, 0, 675, 315}, Qt::AlignHCenter, 3);
    blueBold(c.Scheda[3]);
    label(&w, "Label1_6", QStringLiteral("Sit.Affido"), t, {5040, 360, 795, 255});
    c.Scheda[4] = textBox(&w, "Scheda_4", QStringLiteral("A"), t, {5880, 360, 675, 315}, Qt::AlignHCenter, 3);
    blueBold(c.Scheda[4]);

    label(&w, "Label1_9", QStringLiteral("Lotto Imp"), t, {6750, 0, 465, 465});
    c.Scheda[9] = textBox(&w, "Scheda_9", QString(), t, {7230, 60, 705, 315}, Qt::AlignRight);
    label(&w, "Label1_4", QStringLiteral("Pratiche importate"), t, {8250, 0, 705, 435});
    c.Scheda[5] = textBox(&w, "Scheda_5", QString(), t, {8970, 60, 945, 315}, Qt::AlignRight);
    c.ProgressBar1 = make<QProgressBar>(&w, "ProgressBar1", t, {9000, 480, 5670, 180});
    c.ProgressBar1->setTextVisible(false);
    c.ProgressBar1->setRange(0, 100);
    c.ProgressBar1->setValue(0);
    label(&w, "Label1_5", QStringLiteral("Cap"), t, {10080, 120, 405, 285});
    c.Scheda[6] = textBox(&w, "Scheda_6", QString(), t, {10560, 60, 1095, 315}, Qt::AlignRight);
    label(&w, "Label1_7", QStringLiteral("Int"), t, {11760, 120, 315, 285});
    c.Scheda[7] = textBox(&w, "Scheda_7", QString(), t, {12150, 60, 1095, 315}, Qt::AlignRight);
    label(&w, "Label1_8", QStringLiteral("Spe"), t, {13290, 120, 375, 285});
    c.Scheda[8] = textBox(&w, "Scheda_8", QString(), t, {13710, 60, 1095, 315}, Qt::AlignRight);
    for (const int i : {5, 6, 7, 8, 9}) counterStyle(c.Scheda[static_cast<std::size_t>(i)]);

    // Not in the old window: a run on its own thread (an import, or a utility
    // of the tab "Varie") can be stopped. It keeps the normal pointer while
    // the rest of the window shows the hourglass.
    c.Cmd_Interrompi = button(&w, "Cmd_Interrompi", QStringLiteral("Interrompi"), t, {14940, 120, 1455, 540});
    c.Cmd_Interrompi->setToolTip(
        QStringLiteral("Interrompe l'importazione, l'esportazione o le note comuni in corso: l'archivio resta com'era"));
    c.Cmd_Interrompi->setCursor(Qt::ArrowCursor);
    c.Cmd_Interrompi->setEnabled(false);

    c.SSTab1 = make<TabControl>(&w, "SSTab1", t, {0, 840, 16515, 9255});
}

void buildImportTab(QWidget* page, const Twips& t, Controls& c)
{
    c.Cmd_Importa[0] = button(page, "Cmd_Importa_0", QStringLiteral("Importa"), t, {5640, 480, 3015, 375});
    QFont big = c.Cmd_Importa[0]->font();
    big.setPointSize(12);
    big.setBold(true);
    c.Cmd_Importa[0]->setFont(big);
    c.Cmd_Importa[1] = button(page, "Cmd_Importa_1", QStringLiteral("Importa Radoze"), t, {9060, 480, 3015, 375});
    c.Cmd_Importa[2] = button(page, "Cmd_Importa_2", QStringLiteral("Importa ROVE"), t, {12300, 480, 3015, 375});
    c.Cmd_Importa[2]->setVisible(false);
    c.Cmd_Importa[3] = button(page, "Cmd_Importa_3", QStringLiteral("Fatt.Elett"), t, {1140, 420, 3015, 375});
    c.Cmd_Importa[3]->setVisible(false);
    c.Txt_Interlinea = textBox(page, "Txt_Interlinea", QStringLiteral("18"), t, {4320, 420, 675, 315}, Qt::AlignHCenter, 3);
    // Not in the old window: the complete invoice instead of the page. Shown with "Fatt.Elett".
    c.chkCompleta = checkBox(page, "chkCompleta", QStringLiteral("Completa"), t, {60, 450, 1065, 315}, false);
    c.chkCompleta->setToolTip(QStringLiteral(
        "\"Fatt.Elett\" mostra la fattura completa (ogni documento, righe, IVA, pagamenti, allegati, "
        "verifica dello schema e della firma) invece della pagina"));
    c.chkCompleta->setVisible(false);

    c.Frame1 = make<QGroupBox>(page, "Frame1", t, {120, 840, 13155, 645});
    c.Frame1->setTitle(QStringLiteral("Sezioni da importare"));
    const struct {
        const char* name;
        const char* caption;
        TwipRect place;
        bool enabled;
    } sections[] = {
        {"Chk_Sezioni_da_Importare_0", "Dati Identificativi", {120, 240, 1605, 345}, true},
        {"Chk_Sezioni_da_Importare_1", "Cliente", {2250, 240, 1365, 345}, false},
        {"Chk_Sezioni_da_Importare_2", "Dati Contratto", {3720, 240, 1605, 345}, false},
        {"Chk_Sezioni_da_Importare_3", "Affidamenti", {5550, 240, 1605, 345}, false},
        {"Chk_Sezioni_da_Importare_4", "Estratto Conto", {7380, 240, 1605, 345}, true},
        {"Chk_Sezioni_da_Importare_5", "Scadenze", {9360, 210, 1605, 345}, true},
    };
    for (std::size_t i = 0; i < c.Chk_Sezioni_da_Importare.size(); ++i) {
        QCheckBox* const box = checkBox(c.Frame1, sections[i].name, QString::fromUtf8(sections[i].caption), t,
                                        sections[i].place, true);
        box->setEnabled(sections[i].enabled);  // the disabled ones are always read
        c.Chk_Sezioni_da_Importare[i] = box;
    }
    c.Cmd_Salva_Impostazioni =
        button(c.Frame1, "Cmd_Salva_Impostazioni", QStringLiteral("Salva Impostazioni"), t, {11280, 120, 1665, 405});

    c.List1 = make<ListingView>(page, "List1", t, {60, 1470, 11055, 6780});
    c.List1->setFont(fixedFont(page->font()));

    c.Scheda[10] = textBox(page, "Scheda_10", QString(), t, {13200, 1020, 2295, 360}, Qt::AlignHCenter);
    QPalette pal = c.Scheda[10]->palette();
    pal.setColor(QPalette::Text, kBlue);
    c.Scheda[10]->setPalette(pal);
    c.Scheda[10]->setFont(fixedFont(page->font()));
    c.Scheda[10]->setToolTip(QStringLiteral("Mostra solo i file il cui nome comincia così"));

    c.Check1 = checkBox(page, "Check1", QStringLiteral("Download"), t, {12000, 1560, 1395, 195}, false);
    c.File1 = make<FileList>(page, "File1", t, {11940, 1860, 3675, 5448});
    c.LBLFILEIMPORT = label(page, "LBLFILEIMPORT", QString(), t, {11940, 7560, 3645, 285});
    c.LBLFILEIMPORT->setWordWrap(false);
    c.lblfileinfo = label(page, "lblfileinfo", QString(), t, {11940, 7980, 3645, 285});
    c.lblfileinfo->setWordWrap(false);

    // The invoice page: black on white, scrolled when taller than the view.
    c.Pic_Fatt = make<InvoiceView>(page, "Pic_Fatt", t, {3300, 1980, 3495, 2355});
    c.Pic_Fatt->setBackgroundRole(QPalette::Base);
    QPalette white = c.Pic_Fatt->palette();
    white.setColor(QPalette::Base, Qt::white);
    white.setColor(QPalette::Window, Qt::white);
    white.setColor(QPalette::Text, Qt::black);
    white.setColor(QPalette::WindowText, Qt::black);
    c.Pic_Fatt->setPalette(white);
    c.Pic_Fatt->setVisible(false);
    c.Pic_Fatt_Completa = make<FullInvoiceView>(page, "Pic_Fatt_Completa", t, {3300, 1980, 3495, 2355});
    c.Pic_Fatt_Completa->setVisible(false);
}

void buildVarieTab(QWidget* page, const Twips& t, Controls& c)
{
    c.cmd_Varie[0] = wrappingButton(page, "cmd_Varie_0", QStringLiteral("Accoda \"Note Comuni\" a Memo"), t,
                                    {1260, 900, 3735, 765});
    c.cmd_Varie[1] = wrappingButton(page, "cmd_Varie_1",
                                    QStringLiteral("Esporta in \"Excel\" campi di Tabella Pratiche e \"Note Comuni\""),
                                    t, {1290, 2130, 3735, 765});
    c.TxtCampi = make<QPlainTextEdit>(page, "TxtCampi", t, {5520, 2130, 6195, 5895});
    c.TxtCampi->setPlainText(QStringLiteral("Text1"));
    c.Command1 = button(page, "Command1", QStringLiteral("Salva Definizione"), t, {10110, 1770, 1605, 315});
}

}  // namespace

Controls buildControls(QWidget& window, const Twips& twips)
{
    Controls c;
    buildStrip(window, twips, c);
    buildImportTab(c.SSTab1->addTab(QStringLiteral("Importazione")), twips, c);
    buildVarieTab(c.SSTab1->addTab(QStringLiteral("Varie")), twips, c);
    buildLottiTab(c.SSTab1->addTab(QStringLiteral("Lotti")), twips, c);
    // Not in the old window: confirmations that need no box of their own.
    c.Stato = std::make_unique<QStatusBar>(&window).release();
    c.Stato->setObjectName(QStringLiteral("Stato"));
    c.Stato->setSizeGripEnabled(false);
    return c;
}

}  // namespace crv::window
