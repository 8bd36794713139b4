#include "cli/ctrl_c.h"

#include <cstdio>

namespace crv::cli {

CtrlC::CtrlC()
    : signals_([this](int signal) {
          pressed_ = true;
          scope_.cancel();
          // Named, for whoever reads the terminal or the service's log: the
          // rollback may take a moment, and a kill or a closed terminal
          // comes from elsewhere.
          std::fprintf(stderr, "Ricevuto %s: interrompo\n", StopSignals::nome(signal));
      })
{
}

}  // namespace crv::cli
