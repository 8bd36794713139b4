#pragma once
// The complete invoice view in the window (shown by "Fatt.Elett" when
// "Completa" is checked): the A4 sheets one below the other in a scrolling
// view, as the PNG shows them, scaled to the view's width, with a button to
// save each attachment. Escape hides it (SheetView).
#include <optional>
#include <vector>

#include <QString>

#include "invoice/invoice_values.h"
#include "numbers/regional.h"
#include "window/sheet_view.h"

namespace crv {

class FullInvoiceView : public SheetView {
    Q_OBJECT

public:
    explicit FullInvoiceView(QWidget* parent = nullptr);

    // Reads the invoice at path and shows its sheets, scrolled to the top.
    // On failure returns the message for the operator and keeps what it showed.
    std::optional<QString> mostraFattura(const QString& path, const Regional& regional = Regional::system());

    // The sheets shown, and pixels per point on the screen.
    const std::vector<Sheet>& fogli() const;
    double scala() const;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void salvaAllegato(int index);
    void adattaScala();

    std::vector<Allegato> allegati_;  // the file's attachments, in the anchors' order
};

}  // namespace crv
