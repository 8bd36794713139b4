#pragma once
// Helpers shared by the test programs: scratch folders, sample paths and
// the PostgreSQL server that scripts/test starts for the run.
#include <filesystem>
#include <string>

namespace crv::test {

// A fresh folder under the system temp dir, removed with its contents.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

// Path of a file under tests/data.
std::filesystem::path dataFile(const std::string& relative);

// Whole file as bytes.
std::string readFile(const std::filesystem::path& path);
void writeFile(const std::filesystem::path& path, const std::string& bytes);

// Connection string of the test PostgreSQL server (env CRVXML_TEST_PG), or
// empty when none runs. When CRVXML_REQUIRE_PG is set, a missing server is a
// failure instead of a skip: CI must never skip the PostgreSQL tests.
std::string postgresConnString();
bool postgresRequired();

}  // namespace crv::test
