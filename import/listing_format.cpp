#include "import/listing_format.h"

#include <string_view>

#include "import/memo.h"

namespace crv {
namespace {

std::string trimmed(std::string_view text)
{
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return std::string(text);
}

}  // namespace

std::string intestazioneListino()
{
    return Fill("Pratica", 16) + "|" + Fill("Nominativo", 15) + "|" + Fill("Indirizzo", 10) + "| Cap |" +
           Fill("Comune", 10) + "|Pr|" + Fill("Telefono", 10) + "|" + Fill("TelAgg1", 10) + "|" +
           Fill("TelAgg2", 9) + "|" + Fill("Capitale", 8) + "|" + Fill("Inter.", 7) + "|" + Fill("SpeRec", 7) +
           "|" + "Rata M";
}

std::string rigaListino(const Case& v, const Regional& regional)
{
    return Fill(v.CodicePratica, 16) + "|" + Fill(v.Nominativo, 15) + "|" + Fill(v.Indirizzo, 10) + "|" +
           Fill(v.Cap, 5) + "|" + Fill(trimmed(v.Localita + " " + v.Comune), 10) + "|" + Fill(v.Provincia, 2) +
           "|" + Fill(v.Telefono, 10) + "|" + Fill(v.AltriTelefoni[1], 10) + "|" + Fill(v.AltriTelefoni[2], 9) +
           "|" + Filla(v.Capitale.toRegional(regional), 8) + "|" + Filla(v.InteressiMora.toRegional(regional), 7) +
           "|" + Filla(v.SpeseRecupero.toRegional(regional), 7) + "|" +
           Filla(v.RataGlobale.toRegional(regional), 7);
}

}  // namespace crv
