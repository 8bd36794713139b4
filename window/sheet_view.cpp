#include "window/sheet_view.h"

#include <QHelpEvent>
#include <QKeyEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QToolTip>

#include <algorithm>
#include <cmath>
#include <memory>

namespace crv {

SheetView::SheetView(const QString& name, QWidget* parent) : QScrollArea(parent)
{
    setObjectName(name);
    setFocusPolicy(Qt::StrongFocus);
    setWidgetResizable(false);
    auto canvas = std::make_unique<SheetCanvas>();
    canvas_ = canvas.get();
    setWidget(canvas.release());  // the scroll area owns it from here
}

void SheetView::inCima()
{
    verticalScrollBar()->setValue(0);
    horizontalScrollBar()->setValue(0);
}

void SheetView::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && isVisible()) {
        hide();
        emit chiusa();
        event->accept();
        return;
    }
    QScrollArea::keyPressEvent(event);  // arrows and page keys scroll
}

SheetCanvas::SheetCanvas(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);  // every pixel is painted: no background fill first
    setScale(scale_);
}

void SheetCanvas::setSheets(std::vector<Sheet> sheets, const Style& style, int attachments)
{
    sheets_ = std::move(sheets);
    style_ = style;
    for (QPushButton* b : buttons_) delete b;
    buttons_.clear();
    for (int i = 0; i < attachments; ++i) {
        auto button = std::make_unique<QPushButton>(QStringLiteral("Salva"), this);
        button->setObjectName(QStringLiteral("Salva_Allegato_%1").arg(i));
        button->setToolTip(QStringLiteral("Salva l'allegato in una cartella, senza sostituire file esistenti"));
        button->setVisible(false);
        buttons_.push_back(button.release());
    }
    setScale(scale_);
}

void SheetCanvas::setScale(double scale)
{
    scale_ = scale;
    const SheetStack stack = stackOf(sheets_, style_, scale_);
    // A widget cannot be taller than Qt allows; sheets beyond it are cut there.
    setFixedSize(stack.width, static_cast<int>(std::clamp<long long>(stack.height(), 1, QWIDGETSIZE_MAX)));
    placeButtons();
    update();
}

void SheetCanvas::placeButtons()
{
    const SheetStack stack = stackOf(sheets_, style_, scale_);
    for (std::size_t k = 0; k < sheets_.size(); ++k) {
        for (const DrawOp& op : sheets_[k].ops) {
            const auto* a = std::get_if<AnchorOp>(&op);
            if (a == nullptr || a->index < 0 || static_cast<std::size_t>(a->index) >= buttons_.size()) continue;
            QPushButton* b = buttons_[static_cast<std::size_t>(a->index)];
            const int height = std::max(b->sizeHint().height(), static_cast<int>(std::lround(a->height * scale_)));
            b->setGeometry(static_cast<int>(std::lround(a->x * scale_)),
                           static_cast<int>(std::lround(stack.top(k) + a->y * scale_)),
                           static_cast<int>(std::lround(a->width * scale_)), height);
            b->setVisible(true);
        }
    }
}

void SheetCanvas::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.setClipRect(event->rect());
    paintSheets(painter, sheets_, style_, scale_, event->rect());
}

bool SheetCanvas::event(QEvent* event)
{
    if (event->type() != QEvent::ToolTip) return QWidget::event(event);
    const auto* const help = static_cast<QHelpEvent*>(event);
    const SheetStack stack = stackOf(sheets_, style_, scale_);
    const auto k = static_cast<std::size_t>(std::max(0, help->pos().y()) / (stack.sheet + kSheetGapPixels));
    const QString texts =
        k < sheets_.size()
            ? textsNotShownWhole(sheets_[k], std::floor((help->pos().y() - stack.top(k)) / scale_ / style_.unitY), style_)
            : QString();
    if (texts.isEmpty()) {
        QToolTip::hideText();
        event->ignore();
    } else {
        QToolTip::showText(help->globalPos(), texts, this);
    }
    return true;
}

}  // namespace crv
