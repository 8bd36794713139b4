#pragma once
// The complete invoice view in the window (shown by "Fatt.Elett" when
// "Completa" is checked): the A4 sheets one below the other in a scrolling
// view, as the PNG shows them, scaled to the view's width, with a button to
// save each attachment. Escape hides it and says so with chiusa().
#include <optional>
#include <vector>

#include <QScrollArea>
#include <QString>

#include "invoice/invoice_values.h"
#include "invoice/sheet_ops.h"
#include "numbers/regional.h"

class QPushButton;

namespace crv {

class SheetCanvas;

class FullInvoiceView : public QScrollArea {
    Q_OBJECT

public:
    explicit FullInvoiceView(QWidget* parent = nullptr);

    // Reads the invoice at path and shows its sheets, scrolled to the top.
    // On failure returns the message for the operator and keeps what it showed.
    std::optional<QString> mostraFattura(const QString& path, const Regional& regional = Regional::system());

    // The sheets shown, and pixels per point on the screen.
    const SheetDocument& fogli() const;
    double scala() const;
    // Whether the last file asked for was no invoice at all ("NON TROVO HEADER.").
    bool nonEraUnaFattura() const { return nonEraUnaFattura_; }

signals:
    // Escape was pressed: the view has hidden itself.
    void chiusa();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void salvaAllegato(int index);
    void adattaScala();

    SheetCanvas* canvas_;  // owned by the scroll area
    std::vector<Allegato> allegati_;  // the file's attachments, in the anchors' order
    bool nonEraUnaFattura_ = false;
};

// The sheets at a scale, one below the other; the save buttons sit on it.
class SheetCanvas : public QWidget {
    Q_OBJECT

public:
    explicit SheetCanvas(QWidget* parent = nullptr);
    // Replaces the sheets and the buttons over their anchors.
    void setDocument(SheetDocument document, int attachments);
    void setScale(double scale);
    const SheetDocument& document() const { return document_; }
    double scale() const { return scale_; }
    // The save button of attachment `index`, made for it.
    const std::vector<QPushButton*>& buttons() const { return buttons_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void placeButtons();
    double sheetTop(std::size_t k) const;

    SheetDocument document_;
    double scale_ = 1.5;
    std::vector<QPushButton*> buttons_;  // children of the canvas
};

}  // namespace crv
