// The installation file: which presentation and buttons the window shows.
#include <gtest/gtest.h>

#include "app/installation.h"
#include "support/test_support.h"

namespace crv::test {
namespace {

TEST(Installation, MissingFileKeepsTheDesign)
{
    TempDir root;
    const Installazione none = LeggiInstallazione(SuitePaths{root.path()});
    EXPECT_FALSE(none.presentazioneBanca);
    EXPECT_FALSE(none.mostraImportaRove);
    EXPECT_FALSE(none.mostraFattElett);
}

TEST(Installation, KeysAndValuesWithoutRegardToCase)
{
    TempDir root;
    const SuitePaths paths{root.path()};
    std::filesystem::create_directories(paths.dataDir());
    writeFile(installazioneIni(paths), "; postazione banca\r\nPRESENTAZIONE= Banca \r\nImporta_Rove=S\xEC\r\n"
                                       "fattura_elettronica=1\r\n");
    const Installazione bank = LeggiInstallazione(paths);
    EXPECT_TRUE(bank.presentazioneBanca);
    EXPECT_TRUE(bank.mostraImportaRove) << "windows-1252 \"s\xEC\"";
    EXPECT_TRUE(bank.mostraFattElett);

    writeFile(installazioneIni(paths), "presentazione=corvestra\nimporta_rove=no\nfattura_elettronica=forse\n");
    const Installazione finance = LeggiInstallazione(paths);
    EXPECT_FALSE(finance.presentazioneBanca);
    EXPECT_FALSE(finance.mostraImportaRove);
    EXPECT_FALSE(finance.mostraFattElett);
}

}  // namespace
}  // namespace crv::test
