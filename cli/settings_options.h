#pragma once
// The options that mirror a control saved in Crv_XML.ini, shared by
// "crvxml import" (they override the saved value for one run) and
// "crvxml impostazioni" (they change the saved value).
#include <optional>
#include <string>

#include "app/settings.h"
#include "cli/commands.h"
#include "cli/option_names.h"
#include "import/run.h"

namespace crv::cli {

// The help lines of these options, each naming the control it stands for.
extern const char* const kSettingsOptionsHelp;
// The English names these options had first.
extern const Sinonimi kSinonimiImpostazioni;

// Takes the settings options (by their Italian or English names) out of args
// (the others keep their order) and applies them to `settings`. Returns the
// text of a usage error (a missing value, a text longer than its box, a
// malformed --sezioni) or nothing; `taken` tells whether any option was found.
std::optional<std::string> takeSettingsOptions(Args& args, WindowSettings& settings, bool& taken);

// The run parameters the saved controls give (dates, file and modes aside).
RunParams runParamsFrom(const WindowSettings& settings);

}  // namespace crv::cli
