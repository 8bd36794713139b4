#include "import/run_report.h"

namespace crv {

std::string riepilogoRun(const RunCounters& c, const Regional& regional)
{
    std::string out = "Pratiche importate: " + std::to_string(c.praticheImportate) + "\n";
    out += "Cap: " + c.capitale.toGrouped2(regional) + "\n";
    out += "Int: " + c.interessi.toGrouped2(regional) + "\n";
    out += "Spe: " + c.spese.toGrouped2(regional) + "\n";
    if (c.lotto) out += "Lotto Imp: " + std::to_string(*c.lotto) + "\n";
    return out;
}

std::string riepilogoRun(const RunResult& result, const Regional& regional)
{
    std::string out = riepilogoRun(result.counters, regional);
    if (result.rolledBack) {
        const int read = result.casesRead;
        out += "Importazione annullata: " +
               (read == 1 ? std::string("1 pratica letta") : std::to_string(read) + " pratiche lette") +
               ", nessuna scritta nell'archivio\n";
    }
    return out;
}

bool runAvviato(RunOutcome outcome)
{
    return outcome != RunOutcome::NoFile && outcome != RunOutcome::BadParameter;
}

}  // namespace crv
