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

bool confermaImportazione(QWidget* parent)
{
    QMessageBox box(QMessageBox::Critical, title(), QStringLiteral("Confermi importazione?"),
                    QMessageBox::Yes | QMessageBox::No, parent);
    box.setObjectName(QStringLiteral("Conferma"));
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    box.button(QMessageBox::Yes)->setText(QStringLiteral("Sì"));
    box.button(QMessageBox::No)->setText(QStringLiteral("No"));
    return box.exec() == QMessageBox::Yes;
}

}  // namespace crv::window
