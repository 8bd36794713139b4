#pragma once
// The file list (File1): the files of one folder whose names match the
// pattern, sorted by name. It follows the folder while the window is open:
// files copied in, renamed or removed show up without a restart. The
// system's change notices come only for changes made on this machine, so on
// a shared network folder the list also reads the folder again every few
// seconds and whenever the window comes back to the front.
#include <QFileSystemWatcher>
#include <QListWidget>
#include <QString>
#include <QTimer>

namespace crv::window {

class FileList : public QListWidget {
    Q_OBJECT
public:
    explicit FileList(QWidget* parent = nullptr);

    // Lists `folder`; returns an Italian description of the failure (folder
    // missing, not a folder, not readable), empty on success. On failure the
    // list keeps its previous folder.
    QString setFolder(const QString& folder);
    // The folder listed.
    const QString& folder() const { return folder_; }

    // The patterns of the list ("*.xml;GM_XML;*.TXT"); see file_pattern.h.
    void setPattern(const QString& pattern);
    // The patterns in use.
    const QString& pattern() const { return pattern_; }

    // Reads the folder again, keeping the selected name when it is still
    // there; a list whose names did not change is left as it is (and where
    // the operator scrolled it).
    void refresh();

    // The selected file's name, or empty.
    QString selectedName() const;
    // The names listed, in order.
    QStringList shownNames() const;
    // The full path of a name in the folder.
    QString pathOf(const QString& name) const;

signals:
    // The selected file is listed no more (the filter hides it, or it left
    // the folder): nothing is selected now.
    void sceltaTolta();

protected:
    bool event(QEvent* event) override;

private:
    QString folder_;
    QString pattern_ = QStringLiteral("*");
    QFileSystemWatcher watcher_;
    QTimer settle_;  // gathers a burst of folder changes into one refresh
    QTimer poll_;    // reads the folder again now and then (changes made elsewhere)
};

}  // namespace crv::window
