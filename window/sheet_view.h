#pragma once
// What the invoice page and the complete view share in the window: sheets of
// drawing operations on a canvas, as the PNG shows them, in a scrolling view
// that Escape hides, saying so with chiusa(), upon which the window shows
// its listing.
#include <vector>

#include <QScrollArea>

#include "invoice/sheet_painter.h"

class QPushButton;

namespace crv {

class SheetCanvas;

class SheetView : public QScrollArea {
    Q_OBJECT

public:
    // Whether the last file asked for was no invoice at all ("NON TROVO HEADER.").
    bool nonEraUnaFattura() const { return nonEraUnaFattura_; }

signals:
    // Escape was pressed: the view has hidden itself.
    void chiusa();

protected:
    SheetView(const QString& name, QWidget* parent);
    void keyPressEvent(QKeyEvent* event) override;
    // Scrolled back to the top.
    void inCima();

    SheetCanvas* canvas_;  // owned by the scroll area
    bool nonEraUnaFattura_ = false;
};

// The sheets one below the other at a scale; the save buttons of the
// attachments sit on their anchors, and the tool tip of a row holds its
// texts that the sheet does not show whole, whole.
class SheetCanvas : public QWidget {
    Q_OBJECT

public:
    explicit SheetCanvas(QWidget* parent = nullptr);
    // Replaces the sheets, and the save buttons with one for each of
    // `attachments` anchors.
    void setSheets(std::vector<Sheet> sheets, const Style& style, int attachments = 0);
    // Pixels per dot.
    void setScale(double scale);
    const std::vector<Sheet>& sheets() const { return sheets_; }
    const Style& style() const { return style_; }
    double scale() const { return scale_; }
    // The save button of attachment `index`, made for it.
    const std::vector<QPushButton*>& buttons() const { return buttons_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;

private:
    void placeButtons();

    std::vector<Sheet> sheets_;
    Style style_;
    double scale_ = 1;
    std::vector<QPushButton*> buttons_;  // children of the canvas
};

}  // namespace crv
