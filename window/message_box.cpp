#include "window/message_box.h"

#include <QCoreApplication>
#include <QAbstractButton>
#include <QMessageBox>

namespace crv::window {

namespace {

QString title()
{
    return QCoreApplication::applicationName();
}

}  // namespace

void mostraMessaggio(QWidget* parent, const QString& text)
{
    QMessageBox box(QMessageBox::NoIcon, title(), text, QMessageBox::Ok, parent);
    box.setObjectName(QStringLiteral("Messaggio"));
    box.setDefaultButton(QMessageBox::Ok);
    box.exec();
}

namespace {

bool siNo(QWidget* parent, QMessageBox::Icon icon, const QString& text, const QString& name)
{
    QMessageBox box(icon, title(), text, QMessageBox::Yes | QMessageBox::No, parent);
    box.setObjectName(name);
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    box.button(QMessageBox::Yes)->setText(QStringLiteral("Sì"));
    box.button(QMessageBox::No)->setText(QStringLiteral("No"));
    return box.exec() == QMessageBox::Yes;
}

}  // namespace

bool confermaImportazione(QWidget* parent, const QString& file, bool prova)
{
    const QString what = prova ? QStringLiteral("prova: l'archivio non sarà modificato")
                               : QStringLiteral("importazione nell'archivio");
    return siNo(parent, QMessageBox::Question,
                QStringLiteral("Confermi importazione?\n%1 — %2").arg(file, what), QStringLiteral("Conferma"));
}

bool domandaSiNo(QWidget* parent, const QString& fatti, const QString& domanda)
{
    return siNo(parent, QMessageBox::Warning, fatti + QStringLiteral("\n\n") + domanda, QStringLiteral("Domanda"));
}

bool domandaSiNo(QWidget* parent, const QString& domanda)
{
    return siNo(parent, QMessageBox::Question, domanda, QStringLiteral("Domanda"));
}

}  // namespace crv::window
