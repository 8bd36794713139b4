#include "invoice/invoice_support.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QGuiApplication>

#include <memory>

namespace crv::test {

std::string invoiceXml(const std::string& children)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<p:FatturaElettronica versione=\"FPR12\" "
           "xmlns:p=\"http://ivaservizi.agenziaentrate.gov.it/docs/xsd/fatture/v1.2\">\n" +
           children + "</p:FatturaElettronica>\n";
}

std::string standardHeader()
{
    return "<FatturaElettronicaHeader>\n"
           " <CedentePrestatore><DatiAnagrafici><IdFiscaleIVA><IdPaese>IT</IdPaese><IdCodice>01234567890</IdCodice>"
           "</IdFiscaleIVA><Anagrafica><Denominazione>ALFA SRL</Denominazione></Anagrafica></DatiAnagrafici>"
           "<Sede><Indirizzo>VIA ROMA 1</Indirizzo><CAP>07100</CAP><Comune>SASSARI</Comune></Sede></CedentePrestatore>\n"
           " <CessionarioCommittente><DatiAnagrafici><IdFiscaleIVA><IdPaese>IT</IdPaese><IdCodice>09876543210"
           "</IdCodice></IdFiscaleIVA><Anagrafica><Denominazione>BETA SPA</Denominazione></Anagrafica>"
           "</DatiAnagrafici><Sede><Indirizzo>VIA TORINO 2</Indirizzo><CAP>00145</CAP><Comune>ROMA</Comune></Sede>"
           "</CessionarioCommittente>\n"
           "</FatturaElettronicaHeader>\n";
}

std::string body(const std::string& tipo, const std::string& numero, const std::string& goods, const std::string& more)
{
    return "<FatturaElettronicaBody><DatiGenerali><DatiGeneraliDocumento><TipoDocumento>" + tipo +
           "</TipoDocumento><Divisa>EUR</Divisa><Data>2024-03-01</Data><Numero>" + numero +
           "</Numero></DatiGeneraliDocumento></DatiGenerali>\n<DatiBeniServizi>" + goods + "</DatiBeniServizi>" +
           more + "</FatturaElettronicaBody>\n";
}

std::string line(const std::string& numero, const std::string& descrizione, const std::string& quantita,
                 const std::string& prezzo, const std::string& totale, const std::string& aliquota)
{
    return "<DettaglioLinee><NumeroLinea>" + numero + "</NumeroLinea><Descrizione>" + descrizione +
           "</Descrizione><Quantita>" + quantita + "</Quantita><PrezzoUnitario>" + prezzo +
           "</PrezzoUnitario><PrezzoTotale>" + totale + "</PrezzoTotale><AliquotaIVA>" + aliquota +
           "</AliquotaIVA></DettaglioLinee>\n";
}

namespace {

// The application lives from before the first test to after the last one,
// and is gone before static objects are destroyed (a QGuiApplication left to
// static destruction outlives parts of Qt it still uses).
class GuiEnvironment : public ::testing::Environment {
public:
    void SetUp() override { ensureGuiApplication(); }
    void TearDown() override { app_.reset(); }
    static std::unique_ptr<QGuiApplication> app_;
};

std::unique_ptr<QGuiApplication> GuiEnvironment::app_;

// GoogleTest owns the registered environment.
[[maybe_unused]] ::testing::Environment* const registered =
    ::testing::AddGlobalTestEnvironment(std::make_unique<GuiEnvironment>().release());

}  // namespace

void ensureGuiApplication()
{
    if (QCoreApplication::instance() != nullptr) return;
    static int argc = 1;
    static char name[] = "test_invoice";
    static char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    GuiEnvironment::app_ = std::make_unique<QGuiApplication>(argc, argv);
}

}  // namespace crv::test
