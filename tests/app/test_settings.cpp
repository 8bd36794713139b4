#include "app/settings.h"

#include "support/small_disk.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;
using crv::LeggiImpostazioni;
using crv::LeggiIni;
using crv::SalvaImpostazioni;
using crv::SettingsError;
using crv::WindowSettings;
using crv::test::dataFile;
using crv::test::SmallDisk;
using crv::test::readFile;
using crv::test::TempDir;
using crv::test::writeFile;

namespace crv {
void PrintTo(const WindowSettings& s, std::ostream* os)
{
    *os << "{" << s.mandato << "|" << s.intervento << "|" << s.sitAffido << "| sezioni";
    for (const int v : s.sezioni) *os << " " << v;
    *os << " | " << s.dettagli << " " << s.soloTest << " " << s.spRec << " " << s.intDaFile << " "
        << s.usaAccess << " " << s.completa << "}";
}
}  // namespace crv

namespace {

// The settings the sample file Crv_XML.ini was written from.
WindowSettings sampleSettings()
{
    WindowSettings s;
    s.mandato = "DEZ";
    s.intervento = "SOL";
    s.sitAffido = "\u00C8";  // È, one byte in the file
    s.sezioni = {1, 1, 1, 1, 0, 1};
    s.dettagli = 1;
    s.soloTest = 0;
    s.spRec = 1;
    s.intDaFile = 0;
    s.usaAccess = 1;
    return s;
}

WindowSettings readFrom(const fs::path& file, WindowSettings start = {})
{
    LeggiImpostazioni(file, start);
    return start;
}

// Fourteen lines with the given line bodies, CR LF after each.
std::string lines(std::initializer_list<std::string> bodies)
{
    std::string text;
    for (const auto& body : bodies) text += body + "\r\n";
    return text;
}

}  // namespace

TEST(Settings, WritesTheFourteenLinesInWindows1252AndReadsThemBack)
{
    TempDir dir;
    const auto file = dir / "Crv_XML.ini";
    SalvaImpostazioni(file, sampleSettings());
    // The old window's fourteen lines, then "Completa".
    EXPECT_EQ(readFile(file), readFile(dataFile("settings/Crv_XML.ini")) + " 0 \r\n");
    EXPECT_EQ(readFrom(dataFile("settings/Crv_XML.ini")), sampleSettings());
    EXPECT_FALSE(fs::exists(dir / "Crv_XML.ini.tmp"));

    // Saving again replaces the content whole.
    WindowSettings other;
    other.sezioni = {2, 0, 0, 0, 0, 0};
    other.usaAccess = 0;
    SalvaImpostazioni(file, other);
    EXPECT_EQ(readFrom(file, sampleSettings()), other);
}

TEST(Settings, MissingFileLeavesTheSettingsAsTheyAre)
{
    TempDir dir;
    EXPECT_EQ(readFrom(dir / "Crv_XML.ini", sampleSettings()), sampleSettings());
}

TEST(Settings, CommaInATextShiftsEveryLaterValue)
{
    // A file an older program saved with a comma in the mandate code.
    TempDir dir;
    const auto file = dir / "Crv_XML.ini";
    writeFile(file, lines({"A,B", "MO", "X", " 0 ", " 1 ", " 0 ", " 1 ", " 0 ", " 1 ", " 0 ", " 1 ", " 0 ", " 1 ",
                           " 2 "}));

    // Values read: A, B, MO, X, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 2 (line 15 unread).
    WindowSettings expected;
    expected.mandato = "A";
    expected.intervento = "B";
    expected.sitAffido = "MO";
    expected.sezioni = {1, 0, 1, 0, 1, 0};  // "X" is no state: the first switch keeps its value
    expected.dettagli = 1;
    expected.soloTest = 0;
    expected.spRec = 1;
    expected.intDaFile = 0;
    expected.usaAccess = 1;
    expected.completa = 2;
    EXPECT_EQ(readFrom(file), expected);
}

TEST(Settings, ShortFileAppliesTheValueReadLastToTheRest)
{
    // Three texts: the last text goes to every check box and is no state.
    WindowSettings expected;
    expected.mandato = "ABC";
    expected.intervento = "XY";
    expected.sitAffido = "Z";
    EXPECT_EQ(readFrom(dataFile("settings/three_lines.ini")), expected);

    // A state as the last line: every later check box takes it.
    TempDir dir;
    const auto file = dir / "Crv_XML.ini";
    writeFile(file, lines({"CRV", "MO", "A", " 0 "}));
    WindowSettings allClear;
    allClear.sezioni = {0, 0, 0, 0, 0, 0};
    allClear.dettagli = allClear.soloTest = allClear.spRec = allClear.intDaFile =
        allClear.usaAccess = 0;
    EXPECT_EQ(readFrom(file), allClear);

    // A file with nothing in it: the empty buffer goes to the texts.
    writeFile(file, "");
    WindowSettings emptyTexts = sampleSettings();
    emptyTexts.mandato = emptyTexts.intervento = emptyTexts.sitAffido = "";
    EXPECT_EQ(readFrom(file, sampleSettings()), emptyTexts);
}

TEST(Settings, CheckBoxTakesOnlyAWholeNumberThatIsAState)
{
    TempDir dir;
    const auto file = dir / "Crv_XML.ini";
    writeFile(file, lines({"CRV", "MO", "A", " 5 ", "x", "", "1.0", "-1", " 2 ", "0", "+1",
                           "  1  x", "99999999999", "\" 0 \""}));
    // Lines 4 to 14 go to the six switches, then Dettagli, Solo Test, ->sp.rec,
    // int.da file and Access.
    const WindowSettings start = sampleSettings();
    WindowSettings expected = start;
    expected.mandato = "CRV";
    expected.intervento = "MO";
    expected.sitAffido = "A";
    expected.sezioni[5] = 2;   // " 2 ": greyed
    expected.dettagli = 0;     // "0"
    expected.soloTest = 1;     // "+1"
    expected.usaAccess = 0;    // quoted " 0 ": blanks around the number are allowed
    EXPECT_EQ(readFrom(file, start), expected);
}

TEST(Settings, QuotedValueRunsToTheNextQuote)
{
    TempDir dir;
    const auto file = dir / "Crv_XML.ini";
    writeFile(file, lines({"\"A,B\"", "\"  M\"O", "\"X", "Y\"", " 0 ", " 0 ", " 0 ", " 0 ", " 0 ",
                           " 0 ", " 0 ", " 0 ", " 0 ", " 0 "}));
    const WindowSettings read = readFrom(file);
    EXPECT_EQ(read.mandato, "A,B");
    EXPECT_EQ(read.intervento, "  M");
    // The quote opened on line 3 closes on line 4: the value "X\r\nY" spans the
    // line end and the box keeps its first three characters; every later line
    // moves up by one and the last state is read twice.
    EXPECT_EQ(read.sitAffido, "X\r\n");
    EXPECT_EQ(read.usaAccess, 0);
}

TEST(Settings, TextsAreKeptToTheBoxesThreeCharacters)
{
    TempDir dir;
    const auto file = dir / "Crv_XML.ini";
    // A quote opened on the first line and never closed: one value runs to
    // the end of the file and every control takes it.
    writeFile(file, "\"DEZ ABC\r\nMO\r\nA\r\n 1 \r\n 0 \r\n 1 \r\n 1 \r\n 1 \r\n 1 \r\n 1 \r\n 1 \r\n 0 \r\n 1 \r\n 0 \r\n");
    const WindowSettings garbled = readFrom(file);
    EXPECT_EQ(garbled.mandato, "DEZ");
    EXPECT_EQ(garbled.intervento, "DEZ");
    EXPECT_EQ(garbled.sitAffido, "DEZ");
    EXPECT_EQ(garbled.sezioni, WindowSettings{}.sezioni);  // the long value is no state

    // Characters, not bytes: four accented letters (one byte each in the
    // file, two in UTF-8) keep three.
    writeFile(file, lines({"\xC8\xC8\xC8\xC8", "AB", "\xE0" "bcd", " 1 "}));
    const WindowSettings accented = readFrom(file);
    EXPECT_EQ(accented.mandato, "\u00C8\u00C8\u00C8");
    EXPECT_EQ(accented.intervento, "AB");
    EXPECT_EQ(accented.sitAffido, "\u00E0bc");
}

TEST(Settings, SaveIntoAMissingFolderFails)
{
    TempDir dir;
    const auto file = dir / "manca" / "Crv_XML.ini";
    try {
        SalvaImpostazioni(file, sampleSettings());
        FAIL() << "no error";
    } catch (const SettingsError& e) {
        EXPECT_NE(std::string(e.what()).find(file.string()), std::string::npos) << e.what();
    }
    EXPECT_FALSE(fs::exists(dir / "manca"));
}

TEST(Settings, SaveOverAReadOnlyFileFailsAndLeavesItWhole)
{
    TempDir dir;
    const auto file = dir / "Crv_XML.ini";
    SalvaImpostazioni(file, sampleSettings());
    const std::string before = readFile(file);
    fs::permissions(file, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);

    EXPECT_THROW(SalvaImpostazioni(file, WindowSettings{}), SettingsError);
    EXPECT_EQ(readFile(file), before);
    EXPECT_FALSE(fs::exists(dir / "Crv_XML.ini.tmp"));
    fs::permissions(file, fs::perms::owner_write, fs::perm_options::add);
}

TEST(Settings, SaveWhenTheTemporaryFileCannotBeMadeLeavesTheOldFile)
{
    SmallDisk disk(64 * 1024);
    CRV_NEED_SMALL_DISK(disk);
    const auto file = disk / "Crv_XML.ini";
    SalvaImpostazioni(file, sampleSettings());
    const std::string before = readFile(file);
    // The name the new content once went to, planted as a link.
    writeFile(disk / "vittima", "intatta");
    fs::create_symlink(disk / "vittima", disk / "Crv_XML.ini.tmp");
    disk.fillLeaving(0);

    try {
        SalvaImpostazioni(file, WindowSettings{});
        FAIL() << "saved on a full disk";
    } catch (const SettingsError& e) {
        EXPECT_EQ(std::string(e.what()), "Impossibile salvare le impostazioni nel file " + file.string() +
                                             ": disco pieno nella cartella " + disk.path().string());
    }
    EXPECT_EQ(readFile(file), before);
    EXPECT_EQ(readFile(disk / "vittima"), "intatta");
    EXPECT_EQ(std::distance(fs::directory_iterator(disk.path()), {}), 4) << "the file, the link, its target, the filler";
}

TEST(Settings, ValuesTheFileCannotKeepAreRefusedAndNothingIsSaved)
{
    TempDir dir;
    const auto file = dir / "Crv_XML.ini";
    SalvaImpostazioni(file, sampleSettings());
    const std::string before = readFile(file);
    const struct {
        std::string WindowSettings::*box;
        const char* value;
        const char* message;
    } cases[] = {
        {&WindowSettings::mandato, "A,B", "Mandato contiene una virgola"},
        {&WindowSettings::intervento, "\"X", "Intervento contiene un doppio apice"},
        {&WindowSettings::sitAffido, "A\nB", "Sit.Affido contiene un a capo"},
        {&WindowSettings::mandato, "\r", "Mandato contiene un a capo"},
    };
    for (const auto& c : cases) {
        WindowSettings s;
        s.*c.box = c.value;
        EXPECT_EQ(crv::valoreNonSalvabile(s).rfind(c.message, 0), 0u) << crv::valoreNonSalvabile(s);
        EXPECT_THROW(SalvaImpostazioni(file, s), SettingsError) << c.value;
    }
    EXPECT_EQ(readFile(file), before);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 1);
    EXPECT_EQ(crv::valoreNonSalvabile(sampleSettings()), "");
}

TEST(LeggiIni, MatchesTheKeyIgnoringCaseAtTheStartOfTheLineOnly)
{
    const auto ini = dataFile("settings/vex32.ini");
    // The lines with a blank before the key or before its "=" are passed over;
    // the value keeps its own "=" signs and loses the blanks at both ends.
    const std::string expected =
        "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=Z:\\work\\vex32\\dati\\vex.mdb;"
        "Jet OLEDB:Database Password=a=b";
    EXPECT_EQ(LeggiIni(ini, "connstring="), expected);
    EXPECT_EQ(LeggiIni(ini, "ConnString="), expected);
    EXPECT_EQ(LeggiIni(ini, "utente="), "Jos\u00E8");
    EXPECT_EQ(LeggiIni(ini, "password="), "");
}

TEST(LeggiIni, MissingFileOrLfLinesAreHandled)
{
    TempDir dir;
    EXPECT_EQ(LeggiIni(dir / "vex32.ini", "connstring="), "");

    writeFile(dir / "vex32.ini", "altro=1\nconnstring= DSN=vex \nconnstring=dopo\n");
    EXPECT_EQ(LeggiIni(dir / "vex32.ini", "connstring="), "DSN=vex");

    writeFile(dir / "vex32.ini", "connstring=ultima");  // no line end at all
    EXPECT_EQ(LeggiIni(dir / "vex32.ini", "connstring="), "ultima");
}
