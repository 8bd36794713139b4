#include "gen_invoice.h"

#include <cstdio>
#include <random>

namespace crv::bench {
namespace {

const char* const kGoods[] = {
    "FORNITURE VARIE PER UFFICIO", "Carta A4 80 g, risme da 500 fogli", "Toner nero per stampante laser",
    "Manutenzione ordinaria impianto di climatizzazione, intervento del tecnico presso la sede del cliente",
    "Canone mensile di assistenza software", "Trasporto e consegna", "Quota fissa servizio idrico",
    "Spesa per la materia energia - fascia F1", "Sconto incondizionato",
};

std::string money(long long cents)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%s%lld.%02lld", cents < 0 ? "-" : "", (cents < 0 ? -cents : cents) / 100,
                  (cents < 0 ? -cents : cents) % 100);
    return buf;
}

}  // namespace

std::string generateInvoice(int lines, unsigned seed)
{
    std::mt19937 rng(seed);
    std::string xml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<p:FatturaElettronica versione=\"FPR12\" xmlns:ds=\"http://www.w3.org/2000/09/xmldsig#\" "
        "xmlns:p=\"http://ivaservizi.agenziaentrate.gov.it/docs/xsd/fatture/v1.2\">\n"
        "  <FatturaElettronicaHeader>\n"
        "    <DatiTrasmissione><IdTrasmittente><IdPaese>IT</IdPaese><IdCodice>01234567890</IdCodice>"
        "</IdTrasmittente><ProgressivoInvio>00001</ProgressivoInvio><FormatoTrasmissione>FPR12"
        "</FormatoTrasmissione><CodiceDestinatario>ABC1234</CodiceDestinatario></DatiTrasmissione>\n"
        "    <CedentePrestatore>\n      <DatiAnagrafici>\n        <IdFiscaleIVA><IdPaese>IT</IdPaese>"
        "<IdCodice>01234567890</IdCodice></IdFiscaleIVA>\n        <Anagrafica><Denominazione>SOCIETA' ALFA SRL"
        "</Denominazione></Anagrafica>\n        <RegimeFiscale>RF01</RegimeFiscale>\n      </DatiAnagrafici>\n"
        "      <Sede><Indirizzo>VIALE ROMA 543</Indirizzo><CAP>07100</CAP><Comune>SASSARI</Comune>"
        "<Provincia>SS</Provincia><Nazione>IT</Nazione></Sede>\n    </CedentePrestatore>\n"
        "    <CessionarioCommittente>\n      <DatiAnagrafici><CodiceFiscale>09876543210</CodiceFiscale>"
        "<Anagrafica><Denominazione>BETA GAMMA SPA</Denominazione></Anagrafica></DatiAnagrafici>\n"
        "      <Sede><Indirizzo>VIA TORINO 38-B</Indirizzo><CAP>00145</CAP><Comune>ROMA</Comune>"
        "<Provincia>RM</Provincia><Nazione>IT</Nazione></Sede>\n    </CessionarioCommittente>\n"
        "  </FatturaElettronicaHeader>\n"
        "  <FatturaElettronicaBody>\n    <DatiGenerali>\n      <DatiGeneraliDocumento>\n"
        "        <TipoDocumento>TD01</TipoDocumento><Divisa>EUR</Divisa><Data>2026-11-30</Data>"
        "<Numero>2026/" + std::to_string(lines) + "</Numero>\n";
    std::string body = "    <DatiBeniServizi>\n";
    long long taxable22 = 0;
    long long taxable10 = 0;
    std::uniform_int_distribution<int> good(0, std::size(kGoods) - 1);
    std::uniform_int_distribution<int> qty(1, 50);
    std::uniform_int_distribution<long long> price(1, 250000);
    for (int k = 1; k <= lines; ++k) {
        const int q = qty(rng);
        const long long unit = price(rng);
        const long long total = unit * q;
        const bool reduced = k % 5 == 0;
        (reduced ? taxable10 : taxable22) += total;
        body += "      <DettaglioLinee>\n        <NumeroLinea>" + std::to_string(k) + "</NumeroLinea>\n" +
                "        <CodiceArticolo><CodiceTipo>INTERNO</CodiceTipo><CodiceValore>ART" + std::to_string(k) +
                "</CodiceValore></CodiceArticolo>\n        <Descrizione>" + kGoods[good(rng)] +
                "</Descrizione>\n        <Quantita>" + std::to_string(q) + ".00</Quantita>\n" +
                "        <UnitaMisura>PZ</UnitaMisura>\n        <PrezzoUnitario>" + money(unit) +
                "</PrezzoUnitario>\n        <PrezzoTotale>" + money(total) + "</PrezzoTotale>\n" +
                "        <AliquotaIVA>" + (reduced ? "10.00" : "22.00") + "</AliquotaIVA>\n      </DettaglioLinee>\n";
    }
    const long long tax22 = taxable22 * 22 / 100;
    const long long tax10 = taxable10 / 10;
    body += "      <DatiRiepilogo><AliquotaIVA>22.00</AliquotaIVA><ImponibileImporto>" + money(taxable22) +
            "</ImponibileImporto><Imposta>" + money(tax22) + "</Imposta><EsigibilitaIVA>I</EsigibilitaIVA>"
            "</DatiRiepilogo>\n      <DatiRiepilogo><AliquotaIVA>10.00</AliquotaIVA><ImponibileImporto>" +
            money(taxable10) + "</ImponibileImporto><Imposta>" + money(tax10) +
            "</Imposta><EsigibilitaIVA>I</EsigibilitaIVA></DatiRiepilogo>\n    </DatiBeniServizi>\n";
    const std::string total = money(taxable22 + taxable10 + tax22 + tax10);
    xml += "        <ImportoTotaleDocumento>" + total + "</ImportoTotaleDocumento>\n" +
           "      </DatiGeneraliDocumento>\n    </DatiGenerali>\n" + body +
           "    <DatiPagamento><CondizioniPagamento>TP02</CondizioniPagamento><DettaglioPagamento>"
           "<ModalitaPagamento>MP05</ModalitaPagamento><DataScadenzaPagamento>2026-12-31</DataScadenzaPagamento>"
           "<ImportoPagamento>" + total + "</ImportoPagamento><IBAN>IT60X0542811101000000123456</IBAN>"
           "</DettaglioPagamento></DatiPagamento>\n  </FatturaElettronicaBody>\n</p:FatturaElettronica>\n";
    return xml;
}

}  // namespace crv::bench
