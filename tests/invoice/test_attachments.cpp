// Attachments saved from an invoice: names that try to leave the folder stay
// inside it, nothing is overwritten, a damaged attachment is reported.
#include <gtest/gtest.h>

#include <QByteArray>

#include "invoice/attachments.h"
#include "invoice/invoice_reader.h"
#include "support/small_disk.h"
#include "support/test_support.h"

namespace crv {
namespace {

TEST(Attachments, NamesAreCutToAPlainFileName)
{
    const struct {
        const char* given;
        const char* saved;
    } cases[] = {
        {"LogoA.jpg", "LogoA.jpg"},
        {"../../etc/passwd", "passwd"},
        {"/tmp/assoluto.pdf", "assoluto.pdf"},
        {"C:\\Windows\\system32\\x.dll", "x.dll"},
        {"D:nome.txt", "nome.txt"},
        {"cartella/sotto/", "allegato-3"},
        {"..", "allegato-3"},
        {"...", "allegato-3"},
        {"", "allegato-3"},
        {"a\nb\tc.txt", "a_b_c.txt"},
        {" spazi .txt. ", "spazi .txt"},
        // Names Windows takes for devices, or refuses, or shows otherwise.
        {"CON", "_CON"},
        {"nul", "_nul"},
        {"AUX.pdf", "_AUX.pdf"},
        {"com1.tar.gz", "_com1.tar.gz"},
        {"LPT9", "_LPT9"},
        {"CON .txt", "_CON .txt"},
        {"COM10.txt", "COM10.txt"},
        {"CONSOLE.txt", "CONSOLE.txt"},
        {"a<b>c\"d|e?f*g.pdf", "a_b_c_d_e_f_g.pdf"},
        {"fattura\u202Efdp.exe", "fattura_fdp.exe"},
        {"nome\u200F\u2066x\u0085.pdf", "nome__x_.pdf"},
        {"rapporto.pdf. . ", "rapporto.pdf"},
    };
    for (const auto& c : cases) EXPECT_EQ(safeAttachmentName(c.given, 3), c.saved) << c.given;

    // Names longer than a file system takes are cut, the extension kept,
    // never inside a character.
    EXPECT_EQ(safeAttachmentName(std::string(300, 'a') + ".pdf", 1), std::string(196, 'a') + ".pdf");
    std::string accented = "a";
    for (int k = 0; k < 150; ++k) accented += "è";
    const std::string cut = safeAttachmentName(accented + ".xml", 1);
    EXPECT_EQ(cut, accented.substr(0, 195) + ".xml");
    EXPECT_EQ(safeAttachmentName(std::string(300, 'b'), 1), std::string(200, 'b'));
    // An extension longer than a name allows goes with the cut; a cut that
    // ends in a blank or a dot loses it.
    EXPECT_EQ(safeAttachmentName("a." + std::string(300, 'e'), 1), "a." + std::string(198, 'e'));
    EXPECT_EQ(safeAttachmentName(std::string(195, 'a') + " ." + std::string(100, 'b') + ".pdf", 1),
              std::string(195, 'a') + ".pdf");
}

TEST(Attachments, DamagedBase64IsRefusedAndAFullDiskIsNamed)
{
    test::TempDir tmp;
    // A character left over after the groups of four holds no byte.
    const std::vector<SavedAttachment> saved = saveAttachments(
        {{"a", "", "", "A"}, {"b", "", "", "A==="}, {"c", "", "", "QUJD\r\nR"}, {"d", "", "", "QUI"}}, tmp.path());
    for (int k = 0; k < 3; ++k) EXPECT_EQ(saved[k].problem, "il contenuto dell'allegato non è base64 valido") << k;
    EXPECT_EQ(test::readFile(tmp / "d"), "AB");

    test::SmallDisk disk(128 * 1024);
    CRV_NEED_SMALL_DISK(disk);
    disk.fillLeaving(4096);
    const std::string big = QByteArray(64 * 1024, 'z').toBase64().toStdString();
    const std::vector<SavedAttachment> full = saveAttachments({{"grande.pdf", "", "", big}}, disk.path());
    ASSERT_EQ(full.size(), 1u);
    EXPECT_EQ(full[0].problem, "impossibile scrivere il file " + (disk / "grande.pdf").string() +
                                   ": disco pieno nella cartella " + disk.path().string());
    EXPECT_FALSE(std::filesystem::exists(disk / "grande.pdf"));
}

TEST(Attachments, SavedInsideTheFolderWithoutOverwriting)
{
    test::TempDir tmp;
    const std::filesystem::path folder = tmp / "allegati";
    std::filesystem::create_directories(folder);
    test::writeFile(folder / "nota.txt", "già qui");
    const std::vector<Allegato> allegati = {
        {"nota.txt", "TXT", "", "Y2lhbw=="},                // "ciao", the name is taken
        {"../fuori.txt", "", "", "Zn\r\nVvcmk=\n"},          // "fuori", base64 on two lines
        {"/tmp/../nota.txt", "", "", "YmlzIA=="},          // taken twice over now
        {"rotto.bin", "", "", "non base64 !"},
        {std::string(300, 'x') + ".txt", "", "", "bHVuZ28="},  // "lungo"
        {"link.txt", "", "", "bGluaw=="},                      // "link"
    };
    // A link that leads nowhere takes its name: nothing is written through it.
    std::filesystem::create_symlink(tmp / "altrove.txt", folder / "link.txt");
    const std::vector<SavedAttachment> saved = saveAttachments(allegati, folder);
    ASSERT_EQ(saved.size(), 6u);
    EXPECT_EQ(saved[0].savedAs, folder / "nota (2).txt");
    EXPECT_EQ(test::readFile(saved[0].savedAs), "ciao");
    EXPECT_EQ(test::readFile(folder / "nota.txt"), "già qui");
    EXPECT_EQ(saved[1].savedAs, folder / "fuori.txt");
    EXPECT_EQ(test::readFile(saved[1].savedAs), "fuori");
    EXPECT_FALSE(std::filesystem::exists(tmp / "fuori.txt"));
    EXPECT_EQ(saved[2].savedAs, folder / "nota (3).txt");
    EXPECT_TRUE(saved[3].savedAs.empty());
    EXPECT_EQ(saved[3].problem, "il contenuto dell'allegato non è base64 valido");
    EXPECT_FALSE(std::filesystem::exists(folder / "rotto.bin"));
    EXPECT_EQ(saved[4].problem, "");
    EXPECT_EQ(saved[4].savedAs, folder / (std::string(196, 'x') + ".txt"));
    EXPECT_EQ(test::readFile(saved[4].savedAs), "lungo");
    EXPECT_EQ(saved[5].savedAs, folder / "link (2).txt");
    EXPECT_EQ(test::readFile(saved[5].savedAs), "link");
    EXPECT_FALSE(std::filesystem::exists(tmp / "altrove.txt"));
}

TEST(Attachments, AFolderThatCannotBeMadeIsNamed)
{
    test::TempDir tmp;
    test::writeFile(tmp / "occupato", "un file, non una cartella");
    const std::vector<SavedAttachment> saved =
        saveAttachments({{"a.txt", "", "", "YQ=="}}, tmp / "occupato" / "allegati");
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_TRUE(saved[0].savedAs.empty());
    EXPECT_EQ(saved[0].problem, "impossibile creare la cartella " + (tmp / "occupato" / "allegati").string() +
                                    ": una parte del percorso non è una cartella");
}

TEST(Attachments, TheSampleLogoIsAJpeg)
{
    test::TempDir tmp;
    const InvoiceReading r = readInvoiceFile(test::dataFile("fatturapa/simevo_FPR04_attachment_jpg.xml"));
    ASSERT_TRUE(r.ok());
    const std::vector<SavedAttachment> saved = saveAttachments(r.fattura.allegati, tmp / "nuova");
    ASSERT_EQ(saved.size(), 1u);
    ASSERT_TRUE(saved[0].problem.empty()) << saved[0].problem;
    const std::string jpeg = test::readFile(tmp / "nuova" / "LogoA.jpg");
    EXPECT_TRUE(jpeg.starts_with("\xFF\xD8\xFF"));
    EXPECT_TRUE(jpeg.ends_with("\xFF\xD9"));
}

}  // namespace
}  // namespace crv
