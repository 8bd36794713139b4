#pragma once
// Common notes to memo, the other button of the tab "Varie": each chosen
// case's first common note is appended to the case's memo, unless the memo
// already ends with it (an earlier run appended it). The whole run is one
// transaction: a run that fails or is stopped changes no memo. The memos are
// read in one stream and written back in bulk with one statement, so that a
// distant server costs a few waits however many memos change.
#include <string>

#include <QString>
#include <QVariant>

#include "app/suite_root.h"
#include "numbers/regional.h"
#include "tools/varie.h"

namespace crv::db {
class Database;
}

namespace crv::tools {

// What a run does: append, or only say what it would append (nothing written).
enum class ModoNote { Accoda, Prova };

// Opens the case database as the window does (ApriDB, "Access" box) and runs.
RisultatoVarie accodaNoteComuni(const SuitePaths& paths, bool usaAccess, const FiltroPratiche& filtro,
                                const Regional& regional, const Avanzamento& avanzamento = {},
                                ModoNote modo = ModoNote::Accoda);

// The same on a database already open (no transaction of the caller's may be open).
RisultatoVarie accodaNoteComuni(db::Database& db, const FiltroPratiche& filtro, const Regional& regional,
                                const Avanzamento& avanzamento = {}, ModoNote modo = ModoNote::Accoda);

// The question the window asks before it appends, from a trying run's
// result: "Accodare la nota comune al memo di 1.234 pratiche (Affido dal
// 07/12/2026)?".
std::string domandaNoteComuni(const RisultatoVarie& prova, const FiltroPratiche& filtro, const Regional& regional);
// What the window says instead when the trying run found nothing to append.
std::string nienteDaAccodare(const RisultatoVarie& prova);

// Whether `memo` already ends with `nota` as this utility appends it: the
// note alone, or after a line end; blanks and line ends after either aside
// (unless the note is nothing but those). A Null memo never does.
bool notaGiaAccodata(const QVariant& memo, const QString& nota);

}  // namespace crv::tools
