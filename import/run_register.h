#pragma once
// An import run written to the suite's register (app/registro.h): when it
// started and ended, by whom and where, the delivery's name, size and
// SHA-256, the mode, how it ended, the batch and the cases. Both front ends
// run their imports through here.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "app/registro.h"
#include "app/suite_root.h"
#include "import/case_store.h"
#include "import/run.h"
#include "numbers/regional.h"

namespace crv {

class Sha256;

// The register's line of one run, filled as the run goes. The delivery's
// size is the file's own, however far the run read; its SHA-256 is that of
// the whole file, taken from the bytes the run read when it read them all
// (and the file stood still meanwhile), else none: never a part's.
class RegistroImportazione {
public:
    RegistroImportazione(const SuitePaths& paths, const RunParams& params);
    ~RegistroImportazione();
    RegistroImportazione(const RegistroImportazione&) = delete;
    RegistroImportazione& operator=(const RegistroImportazione&) = delete;

    // Every byte of the delivery, in order, as the run reads it.
    void bytes(std::string_view chunk);
    // Once the delivery is read whole: "Lo stesso file fu importato come
    // ..." when the register holds a normal import of the same bytes into
    // the same database, or nothing.
    std::optional<std::string> giaImportato(const Regional& regional);
    // The run's line, appended; the message when it could not be.
    std::optional<std::string> registra(const RunResult& result, const std::function<void()>& inAttesa = {});
    // The same for a run that ended in an unforeseen failure.
    std::optional<std::string> registraErrore(const std::string& what, const std::function<void()>& inAttesa = {});

    const VoceRegistro& voce() const { return voce_; }

private:
    // The delivery's size and time as they lie on the disk now.
    struct Stato {
        std::uint64_t size = 0;
        std::int64_t mtime = 0;  // nanoseconds
        bool operator==(const Stato&) const = default;
    };
    std::optional<Stato> statoDelFile() const;
    void chiudiImpronta();

    SuitePaths paths_;
    VoceRegistro voce_;
    std::unique_ptr<Sha256> hash_;
    std::uint64_t letti_ = 0;
    std::optional<Stato> allInizio_;  // when the first bytes came
};

// lavora, with the run written to the register at its end. A register that
// cannot be written is told through the listener and changes nothing of the
// run or its result; `inAttesa` is called when another program holds the
// register's lock.
RunResult lavoraRegistrato(const RunParams& params, const SuitePaths& paths, const Regional& regional,
                           RunListener& listener, const StoreOpener& openStore,
                           const std::function<void()>& inAttesa = {});

// How a run ended, in the register's words.
std::string esitoImportazione(RunOutcome outcome);

}  // namespace crv
