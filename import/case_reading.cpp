#include "import/case_reading.h"

#include "import/bank_reader.h"
#include "import/case_codes.h"
#include "import/case_error.h"
#include "import/corvestra_reader.h"
#include "xml/xml_document.h"

namespace crv {
namespace {

// The case's code for a message: the value read so far, else the first
// CODICE_PRATICA (or bank `posizione` number) found in the element.
std::string codiceDi(const Case& v, pugi::xml_node caseElement)
{
    if (!v.CodicePratica.empty()) return v.CodicePratica;
    struct Finder : pugi::xml_tree_walker {
        std::string found;
        bool for_each(pugi::xml_node& node) override
        {
            if (node.type() != pugi::node_element) return true;
            std::string upper = node.name();
            for (char& c : upper)
                if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
            if (upper == "CODICE_PRATICA") {
                found = nodeText(node);
                return false;
            }
            if (upper == "POSIZIONE" && node.attribute("numero")) {
                found = node.attribute("numero").value();
                return false;
            }
            return true;
        }
    } finder;
    caseElement.traverse(finder);
    return finder.found;
}

}  // namespace

std::unique_ptr<PraticaLetta> PraticheUsate::prendi()
{
    {
        const std::lock_guard lock(mutex_);
        if (!libere_.empty()) {
            std::unique_ptr<PraticaLetta> out = std::move(libere_.back());
            libere_.pop_back();
            return out;
        }
    }
    return std::make_unique<PraticaLetta>();
}

void PraticheUsate::restituisci(std::unique_ptr<PraticaLetta> letta)
{
    // A case with a huge memo does not keep its room for the next ones.
    if (letta->memo.capacity() > (std::size_t{1} << 20)) return;
    const std::lock_guard lock(mutex_);
    libere_.push_back(std::move(letta));
}

std::size_t pesoDi(const Lettura& lettura)
{
    const auto* p = std::get_if<std::unique_ptr<PraticaLetta>>(&lettura);
    if (p == nullptr) return 0;
    const PraticaLetta& letta = **p;
    std::size_t bytes = sizeof(PraticaLetta) + letta.memo.capacity();
    for (std::size_t i = 0; i < letta.chiamate.quante; ++i)
        bytes += sizeof(ChiamataStore) + letta.chiamate.voci[i].testo.capacity();
    return bytes;
}

void leggiPratiche(const LetturaOpzioni& o, CodaLetture& coda, PraticheUsate& usate)
{
    const RunParams& p = *o.params;
    try {
        CaseStreamOptions streamOptions;
        streamOptions.modoDocumento = p.modoDocumento;
        streamOptions.modoTesto = p.modoTesto;
        streamOptions.stopRequested = o.stop;
        // Called on this thread; the file is read through before anyone
        // asks what the bytes told.
        streamOptions.onBytes = p.onBytes;
        CaseStream cases(o.file, streamOptions);

        ReaderOptions options;
        options.sezioni = p.sezioni;
        options.modoDocumento = p.modoDocumento;
        options.limiti = o.limiti;
        // The readers work on these; a case read is swapped into its item.
        Case values;
        MemoText memo(p.modoDocumento);
        RecordedStore calls(o.limiti);
        BankReader bank(values, memo, calls, *o.regional);

        for (int numero = 1;; ++numero) {
            const pugi::xml_node element = cases.next();
            if (!element) break;
            std::unique_ptr<PraticaLetta> letta = usate.prendi();
            letta->numero = numero;
            letta->errore = nullptr;
            letta->codiceScritto.clear();
            calls.registraIn(letta->chiamate);
            try {
                values = Case();
                memo.clear();
                bank.nuovaPratica();
                leggiPratica(element, options, *o.regional, values, memo, p.modoDocumento ? &bank : nullptr);
                if (p.modoDocumento && values.ContaIntestatari == 0) throw PraticaSenzaIntestatario();
                if (!p.modoDocumento && values.RataGlobale.isZero() && !memo.empty())
                    values.RataGlobale = CercaInMovimenti(memo.text(), *o.regional);
                if (o.codiciScritti) letta->codiceScritto = codiceDaScrivere(element, p.modoDocumento);
            } catch (...) {
                letta->errore = std::current_exception();
            }
            letta->codice = codiceDi(values, element);
            std::swap(letta->valori, values);
            memo.swapText(letta->memo);
            letta->letti = cases.bytesRead();
            letta->dimensione = cases.size();
            const bool failed = static_cast<bool>(letta->errore);
            Lettura item(std::move(letta));
            const std::size_t peso = pesoDi(item);
            // The first case is listed at once; the others go in handfuls.
            if (!coda.push(std::move(item), peso, numero == 1 || failed) || failed) return;
        }
        coda.push(FineLettura{cases.summary(), cases.size()}, 0, true);
    } catch (...) {
        coda.push(std::current_exception(), 0, true);
    }
}

}  // namespace crv
