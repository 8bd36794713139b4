// The register of runs: its CSV read back whole, read by column names, the
// lookups of the batches' deliveries and of a delivery imported before,
// and appends under a lock another process holds.
#include "app/registro.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

#include "files/locked_append.h"
#include "files/whole_file.h"
#include "support/test_support.h"

namespace crv::test {
namespace {

VoceRegistro voce(std::string file, std::string sha256, std::optional<std::int64_t> lotto)
{
    VoceRegistro v;
    v.inizio = "2026-12-03 10:41:07";
    v.fine = "2026-12-03 10:42:00";
    v.utente = "operatore";
    v.macchina = "pc-ufficio";
    v.operazione = "import";
    v.modo = "normale";
    v.file = std::move(file);
    v.dimensione = 5833;
    v.sha256 = std::move(sha256);
    v.esito = "conclusa";
    v.lotto = lotto;
    v.lette = 3;
    v.scritte = 3;
    v.database = "Provider=SQLite;Data Source=/srv/vex32/dati/vex.sqlite";
    v.messaggio = "Importazione Conclusa";
    v.programma = "crvxml 0.1.20";
    return v;
}

bool same(const VoceRegistro& a, const VoceRegistro& b)
{
    return rigaRegistro(a) == rigaRegistro(b) && a.file == b.file && a.messaggio == b.messaggio;
}

// Whatever a field holds comes back as it was, and no field can leave its
// column or its line, nor start a formula in a spreadsheet.
TEST(Registro, EveryFieldReadsBackAsItWasWritten)
{
    const std::vector<std::string> files = {
        "consegna_marzo.xml",
        "due;punti e virgola.xml",
        "con \"virgolette\".xml",
        "a capo\r\nnel nome.xml",
        " spazi ai lati ",
        "=HYPERLINK(\"http://x\";\"clic\")",
        "-2+3",
        "@SUM(A1)",
        "'=già protetto",
        "àèìòù €.xml",
        "",
    };
    std::string text = intestazioneRegistro();
    std::vector<VoceRegistro> written;
    for (const std::string& name : files) {
        written.push_back(voce(name, "ab", 1));
        written.back().messaggio = name;
        const std::string line = rigaRegistro(written.back());
        text += line;
        // A formula's first character never starts the cell.
        for (const char* start : {";=", ";+", ";-", ";@", ";\"="})
            EXPECT_EQ(line.find(start), std::string::npos) << line;
    }
    written.push_back(voce("senza numeri", "", std::nullopt));
    written.back().dimensione.reset();
    written.back().lette.reset();
    text += rigaRegistro(written.back());

    const std::vector<VoceRegistro> read = registroDaTesto(text);
    ASSERT_EQ(read.size(), written.size());
    for (std::size_t i = 0; i < read.size(); ++i) {
        EXPECT_TRUE(same(read[i], written[i])) << i << ": " << rigaRegistro(read[i]);
        EXPECT_EQ(read[i].file, written[i].file);
    }
    EXPECT_TRUE(text.starts_with("\xEF\xBB\xBFinizio;fine;utente;macchina;operazione;modo;file;dimensione;sha256;"
                                 "esito;lotto;pratiche lette;pratiche scritte;database;messaggio;programma\r\n"));
    // Bytes that are not UTF-8 (a name from an 8-bit system) are written as
    // the letters they were, beside the UTF-8 ones.
    const VoceRegistro latin1 = voce("per\xF2 \xE0 \xC3\xA8.xml", "", 1);
    EXPECT_EQ(registroDaTesto(intestazioneRegistro() + rigaRegistro(latin1)).front().file,
              "per\xC3\xB2 \xC3\xA0 \xC3\xA8.xml");
}

// A register of another version: columns in another order, one more, one
// less, a line shorter than the header, a number that does not read.
TEST(Registro, ColumnsAreReadByTheirNames)
{
    const std::string text =
        "\xEF\xBB\xBF" "lotto;colonna nuova;file;operazione;modo;esito;database;sha256\r\n"
        "17;x;marzo.xml;import;normale;conclusa;db;aa\r\n"
        "diciotto;y;aprile.xml;import;normale;conclusa;db\n"
        "19;z\r\n";
    const std::vector<VoceRegistro> read = registroDaTesto(text);
    ASSERT_EQ(read.size(), 3u);
    EXPECT_EQ(read[0].lotto, 17);
    EXPECT_EQ(read[0].file, "marzo.xml");
    EXPECT_EQ(read[0].sha256, "aa");
    EXPECT_EQ(read[1].lotto, std::nullopt);
    EXPECT_EQ(read[1].file, "aprile.xml");
    EXPECT_EQ(read[1].sha256, "");
    EXPECT_EQ(read[2].lotto, 19);
    EXPECT_EQ(read[2].file, "");
    EXPECT_TRUE(registroDaTesto("").empty());
}

// Only the normal imports that concluded, into the same database, name a
// batch's delivery or tell of the same delivery imported before.
TEST(Registro, BatchesAndDeliveriesImportedBefore)
{
    const std::string db = "Provider=SQLite;Data Source=/srv/vex32/dati/vex.sqlite";
    std::vector<VoceRegistro> voci;
    voci.push_back(voce("consegna_marzo.xml", "aa", 17));
    voci.push_back(voce("prova.xml", "aa", std::nullopt));
    voci.back().modo = "prova";
    voci.push_back(voce("annullata.xml", "aa", 18));
    voci.back().esito = "interrotta";
    voci.push_back(voce("altro_db.xml", "aa", 19));
    voci.back().database = "Provider=PostgreSQL;host=db";
    voci.push_back(voce("copia_di_marzo.xml", "aa", 20));
    voci.back().inizio = "2026-12-04 09:05:00";
    voci.push_back(voce("aprile.xml", "bb", 21));
    VoceRegistro annullo = voce("", "", 20);
    annullo.operazione = "annulla-lotto";
    annullo.esito = "terminata";
    annullo.inizio = "2026-12-05 08:00:30";
    voci.push_back(annullo);
    VoceRegistro soloMostrato = annullo;
    soloMostrato.modo = "prova";
    soloMostrato.lotto = 17;
    voci.push_back(soloMostrato);
    for (std::int64_t lotto = 30; lotto < 34; ++lotto) voci.push_back(voce("ripetuta.xml", "dd", lotto));

    EXPECT_EQ(fileDeiLotti(voci, db),
              (std::map<std::int64_t, std::string>{{17, "consegna_marzo.xml"}, {20, "copia_di_marzo.xml"},
                                                   {21, "aprile.xml"}, {30, "ripetuta.xml"}, {31, "ripetuta.xml"},
                                                   {32, "ripetuta.xml"}, {33, "ripetuta.xml"}}));

    const Regional it = Regional::italian();
    const struct {
        const char* sha256;
        std::string database;
        std::optional<std::string> message;
    } cases[] = {
        {"aa", db,
         "Lo stesso file fu importato come consegna_marzo.xml il 03/12/2026 10:41, lotto 17;\n"
         "e come copia_di_marzo.xml il 04/12/2026 09:05, lotto 20 (annullato il 05/12/2026 08:00)"},
        {"bb", db, "Lo stesso file fu importato come aprile.xml il 03/12/2026 10:41, lotto 21"},
        {"aa", "Provider=PostgreSQL;host=db", "Lo stesso file fu importato come altro_db.xml il 03/12/2026 10:41, lotto 19"},
        {"dd", db,
         "Lo stesso file fu importato 4 volte; le ultime 3 come ripetuta.xml il 03/12/2026 10:41, lotto 31;\n"
         "e come ripetuta.xml il 03/12/2026 10:41, lotto 32;\ne come ripetuta.xml il 03/12/2026 10:41, lotto 33"},
        {"cc", db, std::nullopt},
        {"", db, std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(giaImportato(voci, c.sha256, c.database, it), c.message) << c.sha256;
}

// A process that holds the register's lock until the test lets it go.
class LockHolder {
public:
    explicit LockHolder(const std::filesystem::path& file)
    {
        int ready[2], release[2];
        if (::pipe(ready) != 0 || ::pipe(release) != 0) throw std::runtime_error("pipe");
        pid_ = ::fork();
        if (pid_ == 0) {
            // Only the test's end of each pipe stays open in the test.
            ::close(ready[0]);
            ::close(release[1]);
            const int fd = ::open(file.c_str(), O_RDWR | O_CREAT, 0666);
            struct flock whole {};
            whole.l_type = F_WRLCK;
            whole.l_whence = SEEK_SET;
            const char ok = (fd >= 0 && ::fcntl(fd, F_SETLKW, &whole) == 0) ? 'y' : 'n';
            [[maybe_unused]] const auto w = ::write(ready[1], &ok, 1);
            char c;
            [[maybe_unused]] const auto r = ::read(release[0], &c, 1);  // until the test closes its end
            ::_exit(0);
        }
        ::close(ready[1]);
        ::close(release[0]);
        release_ = release[1];
        char ok = 'n';
        locked_ = ::read(ready[0], &ok, 1) == 1 && ok == 'y';
        ::close(ready[0]);
    }
    ~LockHolder() { letGo(); }
    bool locked() const { return locked_; }
    void letGo()
    {
        if (release_ < 0) return;
        ::close(release_);
        release_ = -1;
        int status = 0;
        ::waitpid(pid_, &status, 0);
    }

private:
    pid_t pid_ = -1;
    int release_ = -1;
    bool locked_ = false;
};

TEST(LockedAppend, WaitsForTheHolderThenWritesWholeLines)
{
    TempDir dir;
    const auto file = dir / "registro.csv";
    AppendOptions options;
    options.header = "h\r\n";
    options.maxWait = std::chrono::milliseconds(200);
    options.sayAfter = std::chrono::milliseconds(50);
    int waits = 0;
    options.onWait = [&] { ++waits; };

    {
        LockHolder holder(file);
        ASSERT_TRUE(holder.locked());
        try {
            appendLocked(file, "uno\r\n", options);
            ADD_FAILURE() << "scritto con il blocco di un altro programma";
        } catch (const FileError& error) {
            EXPECT_EQ(error.motivo(), "è bloccato da un altro programma da più di 1 secondo");
        }
        EXPECT_EQ(waits, 1);
        EXPECT_EQ(readFile(file), "");
    }
    appendLocked(file, "uno\r\n", options);
    // A new file is writable for whoever may write in the folder, whatever the umask.
    std::filesystem::permissions(dir.path(), std::filesystem::perms(0775));
    appendLocked(dir / "nuovo.csv", "x\r\n", options);
    EXPECT_EQ(std::filesystem::status(dir / "nuovo.csv").permissions(), std::filesystem::perms(0664));
    // A last line left without its end (a spreadsheet saves so) gets one.
    { std::ofstream(file, std::ios::app | std::ios::binary) << "due a metà"; }
    appendLocked(file, "tre\r\n", options);
    EXPECT_EQ(readFile(file), "h\r\nuno\r\ndue a metà\r\ntre\r\n");
    EXPECT_EQ(waits, 1);

    try {
        appendLocked(dir.path(), "x\r\n", options);
        ADD_FAILURE() << "scritto in una cartella";
    } catch (const FileError& error) {
        EXPECT_NE(std::string(error.what()).find(dir.path().string()), std::string::npos) << error.what();
    }
}

}  // namespace
}  // namespace crv::test
