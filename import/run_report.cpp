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

}  // namespace crv
