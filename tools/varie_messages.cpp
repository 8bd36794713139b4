#include "tools/varie_messages.h"

#include <new>

#include "db/db_error.h"

namespace crv::tools {

bool interrottaDallOperatore(const std::exception& failure)
{
    const auto* dbError = dynamic_cast<const db::DbError*>(&failure);
    return dbError != nullptr && dbError->failure() == db::DbFailure::Cancelled;
}

std::string causa(const std::exception& failure)
{
    if (dynamic_cast<const std::bad_alloc*>(&failure) != nullptr) return "Memoria insufficiente";
    return failure.what();
}

RisultatoVarie esitoSenzaLavoro(Esito esito, std::vector<std::string> messaggi)
{
    RisultatoVarie r;
    r.esito = esito;
    r.messaggi = std::move(messaggi);
    return r;
}

std::string migliaia(long n)
{
    return migliaia(std::to_string(n));
}

std::string migliaia(std::string_view digits)
{
    std::string grouped;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0 && digits[i - 1] != '-') grouped += '.';
        grouped += digits[i];
    }
    return grouped;
}

std::string causaEConseguenza(const std::string& causa, std::string_view conseguenza)
{
    std::string text = causa;
    while (!text.empty() && (text.back() == ' ' || text.back() == '\n' || text.back() == '\r')) text.pop_back();
    if (!text.empty() && text.back() != '.') text += '.';
    if (!text.empty()) text += ' ';
    text += conseguenza;
    return text;
}

}  // namespace crv::tools
