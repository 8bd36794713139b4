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

std::string invoiceText(const FatturaLetta& fattura, const Regional& regional)
{
    const DatiFattura& d = fattura.dati;
    std::string out;
    party(out, "Cedente/prestatore", d.Cedente);
    party(out, "Cessionario/committente", d.Cliente);
    out += "Documento\n  Tipo: " + oneLine(d.TipoDocumento) + (d.TipoDocumento == "TD01" ? " (Fattura)" : "");
    out += "\n  Numero: " + oneLine(d.NumeroDocumento);
    out += "\n  Data: " + oneLine(d.DataDocumento);
    out += "\n  Totale documento: " + d.TotaleDocumento.toRegional(regional) + "\n";
    out += "Righe: " + std::to_string(d.ContaRighe) + "\n";
    for (const RigaFattura& r : fattura.righe) {
        out += "  " + oneLine(r.NumeroLinea) + " | " + oneLine(r.Descrizione) + " | quantità " + oneLine(r.Quantita) +
               " | prezzo unitario " + r.PrezzoUnitario.toRegional(regional) + " | importo " +
               r.PrezzoTotale.toRegional(regional) + " | IVA " + oneLine(r.AliquotaIva) + "\n";
    }
    out += "Pagamento\n  Metodo: " + oneLine(d.ModalitaPagamento);
    out += "\n  Importo: " + d.ImportoPagamento.toRegional(regional) + "\n";
    out += "Totali\n  Totale imponibile: " + d.TotaleImponibile.toRegional(regional);
    out += "\n  Totale imposta: " + d.TotaleImposta.toRegional(regional);
    out += "\n  Totale documento: " + d.TotaleDocumento.toRegional(regional) + "\n";
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
