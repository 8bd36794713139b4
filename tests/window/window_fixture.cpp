#include "window_fixture.h"

#include <QStatusBar>
#include <QTest>

#include "db/connection_string.h"
#include "db/import_lock.h"

#include "window/file_list.h"
#include "window/listing_view.h"

namespace crv::test {

bool WindowTest::start(const std::string& program)
{
    window = std::make_unique<window::MainWindow>(suite.config(program));
    if (!window->Form_Load()) return false;
    window->show();
    window->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
    return true;
}

QLineEdit* WindowTest::scheda(int index) const
{
    return find<QLineEdit>(("Scheda_" + std::to_string(index)).c_str());
}

void WindowTest::click(const char* button) const
{
    QPushButton* const b = find<QPushButton>(button);
    if (b) QTest::mouseClick(b, Qt::LeftButton);
}

void WindowTest::selectFile(const QString& name) const
{
    auto* const files = find<window::FileList>("File1");
    const auto items = files->findItems(name, Qt::MatchExactly);
    ASSERT_FALSE(items.isEmpty()) << name.toStdString();
    files->scrollToItem(items.front());
    QTest::mouseClick(files->viewport(), Qt::LeftButton, {}, files->visualItemRect(items.front()).center());
}

void WindowTest::importWith(const char* button, QMessageBox::StandardButton answer)
{
    answers.answerNext(answer);
    click(button);
    EXPECT_TRUE(waitFor([this] { return !window->importInCorso(); }, 120000)) << "the run did not end";
}

QStringList WindowTest::listing() const
{
    auto* const list = find<window::ListingView>("List1");
    QStringList lines;
    for (std::int64_t i = 0; i < list->lineCount(); ++i) lines.push_back(list->line(i));
    return lines;
}

std::unique_ptr<db::Database> WindowTest::holdArchive() const
{
    auto holder = db::Database::open(db::parseConnString(db::sqliteConnString(suite.database().string())));
    db::beginExclusive(*holder, {});
    return holder;
}

bool WindowTest::saysItWaits(const std::function<bool()>& running) const
{
    auto* const stato = find<QStatusBar>("Stato");
    const QString waits = QString::fromUtf8(db::kAttesaAltraImportazione);
    waitFor([&] { return stato->currentMessage() == waits || !running(); });
    return stato->currentMessage() == waits;
}

}  // namespace crv::test
