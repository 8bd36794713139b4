// A value far beyond any field in a normal import, under a memory limit
// (ulimit -v in the child): the run refuses it having held at most one copy
// of it beside the file, and where even that does not fit it says
// "Memoria insufficiente" in Italian.
#include <gtest/gtest.h>

#include "db/connection_string.h"
#include "support/golden_support.h"

namespace crv::test {
namespace {

constexpr long kMiB = 1024;  // ulimit -v counts KiB
constexpr std::size_t kValue = std::size_t{128} << 20;

class HugeValue : public ::testing::Test {
protected:
    void SetUp() override
    {
        writeFile(suite.paths().vex32Ini(),
                  "connstring=" + db::sqliteConnString((suite.paths().root / "dati" / "p.sqlite").string()) + "\r\n");
        ASSERT_EQ(crvxml("init-db --root " + root()).status, 0);
        suite.addImportFile("corvestra/completo.xml");
        const std::string value(kValue, 'x');
        writeFile(suite.paths().importDir() / "nome.xml",
                  "<CORVESTRA><PRATICA><CLIENTE><NOME>" + value + "</NOME></CLIENTE></PRATICA></CORVESTRA>");
        writeFile(suite.paths().importDir() / "banca.xml",
                  "<?xml version=\"1.0\"?>\n<root>\n<documento><posizione numero=\"1\"/><intestatario>"
                  "<denominazione valore=\"" + value + "\"/></intestatario></documento></root>\n");
        // One case of eight million empty elements: 32 MB of text, a tree of
        // them many times that.
        std::string nodi = "<CORVESTRA><PRATICA><CLIENTE>";
        for (int i = 0; i < 8'000'000; ++i) nodi += "<a/>";
        writeFile(suite.paths().importDir() / "nodi.xml", nodi + "</CLIENTE></PRATICA></CORVESTRA>");
    }

    std::string root() const { return shellWord(suite.paths().root.string()); }
    ProgramRun crvxml(const std::string& args, long limitKiB = 0) const
    {
        std::string command = "exec " + shellWord(CRVXML_BINARY) + " " + args;
        if (limitKiB > 0) command = "ulimit -v " + std::to_string(limitKiB) + "; " + command;
        return runCrvxml({"-c", command}, "C.UTF-8", "/bin/sh");
    }
    // The address space a normal import of a small delivery needs.
    long baseline() const
    {
        for (long limit = 100 * kMiB; limit <= 1000 * kMiB; limit += 25 * kMiB)
            if (crvxml("import --root " + root() + " --no-test completo.xml", limit).status == 0) return limit;
        return 0;
    }

    SuiteFixture suite;
};

TEST_F(HugeValue, IsRefusedWithinOneCopyAndOutOfMemoryIsSaidInItalian)
{
    const long base = baseline();
    ASSERT_GT(base, 0) << "a small import does not run under 1 GB";
    const long value = static_cast<long>(kValue / 1024);
    for (const std::string file : {"nome.xml", "--bank banca.xml"}) {
        // The file and the memo's copy fit; a third copy would not.
        const ProgramRun refused = crvxml("import --root " + root() + " --no-test " + file, base + value * 5 / 2);
        EXPECT_EQ(refused.status, 1) << file;
        EXPECT_NE(refused.err.find("Valore troppo lungo per il campo \"Ragione sociale\""), std::string::npos)
            << file << ": " << refused.err.substr(0, 600);
        // The file fits, its copy does not.
        const ProgramRun short_ = crvxml("import --root " + root() + " --no-test " + file, base + value * 3 / 2);
        EXPECT_EQ(short_.status, 1) << file;
        EXPECT_NE(short_.err.find("Memoria insufficiente"), std::string::npos) << file << ": " << short_.err.substr(0, 600);
        EXPECT_EQ(short_.err.find("bad_alloc"), std::string::npos) << file;
        EXPECT_NE(short_.err.find("l'archivio non è stato modificato"), std::string::npos) << file;
    }
    // The text of the case fits and the parser's tree of it does not: memory,
    // not a fault of the file.
    const ProgramRun tree = crvxml("import --root " + root() + " --no-test nodi.xml", base + 200 * kMiB);
    EXPECT_EQ(tree.status, 1);
    EXPECT_NE(tree.err.find("Memoria insufficiente per importare il file"), std::string::npos) << tree.err.substr(0, 600);
    EXPECT_EQ(tree.err.find("Pos ="), std::string::npos) << tree.err.substr(0, 600);
}

}  // namespace
}  // namespace crv::test
