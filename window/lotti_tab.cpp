#include "window/lotti_tab.h"

#include <memory>

#include <QBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>

#include "window/twips.h"
#include "window/window_controls.h"

namespace crv::window {

namespace {

enum Colonna { kLotto, kImportato, kAffido, kScad, kMandato, kIntervento, kNumPratiche, kOggi, kFile, kColonne };

QTableWidgetItem* cella(const QString& text, bool right = false)
{
    auto item = std::make_unique<QTableWidgetItem>(text);
    item->setTextAlignment((right ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
    return item.release();
}

}  // namespace

void buildLottiTab(QWidget* page, const Twips& t, Controls& c)
{
    // The page covers the tab row too: the list starts below it, as the
    // other tabs' controls do.
    auto* const column = std::make_unique<QVBoxLayout>(page).release();
    column->setContentsMargins(t.px(120), t.px(480), t.px(120), t.px(120));

    c.Lista_Lotti = std::make_unique<QTableWidget>(0, kColonne, page).release();
    c.Lista_Lotti->setObjectName(QStringLiteral("Lista_Lotti"));
    c.Lista_Lotti->setHorizontalHeaderLabels({QStringLiteral("Lotto"), QStringLiteral("Importato il"),
                                              QStringLiteral("Affido"), QStringLiteral("Scad."),
                                              QStringLiteral("Mandato"), QStringLiteral("Intervento"),
                                              QStringLiteral("NumPratiche"), QStringLiteral("Pratiche oggi"),
                                              QStringLiteral("File")});
    c.Lista_Lotti->setSelectionBehavior(QAbstractItemView::SelectRows);
    c.Lista_Lotti->setSelectionMode(QAbstractItemView::SingleSelection);
    c.Lista_Lotti->setEditTriggers(QAbstractItemView::NoEditTriggers);
    c.Lista_Lotti->verticalHeader()->setVisible(false);
    c.Lista_Lotti->horizontalHeader()->setStretchLastSection(true);
    column->addWidget(c.Lista_Lotti, 1);

    auto* const row = std::make_unique<QHBoxLayout>().release();
    column->addLayout(row);
    c.Cmd_Annulla_Lotto = std::make_unique<QPushButton>(QStringLiteral("Annulla lotto"), page).release();
    c.Cmd_Annulla_Lotto->setObjectName(QStringLiteral("Cmd_Annulla_Lotto"));
    c.Cmd_Annulla_Lotto->setToolTip(QStringLiteral(
        "Elimina le pratiche del lotto scelto e le loro rate; la riga del lotto resta con NumPratiche 0"));
    c.Cmd_Annulla_Lotto->setMinimumSize(t.px(2400), t.px(375));
    row->addWidget(c.Cmd_Annulla_Lotto);
    c.lblLotti = std::make_unique<QLabel>(page).release();
    c.lblLotti->setObjectName(QStringLiteral("lblLotti"));
    c.lblLotti->setWordWrap(true);
    row->addWidget(c.lblLotti, 1);
}

void mostraLotti(const Controls& c, const std::vector<db::Lotto>& lotti, const std::map<std::int64_t, std::string>& files,
                 const Regional& regional, const QString& problema)
{
    QTableWidget* const list = c.Lista_Lotti;
    const qint64 scelto = lottoScelto(c);
    list->setRowCount(0);
    list->setRowCount(static_cast<int>(lotti.size()));
    for (int r = 0; r < static_cast<int>(lotti.size()); ++r) {
        const db::Lotto& l = lotti[static_cast<std::size_t>(r)];
        auto text = [](const std::string& s) { return QString::fromStdString(s); };
        list->setItem(r, kLotto, cella(QString::number(l.contatore), true));
        list->setItem(r, kImportato, cella(text(db::testoDataOra(l.dataImportazione, regional))));
        list->setItem(r, kAffido, cella(text(db::testoData(l.dataAffido, regional))));
        list->setItem(r, kScad, cella(text(db::testoData(l.scadAffido, regional))));
        list->setItem(r, kMandato, cella(l.codMandante));
        list->setItem(r, kIntervento, cella(l.tipoIntervento));
        list->setItem(r, kNumPratiche, cella(l.numPratiche ? QString::number(*l.numPratiche) : QString(), true));
        list->setItem(r, kOggi, cella(QString::number(l.praticheOggi), true));
        const auto file = files.find(l.contatore);
        list->setItem(r, kFile, cella(file == files.end() ? QString() : text(file->second)));
        if (l.contatore == scelto) list->selectRow(r);
    }
    list->resizeColumnsToContents();
    if (!problema.isEmpty())
        c.lblLotti->setText(problema);
    else if (lotti.empty())
        c.lblLotti->setText(QStringLiteral("Nessun lotto di importazione in TabellaLottiImp"));
    else
        c.lblLotti->setText(QStringLiteral("%1 lotti").arg(lotti.size()));
}

qint64 lottoScelto(const Controls& c)
{
    const QList<QTableWidgetItem*> chosen = c.Lista_Lotti->selectedItems();
    if (chosen.isEmpty()) return 0;
    const QTableWidgetItem* const key = c.Lista_Lotti->item(chosen.front()->row(), kLotto);
    return key ? key->text().toLongLong() : 0;
}

}  // namespace crv::window
