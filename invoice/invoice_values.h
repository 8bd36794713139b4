#pragma once
// The values read from one electronic invoice, as plain structs: what the
// page shows, what --testo prints and the attachments the file carries.
#include <cstddef>
#include <optional>
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

// One document of the file (a "FatturaElettronicaBody"): its data, lines,
// payment and totals. An amount the body does not give stays empty: the page
// says so instead of showing 0.
struct DocumentoFattura {
    std::string TipoDocumento;
    std::string DataDocumento;  // the file's year-month-day text
    std::string NumeroDocumento;
    std::optional<Amount> TotaleDocumento;
    std::optional<Amount> TotaleImponibile;  // summed over the body's "DatiRiepilogo" blocks
    std::optional<Amount> TotaleImposta;     // likewise
    std::string ModalitaPagamento;           // the last payment detail's
    std::optional<Amount> ImportoPagamento;  // likewise
    std::vector<RigaFattura> righe;          // in file order
};

// An attachment ("Allegati"): its name as the file gives it and its base64 text.
struct Allegato {
    std::string NomeAttachment;
    std::string FormatoAttachment;
    std::string DescrizioneAttachment;
    std::string Attachment;  // base64, as in the file
};

// Everything read from one file: the parties of its header, one document per
// body (a batch holds several) and the attachments of every body.
struct FatturaLetta {
    Parte Cedente;
    Parte Cliente;
    std::vector<DocumentoFattura> documenti;
    std::vector<Allegato> allegati;

    // The documents shown: every body, or one empty document for a file
    // without bodies, whose page is still drawn with the parties.
    std::size_t numeroDocumenti() const { return documenti.empty() ? 1 : documenti.size(); }
    const DocumentoFattura& documento(std::size_t i) const
    {
        static const DocumentoFattura vuoto;
        return documenti.empty() ? vuoto : documenti.at(i);
    }
};

}  // namespace crv
