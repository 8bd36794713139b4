#pragma once
// The invoice page in the window (`Pic_Fatt`): a scrolling view of the drawn
// page. The window places it, shows it and calls mostraFattura when
// "Fatt.Elett" is pressed; Escape hides it again and says so with chiusa(),
// upon which the window shows its listing.
#include <optional>

#include <QScrollArea>
#include <QString>

#include "invoice/page_ops.h"
#include "numbers/regional.h"

class QLineEdit;

namespace crv {

class InvoicePageCanvas;

// The view `Pic_Fatt`: reads an invoice, shows its page, closes on Escape.
class InvoiceView : public QScrollArea {
    Q_OBJECT

public:
    explicit InvoiceView(QWidget* parent = nullptr);

    // Reads the invoice at path and shows its page at this line spacing,
    // scrolled to the top. On failure returns the message for the operator
    // ("NON TROVO IL FILE", "Errore nel file "..., "NON TROVO HEADER.") and
    // keeps the page it showed before.
    std::optional<QString> mostraFattura(const QString& path, double interlinea,
                                         const Regional& regional = Regional::system());

    // The line spacing typed in `Txt_Interlinea`, read as each press of the
    // button reads it: a text whose leading number is 0 or less becomes "18".
    static double interlineaDa(QLineEdit& txtInterlinea);

    // The page shown (its drawing operations) and its line spacing.
    const InvoicePage& pagina() const;
    double interlinea() const;
    // Whether the last file asked for was no invoice at all ("NON TROVO HEADER.").
    bool nonEraUnaFattura() const { return nonEraUnaFattura_; }

signals:
    // Escape was pressed: the view has hidden itself.
    void chiusa();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    InvoicePageCanvas* canvas_;  // owned by the scroll area
    bool nonEraUnaFattura_ = false;
};

// The drawn page at its own size in pixels; the scroll area moves it.
class InvoicePageCanvas : public QWidget {
    Q_OBJECT

public:
    explicit InvoicePageCanvas(QWidget* parent = nullptr);
    // Replaces the page and takes the page's size.
    void setPage(InvoicePage page, double interlinea);
    const InvoicePage& page() const { return page_; }
    double interlinea() const { return interlinea_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    // The tool tip of a row holds its texts that the page cuts, whole.
    bool event(QEvent* event) override;

private:
    InvoicePage page_;
    double interlinea_ = 18;
    double textDepth_ = 0;  // pixels from a text's top to the bottom of its tallest line
};

}  // namespace crv
