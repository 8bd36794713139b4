#include "import/text_repair.h"

#include "support/small_disk.h"
#include "support/test_support.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <filesystem>
#include <iterator>
#include <set>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;
using crv::test::dataFile;
using crv::test::readFile;
using crv::test::TempDir;
using crv::test::writeFile;

namespace {

// Copies a sample into the scratch folder (the repair writes beside it).
fs::path copySample(const TempDir& dir, const std::string& name)
{
    const fs::path copy = dir / name;
    fs::copy_file(dataFile("repair/" + name), copy);
    return copy;
}

std::set<std::string> folderEntries(const fs::path& folder)
{
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

// Rinomina of a file with the given bytes; returns the bytes of the copy.
std::string copiedBytes(const TempDir& dir, const std::string& input)
{
    fs::path path = dir / "in";
    writeFile(path, input);
    crv::Rinomina(path);
    return readFile(path);
}

}  // namespace

// ---------------------------------------------------------------- Aggiusta

TEST(Aggiusta, ChangesOnlyTheFiveBytesOfTheTable)
{
    for (int value = 0; value < 256; ++value) {
        const std::string byte(1, static_cast<char>(value));
        std::string expected;
        switch (value) {
        case 0x40: expected = "&#64;"; break;   // @
        case 0xDD: expected = "&#64;"; break;   // Ý
        case 0xA7: expected = "&#64;"; break;   // §
        case 0xB0: expected = "&#248;"; break;  // °
        case 0xD9: expected = "U'"; break;      // Ù
        default: expected = byte;
        }
        EXPECT_EQ(crv::Aggiusta(byte), expected) << "byte " << value;
    }
}

TEST(Aggiusta, ReplacesEveryOccurrenceInPlace)
{
    EXPECT_EQ(crv::Aggiusta(""), "");
    EXPECT_EQ(crv::Aggiusta("@@a@"), "&#64;&#64;a&#64;");
    EXPECT_EQ(crv::Aggiusta("mario.rossi@esempio.it"), "mario.rossi&#64;esempio.it");
    EXPECT_EQ(crv::Aggiusta("N\xB0 5 PI\xD9 \xA7 x\xDDy \xB0\xB0"),
              "N&#248; 5 PIU' &#64; x&#64;y &#248;&#248;");
    // The lower-case and similar letters are not in the table.
    EXPECT_EQ(crv::Aggiusta("\xF9\xFD\xC0\xE0"), "\xF9\xFD\xC0\xE0");
    // A NUL byte inside the line is kept, not taken as its end.
    EXPECT_EQ(crv::Aggiusta(std::string_view("a\0@", 3)), std::string("a\0&#64;", 7));
}

// ------------------------------------------------------ MancaRoot

TEST(MancaRoot, FindsTheRootInTheFirstTwoItems)
{
    TempDir dir;
    const auto check = [&](const std::string& content) {
        writeFile(dir / "f", content);
        return crv::MancaRoot(dir / "f");
    };
    EXPECT_FALSE(check("<root>\r\n<documento/>\r\n</root>\r\n"));
    EXPECT_FALSE(check("<?xml version=\"1.0\"?>\r\n<ROOT>\r\n<a/>\r\n"));
    EXPECT_FALSE(check("   <Root>  \n<a/>\n"));
    EXPECT_FALSE(check("<root>"));  // one line, no line end
    EXPECT_FALSE(check("\"<root>\"\r\n"));
    // Items end at commas: the second item of the first line is the root.
    EXPECT_FALSE(check("x, <root>\r\n"));

    EXPECT_TRUE(check(""));
    EXPECT_TRUE(check("\r\n"));
    EXPECT_TRUE(check("<documento id=\"1\"/>\r\n<documento id=\"2\"/>\r\n"));
    // The first line fills both items, so a root on the second line is not seen.
    EXPECT_TRUE(check("<?xml version=\"1.0\"?>, \"x\"\r\n<root>\r\n"));
    EXPECT_TRUE(check("\r\n\r\n<root>\r\n"));
    EXPECT_TRUE(check("<root >\r\n"));
    EXPECT_TRUE(check("<root><a/></root>\r\n"));
}

TEST(MancaRoot, Samples)
{
    EXPECT_TRUE(crv::MancaRoot(dataFile("repair/GM_XML")));
    EXPECT_FALSE(crv::MancaRoot(dataFile("repair/senza_fine_root.xml")));
    EXPECT_FALSE(crv::MancaRoot(dataFile("repair/completo.TXT")));
}

// ------------------------------------------------------ MancaFineRoot

TEST(MancaFineRoot, StopsAtTheFirstLineStartingAClosingRoot)
{
    TempDir dir;
    const auto check = [&](const std::string& content) {
        writeFile(dir / "f", content);
        return crv::MancaFineRoot(dir / "f");
    };
    EXPECT_FALSE(check("<root>\r\n<a/>\r\n</root>\r\n"));
    EXPECT_FALSE(check("<root>\n<a/>\n</ROOT>"));          // no line end after it
    EXPECT_FALSE(check("<root><a/></root>"));              // on one line
    EXPECT_FALSE(check("<root>\r\n</root>\r\ngarbage\r\n"));  // what follows is not read
    EXPECT_FALSE(check("<root>\r\n</ro</root>\r\n"));

    EXPECT_TRUE(check(""));
    EXPECT_TRUE(check("<root>\r\n<a/>\r\n"));
    EXPECT_TRUE(check("<root>\r\n<a/>\r\n</root >\r\n"));
    EXPECT_TRUE(check("<root>\r\n</rootx>\r\n"));
    // The search ends on the incomplete tag and never sees the complete one.
    EXPECT_TRUE(check("<root>\r\n</root >\r\n</root>\r\n"));
    // A tag broken across a line end is not a tag.
    EXPECT_TRUE(check("<root>\r\n</ro\r\not>\r\n"));
    EXPECT_TRUE(check("<root>\r\n</root\r\n>\r\n"));
}

TEST(MancaFineRoot, FindsATagAcrossTheReadBuffers)
{
    // A long single line with the closing tag at each power-of-two offset,
    // so that it straddles the edge of the read buffer whatever its size.
    TempDir dir;
    for (int shift = 10; shift <= 20; ++shift) {
        const std::size_t edge = std::size_t{1} << shift;
        std::string content = "<root>" + std::string(edge - 3 - 6, 'x') + "</root>";
        ASSERT_EQ(content.find("</root>"), edge - 3);
        writeFile(dir / "f", content);
        EXPECT_FALSE(crv::MancaFineRoot(dir / "f")) << "edge " << edge;
        content.replace(edge - 3 + 6, 1, " ");  // "</root " is not complete
        writeFile(dir / "f", content);
        EXPECT_TRUE(crv::MancaFineRoot(dir / "f")) << "edge " << edge;
    }
}

// ------------------------------------------------------ AccodaFineRoot

TEST(AccodaFineRoot, AppendsTheTagOnALineOfItsOwn)
{
    TempDir dir;
    const fs::path path = dir / "f.xml";
    const auto appended = [&](const std::string& content) {
        writeFile(path, content);
        crv::AccodaFineRoot(path);
        return readFile(path);
    };
    EXPECT_EQ(appended("<root>\r\n<a/>\r\n"), "<root>\r\n<a/>\r\n</root>\r\n");
    EXPECT_EQ(appended("<root>\r\n<a/>"), "<root>\r\n<a/>\r\n</root>\r\n");
    EXPECT_EQ(appended("<root>\n<a/>\n"), "<root>\n<a/>\n</root>\r\n");
    EXPECT_EQ(appended("<root>\r<a/>\r"), "<root>\r<a/>\r</root>\r\n");
    EXPECT_EQ(appended(""), "</root>\r\n");
    // An unrecognised closing tag gets the line after it.
    EXPECT_EQ(appended("<root>\r\n</root >\r\n"), "<root>\r\n</root >\r\n</root>\r\n");
}

TEST(AccodaFineRoot, XmlWithoutClosingRootIsCompletedInPlace)
{
    TempDir dir;
    const fs::path path = copySample(dir, "senza_fine_root.xml");
    ASSERT_FALSE(crv::MancaRoot(path));
    ASSERT_TRUE(crv::MancaFineRoot(path));

    crv::AccodaFineRoot(path);

    EXPECT_EQ(readFile(path), readFile(dataFile("repair/senza_fine_root.xml.expected")));
    EXPECT_FALSE(crv::MancaFineRoot(path));
    EXPECT_EQ(folderEntries(dir.path()), std::set<std::string>{"senza_fine_root.xml"});
    pugi::xml_document doc;
    EXPECT_TRUE(doc.load_file(path.c_str()));
}

TEST(AccodaFineRoot, ALinkedDeliveryIsCompletedWhereItLiesWithItsPermissions)
{
    TempDir dir;
    const fs::path real = dir / "consegna.txt";
    writeFile(real, "<root>\r\n");
    fs::permissions(real, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    fs::create_symlink(real, dir / "consegna.xml");
    crv::AccodaFineRoot(dir / "consegna.xml");
    EXPECT_TRUE(fs::is_symlink(dir / "consegna.xml"));
    EXPECT_EQ(readFile(real), "<root>\r\n</root>\r\n");
    EXPECT_EQ(fs::status(real).permissions(), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(folderEntries(dir.path()), (std::set<std::string>{"consegna.txt", "consegna.xml"}));
}

TEST(AccodaFineRoot, MissingFileIsAnError)
{
    TempDir dir;
    EXPECT_THROW(crv::AccodaFineRoot(dir / "manca.xml"), crv::RepairError);
    EXPECT_FALSE(fs::exists(dir / "manca.xml"));
}

// ------------------------------------------------------ Converti2XML

TEST(Converti2XML, WrapsATextExportInARoot)
{
    TempDir dir;
    fs::path path = copySample(dir, "GM_XML");
    const std::string input = readFile(path);

    crv::Converti2XML(path);

    EXPECT_EQ(path, dir / "GM_XML.xml");
    EXPECT_EQ(readFile(path), readFile(dataFile("repair/GM_XML.expected")));
    EXPECT_EQ(readFile(dir / "GM_XML"), input);
    EXPECT_EQ(folderEntries(dir.path()), (std::set<std::string>{"GM_XML", "GM_XML.xml"}));
    EXPECT_FALSE(crv::MancaRoot(path));
    EXPECT_FALSE(crv::MancaFineRoot(path));

    // The repaired copy loads, and the references read as the characters.
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_file(path.c_str(), pugi::parse_default, pugi::encoding_latin1));
    const auto cases = doc.child("root").children("documento");
    ASSERT_EQ(std::distance(cases.begin(), cases.end()), 3);
    const pugi::xml_node first = *cases.begin();
    EXPECT_STREQ(first.attribute("email").value(), "mario.rossi@esempio.it");
    EXPECT_STREQ(first.attribute("indirizzo").value(), "VIA ROMA N\xC3\xB8 5");
    EXPECT_STREQ(first.next_sibling().attribute("note").value(), "PIU' RATE @ 3");
}

TEST(Converti2XML, EveryKindOfLineEndBecomesCrLf)
{
    TempDir dir;
    const auto converted = [&](const std::string& input) {
        fs::path path = dir / "testo";
        writeFile(path, input);
        crv::Converti2XML(path);
        return readFile(path);
    };
    EXPECT_EQ(converted("a\nb\rc\r\nd\r\n"), "<root>\r\na\r\nb\r\nc\r\nd\r\n</root>\r\n");
    // A last line without a line end is still a line.
    EXPECT_EQ(converted("a\r\nb"), "<root>\r\na\r\nb\r\n</root>\r\n");
    // Empty lines ended by LF, CR, CR (its LF follows), LF and a final CR.
    EXPECT_EQ(converted("\n\r\r\n\n\r"), "<root>\r\n\r\n\r\n\r\n\r\n\r\n</root>\r\n");
    // LF CR is two line ends, CR LF one.
    EXPECT_EQ(converted("x\n\ry\r\n"), "<root>\r\nx\r\n\r\ny\r\n</root>\r\n");
    EXPECT_EQ(converted(""), "<root>\r\n</root>\r\n");
}

TEST(Converti2XML, ReplacesAnExistingCopy)
{
    TempDir dir;
    fs::path path = dir / "GM_XML";
    writeFile(path, "<a/>\r\n");
    writeFile(dir / "GM_XML.xml", "an older and much longer copy of the file\r\n");

    EXPECT_TRUE(crv::Converti2XML(path));

    EXPECT_EQ(readFile(dir / "GM_XML.xml"), "<root>\r\n<a/>\r\n</root>\r\n");
    fs::path again = dir / "altro";
    writeFile(again, "<a/>\r\n");
    EXPECT_FALSE(crv::Rinomina(again)) << "nothing was there";
}

TEST(Converti2XML, LargeFileIsStreamed)
{
    // About 12 MB; a sanity check that the copy is complete and exact.
    TempDir dir;
    fs::path path = dir / "GRANDE.TXT";
    const std::string line = "<documento id=\"000000\" email=\"nome@esempio.it\" note=\"N\xB0 1\"/>";
    const std::string repaired =
        "<documento id=\"000000\" email=\"nome&#64;esempio.it\" note=\"N&#248; 1\"/>";
    constexpr int lines = 200000;
    {
        std::string content;
        content.reserve(static_cast<std::size_t>(lines) * (line.size() + 2));
        for (int i = 0; i < lines; ++i) content.append(line).append("\r\n");
        writeFile(path, content);
    }

    crv::Converti2XML(path);

    const std::string output = readFile(path);
    EXPECT_EQ(output.size(), 8 + 9 + static_cast<std::size_t>(lines) * (repaired.size() + 2));
    EXPECT_EQ(output.substr(0, 8 + repaired.size() + 2), "<root>\r\n" + repaired + "\r\n");
    EXPECT_EQ(output.substr(output.size() - repaired.size() - 2 - 9), repaired + "\r\n</root>\r\n");
}

// ------------------------------------------------------ Rinomina

TEST(Rinomina, CopiesACompleteTxtWithRepairs)
{
    TempDir dir;
    fs::path path = copySample(dir, "completo.TXT");
    const std::string input = readFile(path);
    ASSERT_FALSE(crv::MancaRoot(path));
    ASSERT_FALSE(crv::MancaFineRoot(path));

    crv::Rinomina(path);

    EXPECT_EQ(path, dir / "completo.TXT.xml");
    EXPECT_EQ(readFile(path), readFile(dataFile("repair/completo.TXT.expected")));
    EXPECT_EQ(readFile(dir / "completo.TXT"), input);
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_file(path.c_str(), pugi::parse_default, pugi::encoding_latin1));
    EXPECT_STREQ(doc.child("Root").child("documento").attribute("email").value(),
                 "uff.legale@esempio.it");
}

TEST(Rinomina, KeepsLinesAsTheyAreApartFromRepairAndLineEnds)
{
    TempDir dir;
    EXPECT_EQ(copiedBytes(dir, ""), "");
    EXPECT_EQ(copiedBytes(dir, "a"), "a\r\n");
    EXPECT_EQ(copiedBytes(dir, "a\rb\nc"), "a\r\nb\r\nc\r\n");
    EXPECT_EQ(copiedBytes(dir, " \t\x01\xFF@ \r\n"), " \t\x01\xFF&#64; \r\n");
    EXPECT_EQ(copiedBytes(dir, std::string("a\0b\n", 4)), std::string("a\0b\r\n", 5));
}

TEST(Rinomina, LineEndsAcrossTheReadBuffers)
{
    // Line ends placed at each power-of-two offset, so that one of them falls
    // on the edge of the read buffer whatever its size: a CR LF split in two
    // stays one line end, a lone CR followed by text stays one too.
    TempDir dir;
    for (const std::string lineEnd : {"\r\n", "\r", "\n"}) {
        std::string input;
        std::string expected;
        for (int shift = 10; shift <= 20; ++shift) {
            const std::size_t edge = std::size_t{1} << shift;
            // The line end starts on the last byte before the edge.
            const std::string text(edge - 1 - input.size(), static_cast<char>('a' + shift));
            input += text + lineEnd;
            expected += text + "\r\n";
        }
        input += "z";
        expected += "z\r\n";
        EXPECT_EQ(copiedBytes(dir, input), expected) << "line end size " << lineEnd.size();
    }
}

// ------------------------------------------------------ Failures

TEST(RepairFailures, MissingInputLeavesNothing)
{
    TempDir dir;
    fs::path path = dir / "manca.TXT";
    const fs::path original = path;

    EXPECT_THROW(crv::MancaRoot(path), crv::RepairError);
    EXPECT_THROW(crv::MancaFineRoot(path), crv::RepairError);
    EXPECT_THROW(crv::Converti2XML(path), crv::RepairError);
    EXPECT_THROW(crv::Rinomina(path), crv::RepairError);

    EXPECT_EQ(path, original);
    EXPECT_TRUE(fs::is_empty(dir.path()));
    try {
        crv::Rinomina(path);
        FAIL() << "no error";
    } catch (const crv::RepairError& error) {
        EXPECT_NE(std::string(error.what()).find("manca.TXT"), std::string::npos) << error.what();
    }
}

TEST(RepairFailures, UnreadableInputLeavesNoOutput)
{
    // A folder opens as a file but fails on the first read: the scratch copy
    // already exists at that moment and must go.
    TempDir dir;
    fs::path path = dir / "cartella";
    fs::create_directory(path);

    EXPECT_THROW(crv::Converti2XML(path), crv::RepairError);
    EXPECT_THROW(crv::Rinomina(path), crv::RepairError);
    EXPECT_THROW(crv::MancaFineRoot(path), crv::RepairError);
    EXPECT_THROW(crv::MancaRoot(path), crv::RepairError);

    EXPECT_EQ(path, dir / "cartella");
    EXPECT_EQ(folderEntries(dir.path()), std::set<std::string>{"cartella"});
}

TEST(RepairFailures, TargetThatCannotBeReplacedLeavesNoScratchFile)
{
    TempDir dir;
    fs::path path = copySample(dir, "GM_XML");
    fs::create_directory(dir / "GM_XML.xml");
    writeFile(dir / "GM_XML.xml" / "dentro", "x");

    EXPECT_THROW(crv::Converti2XML(path), crv::RepairError);

    EXPECT_EQ(path, dir / "GM_XML");
    EXPECT_EQ(folderEntries(dir.path()), (std::set<std::string>{"GM_XML", "GM_XML.xml"}));
    EXPECT_EQ(readFile(dir / "GM_XML.xml" / "dentro"), "x");
    EXPECT_EQ(readFile(path), readFile(dataFile("repair/GM_XML")));
}

TEST(RepairFailures, UnwritableFolderLeavesNoOutput)
{
    TempDir dir;
    fs::path path = copySample(dir, "completo.TXT");
    fs::permissions(dir.path(), fs::perms::owner_read | fs::perms::owner_exec);
    if (::access(dir.path().c_str(), W_OK) == 0) {
        // Permissions do not restrict this user (root): make the rename fail
        // instead, with a folder where the copy should go.
        fs::permissions(dir.path(), fs::perms::owner_all);
        fs::create_directory(dir / "completo.TXT.xml");
        fs::create_directory(dir / "completo.TXT.xml" / "dentro");
        EXPECT_THROW(crv::Rinomina(path), crv::RepairError);
        EXPECT_THROW(crv::Converti2XML(path), crv::RepairError);
        EXPECT_EQ(path, dir / "completo.TXT");
        EXPECT_EQ(folderEntries(dir.path()), (std::set<std::string>{"completo.TXT", "completo.TXT.xml"}));
        return;
    }

    EXPECT_THROW(crv::Rinomina(path), crv::RepairError);
    EXPECT_THROW(crv::Converti2XML(path), crv::RepairError);
    fs::permissions(dir.path(), fs::perms::owner_all);

    EXPECT_EQ(path, dir / "completo.TXT");
    EXPECT_EQ(folderEntries(dir.path()), std::set<std::string>{"completo.TXT"});
}

TEST(RepairFailures, AFullDiskLeavesTheDeliveryAndAnEarlierCopyAsTheyWere)
{
    crv::test::SmallDisk disk(256 * 1024);
    CRV_NEED_SMALL_DISK(disk);
    // Deliveries larger than the room left: no complete copy fits.
    std::string cases;
    for (int i = 0; i < 2000; ++i) cases += "<documento numero=\"" + std::to_string(i) + "\"/>\r\n";
    writeFile(disk / "senza_fine.xml", "<root>\r\n" + cases);
    writeFile(disk / "GM_XML", cases);
    writeFile(disk / "GM_XML.xml", "copia di prima\r\n");
    disk.fillLeaving(16 * 1024);
    const std::set<std::string> before = folderEntries(disk.path());
    const std::string reason = ": disco pieno nella cartella " + disk.path().string();

    fs::path path = disk / "senza_fine.xml";
    try {
        crv::AccodaFineRoot(path);
        ADD_FAILURE() << "completed on a full disk";
    } catch (const crv::RepairError& e) {
        EXPECT_EQ(std::string(e.what()), "Impossibile aggiungere </root> alla fine del file " + path.string() + reason +
                                             ". Il file è rimasto com'era");
    }
    EXPECT_EQ(readFile(path), "<root>\r\n" + cases);
    path = disk / "GM_XML";
    try {
        (void)crv::Converti2XML(path);
        ADD_FAILURE() << "converted on a full disk";
    } catch (const crv::RepairError& e) {
        EXPECT_EQ(std::string(e.what()), "Impossibile scrivere il file " + path.string() + ".xml" + reason);
    }
    EXPECT_EQ(path, disk / "GM_XML");
    EXPECT_EQ(readFile(disk / "GM_XML.xml"), "copia di prima\r\n");
    EXPECT_EQ(folderEntries(disk.path()), before);
}
