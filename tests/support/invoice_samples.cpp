#include "support/invoice_samples.h"

namespace crv::test {

std::string invoiceOfLines(int n)
{
    std::string lines;
    for (int k = 1; k <= n; ++k)
        lines += "<DettaglioLinee><NumeroLinea>" + std::to_string(k) + "</NumeroLinea><Descrizione>Canone mensile " +
                 std::to_string(k) + "</Descrizione><Quantita>1.00</Quantita><PrezzoUnitario>10.00</PrezzoUnitario>"
                 "<PrezzoTotale>10.00</PrezzoTotale><AliquotaIVA>22.00</AliquotaIVA></DettaglioLinee>";
    // Each line 10.00 with 22% VAT: 2.20 of tax.
    const auto euro = [](int cents) { return std::to_string(cents / 100) + "." + std::to_string(cents % 100 / 10) +
                                             std::to_string(cents % 10); };
    const std::string imponibile = euro(1000 * n);
    const std::string imposta = euro(220 * n);
    const std::string totale = euro(1220 * n);
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<p:FatturaElettronica xmlns:p=\"urn:x\">"
           "<FatturaElettronicaHeader><CedentePrestatore><DatiAnagrafici><IdFiscaleIVA><IdPaese>IT</IdPaese>"
           "<IdCodice>01234567890</IdCodice></IdFiscaleIVA><Anagrafica><Denominazione>SERVIZI ESEMPIO SRL"
           "</Denominazione></Anagrafica></DatiAnagrafici><Sede><Indirizzo>VIA ESEMPIO 1</Indirizzo><CAP>00100"
           "</CAP><Comune>ROMA</Comune></Sede></CedentePrestatore></FatturaElettronicaHeader>"
           "<FatturaElettronicaBody><DatiGenerali><DatiGeneraliDocumento><TipoDocumento>TD01</TipoDocumento>"
           "<Data>2026-01-31</Data><Numero>40/2026</Numero><ImportoTotaleDocumento>" + totale +
           "</ImportoTotaleDocumento></DatiGeneraliDocumento></DatiGenerali>"
           "<DatiBeniServizi>" + lines + "<DatiRiepilogo><ImponibileImporto>" + imponibile +
           "</ImponibileImporto><Imposta>" + imposta + "</Imposta></DatiRiepilogo></DatiBeniServizi>"
           "<DatiPagamento><DettaglioPagamento><ModalitaPagamento>MP05</ModalitaPagamento><ImportoPagamento>" +
           totale + "</ImportoPagamento></DettaglioPagamento></DatiPagamento></FatturaElettronicaBody></p:FatturaElettronica>\n";
}

}  // namespace crv::test
