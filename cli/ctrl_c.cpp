#include "cli/ctrl_c.h"

#include <cstdio>

namespace crv::cli {

CtrlC::CtrlC()
    : signals_([this](int signal) {
          pressed_ = true;
          scope_.cancel();
          // Ctrl-C is the operator's own; another signal came from elsewhere
          // and is named, for whoever reads the terminal or the service's log.
          if (signal != SIGINT)
              std::fprintf(stderr, "Ricevuto %s: interrompo\n", StopSignals::nome(signal));
      })
{
}

}  // namespace crv::cli
