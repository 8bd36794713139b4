#include "tools/xlsx_reader.h"

#include <cstdio>
#include <cstdlib>

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "support/test_support.h"

namespace crv::test {

namespace {

std::string run(const std::string& command, int& status)
{
    std::string out;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) {
        status = -1;
        return out;
    }
    char buffer[65536];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    status = ::pclose(pipe);
    return out;
}

// The first python3 that imports openpyxl: Debian's own, before any other
// interpreter on the PATH that may not see Debian's packages.
const std::string& python()
{
    static const std::string found = [] {
        for (const char* candidate : {"/usr/bin/python3", "python3"}) {
            int status = 0;
            run(std::string(candidate) + " -c 'import openpyxl' 2>/dev/null", status);
            if (status == 0) return std::string(candidate);
        }
        return std::string();
    }();
    return found;
}

}  // namespace

XlsxCell XlsxSheetRead::at(int row, int col) const
{
    if (row < 1 || col < 1 || row > static_cast<int>(rows.size())) return {"empty", {}, {}, false};
    const auto& cells = rows[static_cast<std::size_t>(row - 1)];
    if (col > static_cast<int>(cells.size())) return {"empty", {}, {}, false};
    return cells[static_cast<std::size_t>(col - 1)];
}

XlsxSheetRead readXlsx(const std::filesystem::path& file)
{
    XlsxSheetRead sheet;
    if (python().empty()) {
        ADD_FAILURE() << "no python3 with openpyxl (Debian package python3-openpyxl)";
        return sheet;
    }
    const std::string script = std::string(CRVXML_TEST_DATA) + "/../tools/read_xlsx.py";
    int status = 0;
    const std::string json = run(python() + " " + shellWord(script) + " " + shellWord(file.string()), status);
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(json));
    if (status != 0 || !doc.isObject()) {
        ADD_FAILURE() << "openpyxl could not read " << file << ": " << json;
        return sheet;
    }
    const QJsonObject root = doc.object();
    for (const QJsonValue& row : root.value("rows").toArray()) {
        auto& cells = sheet.rows.emplace_back();
        for (const QJsonValue& c : row.toArray()) {
            const QJsonObject o = c.toObject();
            cells.push_back({o.value("t").toString().toStdString(), o.value("v"),
                             o.value("f").toString().toStdString(), o.value("b").toBool()});
        }
    }
    const QJsonObject widths = root.value("widths").toObject();
    for (auto it = widths.begin(); it != widths.end(); ++it) sheet.widths[it.key().toStdString()] = it.value().toDouble();
    sheet.freeze = root.value("freeze").toString().toStdString();
    return sheet;
}

}  // namespace crv::test
