#include "tools/cell_value.h"

#include <charconv>
#include <cmath>
#include <optional>
#include <string_view>

#include <QDateTime>

#include "tools/xlsx_sheet.h"

namespace crv::tools {

namespace {

// Whole numbers beyond 2^53 lose digits as a spreadsheet's numbers: they stay text.
constexpr double kExactLimit = 9007199254740992.0;

std::optional<QDateTime> asDateTime(const QVariant& value)
{
    switch (value.metaType().id()) {
    case QMetaType::QDate: return QDateTime(value.toDate(), QTime(0, 0));
    case QMetaType::QDateTime: return value.toDateTime();
    case QMetaType::QString:
    case QMetaType::QByteArray: {
        const QString text = value.toString().trimmed();
        if (text.size() == 10) {
            const QDate date = QDate::fromString(text, Qt::ISODate);
            if (date.isValid()) return QDateTime(date, QTime(0, 0));
            return std::nullopt;
        }
        QString iso = text;
        if (iso.size() > 10 && iso.at(10) == QLatin1Char(' ')) iso[10] = QLatin1Char('T');
        const QDateTime dateTime = QDateTime::fromString(iso, Qt::ISODateWithMs);
        if (dateTime.isValid()) return dateTime;
        return std::nullopt;
    }
    default: return std::nullopt;
    }
}

// The UTF-16 units of a text as the sheet stores it, each "_xHHHH_" escaped.
// Only texts longer than a seventh of a cell's limit can grow past it.
std::size_t storedLength(std::u16string_view text)
{
    std::size_t length = text.size();
    if (length <= kMaxCellChars / (1 + kEscapeGrowth)) return length;
    for (std::size_t i = text.find(u"_x"); i != std::u16string_view::npos; i = text.find(u"_x", i + 1))
        if (escapeSequenceAt(text, i)) length += kEscapeGrowth;
    return length;
}

std::optional<double> asNumber(const QVariant& value)
{
    switch (value.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::Double:
    case QMetaType::Float: {
        const double number = value.toDouble();
        return std::isfinite(number) ? std::optional<double>(number) : std::nullopt;
    }
    case QMetaType::QString:
    case QMetaType::QByteArray: {
        // Exact decimal texts (numeric columns read with high precision).
        const std::string text = value.toString().trimmed().toStdString();
        if (text.empty()) return std::nullopt;
        const char* begin = text.data();
        const char* end = begin + text.size();
        if (*begin == '+') ++begin;
        double number = 0;
        const auto [at, ec] = std::from_chars(begin, end, number);
        if (ec != std::errc() || at != end || !std::isfinite(number)) return std::nullopt;
        return number;
    }
    default: return std::nullopt;
    }
}

}  // namespace

Cella cellaTesto(const QString& text, bool conSpazi)
{
    Cella cell;
    qsizetype first = 0;
    qsizetype last = text.size();
    while (!conSpazi && first < last && text.at(first) == QLatin1Char(' ')) ++first;
    while (!conSpazi && last > first && text.at(last - 1) == QLatin1Char(' ')) --last;
    if (first == last) return cell;
    QString shown = text.mid(first, last - first);
    // A cell holds 32,767 UTF-16 units as Excel counts them, and the library
    // counts the text as the sheet stores it, escapes included: cut longer
    // texts so that the end shows it.
    const std::u16string_view units(reinterpret_cast<const char16_t*>(shown.utf16()),
                                    static_cast<std::size_t>(shown.size()));
    if (storedLength(units) > kMaxCellChars) {
        const QString mark = QString::fromUtf8(kMarcaTaglio.data(), static_cast<qsizetype>(kMarcaTaglio.size()));
        std::size_t room = kMaxCellChars - static_cast<std::size_t>(mark.size());
        qsizetype keep = 0;
        for (; keep < shown.size(); ++keep) {
            const std::size_t cost = escapeSequenceAt(units, static_cast<std::size_t>(keep)) ? 1 + kEscapeGrowth : 1;
            if (cost > room) break;
            room -= cost;
        }
        if (keep > 0 && shown.at(keep - 1).isHighSurrogate()) --keep;
        shown.truncate(keep);
        shown += mark;
        cell.tagliato = true;
    }
    cell.tipo = Cella::Tipo::Testo;
    cell.testo = shown.toStdString();
    return cell;
}

Cella cellaPer(const QVariant& value, db::FieldKind kind)
{
    if (value.isNull() || !value.isValid()) return {};
    switch (kind) {
    case db::FieldKind::Date:
    case db::FieldKind::DateTime:
        if (const auto dateTime = asDateTime(value); dateTime && dateTime->date().year() >= 1900) {
            Cella cell;
            const QDate d = dateTime->date();
            const QTime t = dateTime->time();
            cell.anno = d.year();
            cell.mese = d.month();
            cell.giorno = d.day();
            if (t.hour() == 0 && t.minute() == 0 && t.second() == 0 && t.msec() == 0) {
                cell.tipo = Cella::Tipo::Data;
            } else {
                cell.tipo = Cella::Tipo::DataOra;
                cell.ora = t.hour();
                cell.minuto = t.minute();
                cell.secondo = t.second() + t.msec() / 1000.0;
            }
            return cell;
        }
        break;
    case db::FieldKind::Integer:
    case db::FieldKind::Decimal:
        if (const auto number = asNumber(value)) {
            if (kind == db::FieldKind::Decimal || std::fabs(*number) < kExactLimit) {
                Cella cell;
                cell.tipo = kind == db::FieldKind::Integer ? Cella::Tipo::Intero : Cella::Tipo::Decimale;
                cell.numero = *number;
                return cell;
            }
        }
        break;
    case db::FieldKind::Text:
    case db::FieldKind::Other: break;
    }
    if (value.metaType().id() == QMetaType::QDate) return cellaTesto(value.toDate().toString(Qt::ISODate));
    return cellaTesto(value.toString());
}

Cella cellaNota(const QVariant& note)
{
    if (note.isNull() || !note.isValid()) return {};
    return cellaTesto(note.toString(), true);
}

}  // namespace crv::tools
