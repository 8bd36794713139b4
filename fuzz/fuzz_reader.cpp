// libFuzzer entry point for the case readers: any bytes are loaded, then every
// case element is read in the Corvestra format and in the bank format, as a
// test run would. Refusals of bad values are expected; crashes and hangs are not.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "import/bank_reader.h"
#include "import/case_error.h"
#include "import/driver.h"
#include "xml/xml_document.h"

namespace {

class NullListener final : public crv::RunListener {
public:
    void listingLine(std::string_view) override {}
    void message(std::string_view, crv::Box) override {}
    bool progress(const crv::RunProgress&) override { return true; }
};

void readAll(const crv::XmlDocument& doc, bool bank)
{
    const crv::Regional regional = crv::Regional::italian();
    NullListener listener;
    crv::TestCaseStore store(listener);
    crv::Case values;
    crv::MemoText memo(bank);
    crv::BankReader bankReader(values, memo, store, regional);
    crv::ReaderOptions options;
    options.modoDocumento = bank;
    for (const pugi::xml_node element : doc.documentElement().children(bank ? "documento" : "PRATICA")) {
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
    crv::XmlDocument doc;
    if (!doc.loadBytes(std::string(reinterpret_cast<const char*>(data), size), "fuzz.xml")) return 0;
    readAll(doc, false);
    readAll(doc, true);
    return 0;
}
