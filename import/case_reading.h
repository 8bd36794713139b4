#pragma once
// The reading side of an import run, on a thread of its own: reads the case
// elements of the delivery one after the other, gathers each case's values
// and Memo text (and, in the bank format, the store calls its reader made)
// and hands them to the writing side through a bounded queue. The file's
// order is kept: the writing side lists, counts and writes in it.
#include <atomic>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "import/bounded_queue.h"
#include "import/case.h"
#include "import/memo.h"
#include "import/recorded_store.h"
#include "import/run.h"
#include "import/case_stream.h"
#include "numbers/regional.h"

namespace crv {

class LimitiValori;

// One case as read.
struct PraticaLetta {
    int numero = 0;             // 1 for the first case element
    Case valori;
    std::string memo;           // its Memo text
    ChiamateStore chiamate;     // bank format: the store calls, in order
    std::string codice;         // the case's code for a message (may be empty)
    std::string codiceScritto;  // the code its row will carry, when asked (empty: none)
    // Reading failed inside this case, after `chiamate`: the run stops there.
    std::exception_ptr errore;
    std::uint64_t letti = 0;    // bytes of the delivery read once the case was
    std::uint64_t dimensione = 0;  // the delivery's size
};

// After the last case.
struct FineLettura {
    StreamSummary riepilogo;
    std::uint64_t dimensione = 0;
};

// A case, the end of the file, or a failure outside any case (the file does
// not open or is not well-formed; the reading was stopped; memory ran out).
using Lettura = std::variant<std::unique_ptr<PraticaLetta>, FineLettura, std::exception_ptr>;
using CodaLetture = BoundedQueue<Lettura>;

// The cases the writing side is done with go back to the reading side,
// which fills them again: their texts keep their room from case to case.
class PraticheUsate {
public:
    std::unique_ptr<PraticaLetta> prendi();
    void restituisci(std::unique_ptr<PraticaLetta> letta);

private:
    std::mutex mutex_;
    std::vector<std::unique_ptr<PraticaLetta>> libere_;
};

struct LetturaOpzioni {
    std::filesystem::path file;
    const RunParams* params = nullptr;
    const Regional* regional = nullptr;
    const LimitiValori* limiti = nullptr;  // those of the store the cases go to
    bool codiciScritti = false;            // fill PraticaLetta::codiceScritto
    std::function<bool()> stop;            // asked while the file is read
};

// Reads the file into the queue until its end, a failure or the queue's
// closing. Everything ends up in the queue; nothing is thrown.
void leggiPratiche(const LetturaOpzioni& opzioni, CodaLetture& coda, PraticheUsate& usate);

// Bytes a case holds in the queue, about.
std::size_t pesoDi(const Lettura& lettura);

}  // namespace crv
