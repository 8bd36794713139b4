// Takes a picture of the window in each of its states, for a person to look
// at: start-up, the question before a test run and before an import, a test
// import with Dettagli and one with totals of nine figures, the bank
// presentation, the text mode, invoice pages (one with long descriptions,
// both documents of a batch), the complete invoice, the tab "Varie", the
// question about cases already in the archive, the tab "Lotti" and the
// question before common notes are appended to the memos. Run by
// scripts/screenshots under a virtual X server; the PNGs go to the folder
// given as the first argument, named with the suffix given as the second.
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include <QApplication>
#include <QCheckBox>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QWindow>
#include <QScrollArea>
#include <QScrollBar>
#include <QTableWidget>
#include <QTest>
#include <QToolButton>

#include "db/connection_string.h"
#include "db/database.h"
#include "support/invoice_samples.h"
#include "support/message_boxes.h"
#include "support/test_support.h"
#include "support/window_suite.h"
#include "window/file_list.h"
#include "window/main_window.h"
#include "window/qt_italiano.h"
#include "window/runtime_folder.h"
#include "window/tab_control.h"

namespace {

using crv::test::MessageBoxAnswerer;
using crv::test::WindowSuite;
using crv::window::MainWindow;

std::filesystem::path outDir;
std::string suffix;
int failures = 0;

// The widget's picture under a strip that shows its caption, which the
// virtual X server (without a window manager) does not draw.
QImage withCaption(QWidget& widget)
{
    const QPixmap shot = widget.grab();
    const qreal ratio = shot.devicePixelRatio();
    const int strip = static_cast<int>(24 * ratio);
    QImage image(shot.width(), shot.height() + strip, QImage::Format_RGB32);
    image.fill(QColor(0xd8, 0xdc, 0xe4));
    QPainter painter(&image);
    QFont font = widget.font();
    font.setPixelSize(static_cast<int>(13 * ratio));
    painter.setFont(font);
    painter.drawText(QRect(static_cast<int>(8 * ratio), 0, image.width(), strip), Qt::AlignVCenter,
                     widget.windowTitle());
    // Pixel for pixel: drawn at its own ratio, a grab on a scaled screen
    // would fill only part of the image.
    QPixmap physical = shot;
    physical.setDevicePixelRatio(1);
    painter.drawPixmap(0, strip, physical);
    return image;
}

void save(QWidget& widget, const std::string& name)
{
    QApplication::processEvents();
    const auto path = outDir / (name + suffix + ".png");
    if (!withCaption(widget).save(QString::fromStdString(path.string()))) {
        std::fprintf(stderr, "non salvato: %s\n", path.c_str());
        ++failures;
        return;
    }
    std::printf("%s\n", path.c_str());
}

// A started, shown window over `suite`.
std::unique_ptr<MainWindow> open(const WindowSuite& suite, const std::string& program = "/usr/bin/crvxml")
{
    auto window = std::make_unique<MainWindow>(suite.config(program));
    if (!window->Form_Load()) {
        std::fprintf(stderr, "avvio non riuscito\n");
        ++failures;
    }
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get())) std::fprintf(stderr, "finestra non mostrata\n");
    QTest::qWait(200);
    return window;
}

void selectFile(MainWindow& window, const QString& name)
{
    auto* const files = window.findChild<crv::window::FileList*>(QStringLiteral("File1"));
    const auto items = files->findItems(name, Qt::MatchExactly);
    if (!items.isEmpty()) files->setCurrentItem(items.front());
}

// Presses "Fatt.Elett". Xvfb runs without a window manager, which is what
// maximises a window on a desktop (the window is marked maximised but keeps
// its size): it then gets the screen's free area here, as a manager gives it.
void pressFattElett(MainWindow& window)
{
    QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("Cmd_Importa_3")), Qt::LeftButton);
    QTest::qWait(300);
    const QRect screen = window.screen()->availableGeometry();
    if (window.size() != screen.size()) {
        // Through the native window, as a manager resizes it: the widget
        // stays maximised.
        window.windowHandle()->setGeometry(screen);
        QTest::qWait(300);
    }
}

void shots()
{
    MessageBoxAnswerer answers;
    answers.onShown = [](QMessageBox& box) {
        // The question names the file and what the run will do: a test run, an import.
        if (box.text().startsWith(QStringLiteral("Confermi")))
            save(box, box.text().contains(QStringLiteral("prova")) ? "conferma_prova" : "conferma_importazione");
        if (box.text().endsWith(QStringLiteral("Importare comunque?"))) save(box, "gia_presenti");
        if (box.text().startsWith(QStringLiteral("Accodare la nota comune"))) save(box, "note_comuni_domanda");
    };
    {
        WindowSuite suite;
        suite.addImportFile("corvestra/completo.xml");
        suite.addImportFile("banca/due_pratiche.xml");
        suite.addImportFile("banca/GM_XML");
        auto window = open(suite);
        save(*window, "avvio");

        selectFile(*window, QStringLiteral("completo.xml"));
        answers.answerNext(QMessageBox::Yes);
        QTest::mouseClick(window->findChild<QPushButton*>(QStringLiteral("Cmd_Importa_0")), Qt::LeftButton);
        crv::test::waitFor([&] { return !window->importInCorso(); });
        save(*window, "importazione_dettagli");

        // Totals of nine figures before the decimals: whole in their boxes.
        std::string big = crv::test::readFile(crv::test::dataFile("corvestra/completo.xml"));
        big.replace(big.find("<CAPITALE>1.234,56<"), 19, "<CAPITALE>201.509.772,04<");
        crv::test::writeFile(suite.paths().importDir() / "totale.xml", big);
        QTest::qWait(200);  // the file list shows the new file
        selectFile(*window, QStringLiteral("totale.xml"));
        answers.answerNext(QMessageBox::Yes);
        QTest::mouseClick(window->findChild<QPushButton*>(QStringLiteral("Cmd_Importa_0")), Qt::LeftButton);
        crv::test::waitFor([&] { return !window->importInCorso(); });
        save(*window, "totale_nove_cifre");
    }
    {
        WindowSuite suite;
        suite.addImportFile("banca/due_pratiche.xml");
        suite.addImportFile("banca/completo.TXT");
        suite.writeInstallation("presentazione=banca\r\nimporta_rove=si\r\n");
        auto window = open(suite);
        save(*window, "banca");
    }
    {
        WindowSuite suite;
        suite.addImportFile("banca/GM_XML");
        auto window = open(suite, "/usr/local/bin/CrvROVE");
        save(*window, "testo");
    }
    {
        WindowSuite suite;
        suite.addImportFile("corvestra/completo.xml");
        const std::string invoice = suite.addImportFile("fatturapa/oca_ripilogoiva_two_vat_rates_22_and_N1.xml");
        const std::string descriptions =
            suite.addImportFile("fatturapa/official_IT01234567890_FPR03_lotto_two_bodies.xml");
        const std::string batch = suite.addImportFile("fatturapa/lotto_due_documenti_testi_lunghi.xml");
        crv::test::writeFile(suite.paths().importDir() / "quaranta_righe.xml", crv::test::invoiceOfLines(40));
        const std::string complete = suite.addImportFile("fatturapa/completa_tutti_i_blocchi.xml");
        suite.writeInstallation("fattura_elettronica=si\r\n");
        auto window = open(suite);
        selectFile(*window, QString::fromStdString(invoice));
        save(*window, "fattura_prima");
        pressFattElett(*window);
        save(*window, "fattura");
        // A page taller than the view, scrolled down to its totals.
        QTest::keyClick(window.get(), Qt::Key_Escape);
        selectFile(*window, QStringLiteral("quaranta_righe.xml"));
        pressFattElett(*window);
        auto* const page = window->findChild<QScrollArea*>(QStringLiteral("Pic_Fatt"));
        page->verticalScrollBar()->setValue(page->verticalScrollBar()->maximum());
        save(*window, "fattura_lunga");
        // Descriptions of hundreds of characters, going on over the rows of their column.
        QTest::keyClick(window.get(), Qt::Key_Escape);
        selectFile(*window, QString::fromStdString(descriptions));
        pressFattElett(*window);
        save(*window, "fattura_descrizioni_lunghe");
        // A batch of two documents with names longer than their blocks: the
        // first, then the second through the bar above the page.
        QTest::keyClick(window.get(), Qt::Key_Escape);
        selectFile(*window, QString::fromStdString(batch));
        pressFattElett(*window);
        save(*window, "fattura_lotto_documento_1");
        QTest::mouseClick(window->findChild<QToolButton*>(QStringLiteral("Documento_Successivo")), Qt::LeftButton);
        save(*window, "fattura_lotto_documento_2");
        // The complete invoice ("Completa" checked): its first sheet, then
        // scrolled down to the payments and the attachments' save buttons.
        QTest::keyClick(window.get(), Qt::Key_Escape);
        window->findChild<QCheckBox*>(QStringLiteral("chkCompleta"))->setChecked(true);
        selectFile(*window, QString::fromStdString(complete));
        pressFattElett(*window);
        save(*window, "fattura_completa");
        auto* const sheets = window->findChild<QScrollArea*>(QStringLiteral("Pic_Fatt_Completa"));
        if (QWidget* button = sheets->widget()->findChild<QWidget*>(QStringLiteral("Salva_Allegato_1")))
            sheets->ensureWidgetVisible(button, 50, sheets->viewport()->height() / 2);
        save(*window, "fattura_completa_allegati");
    }
    {
        // The tab loads the export definition of the suite into its box.
        WindowSuite suite;
        crv::test::writeFile(suite.paths().dataDir() / "exp-excel.ini",
                             "posizione\r\nragione sociale\r\ndata affido\r\nscadenza mandato\r\n"
                             "importo totale\r\nmemo\r\nnote comuni\r\n");
        auto window = open(suite);
        window->findChild<crv::window::TabControl*>(QStringLiteral("SSTab1"))->setCurrentIndex(1);
        save(*window, "varie");
    }
    {
        // The same delivery imported twice, the second time after the question
        // about its cases already in the archive; then the tab "Lotti".
        WindowSuite suite;
        suite.addImportFile("corvestra/completo.xml");
        auto window = open(suite);
        window->findChild<QCheckBox*>(QStringLiteral("ChkSoloTest"))->setChecked(false);
        selectFile(*window, QStringLiteral("completo.xml"));
        for (const int questions : {1, 2}) {
            for (int i = 0; i < questions; ++i) answers.answerNext(QMessageBox::Yes);
            QTest::mouseClick(window->findChild<QPushButton*>(QStringLiteral("Cmd_Importa_0")), Qt::LeftButton);
            crv::test::waitFor([&] { return !window->importInCorso(); });
        }
        window->findChild<crv::window::TabControl*>(QStringLiteral("SSTab1"))->setCurrentIndex(2);
        window->findChild<QTableWidget*>(QStringLiteral("Lista_Lotti"))->selectRow(0);
        save(*window, "lotti");

        // Common notes for the cases imported today (the box "Affido"
        // holds today's date): the question names how many and the filter;
        // No, its default, leaves the memos as they are.
        {
            const auto database = crv::db::Database::open(
                crv::db::parseConnString(crv::db::sqliteConnString(suite.database().string())));
            database->execute(QStringLiteral("INSERT INTO notecomuni (posizione, \"note comuni\") SELECT posizione, "
                                             "'Nota comune della pratica ' || posizione FROM \"Tabella Pratiche\""));
        }
        window->findChild<crv::window::TabControl*>(QStringLiteral("SSTab1"))->setCurrentIndex(1);
        QTest::mouseClick(window->findChild<QPushButton*>(QStringLiteral("cmd_Varie_0")), Qt::LeftButton);
        crv::test::waitFor([&] { return !window->varieInCorso(); });
    }
}

}  // namespace

int main(int argc, char** argv)
{
    const crv::window::CartellaRuntime runtime;  // as the program does
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("crvxml"));
    crv::window::installaTraduzioneQt();  // as the program does
    if (argc < 2) {
        std::fprintf(stderr, "Uso: crvxml-screenshots CARTELLA [SUFFISSO]\n");
        return 2;
    }
    outDir = argv[1];
    if (argc > 2) suffix = argv[2];
    std::filesystem::create_directories(outDir);
    shots();
    return failures == 0 ? 0 : 1;
}
