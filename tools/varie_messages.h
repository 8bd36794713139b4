#pragma once
// Pieces of the messages both utilities of the tab "Varie" give.
#include <exception>
#include <string>
#include <string_view>
#include <vector>

#include "tools/varie.h"

namespace crv::tools {

// A failure caused by the operator's stop: a statement it cancelled while
// it waited (for a table another session holds).
bool interrottaDallOperatore(const std::exception& failure);

// The cause of a failure as the message tells it: the exception's text, in
// Italian when the library's own is not ("memoria insufficiente").
std::string causa(const std::exception& failure);

// A run that ended without doing its work, with the messages to show.
RisultatoVarie esitoSenzaLavoro(Esito esito, std::vector<std::string> messaggi);

// A count as the messages show it, thousands grouped with "." (12.345).
std::string migliaia(long n);
// The same for the digits of a whole number, with an optional leading "-".
std::string migliaia(std::string_view digits);

// The cause of a failure followed by what the run left, as one sentence
// each: "cause. Nessun file scritto", without a doubled period when the
// cause (a driver's or a library's text) already ends with one.
std::string causaEConseguenza(const std::string& causa, std::string_view conseguenza);

}  // namespace crv::tools
