// The schema check against xmllint, the reference verdict: the same files
// valid, the same violations (line and element) on files broken on purpose,
// each told in Italian with what the schema expects; and every code of the
// schema's lists described in words.
#include <gtest/gtest.h>

#include <cstdio>
#include <regex>
#include <sys/wait.h>

#include <pugixml.hpp>

#include "invoice/invoice_codes.h"
#include "invoice/schema_check.h"
#include "invoice/signed_envelope.h"
#include "support/test_support.h"

namespace crv {
namespace {

const std::string kSchema = std::string(CRVXML_SCHEMA_DIR) + "/Schema_del_file_xml_FatturaPA_v1.2.2.xsd";

// What `xmllint --nonet --noout --schema` says of the bytes: whether they
// are valid, and the line and element of each violation.
struct Xmllint {
    bool valid = false;
    std::vector<std::pair<int, std::string>> violations;
};

Xmllint xmllint(const std::string& xml, const test::TempDir& tmp)
{
    const auto file = tmp / "verifica.xml";
    test::writeFile(file, xml);
    const std::string command = "xmllint --nonet --noout --schema " + test::shellWord(kSchema) + " " +
                                test::shellWord(file.string()) + " 2>&1";
    Xmllint out;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        ADD_FAILURE() << command;
        return out;
    }
    std::string text;
    char buffer[4096];
    while (const std::size_t n = fread(buffer, 1, sizeof buffer, pipe)) text.append(buffer, n);
    const int status = pclose(pipe);
    out.valid = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    static const std::regex line(R"(verifica\.xml:(\d+): element ([^:]+): Schemas validity error)");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), line); it != std::sregex_iterator(); ++it)
        out.violations.emplace_back(std::stoi((*it)[1]), (*it)[2]);
    return out;
}

std::string fpr02()
{
    return test::readFile(test::dataFile("fatturapa/official_IT01234567890_FPR02_b2b_two_lines.xml"));
}

std::string replaced(std::string text, const std::string& from, const std::string& to)
{
    const auto at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

TEST(SchemaCheck, TheSamplesAreValidAsXmllintSays)
{
    test::TempDir tmp;
    for (const char* name :
         {"official_IT01234567890_FPA01_pa_single_line.xml", "official_IT01234567890_FPR02_b2b_two_lines.xml",
          "official_IT01234567890_FPR03_lotto_two_bodies.xml", "oca_FPR03_signed_cades_der.xml.p7m",
          "oca_FPR06_credit_note_TD04.xml", "php_fattura_esempio_buyer_person_nome_cognome.xml",
          "oca_ripilogoiva_two_vat_rates_22_and_N1.xml", "simevo_FPR04_attachment_jpg.xml",
          "oca_FPR16_default_namespace_negative_total.xml", "completa_tutti_i_blocchi.xml"}) {
        SCOPED_TRACE(name);
        const EnvelopeContent xml = openEnvelope(test::readFile(test::dataFile(std::string("fatturapa/") + name)));
        ASSERT_TRUE(xml.ok);
        const SchemaVerdict verdict = checkSchema(xml.content);
        EXPECT_TRUE(verdict.valid()) << (verdict.violations.empty() ? "" : violationText(verdict.violations[0]));
        EXPECT_EQ(verdictTitle(verdict), "Conforme allo schema FatturaPA 1.2.2");
        EXPECT_TRUE(xmllint(xml.content, tmp).valid);
    }
}

TEST(SchemaCheck, BrokenFilesGiveXmllintsViolationsInItalian)
{
    test::TempDir tmp;
    const struct {
        std::string xml;
        std::vector<std::string> problems;  // of each violation, in order
    } cases[] = {
        {replaced(fpr02(), "<TipoDocumento>TD01", "<TipoDocumento>TD99"),
         {"valore \"TD99\" non ammesso; valori ammessi: TD01, TD02, TD03, TD04"}},
        {replaced(fpr02(), "<Numero>123</Numero>", "<Numero>123456789012345678901234</Numero>"),
         {"valore \"123456789012345678901234\" non nella forma richiesta dallo schema"}},
        {replaced(fpr02(), "<Data>2014-12-18</Data>", "<Data>18/12/2014</Data>"),
         {"valore \"18/12/2014\" non valido per il tipo DataFatturaType"}},
        {replaced(fpr02(), "<Numero>123</Numero>", ""),
         {"elemento non previsto in questo punto; lo schema si aspetta: Numero"}},
        {replaced(fpr02(), "<Divisa>EUR</Divisa>", "<Divisa>EUR</Divisa><Pippo>1</Pippo>"),
         {"elemento non previsto in questo punto; lo schema si aspetta: Data"}},
        {replaced(fpr02(), "<IdCodice>01234567890</IdCodice>\n        </IdFiscaleIVA>\n        <Anagrafica>",
                  "</IdFiscaleIVA>\n        <Anagrafica>"),
         {"mancano elementi; lo schema si aspetta: IdCodice"}},
        {std::regex_replace(fpr02(), std::regex("<AliquotaIVA>22.00</AliquotaIVA>"), "<AliquotaIVA>22</AliquotaIVA>"),
         {"non nella forma richiesta", "non nella forma richiesta", "non nella forma richiesta"}},
        {replaced(fpr02(), "versione=\"FPR12\"", "versione=\"FPR99\""),
         {"valore \"FPR99\" non ammesso; valori ammessi: FPA12, FPR12"}},
        {replaced(fpr02(), "versione=\"FPR12\"", ""), {"manca l'attributo obbligatorio versione"}},
        {std::regex_replace(fpr02(), std::regex("p:FatturaElettronica"), "p:Fattura"),
         {"elemento radice non previsto dallo schema"}},
        {replaced(fpr02(), "<FatturaElettronicaHeader>", "<FatturaElettronicaHeader xmlns=\"urn:altro\">"),
         {"elemento non previsto in questo punto; lo schema si aspetta: FatturaElettronicaHeader"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.problems.front());
        const SchemaVerdict ours = checkSchema(c.xml);
        const Xmllint reference = xmllint(c.xml, tmp);
        EXPECT_FALSE(reference.valid);
        EXPECT_FALSE(ours.valid());
        EXPECT_TRUE(ours.wellFormed);
        ASSERT_EQ(ours.violations.size(), reference.violations.size());
        ASSERT_EQ(ours.violations.size(), c.problems.size());
        for (std::size_t k = 0; k < ours.violations.size(); ++k) {
            EXPECT_EQ(ours.violations[k].line, reference.violations[k].first);
            EXPECT_EQ(ours.violations[k].element, reference.violations[k].second);
            EXPECT_NE(ours.violations[k].problem.find(c.problems[k]), std::string::npos) << ours.violations[k].problem;
        }
        EXPECT_NE(verdictTitle(ours).find("Non conforme allo schema FatturaPA 1.2.2"), std::string::npos);
    }
}

TEST(SchemaCheck, XmlThatIsNotWellFormedIsNotValidAndSaysWhere)
{
    const SchemaVerdict v = checkSchema(replaced(fpr02(), "<Numero>123</Numero>", "<Numero>123</Numeri>"));
    EXPECT_FALSE(v.wellFormed);
    EXPECT_FALSE(v.valid());
    ASSERT_EQ(v.violations.size(), 1u);
    EXPECT_EQ(v.violations[0].line, 55);
    EXPECT_TRUE(v.violations[0].problem.starts_with("XML non ben formato: ")) << v.violations[0].problem;
    EXPECT_EQ(verdictTitle(v), "Non conforme allo schema FatturaPA 1.2.2: XML non leggibile");
    // Nothing outside the file is loaded: an external entity stays unread.
    const SchemaVerdict entity = checkSchema(
        "<?xml version=\"1.0\"?><!DOCTYPE x [<!ENTITY e SYSTEM \"/etc/passwd\">]><x>&e;</x>");
    EXPECT_FALSE(entity.valid());
    for (const SchemaViolation& violation : entity.violations) EXPECT_EQ(violation.problem.find("root:"), std::string::npos);
}

TEST(SchemaCheck, EveryCodeOfTheSchemasListsHasItsDescription)
{
    pugi::xml_document schema;
    ASSERT_TRUE(schema.load_string(schemaFile("Schema_del_file_xml_FatturaPA_v1.2.2.xsd").c_str()));
    for (const ElencoCodici elenco :
         {ElencoCodici::TipoDocumento, ElencoCodici::RegimeFiscale, ElencoCodici::Natura,
          ElencoCodici::ModalitaPagamento, ElencoCodici::CondizioniPagamento, ElencoCodici::EsigibilitaIVA,
          ElencoCodici::TipoRitenuta, ElencoCodici::TipoCassa, ElencoCodici::TipoScontoMaggiorazione,
          ElencoCodici::TipoCessionePrestazione, ElencoCodici::SocioUnico, ElencoCodici::StatoLiquidazione,
          ElencoCodici::SoggettoEmittente, ElencoCodici::FormatoTrasmissione}) {
        const std::string type(schemaTypeOf(elenco));
        const pugi::xpath_node_set values =
            schema.select_nodes(("//*[local-name()='simpleType'][@name='" + type + "']//*[local-name()='enumeration']").c_str());
        EXPECT_GE(values.size(), 2u) << type;
        for (const pugi::xpath_node& v : values) {
            const std::string code = v.node().attribute("value").value();
            EXPECT_FALSE(descrizioneCodice(elenco, code).empty()) << type << " " << code;
        }
    }
    EXPECT_EQ(codiceDescritto(ElencoCodici::TipoDocumento, "TD24"), "TD24 Fattura differita (art. 21 c. 4 lett. a DPR 633/72)");
    EXPECT_EQ(codiceDescritto(ElencoCodici::ModalitaPagamento, "MP99"), "MP99");  // unknown: the code alone
    EXPECT_EQ(codiceDescritto(ElencoCodici::RegimeFiscale, ""), "");
}

}  // namespace
}  // namespace crv
