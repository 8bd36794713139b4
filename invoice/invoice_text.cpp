#include "invoice/invoice_text.h"

namespace crv {
namespace {

void party(std::string& out, const char* title, const Parte& p)
{
    out += title;
    out += "\n  Denominazione: " + p.Denominazione;
    out += "\n  P.Iva: " + p.PartitaIva;
    out += "\n  Indirizzo: " + p.SedeIndirizzo;
    out += "\n  CAP e comune: " + p.SedeCap + " " + p.SedeComune + "\n";
}

}  // namespace

std::string invoiceText(const FatturaLetta& fattura, const Regional& regional)
{
    const DatiFattura& d = fattura.dati;
    std::string out;
    party(out, "Cedente/prestatore", d.Cedente);
    party(out, "Cessionario/committente", d.Cliente);
    out += "Documento\n  Tipo: " + d.TipoDocumento + (d.TipoDocumento == "TD01" ? " (Fattura)" : "");
    out += "\n  Numero: " + d.NumeroDocumento;
    out += "\n  Data: " + d.DataDocumento;
    out += "\n  Totale documento: " + d.TotaleDocumento.toRegional(regional) + "\n";
    out += "Righe: " + std::to_string(d.ContaRighe) + "\n";
    for (const RigaFattura& r : fattura.righe) {
        out += "  " + r.NumeroLinea + " | " + r.Descrizione + " | quantità " + r.Quantita + " | prezzo unitario " +
               r.PrezzoUnitario.toRegional(regional) + " | importo " + r.PrezzoTotale.toRegional(regional) +
               " | IVA " + r.AliquotaIva + "\n";
    }
    out += "Pagamento\n  Metodo: " + d.ModalitaPagamento;
    out += "\n  Importo: " + d.ImportoPagamento.toRegional(regional) + "\n";
    out += "Totali\n  Totale imponibile: " + d.TotaleImponibile.toRegional(regional);
    out += "\n  Totale imposta: " + d.TotaleImposta.toRegional(regional);
    out += "\n  Totale documento: " + d.TotaleDocumento.toRegional(regional) + "\n";
    if (!fattura.allegati.empty()) {
        out += "Allegati\n";
        for (const Allegato& a : fattura.allegati) {
            out += "  " + a.NomeAttachment;
            if (!a.FormatoAttachment.empty()) out += " (" + a.FormatoAttachment + ")";
            if (!a.DescrizioneAttachment.empty()) out += ": " + a.DescrizioneAttachment;
            out += "\n";
        }
    }
    return out;
}

}  // namespace crv
