#pragma once
// Runs an import of a file from tests/data in a scratch suite root and
// renders everything the operator would see: the listing, the counters and
// the messages. Golden tests compare that text with an expected file.
#include <string>
#include <vector>

#include "app/suite_root.h"
#include "import/driver.h"
#include "support/test_support.h"

namespace crv::test {

struct CollectedRun {
    std::vector<std::string> listing;
    std::vector<std::string> messages;
    std::vector<std::string> domande;  // the facts of "Importare comunque?"
    RunResult result;
    std::string root;  // the suite root, shown as "<radice>" in the text
    // Listing, counters and messages as one text, as the expected files hold it.
    std::string render(const Regional& regional) const;
};

class CollectingListener final : public RunListener {
public:
    explicit CollectingListener(CollectedRun& run) : run_(run) {}
    void listingCleared() override { run_.listing.clear(); }
    void listingLine(std::string_view line) override { run_.listing.emplace_back(line); }
    void message(std::string_view text, Box) override { run_.messages.emplace_back(text); }
    bool progress(const RunProgress& p) override { return stopAt_ == 0 || p.pratiche < stopAt_; }
    bool stopRequested() const override { return stopBeforeCommit_; }
    bool importareComunque(std::string_view fatti) override
    {
        run_.domande.emplace_back(fatti);
        return importareComunque_;
    }
    int stopAt_ = 0;                  // ask to stop after this case (0: never)
    bool importareComunque_ = false;  // the answer to "Importare comunque?"
    bool stopBeforeCommit_ = false;   // ask to stop once every case is read

private:
    CollectedRun& run_;
};

// A suite root in a temp folder with import/ and dati/.
class SuiteFixture {
public:
    SuiteFixture();
    const SuitePaths& paths() const { return paths_; }
    // Copies tests/data/<relative> into the import folder; returns its name there.
    std::string addImportFile(const std::string& relative);

    RunParams testParams(const std::string& fileName) const;
    CollectedRun run(const RunParams& params, const Regional& regional, const StoreOpener& opener = {},
                     int stopAt = 0) const;

private:
    TempDir dir_;
    SuitePaths paths_;
};

// Compares `actual` with the expected file line by line; with
// CRVXML_UPDATE_GOLDEN=1 in the environment, writes the file instead.
void expectMatchesGolden(const std::string& actual, const std::string& expectedRelative);

}  // namespace crv::test
