#pragma once
// The window's message boxes: Italian texts with the OK button only and the
// program's name as title; the import confirmation with Yes and No.
#include <QString>

class QWidget;

namespace crv::window {

// From now on no box is shown, as the program ends on a signal and nobody
// may be there to answer: a message goes to standard error, a question is
// answered No; the dialogs open now are closed as with Esc (No, Annulla).
// False: boxes again (the window that ended is gone).
void senzaFinestreDiMessaggio(bool senza = true);

// Shows `text` with an OK button and waits for it.
void mostraMessaggio(QWidget* parent, const QString& text);

// "Confermi importazione?" and, on a line of its own, the file and what the
// run will do with the archive (a test run leaves it as it is); Yes and No,
// No the default; true on Yes.
bool confermaImportazione(QWidget* parent, const QString& file, bool prova);

// A question about facts the operator must weigh ("Importare comunque?",
// "Annullare il lotto?"), the facts above it; Yes and No, No the default;
// true on Yes.
bool domandaSiNo(QWidget* parent, const QString& fatti, const QString& domanda);
// A question that says its facts itself; Yes and No, No the default.
bool domandaSiNo(QWidget* parent, const QString& domanda);

}  // namespace crv::window
