#pragma once
// The invoice page in the window (`Pic_Fatt`): a scrolling view of the drawn
// page. The window places it, shows it and calls mostraFattura when
// "Fatt.Elett" is pressed; Escape hides it again (SheetView). A file of
// several documents (a batch) shows one at a time, with a bar above the page
// to move between them.
#include <cstddef>
#include <optional>
#include <vector>

#include <QString>

#include "numbers/regional.h"
#include "window/sheet_view.h"

class QLabel;
class QLineEdit;
class QToolButton;

namespace crv {

// The view `Pic_Fatt`: reads an invoice, shows its page, closes on Escape.
class InvoiceView : public SheetView {
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
    const Sheet& pagina() const;
    double interlinea() const { return interlinea_; }
    // The documents of the file shown, and which of them (from 0) is on the page.
    std::size_t documenti() const { return pagine_.size(); }
    std::size_t documento() const { return documento_; }
    // Shows document i (from 0) of the file, scrolled to the top; an index
    // beyond the last changes nothing. Ctrl+PgGiù and Ctrl+PgSu, and the
    // bar's buttons, do the same for the next and the previous one.
    void mostraDocumento(std::size_t i);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // The bar over the page: shown only for a file of several documents.
    void aggiornaBarra();
    void collocaBarra();

    std::vector<Sheet> pagine_{Sheet{}};  // one per document
    std::size_t documento_ = 0;
    double interlinea_ = 18;
    QWidget* barra_;  // children of this view
    QToolButton* precedente_;
    QLabel* numero_;
    QToolButton* successivo_;
};

}  // namespace crv
