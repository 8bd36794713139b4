// Takes a picture of the window in each of its states, for a person to look
// at: start-up, a test import with Dettagli, the bank presentation, the text
// mode, the invoice page's place and the tab "Varie". Run by
// scripts/screenshots under a virtual X server; the PNGs go to the folder
// given as the first argument, named with the suffix given as the second.
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include <QApplication>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QTest>

#include "support/message_boxes.h"
#include "support/window_suite.h"
#include "window/file_list.h"
#include "window/main_window.h"
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
    // Pixel for pixel: the grab of a scaled screen has a device pixel ratio
    // above 1, which drawn at a point would shrink it to its logical size.
    painter.drawPixmap(QRect(0, strip, shot.width(), shot.height()), shot);
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

void shots()
{
    MessageBoxAnswerer answers;
    answers.onShown = [](QMessageBox& box) {
        if (box.text().startsWith(QStringLiteral("Confermi"))) save(box, "conferma");
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
        suite.writeInstallation("fattura_elettronica=si\r\n");
        auto window = open(suite);
        save(*window, "fattura_prima");
        selectFile(*window, QStringLiteral("completo.xml"));
        QTest::mouseClick(window->findChild<QPushButton*>(QStringLiteral("Cmd_Importa_3")), Qt::LeftButton);
        QTest::qWait(300);
        save(*window, "fattura");
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
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("crvxml"));
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
