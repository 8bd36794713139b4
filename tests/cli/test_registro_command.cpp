// The register as the commands keep it: two imports that end together,
// made to wait on the lock this test holds, a register that cannot be
// written, and the batches' deliveries in `crvxml lotti`.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <memory>
#include <set>

#include <QCryptographicHash>

#include "app/registro.h"
#include "db/connection_string.h"
#include "text/encoding.h"
#include "support/background_run.h"
#include "support/golden_support.h"

namespace crv::test {
namespace {

class RegistroCommand : public ::testing::Test {
protected:
    RegistroCommand()
    {
        const ProgramRun made = runCrvxml({"init-db", "--radice", root()}, "C.UTF-8");
        EXPECT_EQ(made.status, 0) << made.err;
        std::filesystem::copy_file(dataFile("corvestra/completo.xml"), suite.paths().importDir() / "consegna_marzo.xml");
    }
    std::string root() const { return suite.paths().root.string(); }
    std::string registro() const { return fileRegistro(suite.paths()).string(); }
    ProgramRun crvxml(std::vector<std::string> args) const
    {
        args.insert(args.begin() + 1, {"--radice", root(), "--locale", "it_IT"});
        return runCrvxml(args, "C.UTF-8");
    }

    SuiteFixture suite;
};

// Two imports at once: each finds the register locked (by this test), says
// it waits, and once the lock goes both lines are there, whole, after one
// header.
TEST_F(RegistroCommand, TwoImportsWaitingOnTheLockBothAppendWholeLines)
{
    const int fd = ::open(registro().c_str(), O_RDWR | O_CREAT, 0666);
    ASSERT_GE(fd, 0);
    struct flock whole {};
    whole.l_type = F_WRLCK;
    whole.l_whence = SEEK_SET;
    ASSERT_EQ(::fcntl(fd, F_SETLK, &whole), 0);

    const std::string waiting = "Il registro " + registro() + " è in uso da un altro programma: attendo";
    std::vector<std::unique_ptr<BackgroundRun>> runs;
    // The test run would find the other's cases once they are committed, and
    // end as the normal run then would: here it does not look.
    for (const char* mode : {"--solo-test", "--no-solo-test"})
        runs.push_back(std::make_unique<BackgroundRun>(std::vector<std::string>{
            "import", "--radice", root(), "--locale", "it_IT", mode, "--anche-gia-presenti", "consegna_marzo.xml"}));
    // Both reach the lock and say so before either is let through.
    for (auto& run : runs) ASSERT_TRUE(run->waitForErr(waiting)) << run->finish().err;
    // Looked at through the lock's own descriptor: closing another one of
    // this process's on the file would let the lock go.
    struct stat status {};
    ASSERT_EQ(::fstat(fd, &status), 0);
    EXPECT_EQ(status.st_size, 0);
    ::close(fd);

    for (auto& run : runs) {
        const ProgramRun ended = run->finish();
        EXPECT_EQ(ended.status, 0) << ended.err;
        EXPECT_EQ(ended.err.find("Registro non aggiornato"), std::string::npos) << ended.err;
    }
    const std::string text = readFile(registro());
    EXPECT_TRUE(text.starts_with(intestazioneRegistro())) << text;
    EXPECT_EQ(text.find(intestazioneRegistro(), 1), std::string::npos) << text;
    const std::vector<VoceRegistro> voci = registroDaTesto(text);
    ASSERT_EQ(voci.size(), 2u) << text;
    std::set<std::string> modi;
    for (const VoceRegistro& v : voci) {
        EXPECT_EQ(v.operazione, "import");
        EXPECT_EQ(v.esito, "conclusa");
        EXPECT_EQ(v.file, "consegna_marzo.xml");
        EXPECT_EQ(v.dimensione, std::filesystem::file_size(suite.paths().importDir() / "consegna_marzo.xml"));
        EXPECT_EQ(v.lette, 3);
        modi.insert(v.modo + ":" + std::to_string(v.scritte.value_or(-1)) + ":" + (v.lotto ? "lotto" : "-"));
    }
    EXPECT_EQ(modi, (std::set<std::string>{"prova:0:-", "normale:3:lotto"}));
}

// A register that cannot be written or read is said, where its line or its
// warning of a delivery imported before would be, and the run is as it
// would be; a link planted in its place is not followed to the file it names.
TEST_F(RegistroCommand, ARegisterThatCannotBeWrittenOrReadIsSaidAndNeverStopsARun)
{
    const std::filesystem::path altro = suite.paths().root / "altro.txt";
    const struct {
        std::function<void()> plant;
        std::string reason;
    } cases[] = {
        {[&] { std::filesystem::create_directories(registro()); }, "è una cartella"},
        {[&] {
             writeFile(altro, "di un altro\n");
             std::filesystem::create_symlink(altro, registro());
         },
         "è un collegamento simbolico, che non si segue: la riga non è stata scritta"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        std::filesystem::remove_all(registro());
        c.plant();
        const ProgramRun imported = crvxml({"import", "--no-solo-test", "--anche-gia-presenti", "consegna_marzo.xml"});
        EXPECT_EQ(imported.status, 0) << imported.err;
        EXPECT_NE(imported.err.find("Importazione Conclusa\n"), std::string::npos) << imported.err;
        EXPECT_NE(imported.err.find("Registro non aggiornato: " + registro() + ": " + c.reason + "\n"),
                  std::string::npos)
            << imported.err;
        const std::string unread = "Registro non leggibile: " + registro() + ": " + c.reason.substr(0, c.reason.find(':'));
        EXPECT_NE(imported.err.find(unread + ": non si può sapere se lo stesso file fu già importato\n"),
                  std::string::npos)
            << imported.err;
        const ProgramRun lotti = crvxml({"lotti"});
        EXPECT_EQ(lotti.status, 0) << lotti.err;
        EXPECT_NE(lotti.err.find(unread + ": la colonna File resta vuota\n"), std::string::npos) << lotti.err;

        const ProgramRun exported = crvxml({"esporta", "--uscita", (suite.paths().root / "casi.xlsx").string()});
        EXPECT_EQ(exported.status, 0) << exported.err;
        EXPECT_NE(exported.err.find("Registro non aggiornato: " + registro() + ": " + c.reason), std::string::npos)
            << exported.err;
    }
    EXPECT_EQ(readFile(altro), "di un altro\n");
}

// The delivery's size is the file's own however far a run read it, and its
// SHA-256 is the whole file's or none: a run that stopped early read a part.
TEST_F(RegistroCommand, TheDeliverysSizeIsTheFilesAndItsSha256TheWholeFilesOrNone)
{
    const auto lunga = [](int errata) {
        std::string x = "<?xml version=\"1.0\"?>\n<CORVESTRA>\n";
        for (int i = 1; i <= 20000; ++i)
            x += "<PRATICA><DATI_IDENTIFICATIVI><CODICE_PRATICA>L-" + std::to_string(i) +
                 "</CODICE_PRATICA></DATI_IDENTIFICATIVI><AFFIDAMENTI><SCADENZE><CAPITALE>" +
                 (i == errata ? "molto" : "10") + "</CAPITALE></SCADENZE></AFFIDAMENTI></PRATICA>\n";
        return x + "</CORVESTRA>\n";
    };
    writeFile(suite.paths().importDir() / "errata_presto.xml", lunga(2));
    writeFile(suite.paths().importDir() / "errata_in_fondo.xml", lunga(20000));
    const struct {
        std::vector<std::string> args;
        const char* esito;
        bool whole;  // read whole: its SHA-256
    } cases[] = {
        {{"import", "--no-solo-test", "consegna_marzo.xml"}, "conclusa", true},
        {{"import", "errata_presto.xml"}, "dato errato", false},
        {{"import", "--no-solo-test", "errata_presto.xml"}, "dato errato", false},
        {{"import", "--no-solo-test", "errata_in_fondo.xml"}, "dato errato", true},
        {{"import", "--no-solo-test", "--mandato", "", "consegna_marzo.xml"}, "parametro errato", false},
    };
    for (const auto& c : cases) {
        const std::string file = c.args.back();
        SCOPED_TRACE(file + " " + c.esito);
        crvxml(c.args);
        const VoceRegistro v = leggiRegistro(fileRegistro(suite.paths())).back();
        EXPECT_EQ(v.esito, c.esito);
        const QByteArray bytes = QByteArray::fromStdString(readFile(suite.paths().importDir() / file));
        EXPECT_EQ(v.dimensione, static_cast<std::uint64_t>(bytes.size()));
        EXPECT_EQ(v.sha256,
                  c.whole ? QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex().toStdString() : "");
    }
}

// Each utility's run is a line: what it did, on which batch or workbook.
TEST_F(RegistroCommand, EveryCommandThatTouchesTheArchiveLeavesALine)
{
    const std::string workbook = (suite.paths().root / "casi.xlsx").string();
    const struct {
        std::vector<std::string> args;
        int status;
        std::string operazione, modo, esito, file;
        std::optional<std::int64_t> lotto, lette, scritte;
    } cases[] = {
        {{"import", "--no-solo-test", "consegna_marzo.xml"}, 0, "import", "normale", "conclusa", "consegna_marzo.xml", 1, 3, 3},
        {{"import", "--no-solo-test", "manca.xml"}, 1, "import", "normale", "file mancante", "manca.xml", {}, 0, 0},
        {{"esporta", "--uscita", workbook}, 0, "esporta", "normale", "terminata", workbook, {}, 3, 3},
        {{"note-comuni", "--prova"}, 0, "note-comuni", "prova", "terminata", "", {}, 3, 0},
        {{"note-comuni"}, 0, "note-comuni", "normale", "terminata", "", {}, 3, 0},
        {{"annulla-lotto", "1"}, 0, "annulla-lotto", "prova", "terminata", "", 1, 3, 0},
        {{"annulla-lotto", "1", "--conferma"}, 0, "annulla-lotto", "normale", "terminata", "", 1, 3, 3},
        {{"annulla-lotto", "1", "--conferma"}, 1, "annulla-lotto", "normale", "rifiutata", "", 1, 0, 0},
    };
    std::size_t lines = 0;
    for (const auto& c : cases) {
        const ProgramRun run = crvxml(c.args);
        EXPECT_EQ(run.status, c.status) << c.args.front() << ": " << run.err;
        const std::vector<VoceRegistro> voci = leggiRegistro(fileRegistro(suite.paths()));
        ASSERT_EQ(voci.size(), ++lines) << c.args.front();
        const VoceRegistro& v = voci.back();
        EXPECT_EQ(v.operazione + "|" + v.modo + "|" + v.esito + "|" + v.file,
                  c.operazione + "|" + c.modo + "|" + c.esito + "|" + c.file);
        EXPECT_EQ(v.lotto, c.lotto) << c.args.front();
        EXPECT_EQ(v.lette, c.lette) << c.args.front();
        EXPECT_EQ(v.scritte, c.scritte) << c.args.front();
        EXPECT_EQ(v.database, db::captionText(db::sqliteConnString(suite.paths().accessDb().string())));
        EXPECT_FALSE(v.utente.empty());
        EXPECT_LE(v.inizio, v.fine);
        EXPECT_EQ(v.inizio.size(), 19u) << v.inizio;
    }
}

// The same bytes under another name: the run says so before it tells of the
// cases already in the archive; other bytes say nothing. The register holds
// each delivery's SHA-256 as another implementation computes it.
TEST_F(RegistroCommand, TheSameDeliveryUnderAnyNameIsToldBeforeTheArchiveCheck)
{
    const auto import = suite.paths().importDir();
    std::filesystem::copy_file(import / "consegna_marzo.xml", import / "copia.xml");
    writeFile(import / "diversa.xml", readFile(import / "consegna_marzo.xml") + "\n");
    ASSERT_EQ(crvxml({"import", "--no-solo-test", "consegna_marzo.xml"}).status, 0);
    const VoceRegistro first = leggiRegistro(fileRegistro(suite.paths())).back();
    const std::string quando = first.inizio.substr(8, 2) + "/" + first.inizio.substr(5, 2) + "/" +
                               first.inizio.substr(0, 4) + " " + first.inizio.substr(11, 5);
    const std::string told = "Lo stesso file fu importato come consegna_marzo.xml il " + quando + ", lotto 1\n";

    const ProgramRun again = crvxml({"import", "--no-solo-test", "copia.xml"});
    EXPECT_EQ(again.status, 1);
    EXPECT_NE(again.err.find(told + "Pratiche già presenti in archivio: 3 delle 3"), std::string::npos) << again.err;
    // A test run reaches the normal run's verdict, told the same way.
    const ProgramRun test = crvxml({"import", "copia.xml"});
    EXPECT_EQ(test.status, 1);
    EXPECT_NE(test.err.find(told + "Pratiche già presenti in archivio: 3 delle 3"), std::string::npos) << test.err;
    const ProgramRun other = crvxml({"import", "--no-solo-test", "--anche-gia-presenti", "diversa.xml"});
    EXPECT_EQ(other.status, 0);
    EXPECT_EQ(other.err.find("Lo stesso file"), std::string::npos) << other.err;

    for (const VoceRegistro& v : leggiRegistro(fileRegistro(suite.paths()))) {
        const QByteArray bytes = QByteArray::fromStdString(readFile(import / v.file));
        EXPECT_EQ(v.sha256, QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex().toStdString()) << v.file;
        EXPECT_EQ(v.dimensione, static_cast<std::uint64_t>(bytes.size())) << v.file;
    }
}

// crvxml lotti names each batch's delivery; a batch the register does not
// know has none. A name that is not UTF-8 is written as UTF-8 into the
// register, and the terminal's escape sequences of a name are shown as blanks.
TEST_F(RegistroCommand, LottiShowsTheDeliveryOfEachBatchTheRegisterKnows)
{
    ASSERT_EQ(crvxml({"import", "--no-solo-test", "consegna_marzo.xml"}).status, 0);
    const std::filesystem::path kept = suite.paths().root / "registro.csv";
    std::filesystem::rename(registro(), kept);
    ASSERT_EQ(crvxml({"import", "--no-solo-test", "--anche-gia-presenti", "consegna_marzo.xml"}).status, 0);
    std::filesystem::rename(kept, registro());
    const std::string strano = "rosso\x1b[31m_per\xF2.xml";  // an escape sequence, a Latin-1 letter
    std::filesystem::copy_file(suite.paths().importDir() / "consegna_marzo.xml", suite.paths().importDir() / strano);
    ASSERT_EQ(crvxml({"import", "--no-solo-test", "--anche-gia-presenti", strano}).status, 0);
    EXPECT_TRUE(isValidUtf8(readFile(registro())));
    EXPECT_EQ(leggiRegistro(fileRegistro(suite.paths())).back().file, "rosso\x1b[31m_per\xC3\xB2.xml");

    const ProgramRun lotti = crvxml({"lotti"});
    ASSERT_EQ(lotti.status, 0) << lotti.err;
    std::vector<std::string> lines;
    for (std::size_t at = 0, end; (end = lotti.out.find('\n', at)) != std::string::npos; at = end + 1)
        lines.push_back(lotti.out.substr(at, end - at));
    ASSERT_EQ(lines.size(), 4u) << lotti.out;
    EXPECT_TRUE(lines[0].ends_with("  Pratiche oggi  File")) << lines[0];
    EXPECT_TRUE(lines[1].starts_with("     3  ") && lines[1].ends_with("  3  rosso [31m_per\xC3\xB2.xml")) << lines[1];
    EXPECT_TRUE(lines[2].starts_with("     2  ") && lines[2].ends_with("  3  ")) << lines[2];
    EXPECT_TRUE(lines[3].starts_with("     1  ") && lines[3].ends_with("  3  consegna_marzo.xml")) << lines[3];
}

}  // namespace
}  // namespace crv::test
