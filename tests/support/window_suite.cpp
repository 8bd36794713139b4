#include "support/window_suite.h"

#include <QSqlQuery>

#include "db/connection_string.h"
#include "db/database.h"
#include "db/schema.h"

namespace crv::test {

WindowSuite::WindowSuite()
{
    paths_ = resolveSuitePaths(dir_.path().string());
    std::filesystem::create_directories(paths_.importDir());
    std::filesystem::create_directories(paths_.dataDir());
    const std::string connString = db::sqliteConnString(database().string());
    {
        auto created = db::Database::open(db::parseConnString(connString), db::OpenMode::CreateIfMissing);
        db::createSchema(*created, true);
    }
    writeFile(paths_.vex32Ini(), "[vex32]\r\nconnstring=" + connString + "\r\n");
}

std::string WindowSuite::addImportFile(const std::string& relative)
{
    const std::filesystem::path source = dataFile(relative);
    const std::string name = source.filename().string();
    std::filesystem::copy_file(source, paths_.importDir() / name, std::filesystem::copy_options::overwrite_existing);
    return name;
}

void WindowSuite::writeInstallation(const std::string& lines) const
{
    writeFile(paths_.dataDir() / "Crv_XML_installazione.ini", lines);
}

long long WindowSuite::rowCount(const char* table) const
{
    auto connection = db::Database::open(db::parseConnString(db::sqliteConnString(database().string())));
    QSqlQuery q = connection->query(QStringLiteral("SELECT COUNT(*) FROM ") + connection->quote(QString::fromLatin1(table)));
    return q.next() ? q.value(0).toLongLong() : -1;
}

window::WindowConfig WindowSuite::config(const std::string& programName) const
{
    return window::WindowConfig{paths_, Regional::italian(), programName};
}

}  // namespace crv::test
