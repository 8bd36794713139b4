#include "window/file_list.h"

#include <algorithm>

#include <QDir>
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
    const QString selected = selectedName();
    const QSignalBlocker block(this);
    clear();
    if (folder_.isEmpty()) return;
    QStringList names = QDir(folder_).entryList(QDir::Files, QDir::Unsorted);
    // By name without regard to case; names that differ only in case (possible
    // here, unlike on the suite's old drives) in a fixed order.
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        const int folded = QString::compare(a, b, Qt::CaseInsensitive);
        return folded != 0 ? folded < 0 : a < b;
    });
    for (const QString& name : names) {
        if (!matchesPattern(name, pattern_)) continue;
        auto item = std::make_unique<QListWidgetItem>(name);
        const bool wasSelected = name == selected;
        QListWidgetItem* const shown = item.release();
        addItem(shown);
        if (wasSelected) setCurrentItem(shown);
    }
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
