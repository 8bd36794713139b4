#include "db/row_values.h"

#include <algorithm>

namespace crv::db {

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
