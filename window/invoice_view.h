#pragma once
// The invoice page in the window (`Pic_Fatt`): a scrolling view of the drawn
// page. The window places it, shows it and calls mostraFattura when
// "Fatt.Elett" is pressed; Escape hides it again and says so with chiusa(),
// upon which the window shows its listing. A file of several documents (a
// batch) shows one at a time, with a bar above the page to move between them.
#include <cstddef>
#include <optional>
#include <vector>

#include <QScrollArea>
#include <QString>

#include "invoice/page_ops.h"
#include "numbers/regional.h"

class QLabel;
class QLineEdit;
class QToolButton;

namespace crv {

class InvoicePageCanvas;

// The view `Pic_Fatt`: reads an invoice, shows its page, closes on Escape.
class InvoiceView : public QScrollArea {
    Q_OBJECT

public:
    explicit InvoiceView(QWidget* parent = nullptr);

    // Reads the invoice at path and shows the page of its first document at
    // this line spacing, scrolled to the top. On failure returns the message
    // for the operator ("NON TROVO IL FILE", "Errore nel file "..., "NON
    // TROVO HEADER.") and keeps the page it showed before.
    std::optional<QString> mostraFattura(const QString& path, double interlinea,
                                         const Regional& regional = Regional::system());

    // The line spacing typed in `Txt_Interlinea`, read as each press of the
    // button reads it: a text whose leading number is 0 or less becomes "18".
    static double interlineaDa(QLineEdit& txtInterlinea);

    // The page shown (its drawing operations) and its line spacing.
    const InvoicePage& pagina() const;
    double interlinea() const;
    // The documents of the file shown, and which of them (from 0) is on the page.
    std::size_t documenti() const;
    std::size_t documento() const;
    // Shows document i (from 0) of the file, scrolled to the top; an index
    // beyond the last changes nothing. Ctrl+PgGiù and Ctrl+PgSu, and the
    // bar's buttons, do the same for the next and the previous one.
    void mostraDocumento(std::size_t i);
    // Whether the last file asked for was no invoice at all ("NON TROVO HEADER.").
    bool nonEraUnaFattura() const { return nonEraUnaFattura_; }

signals:
    // Escape was pressed: the view has hidden itself.
    void chiusa();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // The bar over the page: shown only for a file of several documents.
    void aggiornaBarra();
    void collocaBarra();

    InvoicePageCanvas* canvas_;  // owned by the scroll area
    QWidget* barra_;             // children of this view
    QToolButton* precedente_;
    QLabel* numero_;
    QToolButton* successivo_;
    bool nonEraUnaFattura_ = false;
};

// The drawn page at its own size in pixels; the scroll area moves it.
class InvoicePageCanvas : public QWidget {
    Q_OBJECT

public:
    explicit InvoicePageCanvas(QWidget* parent = nullptr);
    // Replaces the pages (one per document) and shows the first.
    void setPages(std::vector<InvoicePage> pages, double interlinea);
    // Shows page i and takes its size.
    void showPage(std::size_t i);
    const InvoicePage& page() const { return pages_.at(current_); }
    std::size_t pageCount() const { return pages_.size(); }
    std::size_t current() const { return current_; }
    double interlinea() const { return interlinea_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    // The tool tip of a row holds its texts that the page does not show whole, whole.
    bool event(QEvent* event) override;

private:
    std::vector<InvoicePage> pages_{InvoicePage{}};
    std::size_t current_ = 0;
    double interlinea_ = 18;
    double textDepth_ = 0;  // pixels from a text's top to the bottom of its tallest line
};

}  // namespace crv
