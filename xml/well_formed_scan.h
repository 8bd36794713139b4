#pragma once
// The rules of well-formed XML 1.0, applied to a document's decoded text as
// it comes in pieces. Every reader of the program names the first fault of a
// file through these rules alone, so the whole document read at once and
// the delivery read one case at a time find the same fault at the same
// place, for the same reason. The parser that builds the tree only ever
// sees text these rules passed.
//
// No DTD is ever read: a DOCTYPE is refused where it begins, and the only
// entities are the five that XML predefines.
//
// Where a fault is placed: on the character that breaks the rule; on the
// start of the name of an end tag that does not match; on the file's last
// character when the file ends inside a construct; after the last character
// when no root element came.
#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace crv {

// The reasons of a file that is not well-formed, as the operator reads them.
inline constexpr const char* kDoctypeNonAmmesso = "DOCTYPE non ammesso";
inline constexpr const char* kRadiceMancante = "elemento radice mancante";
inline constexpr const char* kSecondaRadice = "è consentito un solo elemento radice";
inline constexpr const char* kTestoFuoriRadice = "testo fuori dall'elemento radice";
inline constexpr const char* kElementoNonChiuso = "elemento non chiuso alla fine del file";
inline constexpr const char* kRiferimentoVietato = "riferimento a carattere non ammesso";
inline constexpr const char* kTagNonRiconosciuto = "tag non riconosciuto";
inline constexpr const char* kIstruzioneNonValida = "istruzione di elaborazione non valida";
inline constexpr const char* kCommentoNonValido = "commento non valido";
inline constexpr const char* kCDataNonValida = "sezione CDATA non valida";
inline constexpr const char* kTagAperturaNonValido = "tag di apertura non valido";
inline constexpr const char* kAttributoNonValido = "attributo non valido";
inline constexpr const char* kTagChiusuraNonValido = "tag di chiusura non valido";
inline constexpr const char* kTagNonCorrispondente = "tag di chiusura non corrispondente";
// These are followed by ": " and what the file holds (the entity, the
// reference, the attribute's name, the character's code).
inline constexpr const char* kEntitaNonDefinita = "entità non definita";
inline constexpr const char* kRiferimentoNonValido = "riferimento non valido";
inline constexpr const char* kAttributoRipetuto = "attributo ripetuto";
inline constexpr const char* kCarattereNonAmmesso = "carattere non ammesso in XML";
inline constexpr const char* kNomeRiservato = "nome di istruzione di elaborazione riservato";
inline constexpr const char* kDichiarazioneNonValida = "dichiarazione XML non valida";
inline constexpr const char* kAmpersandIsolata = "carattere & non seguito da un riferimento (si scrive &amp;)";
inline constexpr const char* kMinoreInAttributo = "carattere < non ammesso nel valore di un attributo";
inline constexpr const char* kFineCDataNelTesto = "sequenza ]]> non ammessa nel testo";
inline constexpr const char* kDoppioTrattino = "sequenza -- non ammessa in un commento";
inline constexpr const char* kDichiarazioneFuoriPosto = "dichiarazione XML non all'inizio del file";
inline constexpr const char* kCodificaDiversa = "codifica dichiarata diversa da quella del file";

struct MarkupStops;

struct MarkupFault {
    std::size_t offset = 0;  // in the text scanned
    std::string reason;
};

// Walks one document: scan() goes as far as the text allows and stops at
// what its reader needs to know. Offsets are into the text passed to scan(),
// which must begin where the last call's began (shift() tells what was
// dropped from its front) and may only grow at its end.
class WellFormedScan {
public:
    enum class Event {
        NeedText,     // more text is needed; keepFrom() says what must stay
        PrologEnd,    // where the root element should be stands found() (the
                      // caller may supplyRoot()); scan on to check it as it is
        RootOpened,   // the root's start tag, checked: [start(), end())
        ChildClosed,  // a child element of the root, whole and checked: [start(), end())
        RootClosed,   // the root's end tag, checked
        End,          // the document is well-formed to its end
        Fault,        // fault() is the first one
    };
    // What stands where the root element was expected.
    enum class Found { Element, Text, Nothing };

    // `complete`: the text ends where the document does.
    Event scan(std::string_view text, bool complete);

    // The text before this is not needed any more.
    std::size_t keepFrom() const { return depth_ >= 2 ? childStart_ : pos_; }
    void shift(std::size_t dropped);

    Found found() const { return found_; }
    // Found::Element: its name.
    const std::string& foundName() const { return foundName_; }
    // Reads from here on as the content of a root element `name` (text
    // exports that have none).
    void supplyRoot(std::string_view name);
    // The end of the text in the root's content ends the root (exports that
    // lack its closing tag).
    void allowMissingRootEnd() { rootEndOptional_ = true; }
    // How the file's bytes are read, which its declaration must not belie:
    // 8-bit (the default), UTF-8 told by a byte order mark, or UTF-16.
    enum class FileEncoding { EightBit, MarkedUtf8, Utf16 };
    void fileEncoding(FileEncoding encoding) { fileEncoding_ = encoding; }
    bool rootSelfClosed() const { return selfClosed_; }
    bool rootClosed() const { return rootClosed_; }

    std::size_t start() const { return start_; }
    std::size_t end() const { return end_; }
    const MarkupFault& fault() const { return fault_; }

private:
    enum class Phase { Prolog, Content, Epilog, Done, Failed };
    // The outcome of checking one construct.
    enum class Step { Done, Cut, Failed };

    Event outsideRoot(std::string_view text);
    Event root(std::string_view text, std::size_t nameStop);
    Event content(std::string_view text);
    Event endOfContent(std::string_view text);
    Event ask(Found found, std::string_view name);
    static Event outcome(Step step);
    void passed(std::size_t to);

    // Each checks the construct at pos_; end_ is then one past it.
    // knownNameEnd: where its name ends, when already found (else 0).
    Step startTag(std::string_view text, bool& selfClosed, std::size_t knownNameEnd = 0);
    Step endTag(std::string_view text);
    Step strayEndTag(std::string_view text);
    Step bang(std::string_view text, bool inContent);
    Step instruction(std::string_view text);
    Step declaration(std::string_view text);
    Step body(std::string_view text, std::size_t from, const MarkupStops& stops, std::string_view terminator,
              const char* cut);
    Step reference(std::string_view text, std::size_t amp, std::size_t& after);
    Step malformedReference(std::string_view text, std::size_t amp);
    Step character(std::string_view text, std::size_t at, std::size_t& after);

    Step failAt(std::size_t offset, std::string reason);
    // The construct goes on past the text: more is needed, or, at the end
    // of the file, it is a fault on the last character.
    Step cutOff(std::string_view text, const char* reason);

    // The open elements: the root's name is kept, the others' are read in the
    // text, which holds them as long as they are open.
    void openElement(std::string_view text, std::size_t at, std::size_t size);
    void closeElement();
    std::string_view topName(std::string_view text) const;

    Phase phase_ = Phase::Prolog;
    std::size_t pos_ = 0;         // the first construct not yet passed
    std::size_t depth_ = 0;       // elements open
    std::size_t childStart_ = 0;  // where the open child of the root begins
    std::size_t start_ = 0;
    std::size_t end_ = 0;
    std::size_t tagNameEnd_ = 0;  // of the start tag checked last
    bool atStart_ = true;         // nothing passed yet: an XML declaration may stand here
    bool complete_ = false;
    bool asked_ = false;          // PrologEnd was told for the construct at pos_
    bool selfClosed_ = false;
    bool rootClosed_ = false;
    bool rootClosedNext_ = false;
    bool rootEndOptional_ = false;
    FileEncoding fileEncoding_ = FileEncoding::EightBit;
    Found found_ = Found::Nothing;
    std::string foundName_;
    struct OpenName {
        std::size_t at;
        std::size_t size;
    };
    std::string rootName_;
    std::vector<OpenName> open_;  // below the root
    std::vector<std::string_view> attributes_;  // of the start tag being checked
    std::unordered_set<std::string_view> manyAttributes_;  // the same, when there are many
    MarkupFault fault_;
};

}  // namespace crv
