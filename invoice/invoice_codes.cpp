#include "invoice/invoice_codes.h"

#include <span>
#include <utility>

namespace crv {
namespace {

using Voce = std::pair<std::string_view, std::string_view>;

// Short forms of the schema's own descriptions, as an accountant reads them
// on a printed invoice. Codes that older versions of the schema had (RF03)
// or that came after it (TD29) are kept, so that such files read too.
constexpr Voce kTipoDocumento[] = {
    {"TD01", "Fattura"},
    {"TD02", "Acconto/anticipo su fattura"},
    {"TD03", "Acconto/anticipo su parcella"},
    {"TD04", "Nota di credito"},
    {"TD05", "Nota di debito"},
    {"TD06", "Parcella"},
    {"TD16", "Integrazione fattura reverse charge interno"},
    {"TD17", "Integrazione/autofattura per acquisto servizi dall'estero"},
    {"TD18", "Integrazione per acquisto di beni intracomunitari"},
    {"TD19", "Integrazione/autofattura per acquisto di beni ex art. 17 c. 2 DPR 633/72"},
    {"TD20", "Autofattura per regolarizzazione e integrazione delle fatture"},
    {"TD21", "Autofattura per splafonamento"},
    {"TD22", "Estrazione beni da Deposito IVA"},
    {"TD23", "Estrazione beni da Deposito IVA con versamento dell'IVA"},
    {"TD24", "Fattura differita (art. 21 c. 4 lett. a DPR 633/72)"},
    {"TD25", "Fattura differita (art. 21 c. 4 terzo periodo lett. b DPR 633/72)"},
    {"TD26", "Cessione di beni ammortizzabili e passaggi interni (art. 36 DPR 633/72)"},
    {"TD27", "Fattura per autoconsumo o per cessioni gratuite senza rivalsa"},
    {"TD28", "Acquisti da San Marino con IVA (fattura cartacea)"},
    {"TD29", "Comunicazione per omessa o irregolare fatturazione"},
};

constexpr Voce kRegimeFiscale[] = {
    {"RF01", "Ordinario"},
    {"RF02", "Contribuenti minimi (art. 1 c. 96-117 L. 244/2007)"},
    {"RF03", "Nuove iniziative produttive (art. 13 L. 388/2000)"},
    {"RF04", "Agricoltura e attività connesse e pesca (artt. 34 e 34-bis DPR 633/72)"},
    {"RF05", "Vendita sali e tabacchi (art. 74 c. 1 DPR 633/72)"},
    {"RF06", "Commercio dei fiammiferi (art. 74 c. 1 DPR 633/72)"},
    {"RF07", "Editoria (art. 74 c. 1 DPR 633/72)"},
    {"RF08", "Gestione di servizi di telefonia pubblica (art. 74 c. 1 DPR 633/72)"},
    {"RF09", "Rivendita di documenti di trasporto pubblico e di sosta (art. 74 c. 1 DPR 633/72)"},
    {"RF10", "Intrattenimenti, giochi e altre attività della tariffa del DPR 640/72 (art. 74 c. 6 DPR 633/72)"},
    {"RF11", "Agenzie di viaggi e turismo (art. 74-ter DPR 633/72)"},
    {"RF12", "Agriturismo (art. 5 c. 2 L. 413/1991)"},
    {"RF13", "Vendite a domicilio (art. 25-bis c. 6 DPR 600/73)"},
    {"RF14", "Rivendita di beni usati, oggetti d'arte, d'antiquariato o da collezione (art. 36 DL 41/1995)"},
    {"RF15", "Agenzie di vendite all'asta di oggetti d'arte, antiquariato o da collezione (art. 40-bis DL 41/1995)"},
    {"RF16", "IVA per cassa P.A. (art. 6 c. 5 DPR 633/72)"},
    {"RF17", "IVA per cassa (art. 32-bis DL 83/2012)"},
    {"RF18", "Altro"},
    {"RF19", "Forfettario (art. 1 c. 54-89 L. 190/2014)"},
};

constexpr Voce kNatura[] = {
    {"N1", "Escluse ex art. 15 DPR 633/72"},
    {"N2", "Non soggette"},
    {"N2.1", "Non soggette ad IVA ai sensi degli artt. da 7 a 7-septies DPR 633/72"},
    {"N2.2", "Non soggette - altri casi"},
    {"N3", "Non imponibili"},
    {"N3.1", "Non imponibili - esportazioni"},
    {"N3.2", "Non imponibili - cessioni intracomunitarie"},
    {"N3.3", "Non imponibili - cessioni verso San Marino"},
    {"N3.4", "Non imponibili - operazioni assimilate alle cessioni all'esportazione"},
    {"N3.5", "Non imponibili - a seguito di dichiarazioni d'intento"},
    {"N3.6", "Non imponibili - altre operazioni che non concorrono alla formazione del plafond"},
    {"N4", "Esenti"},
    {"N5", "Regime del margine / IVA non esposta in fattura"},
    {"N6", "Inversione contabile (reverse charge)"},
    {"N6.1", "Inversione contabile - cessione di rottami e altri materiali di recupero"},
    {"N6.2", "Inversione contabile - cessione di oro e argento"},
    {"N6.3", "Inversione contabile - subappalto nel settore edile"},
    {"N6.4", "Inversione contabile - cessione di fabbricati"},
    {"N6.5", "Inversione contabile - cessione di telefoni cellulari"},
    {"N6.6", "Inversione contabile - cessione di prodotti elettronici"},
    {"N6.7", "Inversione contabile - prestazioni comparto edile e settori connessi"},
    {"N6.8", "Inversione contabile - operazioni settore energetico"},
    {"N6.9", "Inversione contabile - altri casi"},
    {"N7", "IVA assolta in altro stato UE"},
};

constexpr Voce kModalitaPagamento[] = {
    {"MP01", "Contanti"},
    {"MP02", "Assegno"},
    {"MP03", "Assegno circolare"},
    {"MP04", "Contanti presso Tesoreria"},
    {"MP05", "Bonifico"},
    {"MP06", "Vaglia cambiario"},
    {"MP07", "Bollettino bancario"},
    {"MP08", "Carta di pagamento"},
    {"MP09", "RID"},
    {"MP10", "RID utenze"},
    {"MP11", "RID veloce"},
    {"MP12", "RIBA"},
    {"MP13", "MAV"},
    {"MP14", "Quietanza erario"},
    {"MP15", "Giroconto su conti di contabilità speciale"},
    {"MP16", "Domiciliazione bancaria"},
    {"MP17", "Domiciliazione postale"},
    {"MP18", "Bollettino di c/c postale"},
    {"MP19", "SEPA Direct Debit"},
    {"MP20", "SEPA Direct Debit CORE"},
    {"MP21", "SEPA Direct Debit B2B"},
    {"MP22", "Trattenuta su somme già riscosse"},
    {"MP23", "PagoPA"},
};

constexpr Voce kCondizioniPagamento[] = {
    {"TP01", "Pagamento a rate"},
    {"TP02", "Pagamento completo"},
    {"TP03", "Anticipo"},
};

constexpr Voce kEsigibilitaIVA[] = {
    {"I", "Immediata"},
    {"D", "Differita"},
    {"S", "Scissione dei pagamenti"},
};

constexpr Voce kTipoRitenuta[] = {
    {"RT01", "Ritenuta persone fisiche"},
    {"RT02", "Ritenuta persone giuridiche"},
    {"RT03", "Contributo INPS"},
    {"RT04", "Contributo ENASARCO"},
    {"RT05", "Contributo ENPAM"},
    {"RT06", "Altro contributo previdenziale"},
};

constexpr Voce kTipoCassa[] = {
    {"TC01", "Cassa nazionale previdenza e assistenza avvocati e procuratori legali"},
    {"TC02", "Cassa previdenza dottori commercialisti"},
    {"TC03", "Cassa previdenza e assistenza geometri"},
    {"TC04", "Cassa nazionale previdenza e assistenza ingegneri e architetti liberi professionisti"},
    {"TC05", "Cassa nazionale del notariato"},
    {"TC06", "Cassa nazionale previdenza e assistenza ragionieri e periti commerciali"},
    {"TC07", "Ente nazionale assistenza agenti e rappresentanti di commercio (ENASARCO)"},
    {"TC08", "Ente nazionale previdenza e assistenza consulenti del lavoro (ENPACL)"},
    {"TC09", "Ente nazionale previdenza e assistenza medici (ENPAM)"},
    {"TC10", "Ente nazionale previdenza e assistenza farmacisti (ENPAF)"},
    {"TC11", "Ente nazionale previdenza e assistenza veterinari (ENPAV)"},
    {"TC12", "Ente nazionale previdenza e assistenza impiegati dell'agricoltura (ENPAIA)"},
    {"TC13", "Fondo previdenza impiegati imprese di spedizione e agenzie marittime"},
    {"TC14", "Istituto nazionale previdenza giornalisti italiani (INPGI)"},
    {"TC15", "Opera nazionale assistenza orfani sanitari italiani (ONAOSI)"},
    {"TC16", "Cassa autonoma assistenza integrativa giornalisti italiani (CASAGIT)"},
    {"TC17", "Ente previdenza periti industriali e periti industriali laureati (EPPI)"},
    {"TC18", "Ente previdenza e assistenza pluricategoriale (EPAP)"},
    {"TC19", "Ente nazionale previdenza e assistenza biologi (ENPAB)"},
    {"TC20", "Ente nazionale previdenza e assistenza professione infermieristica (ENPAPI)"},
    {"TC21", "Ente nazionale previdenza e assistenza psicologi (ENPAP)"},
    {"TC22", "INPS"},
};

constexpr Voce kTipoScontoMaggiorazione[] = {{"SC", "Sconto"}, {"MG", "Maggiorazione"}};

constexpr Voce kTipoCessionePrestazione[] = {
    {"SC", "Sconto"},
    {"PR", "Premio"},
    {"AB", "Abbuono"},
    {"AC", "Spesa accessoria"},
};

constexpr Voce kSocioUnico[] = {{"SU", "Socio unico"}, {"SM", "Più soci"}};

constexpr Voce kStatoLiquidazione[] = {{"LS", "In liquidazione"}, {"LN", "Non in liquidazione"}};

constexpr Voce kSoggettoEmittente[] = {{"CC", "Cessionario/committente"}, {"TZ", "Terzo"}};

constexpr Voce kFormatoTrasmissione[] = {{"FPA12", "Fattura verso PA"}, {"FPR12", "Fattura verso privati"}};

struct Elenco {
    std::string_view schemaType;
    std::span<const Voce> voci;
};

Elenco elencoOf(ElencoCodici e)
{
    switch (e) {
    case ElencoCodici::TipoDocumento: return {"TipoDocumentoType", kTipoDocumento};
    case ElencoCodici::RegimeFiscale: return {"RegimeFiscaleType", kRegimeFiscale};
    case ElencoCodici::Natura: return {"NaturaType", kNatura};
    case ElencoCodici::ModalitaPagamento: return {"ModalitaPagamentoType", kModalitaPagamento};
    case ElencoCodici::CondizioniPagamento: return {"CondizioniPagamentoType", kCondizioniPagamento};
    case ElencoCodici::EsigibilitaIVA: return {"EsigibilitaIVAType", kEsigibilitaIVA};
    case ElencoCodici::TipoRitenuta: return {"TipoRitenutaType", kTipoRitenuta};
    case ElencoCodici::TipoCassa: return {"TipoCassaType", kTipoCassa};
    case ElencoCodici::TipoScontoMaggiorazione: return {"TipoScontoMaggiorazioneType", kTipoScontoMaggiorazione};
    case ElencoCodici::TipoCessionePrestazione: return {"TipoCessionePrestazioneType", kTipoCessionePrestazione};
    case ElencoCodici::SocioUnico: return {"SocioUnicoType", kSocioUnico};
    case ElencoCodici::StatoLiquidazione: return {"StatoLiquidazioneType", kStatoLiquidazione};
    case ElencoCodici::SoggettoEmittente: return {"SoggettoEmittenteType", kSoggettoEmittente};
    case ElencoCodici::FormatoTrasmissione: return {"FormatoTrasmissioneType", kFormatoTrasmissione};
    }
    return {};
}

}  // namespace

std::string_view schemaTypeOf(ElencoCodici elenco)
{
    return elencoOf(elenco).schemaType;
}

std::string_view descrizioneCodice(ElencoCodici elenco, std::string_view codice)
{
    for (const Voce& v : elencoOf(elenco).voci) {
        if (v.first == codice) return v.second;
    }
    return {};
}

std::string codiceDescritto(ElencoCodici elenco, std::string_view codice)
{
    const std::string_view descrizione = descrizioneCodice(elenco, codice);
    std::string out(codice);
    if (!descrizione.empty()) {
        out += ' ';
        out += descrizione;
    }
    return out;
}

}  // namespace crv
