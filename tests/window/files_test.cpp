// The file list: pattern, filter, the labels of a click, the double-click,
// files arriving while the window is open, and "Download".
#include <filesystem>
#include <functional>

#include <QApplication>
#include <QCheckBox>
#include <QDesktopServices>
#include <QFile>
#include <QLabel>
#include <QTest>
#include <QUrl>

#include "window/file_list.h"
#include "window_fixture.h"

namespace crv::test {
namespace {

// Receives what the window asks the desktop to open.
class OpenedUrls : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls.push_back(url); }
};

class Files : public WindowTest {
protected:
    void SetUp() override
    {
        for (const char* name : {"a.xml", "B.XML", "c.TXT", "d.txt", "GM_XML", "gm_xml", "e.csv", "GM_XML.bak"})
            writeFile(suite.paths().importDir() / name, std::string(123, 'x'));
        ASSERT_TRUE(start());
        files = find<window::FileList>("File1");
    }
    QStringList shown() const
    {
        QStringList names;
        for (int i = 0; i < files->count(); ++i) names.push_back(files->item(i)->text());
        return names;
    }
    window::FileList* files = nullptr;
};

TEST_F(Files, PatternAndFilterIgnoreCase)
{
    EXPECT_EQ(shown(), (QStringList{"a.xml", "B.XML", "c.TXT", "d.txt", "GM_XML", "gm_xml"}));
    QTest::keyClicks(scheda(10), QStringLiteral("g"));
    EXPECT_EQ(shown(), (QStringList{"GM_XML", "gm_xml", "GM_XML.bak"}));
    QTest::keyClicks(scheda(10), QStringLiteral("M_XML."));
    EXPECT_EQ(shown(), (QStringList{"GM_XML.bak"}));
    scheda(10)->clear();
    EXPECT_EQ(shown().size(), 8) << "an empty filter shows every file";
}

TEST_F(Files, ASelectionTheListNoLongerShowsIsCleared)
{
    auto* const caption = find<QLabel>("LBLFILEIMPORT");
    auto* const info = find<QLabel>("lblfileinfo");
    // What hides the selected file, or keeps it; whether it is still the one chosen.
    const struct {
        const char* what;
        std::function<void()> change;
        bool kept;
    } changes[] = {
        {"a filter that keeps it", [&] { QTest::keyClicks(scheda(10), QStringLiteral("C")); }, true},
        {"a filter that hides it", [&] { QTest::keyClicks(scheda(10), QStringLiteral("gm")); }, false},
        {"the file removed", [&] {
             std::filesystem::remove(suite.paths().importDir() / "c.TXT");
             files->refresh();
         }, false},
    };
    for (const auto& c : changes) {
        scheda(10)->clear();
        selectFile(QStringLiteral("c.TXT"));
        ASSERT_EQ(caption->text(), QStringLiteral("c.TXT")) << c.what;
        c.change();
        EXPECT_EQ(caption->text(), c.kept ? QStringLiteral("c.TXT") : QString()) << c.what;
        EXPECT_EQ(info->text().isEmpty(), !c.kept) << c.what;
        EXPECT_EQ(files->selectedName(), c.kept ? QStringLiteral("c.TXT") : QString()) << c.what;
    }
    // Nothing chosen: "Importa" names no file and asks nothing.
    scheda(10)->clear();
    click("Cmd_Importa_0");
    ASSERT_EQ(answers.texts().size(), 1);
    EXPECT_TRUE(answers.texts()[0].startsWith(QStringLiteral("Scegliere il file da importare\n")))
        << answers.texts()[0].toStdString();
    EXPECT_FALSE(window->importInCorso());
}

TEST_F(Files, ClickShowsNameDateAndSize)
{
    QFile file(QString::fromStdString((suite.paths().importDir() / "c.TXT").string()));
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.setFileTime(QDateTime(QDate(2026, 3, 5), QTime(14, 7, 9)), QFileDevice::FileModificationTime));
    file.close();
    selectFile(QStringLiteral("c.TXT"));
    EXPECT_EQ(find<QLabel>("LBLFILEIMPORT")->text(), QStringLiteral("c.TXT"));
    EXPECT_EQ(find<QLabel>("lblfileinfo")->text(), QStringLiteral("05/03/2026 14:07:09 123 bytes"));
}

TEST_F(Files, DoubleClickHandsTheFileToTheDesktop)
{
    OpenedUrls opened;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &opened, "open");
    for (const QString& name : {QStringLiteral("d.txt"), QStringLiteral("a.xml")}) {
        const auto item = files->findItems(name, Qt::MatchExactly).front();
        const QPoint at = files->visualItemRect(item).center();
        QTest::mouseClick(files->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(files->viewport(), Qt::LeftButton, {}, at);
    }
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    ASSERT_EQ(opened.urls.size(), 2);
    EXPECT_EQ(opened.urls[0].toLocalFile(), QString::fromStdString((suite.paths().importDir() / "d.txt").string()));
    EXPECT_EQ(opened.urls[1].toLocalFile(), QString::fromStdString((suite.paths().importDir() / "a.xml").string()));
}

TEST_F(Files, ADoubleClickThatNoApplicationOpensSaysSo)
{
    // A desktop without a launcher to hand the file to, nor a browser.
    TempDir empty;
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QByteArray::fromStdString(empty.path().string()));
    qunsetenv("BROWSER");
    qunsetenv("DEFAULT_BROWSER");
    const QPoint at = files->visualItemRect(files->findItems(QStringLiteral("a.xml"), Qt::MatchExactly).front()).center();
    QTest::mouseClick(files->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(files->viewport(), Qt::LeftButton, {}, at);
    qputenv("PATH", path);
    EXPECT_EQ(answers.texts(), QStringList{QStringLiteral("Nessuna applicazione predefinita per aprire il file ") +
                                           QString::fromStdString((suite.paths().importDir() / "a.xml").string())});
}

TEST_F(Files, FilesCopiedInShowUpWithoutARestart)
{
    selectFile(QStringLiteral("c.TXT"));
    writeFile(suite.paths().importDir() / "nuovo.xml", "<CORVESTRA/>");
    EXPECT_TRUE(waitFor([this] { return shown().contains(QStringLiteral("nuovo.xml")); }, 5000));
    std::filesystem::remove(suite.paths().importDir() / "a.xml");
    EXPECT_TRUE(waitFor([this] { return !shown().contains(QStringLiteral("a.xml")); }, 5000));
    EXPECT_EQ(files->selectedName(), QStringLiteral("c.TXT")) << "the selection stays";
}

TEST_F(Files, TheFolderIsReadAgainWhenTheWindowComesBack)
{
    // Copied in where the system gives no change notice (a shared network
    // folder): no event is processed between the copy and the window's return.
    writeFile(suite.paths().importDir() / "dalla_rete.xml", "<CORVESTRA/>");
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(window.get(), &activate);
    EXPECT_TRUE(shown().contains(QStringLiteral("dalla_rete.xml")));
}

TEST_F(Files, ClearingDownloadPutsTheListBackOnTheImportFolder)
{
    TempDir elsewhere;
    writeFile(elsewhere / "fattura.xml", "<x/>");
    ASSERT_TRUE(files->setFolder(QString::fromStdString(elsewhere.path().string())).isEmpty());
    auto* const download = find<QCheckBox>("Check1");
    QTest::mouseClick(download, Qt::LeftButton);  // ticked: nothing changes
    EXPECT_EQ(shown(), QStringList{"fattura.xml"});
    QTest::mouseClick(download, Qt::LeftButton);  // cleared
    EXPECT_EQ(files->folder(), QString::fromStdString(suite.paths().importDir().string()));
    EXPECT_TRUE(shown().contains(QStringLiteral("GM_XML")));
    EXPECT_TRUE(answers.texts().isEmpty());

    // The import folder gone meanwhile: the operator is told, the list stays.
    ASSERT_TRUE(files->setFolder(QString::fromStdString(elsewhere.path().string())).isEmpty());
    std::filesystem::remove_all(suite.paths().importDir());
    QTest::mouseClick(download, Qt::LeftButton);
    QTest::mouseClick(download, Qt::LeftButton);
    EXPECT_EQ(answers.texts(), QStringList{QStringLiteral("Cartella non trovata: ") +
                                           QString::fromStdString(suite.paths().importDir().string())});
    EXPECT_EQ(shown(), QStringList{"fattura.xml"});
}

}  // namespace
}  // namespace crv::test

#include "files_test.moc"
