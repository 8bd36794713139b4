#include "db/row_values.h"

#include <algorithm>

namespace crv::db {

QByteArray isoDate(const QDate& date)
{
    const int year = date.year();
    if (year < 1 || year > 9999) return date.toString(Qt::ISODate).toLatin1();
    char text[11];
    const int month = date.month();
    const int day = date.day();
    text[0] = static_cast<char>('0' + year / 1000);
    text[1] = static_cast<char>('0' + year / 100 % 10);
    text[2] = static_cast<char>('0' + year / 10 % 10);
    text[3] = static_cast<char>('0' + year % 10);
    text[4] = '-';
    text[5] = static_cast<char>('0' + month / 10);
    text[6] = static_cast<char>('0' + month % 10);
    text[7] = '-';
    text[8] = static_cast<char>('0' + day / 10);
    text[9] = static_cast<char>('0' + day % 10);
    text[10] = '\0';
    return QByteArray(text, 10);
}

RealValues byRealColumn(const TableInfo& info, const FieldValues& values)
{
    RealValues columns;
    columns.reserve(values.size());
    for (const auto& [name, value] : values) {
        const QString& real = info.realColumn(name);
        auto same = std::find_if(columns.begin(), columns.end(),
                                 [&](const auto& entry) { return entry.first == real; });
        if (same != columns.end())
            same->second = value;
        else
            columns.emplace_back(real, value);
    }
    return columns;
}

}  // namespace crv::db
