// The value tables of the Corvestra reader and the instalment fallback.
#include <gtest/gtest.h>

#include "import/case_error.h"
#include "import/corvestra_reader.h"
#include "import/driver.h"
#include "xml/xml_document.h"

namespace crv {
namespace {

const Regional it = Regional::italian();

struct Read {
    Case values;
    std::string memo;
};

Read leggi(const std::string& body, ReaderOptions options = {})
{
    XmlDocument doc;
    EXPECT_TRUE(doc.loadBytes("<CORVESTRA><PRATICA>" + body + "</PRATICA></CORVESTRA>", "t.xml"));
    Read r;
    MemoText memo;
    leggiPratica(doc.documentElement().child("PRATICA"), options, it, r.values, memo, nullptr);
    r.memo = memo.text();
    return r;
}

TEST(CorvestraReader, GaranzieIsReadFromItsOwnChildren)
{
    const Read r = leggi(
        "<DATI_CONTRATTO><garanzie><Nome>GIALLI SRL</Nome><INDIRIZZO>VIA MARE 3</INDIRIZZO><CAP>16121</CAP>"
        "<COMUNE>GENOVA</COMUNE><PROVINCIA>GE</PROVINCIA>"
        "<TELEFONI><TELEFONO><NUMERO>0101</NUMERO><TIPO>casa</TIPO></TELEFONO><TELEFONO><NUMERO>0102</NUMERO>"
        "</TELEFONO><ALTRO><NUMERO>0109</NUMERO></ALTRO></TELEFONI>"
        "<TELEFONO>99</TELEFONO><COOBBLIGATO><NOME>NERI</NOME><CAP>17100</CAP></COOBBLIGATO>"
        "<CODICE_FISCALE>01234560109</CODICE_FISCALE></garanzie></DATI_CONTRATTO>");
    EXPECT_EQ(r.values.GaranteNome, "GIALLI SRL");
    EXPECT_EQ(r.values.GaranteIndirizzo, "VIA MARE 3");
    EXPECT_EQ(r.values.GaranteCap, "16121");  // a nested COOBBLIGATO gives nothing here
    EXPECT_EQ(r.values.GaranteComune, "GENOVA");
    EXPECT_EQ(r.values.GaranteTelefono, "0102");  // the last TELEFONO of the list; a bare TELEFONO is not read
    EXPECT_EQ(r.values.GaranteCodiceFiscale, "01234560109");
    EXPECT_EQ(r.values.Nominativo, "");     // the guarantor's NOME is not the debtor's
    EXPECT_EQ(r.values.Provincia, "");
}

TEST(CorvestraReader, EachGuarantorOverwritesOnlyTheValuesItCarries)
{
    const Read r = leggi(
        "<DATI_CONTRATTO><GARANTI><GARANTE><NOME>A</NOME><TELEFONO>1</TELEFONO><CAP>10100</CAP></GARANTE>"
        "<ALTRO><NOME>IGNORATO</NOME></ALTRO></GARANTI>"
        "<GARANZIE><NOME>B</NOME><COMUNE>GENOVA</COMUNE><TELEFONI><TELEFONO><NUMERO>2</NUMERO></TELEFONO>"
        "</TELEFONI></GARANZIE></DATI_CONTRATTO>"
        "<AFFIDAMENTI><COOBBLIGATI><COOBBLIGATO><NOME>C</NOME><INDIRIZZO>VIA C</INDIRIZZO></COOBBLIGATO>"
        "</COOBBLIGATI></AFFIDAMENTI>");
    EXPECT_EQ(r.values.GaranteNome, "C");
    EXPECT_EQ(r.values.GaranteIndirizzo, "VIA C");
    EXPECT_EQ(r.values.GaranteComune, "GENOVA");  // COOBBLIGATI has no COMUNE of its own
    EXPECT_EQ(r.values.GaranteTelefono, "2");
    EXPECT_EQ(r.values.GaranteCap, "10100");
}

TEST(CorvestraReader, TheLastNumberOfTheGuarantorPhoneListIsTakenAsWritten)
{
    // The writer keeps an e-mail address out of the row; the reader does not judge.
    const Read last = leggi(
        "<CLIENTE><GARANZIE><TELEFONI><TELEFONO><NUMERO>0101</NUMERO></TELEFONO>"
        "<TELEFONO><NUMERO>g@example.it</NUMERO></TELEFONO></TELEFONI></GARANZIE></CLIENTE>");
    EXPECT_EQ(last.values.GaranteTelefono, "g@example.it");

    const Read middle = leggi(
        "<CLIENTE><GARANTI><GARANTE><TELEFONO>061</TELEFONO></GARANTE></GARANTI>"
        "<GARANZIE><TELEFONI><TELEFONO><NUMERO>g@example.it</NUMERO></TELEFONO>"
        "<TELEFONO><NUMERO>0102</NUMERO></TELEFONO></TELEFONI></GARANZIE></CLIENTE>");
    EXPECT_EQ(middle.values.GaranteTelefono, "0102");

    // A single TELEFONO of GARANTI is taken as written; the writer keeps it out of the row.
    const Read garanti = leggi("<CLIENTE><GARANTI><GARANTE><TELEFONO>g@example.it</TELEFONO></GARANTE></GARANTI></CLIENTE>");
    EXPECT_EQ(garanti.values.GaranteTelefono, "g@example.it");
}

TEST(CorvestraReader, ProposalFlagNeedsTheExactName)
{
    EXPECT_TRUE(leggi("<AFFIDAMENTI><PROPOSTE_RFO><PROPOSTA_RFO><I>1</I></PROPOSTA_RFO></PROPOSTE_RFO></AFFIDAMENTI>")
                    .values.HaProposte);
    const Read lower =
        leggi("<AFFIDAMENTI><PROPOSTE_RFO><proposta_rfo><I>1</I></proposta_rfo></PROPOSTE_RFO></AFFIDAMENTI>");
    EXPECT_FALSE(lower.values.HaProposte);
    EXPECT_NE(lower.memo.find("\t\tproposta_rfo"), std::string::npos);  // still listed in the memo
}

TEST(CorvestraReader, SectionSwitches)
{
    const std::string body =
        "<DATI_IDENTIFICATIVI><CODICE_PRATICA>9</CODICE_PRATICA></DATI_IDENTIFICATIVI>"
        "<AFFIDAMENTI><SCADENZE><CAPITALE>10</CAPITALE><RATA_UP>1.5</RATA_UP></SCADENZE>"
        "<ATTUALE><INTERESSI_MORA>2</INTERESSI_MORA></ATTUALE></AFFIDAMENTI>"
        "<ESTRATTO_CONTO><MOVIMENTI><MOVIMENTO><CAUSALE>R</CAUSALE></MOVIMENTO></MOVIMENTI></ESTRATTO_CONTO>";
    ReaderOptions off;
    off.sezioni = {false, true, true, true, false, false};
    const Read r = leggi(body, off);
    EXPECT_EQ(r.values.CodicePratica, "9");          // values of switch 0 are still taken
    EXPECT_TRUE(r.values.Capitale.isZero());         // SCADENZE skipped whole
    EXPECT_TRUE(r.values.RataUp.isZero());
    EXPECT_EQ(r.values.InteressiMora, Amount::fromUnits(2));
    EXPECT_EQ(r.memo.find("CODICE_PRATICA"), std::string::npos);
    EXPECT_EQ(r.memo.find("ESTRATTO_CONTO"), std::string::npos);
    EXPECT_EQ(r.memo.find("SCADENZE"), std::string::npos);
    // Two sections left their dashes: DATI_IDENTIFICATIVI and AFFIDAMENTI.
    EXPECT_EQ(r.memo, std::string(70, '-') + "\r\nAFFIDAMENTI\r\n\t ATTUALE\r\n\t\t" + std::string(16, ' ') +
                          "INTERESSI_MORA = 2\r\n" + std::string(70, '-'));

    const Read on = leggi(body);
    EXPECT_EQ(on.values.Capitale, Amount::fromUnits(10));
    EXPECT_EQ(on.values.RataUp, *Amount::parseRegional("1,5", it));
}

TEST(CorvestraReader, MovementRowsFollowTheElementOrder)
{
    const Read r = leggi(
        "<ESTRATTO_CONTO><MOVIMENTI>"
        "<MOVIMENTO><DATA_REGISTRAZIONE>2020-01-02</DATA_REGISTRAZIONE><DATA_VALUTA>2020-01-03</DATA_VALUTA>"
        "<CAUSALE>CAUSALE LUNGA</CAUSALE><IMPORTO_DARE>1234567890</IMPORTO_DARE><IMPORTO_AVERE>1,5</IMPORTO_AVERE>"
        "<CAUSALE_ANALITICA>testo</CAUSALE_ANALITICA><ALTRO>x</ALTRO></MOVIMENTO>"
        "<MOVIMENTO><CAUSALE>A</CAUSALE><DATA_REGISTRAZIONE>2020-02-01</DATA_REGISTRAZIONE></MOVIMENTO>"
        "<SALDO_INF30GG>7</SALDO_INF30GG></MOVIMENTI>"
        "<movimenti><MOVIMENTO><IMPORTO_AVERE>3</IMPORTO_AVERE></MOVIMENTO></movimenti></ESTRATTO_CONTO>");
    const std::string header = std::string("\t\t") + kIntestazioneMovimenti;
    EXPECT_EQ(std::string(kIntestazioneMovimenti).size(), 80u);
    EXPECT_EQ(r.memo, "ESTRATTO_CONTO\r\n\tMOVIMENTI\r\n" + header +
                          "\r\n\t\t02/01/2020 03/01/2020 CAUSALE  34567890      1,5 testo"
                          "\r\n\t\t01/02/2020\r\n\t\t" + std::string(17, ' ') + "SALDO_INF30GG = 7"
                          "\r\n\tmovimenti\r\n\t\t        3\r\n" + std::string(70, '-'));
}

// An amount refused names its element and says why: not a number (an empty
// CAPITALE must not read as 0), or a number beyond the amount fields' range.
TEST(CorvestraReader, BadAmountNamesTheElement)
{
    const struct {
        const char* text;
        const char* reason;
    } cases[] = {
        {"", "importo non numerico; forma attesa 1234,56 o 1.234,56"},
        {"12,5 EUR", "importo non numerico; forma attesa 1234,56 o 1.234,56"},
        {"922337203685477,5808",
         "importo fuori dall'intervallo ammesso dai campi importo: da -922337203685477,5808 a 922337203685477,5807"},
        {"-99999999999999999999",
         "importo fuori dall'intervallo ammesso dai campi importo: da -922337203685477,5808 a 922337203685477,5807"},
    };
    for (const auto& c : cases) {
        try {
            leggi(std::string("<AFFIDAMENTI><SCADENZE><CAPITALE>") + c.text + "</CAPITALE></SCADENZE></AFFIDAMENTI>");
            ADD_FAILURE() << c.text << " read as an amount";
        } catch (const CaseInputError& e) {
            EXPECT_EQ(e.element(), "CAPITALE");
            EXPECT_EQ(e.text(), c.text);
            EXPECT_STREQ(e.what(), c.reason);
        }
    }
}

TEST(CercaInMovimenti, ReadsTheDebitColumnBeforeTheReason)
{
    const std::string row = "\t\t15/01/2026 16/01/2026 RATA       150,50        0 UT.PART. N 3";
    EXPECT_EQ(CercaInMovimenti("intestazione\r\n" + row, it), *Amount::parseRegional("150,5", it));
    EXPECT_TRUE(CercaInMovimenti("nessun movimento", it).isZero());
    EXPECT_TRUE(CercaInMovimenti("ut.part. n minuscolo", it).isZero());
    EXPECT_THROW(CercaInMovimenti("corto UT.PART. N", it), CaseInputError);
    EXPECT_THROW(CercaInMovimenti("\t\t15/01/2026 16/01/2026 PAGAMENT   150,50        0 UT.PART. N", it),
                 CaseInputError);
}

}  // namespace
}  // namespace crv
