#pragma once
// Everything an electronic invoice says, for the complete view: the header's
// parties and transmission data, and per body the document data, references,
// lines, VAT summary, withholding, pension fund, stamp duty, payments and
// attachments. Values are the file's texts as they stand (an empty text is an
// absent element); the view formats them.
#include <cstddef>
#include <string>
#include <vector>

#include "invoice/invoice_values.h"

namespace crv {

// A label and a value for the blocks shown as a plain list (transport data,
// the main invoice, vehicles, elements the view has no place of its own for).
struct Campo {
    enum class Formato { Testo, Data, DataOra, Importo, Codice };
    std::string etichetta;
    std::string valore;
    Formato formato = Formato::Testo;
    bool operator==(const Campo&) const = default;
};

struct IdFiscale {
    std::string IdPaese;
    std::string IdCodice;
    bool empty() const { return IdPaese.empty() && IdCodice.empty(); }
};

struct Indirizzo {
    std::string Indirizzo;
    std::string NumeroCivico;
    std::string CAP;
    std::string Comune;
    std::string Provincia;
    std::string Nazione;
    bool empty() const
    {
        return Indirizzo.empty() && NumeroCivico.empty() && CAP.empty() && Comune.empty() && Provincia.empty() &&
               Nazione.empty();
    }
};

// One party: the seller, its tax representative, the buyer, the buyer's tax
// representative, or the intermediary that issued the invoice.
struct Soggetto {
    enum class Ruolo { Cedente, RappresentanteFiscale, Cessionario, RappresentanteCessionario, Terzo };
    Ruolo ruolo = Ruolo::Cedente;
    IdFiscale IdFiscaleIVA;
    std::string CodiceFiscale;
    std::string Denominazione;
    std::string Titolo;
    std::string Nome;
    std::string Cognome;
    std::string CodEORI;
    std::string AlboProfessionale;
    std::string ProvinciaAlbo;
    std::string NumeroIscrizioneAlbo;
    std::string DataIscrizioneAlbo;
    std::string RegimeFiscale;
    Indirizzo Sede;
    Indirizzo StabileOrganizzazione;
    // IscrizioneREA
    std::string UfficioREA;
    std::string NumeroREA;
    std::string CapitaleSociale;
    std::string SocioUnico;
    std::string StatoLiquidazione;
    // Contatti
    std::string Telefono;
    std::string Fax;
    std::string Email;
    std::string RiferimentoAmministrazione;
};

// The transmission data of the header.
struct Trasmissione {
    std::string versione;  // the root's attribute: FPA12, FPR12
    IdFiscale IdTrasmittente;
    std::string ProgressivoInvio;
    std::string FormatoTrasmissione;
    std::string CodiceDestinatario;
    std::string PECDestinatario;
    std::string Telefono;
    std::string Email;
};

// An order, contract, agreement, receipt, linked invoice, work progress
// stage or delivery note the document refers to.
struct Riferimento {
    enum class Tipo { Ordine, Contratto, Convenzione, Ricezione, FatturaCollegata, Sal, Ddt };
    Tipo tipo = Tipo::Ordine;
    std::vector<std::string> righe;  // RiferimentoNumeroLinea
    std::string IdDocumento;         // for a DDT its number, for a SAL its stage
    std::string Data;
    std::string NumItem;
    std::string CodiceCommessaConvenzione;
    std::string CodiceCUP;
    std::string CodiceCIG;
};

struct Ritenuta {
    std::string TipoRitenuta;
    std::string ImportoRitenuta;
    std::string AliquotaRitenuta;
    std::string CausalePagamento;
};

struct CassaPrevidenziale {
    std::string TipoCassa;
    std::string AlCassa;
    std::string ImportoContributoCassa;
    std::string ImponibileCassa;
    std::string AliquotaIVA;
    std::string Ritenuta;
    std::string Natura;
    std::string RiferimentoAmministrazione;
};

struct ScontoMaggiorazione {
    std::string Tipo;  // SC or MG
    std::string Percentuale;
    std::string Importo;
};

struct CodiceArticolo {
    std::string CodiceTipo;
    std::string CodiceValore;
};

struct AltroDatoGestionale {
    std::string TipoDato;
    std::string RiferimentoTesto;
    std::string RiferimentoNumero;
    std::string RiferimentoData;
};

// One line ("DettaglioLinee").
struct Linea {
    std::string NumeroLinea;
    std::string TipoCessionePrestazione;
    std::vector<CodiceArticolo> codici;
    std::string Descrizione;
    std::string Quantita;
    std::string UnitaMisura;
    std::string DataInizioPeriodo;
    std::string DataFinePeriodo;
    std::string PrezzoUnitario;
    std::vector<ScontoMaggiorazione> sconti;
    std::string PrezzoTotale;
    std::string AliquotaIVA;
    std::string Ritenuta;
    std::string Natura;
    std::string RiferimentoAmministrazione;
    std::vector<AltroDatoGestionale> altriDati;
};

// One VAT summary ("DatiRiepilogo").
struct Riepilogo {
    std::string AliquotaIVA;
    std::string Natura;
    std::string SpeseAccessorie;
    std::string Arrotondamento;
    std::string ImponibileImporto;
    std::string Imposta;
    std::string EsigibilitaIVA;
    std::string RiferimentoNormativo;
};

struct DettaglioPagamento {
    std::string Beneficiario;
    std::string ModalitaPagamento;
    std::string DataRiferimentoTerminiPagamento;
    std::string GiorniTerminiPagamento;
    std::string DataScadenzaPagamento;
    std::string ImportoPagamento;
    std::string CodUfficioPostale;
    std::string TitoloQuietanzante;
    std::string NomeQuietanzante;
    std::string CognomeQuietanzante;
    std::string CFQuietanzante;
    std::string IstitutoFinanziario;
    std::string IBAN;
    std::string ABI;
    std::string CAB;
    std::string BIC;
    std::string ScontoPagamentoAnticipato;
    std::string DataLimitePagamentoAnticipato;
    std::string PenalitaPagamentiRitardati;
    std::string DataDecorrenzaPenale;
    std::string CodicePagamento;
};

struct Pagamento {
    std::string CondizioniPagamento;
    std::vector<DettaglioPagamento> dettagli;
};

// An attachment, with the compression its content went through.
struct AllegatoCompleto : Allegato {
    std::string AlgoritmoCompressione;
};

// One body ("FatturaElettronicaBody"): one document of the file.
struct Documento {
    std::string TipoDocumento;
    std::string Divisa;
    std::string Data;
    std::string Numero;
    std::vector<Ritenuta> ritenute;
    std::string BolloVirtuale;
    std::string ImportoBollo;
    std::vector<CassaPrevidenziale> casse;
    std::vector<ScontoMaggiorazione> sconti;
    std::string ImportoTotaleDocumento;
    std::string Arrotondamento;
    std::vector<std::string> causali;
    std::string Art73;
    std::vector<Riferimento> riferimenti;
    std::vector<Campo> altriDati;  // transport, main invoice, vehicles, anything else
    std::vector<Linea> linee;
    std::vector<Riepilogo> riepiloghi;
    std::vector<Pagamento> pagamenti;
    std::vector<AllegatoCompleto> allegati;
};

// The whole file.
struct FatturaCompleta {
    Trasmissione trasmissione;
    std::vector<Soggetto> soggetti;  // in the header's order
    std::string SoggettoEmittente;
    std::vector<Campo> altriDatiTestata;  // header elements the view has no place of its own for
    std::vector<Documento> documenti;
};

// Bytes of an attachment once its base64 text is decoded.
std::size_t decodedSize(const std::string& base64);

}  // namespace crv
