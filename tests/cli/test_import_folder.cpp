// A delivery is the creditor's evidence: no import, test or normal, in any
// format, changes a byte of it or leaves a file in import/.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "db/connection_string.h"
#include "support/golden_support.h"

namespace crv::test {
namespace {

namespace fs = std::filesystem;

// Every file of the folder with its bytes.
std::map<std::string, std::string> folderContents(const fs::path& folder)
{
    std::map<std::string, std::string> out;
    for (const auto& entry : fs::directory_iterator(folder)) out[entry.path().filename().string()] = readFile(entry.path());
    return out;
}

struct Delivery {
    const char* name;
    std::string bytes;        // empty: the sample of that name under tests/data
    int corvestra, banca, testo;  // exit status of a run in each format
};

void PrintTo(const Delivery& d, std::ostream* os) { *os << d.name; }

class ImportFolder : public ::testing::TestWithParam<Delivery> {
protected:
    void SetUp() override
    {
        writeFile(suite.paths().vex32Ini(),
                  "connstring=" + db::sqliteConnString((suite.paths().root / "dati" / "p.sqlite").string()) + "\r\n");
        ASSERT_EQ(runCrvxml({"init-db", "--root", suite.paths().root.string()}, "C.UTF-8").status, 0);
    }
    SuiteFixture suite;
};

TEST_P(ImportFolder, NoRunChangesTheDeliveryOrLeavesAFile)
{
    const Delivery& d = GetParam();
    if (d.bytes.empty())
        suite.addImportFile(d.name);
    else
        writeFile(suite.paths().importDir() / d.name, d.bytes);
    const std::string name = fs::path(d.name).filename().string();
    const auto before = folderContents(suite.paths().importDir());
    const std::pair<std::vector<std::string>, int> formats[] = {
        {{}, d.corvestra}, {{"--banca"}, d.banca}, {{"--testo"}, d.testo}};
    for (const auto& [format, status] : formats) {
        for (const char* mode : {"--solo-test", "--no-solo-test"}) {
            std::vector<std::string> args = {"import", "--radice", suite.paths().root.string(), mode,
                                             "--anche-gia-presenti"};
            args.insert(args.end(), format.begin(), format.end());
            args.push_back(name);
            const ProgramRun run = runCrvxml(args, "it_IT.UTF-8");
            const std::string label = (format.empty() ? std::string("Corvestra") : format[0]) + " " + mode;
            EXPECT_EQ(run.status, status) << label << "\n" << run.err;
            EXPECT_EQ(folderContents(suite.paths().importDir()), before) << label;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    CaseStream, ImportFolder,
    ::testing::Values(Delivery{"corvestra/completo.xml", "", 0, 1, 1},
                      Delivery{"corvestra/errore_parse.xml", "", 1, 1, 1},
                      Delivery{"banca/due_pratiche.xml", "", 1, 0, 0},
                      Delivery{"banca/GM_XML", "", 1, 0, 0},
                      Delivery{"banca/completo.TXT", "", 1, 0, 0},
                      Delivery{"banca/senza_fine_root.xml", "", 1, 0, 0},
                      Delivery{"chiusura_con_spazio.xml",
                               "<root>\r\n<documento><posizione numero=\"S-1\"/><intestatario>"
                               "<denominazione valore=\"SPAZIO\"/></intestatario></documento>\r\n</root >\r\n",
                               1, 0, 0},
                      Delivery{"radice_in_linea.xml",
                               "<root><documento><posizione numero=\"L-1\"/><intestatario>"
                               "<denominazione valore=\"ROSSI, MARIO\"/></intestatario></documento></root>",
                               1, 0, 0}),
    [](const auto& info) {
        std::string name = fs::path(info.param.name).filename().string();
        for (char& c : name)
            if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
        return name;
    });

}  // namespace
}  // namespace crv::test
