#pragma once
// The values a format reader gathers for one case element, handed to the
// case record writer. Reset at the start of every case.
#include <array>
#include <string>

#include "numbers/amount.h"

namespace crv {

struct Case {
    std::string CodicePratica;
    std::string IdAffidamento;
    std::string Nominativo;
    std::string CodiceFiscale;
    std::string DataNascita;
    std::string LuogoNascita;
    std::string DatoreLavoro;
    std::string Indirizzo;
    std::string Localita;
    std::string Comune;
    std::string Cap;
    std::string Provincia;
    std::string Telefono;
    std::array<std::string, 4> AltriTelefoni;
    std::array<std::string, 4> TipiTelefono;
    int ContaTelefoni = 0;

    std::string GaranteNome;
    std::string GaranteIndirizzo;
    std::string GaranteCap;
    std::string GaranteComune;
    std::string GaranteTelefono;
    std::string GaranteCodiceFiscale;

    Amount SpeseIncasso;
    Amount RataGlobale;
    Amount SaldoIniziale;
    Amount RataUp;
    Amount ImportoRata;
    std::string SettoreOperativo;
    Amount Capitale;
    Amount InteressiMora;
    Amount SpeseRecupero;
    bool HaProposte = false;

    // Bank format.
    std::string CodiceProcedura;
    std::string DataScadenza;
    int ContaIntestatari = 0;
    int ContaNumeri = 0;
    std::string Periodo;
    std::string NumeroFattura;
    std::string DataFattura;
    Amount Insoluto;
};

}  // namespace crv
