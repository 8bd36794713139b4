#include "support/golden_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "import/run_report.h"

namespace crv::test {

std::string CollectedRun::render(const Regional& regional) const
{
    std::string out;
    for (const auto& line : listing) out += line + "\n";
    out += riepilogoRun(result, regional);
    for (const auto& m : messages) out += "[messaggio]\n" + m + "\n";
    for (std::size_t at = 0; !root.empty() && (at = out.find(root, at)) != std::string::npos;)
        out.replace(at, root.size(), "<radice>");
    return out;
}

SuiteFixture::SuiteFixture()
{
    paths_ = resolveSuitePaths(dir_.path().string());
    std::filesystem::create_directories(paths_.importDir());
    std::filesystem::create_directories(paths_.dataDir());
}

std::string SuiteFixture::addImportFile(const std::string& relative)
{
    const std::filesystem::path source = dataFile(relative);
    const std::string name = source.filename().string();
    std::filesystem::copy_file(source, paths_.importDir() / name, std::filesystem::copy_options::overwrite_existing);
    return name;
}

RunParams SuiteFixture::testParams(const std::string& fileName) const
{
    RunParams p;
    p.fileName = fileName;
    p.mandato = "CRV";
    p.dataAffido = "07/12/2026";
    p.scadenza = "06/01/2027";
    p.intervento = "MO";
    p.sitAffido = "A";
    return p;
}

CollectedRun SuiteFixture::run(const RunParams& params, const Regional& regional, const StoreOpener& opener,
                               int stopAt) const
{
    CollectedRun collected;
    collected.root = paths_.root.string();
    CollectingListener listener(collected);
    listener.stopAt_ = stopAt;
    collected.result = lavora(params, paths_, regional, listener, opener);
    return collected;
}

namespace {
std::vector<std::string> splitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}
}  // namespace

void expectMatchesGolden(const std::string& actual, const std::string& expectedRelative)
{
    const auto path = dataFile(expectedRelative);
    const char* update = std::getenv("CRVXML_UPDATE_GOLDEN");
    if (update && std::string(update) == "1") {
        writeFile(path, actual);
        return;
    }
    const auto expected = splitLines(readFile(path));
    const auto got = splitLines(actual);
    const std::size_t n = std::max(expected.size(), got.size());
    int reported = 0;
    for (std::size_t i = 0; i < n && reported < 10; ++i) {
        const std::string e = i < expected.size() ? expected[i] : "<nessuna riga>";
        const std::string g = i < got.size() ? got[i] : "<nessuna riga>";
        if (e != g) {
            ADD_FAILURE() << expectedRelative << " riga " << (i + 1) << "\n  attesa:  [" << e << "]\n  ottenuta: [" << g
                          << "]";
            ++reported;
        }
    }
}

}  // namespace crv::test
