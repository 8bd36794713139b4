// libFuzzer entry point for the case readers: any bytes are read as a
// delivery, one case at a time, and every case element is read in the
// Corvestra format and in the bank format, as a test run would. Refusals of
// bad values and of files that are not well formed are expected; crashes and
// hangs are not.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "import/bank_reader.h"
#include "import/case_error.h"
#include "import/case_stream.h"
#include "import/driver.h"

namespace {

class NullListener final : public crv::RunListener {
public:
    void listingLine(std::string_view) override {}
    void message(std::string_view, crv::Box) override {}
    bool progress(int, int) override { return true; }
};

void readAll(const std::filesystem::path& file, bool bank)
{
    const crv::Regional regional = crv::Regional::italian();
    NullListener listener;
    crv::TestCaseStore store(listener);
    crv::Case values;
    crv::MemoText memo(bank);
    crv::BankReader bankReader(values, memo, store, regional);
    crv::ReaderOptions options;
    options.modoDocumento = bank;
    crv::CaseStreamOptions reading;
    reading.modoDocumento = bank;
    crv::CaseStream stream(file, reading);
    while (const pugi::xml_node element = stream.next()) {
        values = crv::Case();
        memo.clear();
        bankReader.nuovaPratica();
        try {
            crv::leggiPratica(element, options, regional, values, memo, bank ? &bankReader : nullptr);
            if (!bank && values.RataGlobale.isZero()) crv::CercaInMovimenti(memo.text(), regional);
        } catch (const crv::CaseInputError&) {
        } catch (const crv::AmountOverflow&) {
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    namespace fs = std::filesystem;
    static const fs::path folder = fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
    const fs::path file = folder / ("crvxml-fuzz-reader-" + std::to_string(::getpid()) + ".xml");
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    for (const bool bank : {false, true}) {
        try {
            readAll(file, bank);
        } catch (const crv::CaseStreamError&) {
        }
    }
    fs::remove(file);
    return 0;
}
