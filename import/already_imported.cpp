#include "import/already_imported.h"

#include <map>

#include "db/case_lookup.h"
#include "db/database.h"
#include "import/case_writer.h"

namespace crv {
namespace {

constexpr std::size_t kEsempi = 5;     // codes named in the message, of each kind
constexpr std::size_t kRigheLotti = 10;  // batches named one per line

std::string pratiche(int n)
{
    return std::to_string(n) + (n == 1 ? " pratica" : " pratiche");
}

std::string esempi(const std::vector<std::string>& codici, int totale)
{
    std::string out;
    for (const std::string& code : codici) out += (out.empty() ? "" : ", ") + code;
    if (static_cast<std::size_t>(totale) > codici.size()) out += ", ...";
    return " (" + out + ")";
}

// The note about a missing index, once per check.
std::string avvisoSenzaIndice(db::Database& db)
{
    if (db::posizioneIndicizzata(db).value_or(true)) return {};
    return "Nota: [Tabella Pratiche] non ha un indice sul campo posizione, e la ricerca delle pratiche già "
           "presenti legge ogni volta tutta la tabella. Chi amministra il database può aggiungerlo una volta "
           "per tutte con: " +
           db::istruzioneIndicePosizione(db).toStdString();
}

}  // namespace

GiaPresenti ripetuteNelFile(const CodiciFile& codici)
{
    GiaPresenti out;
    out.senzaCodice = codici.senzaCodice();
    for (std::size_t i = 0; i < codici.size(); ++i) {
        const int n = codici.pratiche(i);
        out.praticheFile += n;
        if (n < 2) continue;
        ++out.codiciRipetuti;
        out.praticheRipetute += n;
        if (out.esempiRipetuti.size() < kEsempi) out.esempiRipetuti.emplace_back(codici.codice(i));
    }
    return out;
}

GiaPresenti giaPresenti(db::Database& db, const CodiciFile& codici, std::optional<std::int64_t> escludiLotto)
{
    GiaPresenti out = ripetuteNelFile(codici);
    out.avvisoIndice = avvisoSenzaIndice(db);
    struct Vista final : db::CodiciDaCercare {
        const CodiciFile& codici;
        explicit Vista(const CodiciFile& c) : codici(c) {}
        std::size_t size() const override { return codici.size(); }
        std::string_view codice(std::size_t i) const override { return codici.codice(i); }
    } vista(codici);

    // A code counts once per batch, with the number of the file's cases that
    // carry it; the entries are counted as they come, not kept.
    std::vector<bool> present(codici.size(), false);
    std::map<std::optional<std::int64_t>, int> perLotto;
    db::cercaPosizioni(db, vista, escludiLotto, [&](const db::PosizioneTrovata& t) {
        present[t.indice] = true;
        perLotto[t.lotto] += codici.pratiche(t.indice);
    });
    for (std::size_t i = 0; i < present.size(); ++i) {
        if (!present[i]) continue;
        out.presenti += codici.pratiche(i);
        ++out.codiciPresenti;
        if (out.esempiPresenti.size() < kEsempi) out.esempiPresenti.emplace_back(codici.codice(i));
    }
    for (const auto& [lotto, n] : perLotto) {
        LottoGiaPresente entry;
        entry.lotto = lotto;
        entry.pratiche = n;
        if (lotto) entry.riga = db::leggiLotto(db, *lotto);
        out.lotti.push_back(std::move(entry));
    }
    return out;
}

std::string testoGiaPresenti(const GiaPresenti& f, const Regional& regional)
{
    std::string out;
    if (f.presenti > 0) {
        out += "Pratiche già presenti in archivio: " + std::to_string(f.presenti) + " delle " +
               pratiche(f.praticheFile) + " del file" + esempi(f.esempiPresenti, f.codiciPresenti) +
               (f.lotti.size() == 1 ? ", nel lotto:" : ", nei lotti:");
        std::size_t shown = 0;
        for (const LottoGiaPresente& l : f.lotti) {
            if (shown++ == kRigheLotti) {
                out += "\n  ... e altri " + std::to_string(f.lotti.size() - kRigheLotti) + " lotti";
                break;
            }
            std::string where;
            if (!l.lotto)
                where = "senza lotto";
            else if (l.riga)
                where = db::descriviLotto(*l.riga, regional);
            else
                where = "lotto " + std::to_string(*l.lotto) + " (non in TabellaLottiImp)";
            out += "\n  " + where + ": " + pratiche(l.pratiche);
        }
    }
    if (f.codiciRipetuti > 0) {
        if (!out.empty()) out += "\n";
        out += "Codici ripetuti nel file: " + std::to_string(f.codiciRipetuti) +
               (f.codiciRipetuti == 1 ? " codice, in " : " codici, in ") + pratiche(f.praticheRipetute) +
               esempi(f.esempiRipetuti, f.codiciRipetuti);
    }
    if (f.senzaCodice > 0) {
        if (!out.empty()) out += "\n";
        out += pratiche(f.senzaCodice) + " senza codice: non si può sapere se " + (f.senzaCodice == 1 ? "è" : "sono") +
               " già in archivio";
    }
    return out;
}

bool DbCaseStore::cercaGiaPresenti(const CodiciFile& codici, GiaPresenti& fatti, std::optional<std::int64_t> tranne)
{
    // Asked once the cases are over: the row kept for the last bank case is
    // complete, and goes before the statements of the search.
    aggiungiRiga();
    if (!db_) return CaseStore::cercaGiaPresenti(codici, fatti, tranne);
    fatti = giaPresenti(*db_, codici, tranne);
    return true;
}

}  // namespace crv
