#pragma once
// What the codes of an electronic invoice mean, in words: document types,
// tax regimes, VAT natures, payment methods and conditions, and the other
// lists of the official schema.
#include <string>
#include <string_view>

namespace crv {

// The code lists, named after the schema's types.
enum class ElencoCodici {
    TipoDocumento,
    RegimeFiscale,
    Natura,
    ModalitaPagamento,
    CondizioniPagamento,
    EsigibilitaIVA,
    TipoRitenuta,
    TipoCassa,
    TipoScontoMaggiorazione,
    TipoCessionePrestazione,
    SocioUnico,
    StatoLiquidazione,
    SoggettoEmittente,
    FormatoTrasmissione,
};

// The schema type of a list ("TipoDocumentoType"), to compare with the schema.
std::string_view schemaTypeOf(ElencoCodici elenco);

// The description of a code; empty when the list does not know it.
std::string_view descrizioneCodice(ElencoCodici elenco, std::string_view codice);

// "TD01 Fattura"; the code alone when the list does not know it; empty when
// the code is.
std::string codiceDescritto(ElencoCodici elenco, std::string_view codice);

}  // namespace crv
