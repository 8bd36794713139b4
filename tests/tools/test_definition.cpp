// The export definition file: its forms, the defaults, the limit of 100
// names and the save through a temporary file.
#include <gtest/gtest.h>

#include "support/golden_support.h"
#include "support/small_disk.h"
#include "tools/export_definition.h"

namespace crv::test {
namespace {

using tools::LeggeDefinizione;
using tools::SalvaDefinizione;
using Names = std::vector<std::string>;

class DefinitionFile : public ::testing::Test {
protected:
    std::filesystem::path file() const { return tools::fileDefinizione(suite.paths()); }
    SuiteFixture suite;
};

TEST_F(DefinitionFile, MissingFileGivesTheFourDefaultNames)
{
    const auto def = LeggeDefinizione(suite.paths());
    EXPECT_FALSE(def.daFile);
    EXPECT_EQ(def.campi, (Names{"posizione", "ragione sociale", "memo", "note comuni"}));
    EXPECT_EQ(def.testo(), "posizione\r\nragione sociale\r\nmemo\r\nnote comuni\r\n");
}

TEST_F(DefinitionFile, ItemsByLinesAndCommasWithBlanksQuotesAndEmptyItems)
{
    writeFile(file(), "posizione, ragione sociale\r\n\r\n   \"data affido\"\r\n,,memo\n\"note comuni\"\rCap  \r\n");
    const auto def = LeggeDefinizione(suite.paths());
    EXPECT_TRUE(def.daFile);
    EXPECT_TRUE(def.avvisi.empty());
    EXPECT_EQ(def.campi, (Names{"posizione", "ragione sociale", "data affido", "memo", "note comuni", "Cap"}));

    // An empty file is a definition without names, not the defaults.
    writeFile(file(), "\r\n");
    EXPECT_TRUE(LeggeDefinizione(suite.paths()).campi.empty());
}

TEST_F(DefinitionFile, Windows1252AndUtf8NamesAreReadAsTheyWere)
{
    writeFile(file(), "citt\xE0\r\n");
    EXPECT_EQ(LeggeDefinizione(suite.paths()).campi, Names{"città"});
    const auto def = SalvaDefinizione(suite.paths(), "città\nŁódź");
    EXPECT_EQ(def.campi, (Names{"città", "Łódź"}));  // not representable in windows-1252: kept as UTF-8
    SalvaDefinizione(suite.paths(), "città\n");
    EXPECT_EQ(readFile(file()), "citt\xE0\r\n\r\n");
}

TEST_F(DefinitionFile, MoreThanAHundredNamesKeepTheFirstHundredAndSaySo)
{
    std::string text;
    for (int i = 1; i <= 103; ++i) text += "campo" + std::to_string(i) + (i % 2 ? "," : "\r\n");
    writeFile(file(), text);
    const auto def = LeggeDefinizione(suite.paths());
    ASSERT_EQ(def.campi.size(), 100u);
    EXPECT_EQ(def.campi.front(), "campo1");
    EXPECT_EQ(def.campi.back(), "campo100");
    ASSERT_EQ(def.avvisi.size(), 1u);
    EXPECT_NE(def.avvisi[0].find("103 campi: sono usati i primi 100, gli altri 3 sono ignorati"), std::string::npos)
        << def.avvisi[0];
}

TEST_F(DefinitionFile, SaveWritesTheBoxWholeWithCrLfAndReloads)
{
    writeFile(file(), "vecchio1\r\nvecchio2\r\nvecchio3\r\n");
    const auto def = SalvaDefinizione(suite.paths(), "posizione\nmemo, Cap\n\nnote comuni");
    EXPECT_EQ(readFile(file()), "posizione\r\nmemo, Cap\r\n\r\nnote comuni\r\n");
    EXPECT_EQ(def.campi, (Names{"posizione", "memo", "Cap", "note comuni"}));
    EXPECT_FALSE(std::filesystem::exists(file().string() + ".tmp"));
}

TEST_F(DefinitionFile, AFailedSaveLeavesTheOldFileAndNamesIt)
{
    SmallDisk disk(64 * 1024);
    CRV_NEED_SMALL_DISK(disk);
    // The suite's data folder on a disk that is full.
    const auto dati = file().parent_path();
    std::filesystem::copy(dati, disk.path(), std::filesystem::copy_options::recursive);
    std::filesystem::remove_all(dati);
    std::filesystem::create_directory_symlink(disk.path(), dati);
    writeFile(file(), "vecchio\r\n");
    disk.fillLeaving(0);
    try {
        SalvaDefinizione(suite.paths(), "nuovo");
        FAIL() << "saved";
    } catch (const tools::DefinizioneError& error) {
        EXPECT_EQ(std::string(error.what()), "Impossibile salvare la definizione " + file().string() +
                                                 ": disco pieno nella cartella " + dati.string());
    }
    EXPECT_EQ(readFile(file()), "vecchio\r\n");
}

}  // namespace
}  // namespace crv::test
