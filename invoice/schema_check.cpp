#include "invoice/schema_check.h"

#include <QFile>

#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>
#include <libxml/xmlschemas.h>

#include <climits>
#include <memory>
#include <mutex>
#include <regex>

#include "text/encoding.h"
#include "xml/xml_document.h"

namespace crv {
namespace {

constexpr const char* kMainSchema = "Schema_del_file_xml_FatturaPA_v1.2.2.xsd";
constexpr const char* kSignatureSchema = "xmldsig-core-schema.xsd";

std::string_view lastPart(std::string_view url)
{
    const auto slash = url.find_last_of("/\\");
    return slash == std::string_view::npos ? url : url.substr(slash + 1);
}

// While the schema is parsed: the imported signature schema comes from the
// program's own copy, the DTD its DOCTYPE names is empty, anything else is
// refused (no network, no file).
xmlParserInputPtr schemaLoader(const char* url, const char*, xmlParserCtxtPtr ctxt)
{
    static const std::string signature = schemaFile(kSignatureSchema);
    const std::string_view name = lastPart(url != nullptr ? url : "");
    const char* content = nullptr;
    if (name == kSignatureSchema) content = signature.c_str();
    else if (name == "XMLSchema.dtd") content = "";
    if (content == nullptr) return nullptr;
    xmlParserInputPtr input = xmlNewStringInputStream(ctxt, reinterpret_cast<const xmlChar*>(content));
    if (input != nullptr && url != nullptr)
        input->filename = reinterpret_cast<const char*>(xmlStrdup(reinterpret_cast<const xmlChar*>(url)));
    return input;
}

// While a document is read: nothing outside it is ever loaded.
xmlParserInputPtr refuseLoader(const char*, const char*, xmlParserCtxtPtr)
{
    return nullptr;
}

void ignoreError(void*, xmlErrorPtr) {}

// Puts the loader in place for one parse and the previous one back after.
class LoaderScope {
public:
    explicit LoaderScope(xmlExternalEntityLoader loader) : previous_(xmlGetExternalEntityLoader())
    {
        xmlSetExternalEntityLoader(loader);
    }
    ~LoaderScope() { xmlSetExternalEntityLoader(previous_); }
    LoaderScope(const LoaderScope&) = delete;
    LoaderScope& operator=(const LoaderScope&) = delete;

private:
    xmlExternalEntityLoader previous_;
};

struct SchemaFree {
    void operator()(xmlSchemaPtr s) const { xmlSchemaFree(s); }
};

// The schema, parsed once: validation contexts share it.
xmlSchemaPtr schema()
{
    static std::unique_ptr<xmlSchema, SchemaFree> parsed;
    static std::once_flag once;
    std::call_once(once, [] {
        xmlInitParser();
        const std::string main = schemaFile(kMainSchema);
        const LoaderScope scope(schemaLoader);
        xmlSchemaParserCtxtPtr ctxt = xmlSchemaNewMemParserCtxt(main.data(), static_cast<int>(main.size()));
        if (ctxt == nullptr) return;
        xmlSchemaSetParserStructuredErrors(ctxt, ignoreError, nullptr);
        parsed.reset(xmlSchemaParse(ctxt));
        xmlSchemaFreeParserCtxt(ctxt);
    });
    return parsed.get();
}

std::string withoutNamespaces(std::string text)
{
    static const std::regex ns(R"(\{(?:https?|urn):[^{}]*\})");
    return std::regex_replace(text, ns, "");
}

// A value quoted in a message, cut when long.
std::string shortValue(const std::string& value)
{
    constexpr std::size_t kMax = 60;
    if (utf8Length(value) <= kMax) return "\"" + value + "\"";
    return "\"" + value.substr(0, utf8Offset(value, kMax)) + "...\"";
}

// The set of an enumeration or the list of an "Expected is" as "A, B, C".
std::string listOf(const std::string& text)
{
    std::string out;
    for (const char c : text) {
        if (c != '\'') out += c;
    }
    while (!out.empty() && out.back() == ' ') out.pop_back();
    while (!out.empty() && out.front() == ' ') out.erase(0, 1);
    return out;
}

// libxml2's English description of a validity error, in Italian.
std::string italianProblem(std::string message)
{
    message = withoutNamespaces(std::move(message));
    while (!message.empty() && (message.back() == '\n' || message.back() == ' ')) message.pop_back();
    // "Element 'X': ", "Element 'X', attribute 'a': "
    static const std::regex subject(R"(^Element '[^']*'(, attribute '[^']*')?: )");
    message = std::regex_replace(message, subject, "", std::regex_constants::format_first_only);

    std::smatch m;
    static const std::regex notExpected(R"(^This element is not expected\.(?: Expected is (one of )?\( (.*) \)\.)?$)");
    if (std::regex_match(message, m, notExpected)) {
        std::string out = "elemento non previsto in questo punto";
        if (m[2].matched) out += m[1].matched ? "; lo schema si aspetta uno di: " : "; lo schema si aspetta: ";
        return m[2].matched ? out + listOf(m[2]) : out;
    }
    static const std::regex missing(R"(^Missing child element\(s\)\. Expected is (one of )?\( (.*) \)\.$)");
    if (std::regex_match(message, m, missing))
        return std::string("mancano elementi; lo schema si aspetta") + (m[1].matched ? " uno di: " : ": ") + listOf(m[2]);
    static const std::regex enumeration(R"(^\[facet 'enumeration'\] The value '(.*)' is not an element of the set \{(.*)\}\.$)");
    if (std::regex_match(message, m, enumeration))
        return "valore " + shortValue(m[1]) + " non ammesso; valori ammessi: " + listOf(m[2]);
    static const std::regex pattern(R"(^\[facet 'pattern'\] The value '(.*)' is not accepted by the pattern '(.*)'\.$)");
    if (std::regex_match(message, m, pattern))
        return "valore " + shortValue(m[1]) + " non nella forma richiesta dallo schema (" + std::string(m[2]) + ")";
    static const std::regex length(
        R"(^\[facet '(maxLength|minLength|length)'\] The value '(.*)' has a length of '(\d+)'; this .* length of '(\d+)'\.$)");
    if (std::regex_match(message, m, length)) {
        const std::string limit = m[1] == "maxLength" ? "al massimo " : m[1] == "minLength" ? "almeno " : "esattamente ";
        return "valore " + shortValue(m[2]) + " di " + std::string(m[3]) + " caratteri; lo schema ne vuole " + limit +
               std::string(m[4]);
    }
    static const std::regex atomic(R"(^'(.*)' is not a valid value of the (?:local )?(?:atomic|union|list) type '(.*)'\.$)");
    if (std::regex_match(message, m, atomic))
        return "valore " + shortValue(m[1]) + " non valido per il tipo " + std::string(m[2]);
    if (message == "No matching global declaration available for the validation root.")
        return "elemento radice non previsto dallo schema: atteso FatturaElettronica nello spazio dei nomi "
               "http://ivaservizi.agenziaentrate.gov.it/docs/xsd/fatture/v1.2";
    static const std::regex required(R"(^The attribute '(.*)' is required but missing\.$)");
    if (std::regex_match(message, m, required)) return "manca l'attributo obbligatorio " + std::string(m[1]);
    if (message == "The attribute is not allowed." || message.ends_with("is not allowed."))
        return "attributo non ammesso";
    if (message.starts_with("Character content other than whitespace is not allowed"))
        return "testo non ammesso: l'elemento contiene solo altri elementi";
    if (message.starts_with("Element content is not allowed"))
        return "elementi non ammessi: l'elemento contiene solo un valore";
    return "secondo lo schema: " + message;
}

const char* nameOf(const xmlChar* name)
{
    return name != nullptr ? reinterpret_cast<const char*>(name) : "";
}

// The errors of one check, gathered through libxml2's callback.
struct Collector {
    std::vector<SchemaViolation> violations;
    bool fatal = false;
    int line = 0;
    std::string message;
};

void collectValidity(void* data, xmlErrorPtr error)
{
    auto& c = *static_cast<Collector*>(data);
    if (error == nullptr || error->level < XML_ERR_ERROR) return;
    SchemaViolation v;
    v.line = error->line;
    if (const auto* node = static_cast<const xmlNode*>(error->node)) {
        if (node->type == XML_ATTRIBUTE_NODE) {
            v.attribute = nameOf(node->name);
            if (node->parent != nullptr) v.element = nameOf(node->parent->name);
        } else {
            v.element = nameOf(node->name);
        }
        if (v.line <= 0) v.line = static_cast<int>(xmlGetLineNo(node));
    }
    v.problem = italianProblem(error->message != nullptr ? error->message : "");
    c.violations.push_back(std::move(v));
}

void collectParse(void* data, xmlErrorPtr error)
{
    auto& c = *static_cast<Collector*>(data);
    if (error == nullptr || error->level < XML_ERR_ERROR || c.fatal) return;
    c.fatal = true;
    c.line = error->line;
    c.message = error->message != nullptr ? error->message : "";
    while (!c.message.empty() && c.message.back() == '\n') c.message.pop_back();
}

struct DocFree {
    void operator()(xmlDocPtr d) const { xmlFreeDoc(d); }
};

// Why a file libxml2 cannot read is not XML: the program's own reader says
// it in Italian when it refuses the file too.
SchemaViolation notWellFormed(std::string_view xml, const Collector& c)
{
    SchemaViolation v;
    v.line = c.line;
    XmlDocument ours;
    if (!ours.loadBytes(std::string(xml), "fattura")) {
        v.line = ours.parseError().line;
        v.problem = "XML non ben formato: " + ours.parseError().reason;
    } else {
        v.problem = "XML non leggibile dalla verifica: " + c.message;
    }
    return v;
}

}  // namespace

std::string schemaFile(std::string_view name)
{
    QFile file(QStringLiteral(":/crvxml/schema/") + QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QByteArray bytes = file.readAll();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

SchemaVerdict checkSchema(std::string_view xml)
{
    // libxml2's entity loader is the process's: one check at a time.
    static std::mutex mutex;
    const std::lock_guard lock(mutex);
    SchemaVerdict verdict;
    xmlSchemaPtr s = schema();
    if (s == nullptr || xml.size() > static_cast<std::size_t>(INT_MAX)) {
        verdict.wellFormed = s != nullptr;
        verdict.violations.push_back({0, {}, {}, s == nullptr ? "schema non disponibile nel programma" : "file troppo grande"});
        return verdict;
    }
    Collector collector;
    std::unique_ptr<xmlDoc, DocFree> doc;
    {
        const LoaderScope scope(refuseLoader);
        xmlParserCtxtPtr ctxt = xmlNewParserCtxt();
        if (ctxt == nullptr) throw std::bad_alloc();
        xmlSetStructuredErrorFunc(&collector, collectParse);
        doc.reset(xmlCtxtReadMemory(ctxt, xml.data(), static_cast<int>(xml.size()), "fattura.xml", nullptr,
                                    XML_PARSE_NONET | XML_PARSE_BIG_LINES | XML_PARSE_COMPACT));
        const bool wellFormed = ctxt->wellFormed != 0;
        xmlFreeParserCtxt(ctxt);
        xmlSetStructuredErrorFunc(nullptr, nullptr);
        if (!doc || !wellFormed) {
            verdict.wellFormed = false;
            verdict.violations.push_back(notWellFormed(xml, collector));
            return verdict;
        }
    }
    xmlSchemaValidCtxtPtr valid = xmlSchemaNewValidCtxt(s);
    if (valid == nullptr) throw std::bad_alloc();
    xmlSchemaSetValidStructuredErrors(valid, collectValidity, &collector);
    const int result = xmlSchemaValidateDoc(valid, doc.get());
    xmlSchemaFreeValidCtxt(valid);
    verdict.violations = std::move(collector.violations);
    if (result != 0 && verdict.violations.empty())
        verdict.violations.push_back({0, {}, {}, "la verifica non si è potuta completare"});
    return verdict;
}

std::string verdictTitle(const SchemaVerdict& verdict)
{
    const std::string schema = std::string("schema FatturaPA ") + kSchemaVersion;
    if (verdict.valid()) return "Conforme allo " + schema;
    if (!verdict.wellFormed) return "Non conforme allo " + schema + ": XML non leggibile";
    const std::size_t n = verdict.violations.size();
    return "Non conforme allo " + schema + ": " + std::to_string(n) + (n == 1 ? " violazione" : " violazioni");
}

std::string violationText(const SchemaViolation& v)
{
    std::string out;
    if (v.line > 0) out += "riga " + std::to_string(v.line);
    if (!v.element.empty()) out += (out.empty() ? "elemento " : ", elemento ") + v.element;
    if (!v.attribute.empty()) out += ", attributo " + v.attribute;
    return out.empty() ? v.problem : out + ": " + v.problem;
}

}  // namespace crv
