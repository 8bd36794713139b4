#include "window/file_list.h"

#include <algorithm>

#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QSignalBlocker>

#include "window/file_pattern.h"

namespace crv::window {

FileList::FileList(QWidget* parent) : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    settle_.setSingleShot(true);
    settle_.setInterval(100);
    connect(&settle_, &QTimer::timeout, this, &FileList::refresh);
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, [this] { settle_.start(); });
    poll_.setInterval(3000);
    connect(&poll_, &QTimer::timeout, this, &FileList::refresh);
}

QString FileList::setFolder(const QString& folder)
{
    const QFileInfo info(folder);
    if (!info.exists()) return QStringLiteral("Cartella non trovata: %1").arg(QDir::toNativeSeparators(folder));
    if (!info.isDir()) return QStringLiteral("Non è una cartella: %1").arg(QDir::toNativeSeparators(folder));
    if (!info.isReadable() || !info.isExecutable())
        return QStringLiteral("Accesso negato alla cartella %1").arg(QDir::toNativeSeparators(folder));

    const QString canonical = QDir(folder).absolutePath();
    if (!folder_.isEmpty()) watcher_.removePath(folder_);
    folder_ = canonical;
    watcher_.addPath(folder_);
    poll_.start();
    refresh();
    return {};
}

void FileList::setPattern(const QString& pattern)
{
    pattern_ = pattern;
    refresh();
}

void FileList::refresh()
{
    QStringList names;
    if (!folder_.isEmpty()) {
        const QStringList all = QDir(folder_).entryList(QDir::Files, QDir::Unsorted);
        for (const QString& name : all)
            if (matchesPattern(name, pattern_)) names.push_back(name);
    }
    // By name without regard to case; names that differ only in case (possible
    // here, unlike on the suite's old drives) in a fixed order.
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        const int folded = QString::compare(a, b, Qt::CaseInsensitive);
        return folded != 0 ? folded < 0 : a < b;
    });
    if (names == shownNames()) return;

    const QString selected = selectedName();
    bool stillSelected = selected.isEmpty();
    {
        const QSignalBlocker block(this);
        clear();
        for (const QString& name : names) {
            auto item = std::make_unique<QListWidgetItem>(name);
            const bool wasSelected = name == selected;
            QListWidgetItem* const shown = item.release();
            addItem(shown);
            if (wasSelected) {
                setCurrentItem(shown);
                stillSelected = true;
            }
        }
    }
    if (!stillSelected) emit sceltaTolta();
}

QStringList FileList::shownNames() const
{
    QStringList names;
    names.reserve(count());
    for (int i = 0; i < count(); ++i) names.push_back(item(i)->text());
    return names;
}

bool FileList::event(QEvent* event)
{
    // Back to the front (after copying files in with the file manager, say):
    // the folder is read again at once.
    if (event->type() == QEvent::WindowActivate) refresh();
    return QListWidget::event(event);
}

QString FileList::selectedName() const
{
    const QListWidgetItem* const item = currentItem();
    return item && item->isSelected() ? item->text() : QString();
}

QString FileList::pathOf(const QString& name) const
{
    return QDir(folder_).filePath(name);
}

}  // namespace crv::window
