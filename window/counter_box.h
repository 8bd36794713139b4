#pragma once
// The counter boxes Scheda(5) to Scheda(9): a number is shown whole or not at
// all. A box keeps its design size, so a number too wide for it is drawn in a
// smaller face, down to 6 points; one too wide even then is not shown ("###",
// as a spreadsheet marks a cell too narrow for its number). The tool tip
// always holds the number whole.
#include <QString>

class QLineEdit;

namespace crv::window {

// Remembers the box's face as the size the numbers are shown at when they fit.
void preparaContatore(QLineEdit& box);

// Shows `number` in the box, whole, as large as the box allows.
void mostraContatore(QLineEdit& box, const QString& number);

}  // namespace crv::window
