#pragma once
// The listing's columns: the header line and one line per case, as the
// window's list and the command line's standard output show them.
#include <string>

#include "import/case.h"
#include "numbers/regional.h"

namespace crv {

// The header line of the listing.
std::string intestazioneListino();

// The line of one case: code, name, address, postcode, town, province, the
// phones and the four amounts, each cut or padded to its column.
std::string rigaListino(const Case& values, const Regional& regional);

}  // namespace crv
