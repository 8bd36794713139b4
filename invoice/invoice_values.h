#pragma once
// The values read from one electronic invoice, as plain structs: what the
// page shows, what --testo prints and the attachments the file carries.
#include <string>
#include <vector>

#include "numbers/amount.h"

namespace crv {

// A party of the invoice: the seller (`Cedente`) or the buyer (`Cliente`).
struct Parte {
    std::string Denominazione;  // company name, or "Nome Cognome" of a person
    std::string PartitaIva;     // country code and VAT number with nothing between
    std::string SedeIndirizzo;
    std::string SedeCap;
    std::string SedeComune;
};

// One invoice line (a "DettaglioLinee" element); a value the element lacks stays empty or 0.
struct RigaFattura {
    std::string NumeroLinea;
    std::string Descrizione;
    std::string Quantita;  // the file's text unchanged (e.g. "2.00")
    Amount PrezzoUnitario;
    Amount PrezzoTotale;
    std::string AliquotaIva;  // the file's text unchanged (e.g. "22.00")
};

// The document data, parties, payment and totals of the file. Where the
// file has several bodies, the later one's values replace the earlier ones'.
struct DatiFattura {
    Parte Cedente;
    Parte Cliente;
    std::string TipoDocumento;
    std::string DataDocumento;  // the file's year-month-day text
    std::string NumeroDocumento;
    Amount TotaleDocumento;
    Amount TotaleImponibile;  // summed over the "DatiRiepilogo" blocks of a body
    Amount TotaleImposta;     // likewise
    std::string ModalitaPagamento;
    Amount ImportoPagamento;
    long long ContaRighe = 0;  // lines read, across all bodies
};

// An attachment ("Allegati"): its name as the file gives it and its base64 text.
struct Allegato {
    std::string NomeAttachment;
    std::string FormatoAttachment;
    std::string DescrizioneAttachment;
    std::string Attachment;  // base64, as in the file
};

// Everything read from one file.
struct FatturaLetta {
    DatiFattura dati;
    std::vector<RigaFattura> righe;  // in file order, all bodies
    std::vector<Allegato> allegati;
};

}  // namespace crv
