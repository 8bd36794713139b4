#include "tools/case_selection.h"

#include <charconv>
#include <chrono>
#include <tuple>
#include <vector>

#include <QDate>
#include <QStringList>

#include "db/database.h"

namespace crv::tools {

namespace {

std::optional<QDate> regionalDate(const std::string& text, const Regional& regional)
{
    const auto date = regional.parseDate(text);
    if (!date) return std::nullopt;
    return QDate(static_cast<int>(date->year()), static_cast<int>(static_cast<unsigned>(date->month())),
                 static_cast<int>(static_cast<unsigned>(date->day())));
}

std::string trimmed(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

}  // namespace

FiltroOErrore leggiFiltro(const FiltroPratiche& boxes, const Regional& regional)
{
    FiltroOErrore result;
    FiltroLetto& f = result.filtro;
    if (!boxes.mandato.empty()) f.mandato = QString::fromStdString(boxes.mandato);
    f.affidoDal = regionalDate(boxes.affido, regional);
    f.scadenzaAl = regionalDate(boxes.scadenza, regional);
    const std::string lotto = trimmed(boxes.lotto);
    if (!lotto.empty()) {
        qint64 value = 0;
        const char* begin = lotto.data();
        const char* end = begin + lotto.size();
        if (*begin == '+') ++begin;
        const auto [at, ec] = std::from_chars(begin, end, value);
        if (ec != std::errc() || at != end || begin == end) {
            result.errore = "Lotto Imp \"" + boxes.lotto + "\" non valido: serve un numero intero";
            return result;
        }
        f.lotto = value;
    }
    return result;
}

namespace {

// The filters the boxes set, each named by its box's title ("Data Affido")
// or, `brevi`, by its caption on the window ("Affido").
std::vector<std::string> filtriPresenti(const FiltroPratiche& boxes, const FiltroLetto& f, const Regional& regional,
                                        bool brevi)
{
    const auto shown = [&regional](const QDate& d) {
        return regional.formatDate(std::chrono::year{d.year()} / d.month() / d.day());
    };
    std::vector<std::string> applied;
    if (f.mandato) applied.push_back("Mandato " + boxes.mandato);
    if (f.affidoDal) applied.push_back((brevi ? "Affido dal " : "Data Affido dal ") + shown(*f.affidoDal));
    if (f.scadenzaAl) applied.push_back((brevi ? "Scad. fino al " : "Scadenza Mandato fino al ") + shown(*f.scadenzaAl));
    if (f.lotto) applied.push_back("Lotto Imp " + std::to_string(*f.lotto));
    return applied;
}

std::string joined(const std::vector<std::string>& parts)
{
    std::string text;
    for (std::size_t i = 0; i < parts.size(); ++i) text += (i == 0 ? "" : ", ") + parts[i];
    return text;
}

}  // namespace

std::string filtriApplicati(const FiltroPratiche& boxes, const Regional& regional)
{
    const FiltroOErrore letto = leggiFiltro(boxes, regional);
    const FiltroLetto& f = letto.filtro;
    const std::vector<std::string> applied = filtriPresenti(boxes, f, regional, false);
    std::string text = "Filtri: " + (applied.empty() ? std::string("nessuno (tutte le pratiche)") : joined(applied));
    for (const auto& [box, title, read] : {std::tuple{&boxes.affido, "Data Affido", f.affidoDal.has_value()},
                                          std::tuple{&boxes.scadenza, "Scadenza Mandato", f.scadenzaAl.has_value()}}) {
        if (!read && !trimmed(*box).empty()) text += "\n" + std::string(title) + " \"" + *box + "\" non è una data: ignorata";
    }
    return text;
}

std::string filtriBrevi(const FiltroPratiche& boxes, const Regional& regional)
{
    const std::vector<std::string> applied =
        filtriPresenti(boxes, leggiFiltro(boxes, regional).filtro, regional, true);
    return applied.empty() ? std::string("tutte le pratiche") : joined(applied);
}

Selezione selezione(db::Database& db, const FiltroLetto& filtro)
{
    const db::TableInfo& table = db.table(QStringLiteral("Tabella Pratiche"));
    auto column = [&](const char* name) { return db.quote(table.realColumn(QString::fromLatin1(name))); };

    QStringList conditions;
    Selezione s;
    if (filtro.mandato) {
        conditions << column("tipo mandato") + QStringLiteral(" = ?");
        s.binds << *filtro.mandato;
    }
    if (filtro.affidoDal) {
        conditions << column("data affido") + QStringLiteral(" >= ?");
        s.binds << *filtro.affidoDal;
    }
    if (filtro.scadenzaAl) {
        // Before the next day: a date stored with a time of day (or as text
        // with one, in SQLite) still counts for its day.
        const QDate nextDay = filtro.scadenzaAl->addDays(1);
        if (nextDay.isValid()) {
            conditions << column("scadenza mandato") + QStringLiteral(" < ?");
            s.binds << nextDay;
        } else {
            conditions << column("scadenza mandato") + QStringLiteral(" <= ?");
            s.binds << *filtro.scadenzaAl;
        }
    }
    if (filtro.lotto) {
        conditions << column("lottoimportazione") + QStringLiteral(" = ?");
        s.binds << *filtro.lotto;
    }
    if (!conditions.isEmpty()) s.where = QStringLiteral(" WHERE ") + conditions.join(QStringLiteral(" AND "));
    return s;
}

}  // namespace crv::tools
