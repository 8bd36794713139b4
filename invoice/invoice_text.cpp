#include "invoice/invoice_text.h"

#include "text/printable.h"

namespace crv {
namespace {

void party(std::string& out, const char* title, const Parte& p)
{
    out += title;
    out += "\n  Denominazione: " + oneLine(p.Denominazione);
    out += "\n  P.Iva: " + oneLine(p.PartitaIva);
    out += "\n  Indirizzo: " + oneLine(p.SedeIndirizzo);
    out += "\n  CAP e comune: " + oneLine(p.SedeCap) + " " + oneLine(p.SedeComune) + "\n";
}

}  // namespace

std::string oneLine(std::string_view value)
{
    return blankControls(value);
}

std::string importoMostrato(const std::optional<Amount>& importo, const Regional& regional)
{
    return importo ? importo->toRegional(regional) : kNonIndicato;
}

std::string invoiceText(const FatturaLetta& fattura, const Regional& regional)
{
    std::string out;
    party(out, "Cedente/prestatore", fattura.Cedente);
    party(out, "Cessionario/committente", fattura.Cliente);
    const std::size_t n = fattura.numeroDocumenti();
    for (std::size_t i = 0; i < n; ++i) {
        const DocumentoFattura& d = fattura.documento(i);
        out += "Documento";
        if (n > 1) out += " " + std::to_string(i + 1) + " di " + std::to_string(n);
        out += "\n  Tipo: " + oneLine(d.TipoDocumento) + (d.TipoDocumento == "TD01" ? " (Fattura)" : "");
        out += "\n  Numero: " + oneLine(d.NumeroDocumento);
        out += "\n  Data: " + oneLine(d.DataDocumento);
        out += "\n  Totale documento: " + importoMostrato(d.TotaleDocumento, regional) + "\n";
        out += "Righe: " + std::to_string(d.righe.size()) + "\n";
        for (const RigaFattura& r : d.righe) {
            out += "  " + oneLine(r.NumeroLinea) + " | " + oneLine(r.Descrizione) + " | quantità " +
                   oneLine(r.Quantita) + " | prezzo unitario " + r.PrezzoUnitario.toRegional(regional) +
                   " | importo " + r.PrezzoTotale.toRegional(regional) + " | IVA " + oneLine(r.AliquotaIva) + "\n";
        }
        out += "Pagamento\n  Metodo: " + oneLine(d.ModalitaPagamento);
        out += "\n  Importo: " + importoMostrato(d.ImportoPagamento, regional) + "\n";
        out += "Totali\n  Totale imponibile: " + importoMostrato(d.TotaleImponibile, regional);
        out += "\n  Totale imposta: " + importoMostrato(d.TotaleImposta, regional);
        out += "\n  Totale documento: " + importoMostrato(d.TotaleDocumento, regional) + "\n";
    }
    if (!fattura.allegati.empty()) {
        out += "Allegati\n";
        for (const Allegato& a : fattura.allegati) {
            out += "  " + oneLine(a.NomeAttachment);
            if (!a.FormatoAttachment.empty()) out += " (" + oneLine(a.FormatoAttachment) + ")";
            if (!a.DescrizioneAttachment.empty()) out += ": " + oneLine(a.DescrizioneAttachment);
            out += "\n";
        }
    }
    return out;
}

}  // namespace crv
