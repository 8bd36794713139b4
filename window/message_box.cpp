#include "window/message_box.h"

#include <atomic>
#include <cstdio>

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QMessageBox>

namespace crv::window {

namespace {

std::atomic<bool> senzaFinestre{false};

QString title()
{
    return QCoreApplication::applicationName();
}

}  // namespace

void senzaFinestreDiMessaggio(bool senza)
{
    senzaFinestre = senza;
    if (!senza) return;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* dialog = qobject_cast<QDialog*>(widget); dialog && dialog->isVisible() && dialog->isModal())
            dialog->reject();
}

void mostraMessaggio(QWidget* parent, const QString& text)
{
    if (senzaFinestre) {
        std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, title(), text, QMessageBox::Ok, parent);
    box.setObjectName(QStringLiteral("Messaggio"));
    box.setDefaultButton(QMessageBox::Ok);
    box.exec();
}

namespace {

bool siNo(QWidget* parent, QMessageBox::Icon icon, const QString& text, const QString& name)
{
    if (senzaFinestre) return false;
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
