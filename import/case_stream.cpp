#include "import/case_stream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <optional>
#include <utility>
#include <vector>

#include "files/file_descriptor.h"
#include "files/system_reason.h"
#include "import/text_repair.h"
#include "text/encoding.h"
#include "xml/char_references.h"
#include "xml/markup_scanner.h"
#include "xml/parse_error_message.h"
#include "xml/stream_decoder.h"
#include "xml/stream_place.h"
#include "xml/text_buffer.h"

namespace crv {
namespace {

constexpr std::size_t kChunk = std::size_t{1} << 20;
constexpr std::size_t npos = std::string::npos;
// A DTD is refused at its start once this much of it has been looked at.
constexpr std::size_t kDoctypeLimit = std::size_t{64} << 20;

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool nameEndsInXml(const std::filesystem::path& path)
{
    std::string upper = path.string();
    for (char& c : upper)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return upper.ends_with(".XML");
}

XmlParseError unreadable(const std::filesystem::path& path, int error)
{
    XmlParseError e;
    e.url = path.string();
    e.reason = std::string(kImpossibileLeggere) + ": " + motivoDiSistema(error);
    return e;
}

// Whether the file's bytes from `offset` to its end are well-formed UTF-8.
bool utf8From(int fd, std::uint64_t offset)
{
    std::vector<char> chunk(kChunk);
    std::string pending;  // a character cut by the end of a chunk
    for (;;) {
        const ssize_t n = ::pread(fd, chunk.data(), chunk.size(), static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) return pending.empty();
        offset += static_cast<std::uint64_t>(n);
        pending.append(chunk.data(), static_cast<std::size_t>(n));
        bool broken = false;
        pending.erase(0, wholeUtf8Prefix(pending, broken));
        if (broken) return false;
    }
}

}  // namespace

CaseStreamError::CaseStreamError(XmlParseError error)
    : std::runtime_error(parseErrorMessage(error)), error_(std::move(error))
{
}

StreamStopped::StreamStopped() : std::runtime_error("lettura interrotta") {}

class CaseStream::Reader {
public:
    Reader(std::filesystem::path path, CaseStreamOptions options);

    pugi::xml_node next();
    const StreamSummary& summary() const { return summary_; }
    std::uint64_t bytesRead() const { return read_; }
    std::uint64_t size() const { return size_; }

private:
    enum class Phase { Prolog, RootContent, Epilog, Done };

    // ---- the text
    bool fill();
    bool more();
    void compact();
    std::uint64_t at(std::size_t i) const { return base_ + i; }
    void startRepairAt(std::size_t i);
    Markup markup();

    // ---- the faults
    [[noreturn]] void fail(std::uint64_t offset, const char* reason);
    [[noreturn]] void failStatus(std::uint64_t offset, pugi::xml_parse_status status);
    [[noreturn]] void failParsingFrom(std::size_t from);
    [[noreturn]] void failDoctype();
    void checkText(std::size_t from, std::size_t to);
    void parsePiece(std::size_t from, std::size_t to);

    // ---- the document's parts
    void prolog();
    void openRoot(const Markup& m);
    void supplyRoot();
    pugi::xml_node rootContent();
    pugi::xml_node element(const Markup& m);
    void closeRoot();
    void passOver(const Markup& m);
    void epilog();
    void count(pugi::xml_node top);

    const std::filesystem::path path_;
    const CaseStreamOptions options_;
    const std::string caseName_;
    const std::string otherName_;
    const bool repairs_;

    FileDescriptor fd_;
    std::uint64_t size_ = 0;
    std::uint64_t read_ = 0;
    const std::size_t readSize_;
    std::vector<char> chunk_;
    StreamDecoder decoder_;
    std::string decoded_;  // one piece, before the repair

    std::string repaired_;  // one piece, repaired
    TextBuffer text_;        // the text read and not yet passed
    std::uint64_t base_ = 0;  // offset of text_[0] in the text read
    std::size_t pos_ = 0;     // where reading goes on; the start of any piece not yet whole
    bool eof_ = false;        // the file is read to its end
    std::optional<DecodeFault> fault_;  // the text ends at faultAt_: the decoding failed there
    std::uint64_t faultAt_ = 0;
    bool repairing_ = false;
    std::uint64_t repairFrom_ = 0;

    Phase phase_ = Phase::Prolog;
    std::string rootName_;
    std::vector<std::pair<std::string, std::string>> rootAttributes_;
    ElementEnd elementEnd_;
    pugi::xml_document doc_;
    bool caseHeld_ = false;
    StreamSummary summary_;
};

CaseStream::Reader::Reader(std::filesystem::path path, CaseStreamOptions options)
    : path_(std::move(path)),
      options_(std::move(options)),
      caseName_(options_.modoDocumento ? "documento" : "PRATICA"),
      otherName_(options_.modoDocumento ? "PRATICA" : "documento"),
      repairs_(options_.modoDocumento || options_.modoTesto),
      fd_(::open(path_.c_str(), O_RDONLY | O_CLOEXEC)),
      readSize_(options_.readSize > 0 ? options_.readSize : kChunk),
      chunk_(readSize_),
      decoder_([this](std::uint64_t offset) { return utf8From(fd_.get(), offset); })
{
    if (fd_.get() < 0) throw CaseStreamError(unreadable(path_, errno));
    struct stat st {};
    if (::fstat(fd_.get(), &st) == 0 && S_ISREG(st.st_mode)) size_ = static_cast<std::uint64_t>(st.st_size);
    ::posix_fadvise(fd_.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    // A file whose name does not say XML is an export: repaired throughout.
    if (repairs_ && !nameEndsInXml(path_)) repairing_ = true;
}

// ------------------------------------------------------------------ the text

// Reads one more piece of the file; false when nothing more can come.
bool CaseStream::Reader::fill()
{
    if (eof_ || fault_) return false;
    if (options_.stopRequested && options_.stopRequested()) {
        phase_ = Phase::Done;
        throw StreamStopped();
    }
    compact();
    ssize_t n = 0;
    while ((n = ::read(fd_.get(), chunk_.data(), chunk_.size())) < 0 && errno == EINTR) {
    }
    if (n < 0) {
        const int error = errno;
        phase_ = Phase::Done;
        throw CaseStreamError(unreadable(path_, error));
    }
    const auto got = static_cast<std::size_t>(n);
    const std::string_view bytes(chunk_.data(), got);
    read_ += got;
    if (got > 0 && options_.onBytes) options_.onBytes(bytes);
    const bool last = got == 0;
    const std::uint64_t before = decoder_.decodedSize();
    decoded_.clear();
    decoder_.decode(bytes, last, decoded_);
    if (decoder_.fault()) {
        // Nothing from the fault on is read: the text ends there.
        fault_ = decoder_.fault();
        decoded_.resize(static_cast<std::size_t>(std::clamp<std::uint64_t>(fault_->offset, before, before + decoded_.size()) - before));
    }
    if (repairing_) {
        repaired_.clear();
        Aggiusta(repaired_, decoded_);
        text_.append(repaired_);
    } else {
        text_.append(decoded_);
    }
    if (fault_) faultAt_ = at(text_.size());
    // A text cut by a fault does not end where the file does.
    if (last && !fault_) eof_ = true;
    return true;
}

// More text for the piece that begins at pos_: at least as much again as it
// already holds, so that a huge piece is not scanned over and over. False at
// the end of the file; a decoding fault is thrown when reading reaches it.
bool CaseStream::Reader::more()
{
    compact();
    const std::size_t wanted = std::max(readSize_, text_.size());
    // Room for what comes, no more than the file still holds: a huge case
    // is held once, not in a buffer twice its size.
    const std::uint64_t left = size_ > read_ ? size_ - read_ : 0;
    text_.reserve(text_.size() + static_cast<std::size_t>(std::min<std::uint64_t>(wanted, left)) + readSize_);
    const std::uint64_t target = at(text_.size()) + wanted;
    bool any = false;
    while (at(text_.size()) < target && fill()) any = true;
    if (any) return true;
    if (fault_) fail(faultAt_, fault_->reason.c_str());
    return false;
}

// Drops the text before pos_: nothing points into it any more.
void CaseStream::Reader::compact()
{
    if (pos_ == 0) return;
    text_.dropFront(pos_);
    base_ += pos_;
    elementEnd_.shift(pos_);
    pos_ = 0;
}

void CaseStream::Reader::startRepairAt(std::size_t i)
{
    if (repairing_) return;
    repaired_.clear();
    Aggiusta(repaired_, text_.view().substr(i));
    text_.truncate(i);
    text_.append(repaired_);
    repairing_ = true;
    repairFrom_ = at(i);
}

// The markup at pos_, known and whole, or as far as the file goes.
Markup CaseStream::Reader::markup()
{
    for (;;) {
        const Markup m = markupAt(text_.view(), pos_, eof_);
        const bool whole = m.end != npos || m.kind == MarkupKind::Doctype || m.kind == MarkupKind::Invalid;
        if ((m.known && whole) || eof_) return m;
        if (!more()) return markupAt(text_.view(), pos_, true);
    }
}

// ------------------------------------------------------------------ the faults

void CaseStream::Reader::fail(std::uint64_t offset, const char* reason)
{
    phase_ = Phase::Done;
    XmlParseError error;
    error.url = path_.string();
    error.reason = reason;
    // Offsets after the repairs began count the repaired text: the place is
    // given in the delivery's own.
    OriginalBytes original;
    if (repairing_) {
        original = [seen = std::uint64_t{0}, from = repairFrom_](std::string_view piece,
                                                                   std::uint64_t& toGo) mutable {
            std::size_t taken = 0;
            if (seen < from) {
                taken = static_cast<std::size_t>(std::min<std::uint64_t>({piece.size(), from - seen, toGo}));
                toGo -= taken;
            }
            if (seen + taken >= from && toGo > 0) taken += primaDellaRiparazione(piece.substr(taken), toGo);
            seen += piece.size();
            return taken;
        };
    }
    placeInFile(path_, decoder_.again(), offset, original, error);
    throw CaseStreamError(std::move(error));
}

// A failure of the parser at `offset`, told as the parser of the whole file
// tells it: one met on the terminator after the last character is placed on
// that character, one past it at the end of the file, and a tag left open at
// the end is an element not closed.
void CaseStream::Reader::failStatus(std::uint64_t offset, pugi::xml_parse_status status)
{
    // Not a fault of the file: the run says it ran out of memory.
    if (status == pugi::status_out_of_memory) throw std::bad_alloc();
    // Whether the file ends there.
    while (!eof_ && offset + 1 >= at(text_.size()) && more()) {
    }
    const std::uint64_t total = at(text_.size());
    if (eof_ && offset == total && total > 0)
        offset = total - 1;
    else if (eof_ && offset > total)
        offset = total;
    const bool unclosed = status == pugi::status_end_element_mismatch && eof_ && offset + 1 >= total;
    fail(offset, unclosed ? kElementoNonChiuso : parseStatusReason(status));
}

// The parser refuses the text from `from` on: let it say where and why.
void CaseStream::Reader::failParsingFrom(std::size_t from)
{
    parsePiece(from, text_.size());
    failStatus(at(from), pugi::status_unrecognized_tag);
}

// A DTD is refused where it begins, once it is known to be one; a
// malformed one where the parser stops.
void CaseStream::Reader::failDoctype()
{
    for (;;) {
        pugi::xml_document probe;
        const pugi::xml_parse_result result =
            probe.load_buffer(text_.data() + pos_, text_.size() - pos_, kXmlParseOptions, pugi::encoding_utf8);
        for (const pugi::xml_node child : probe.children())
            if (child.type() == pugi::node_doctype) fail(at(pos_), kDoctypeNonAmmesso);
        if (result) fail(at(pos_), kDoctypeNonAmmesso);
        const auto offset = static_cast<std::size_t>(std::max<std::ptrdiff_t>(result.offset, 0));
        // Where the text ends the parser stops: a longer DTD needs more of it.
        if (eof_ || pos_ + offset + 1 < text_.size() || text_.size() - pos_ > kDoctypeLimit) {
            // A malformed DTD is no DTD: a reference before its fault counts first.
            checkText(pos_, std::min(pos_ + offset, text_.size()));
            failStatus(at(pos_ + offset), result.status);
        }
        more();
    }
}

void CaseStream::Reader::checkText(std::size_t from, std::size_t to)
{
    const std::size_t bad = firstForbiddenCharReference(text_.view().substr(from, to - from));
    if (bad != npos) fail(at(from + bad), kRiferimentoVietato);
}

// Parses text_[from, to) in place into doc_, and fails with the first fault
// a reader of the whole file would meet in it.
void CaseStream::Reader::parsePiece(std::size_t from, std::size_t to)
{
    const std::size_t badReference = firstForbiddenCharReference(text_.view().substr(from, to - from));
    doc_.reset();
    // The parser ends the buffer with its last character: a terminator of
    // our own, put back afterwards, keeps the piece whole.
    const char saved = to < text_.size() ? text_[to] : '\0';
    text_[to] = '\0';
    const pugi::xml_parse_result result =
        doc_.load_buffer_inplace(text_.data() + from, to - from + 1, kXmlParseOptions, pugi::encoding_utf8);
    if (to < text_.size()) text_[to] = saved;

    struct Fault {
        std::size_t offset;
        const char* reason;
        pugi::xml_parse_status status;
    };
    std::optional<Fault> fault;
    for (const pugi::xml_node child : doc_.children()) {
        if (child.type() != pugi::node_doctype) continue;
        const std::size_t value = static_cast<std::size_t>(child.value() - text_.data());
        const std::size_t start = text_.view().rfind("<!DOCTYPE", value);
        fault = Fault{start == npos || start < from ? from : start, kDoctypeNonAmmesso, pugi::status_ok};
        break;
    }
    if (!fault && !result)
        fault = Fault{from + static_cast<std::size_t>(std::max<std::ptrdiff_t>(result.offset, 0)), nullptr,
                      result.status};
    if (badReference != npos && (!fault || from + badReference < fault->offset))
        fault = Fault{from + badReference, kRiferimentoVietato, pugi::status_ok};
    if (!fault) return;
    doc_.reset();
    if (fault->reason) fail(at(fault->offset), fault->reason);
    failStatus(at(fault->offset), fault->status);
}

// ------------------------------------------------------------------ the document's parts

pugi::xml_node CaseStream::Reader::next()
{
    if (caseHeld_) {
        doc_.reset();
        caseHeld_ = false;
    }
    while (phase_ != Phase::Done) {
        switch (phase_) {
        case Phase::Prolog: prolog(); break;
        case Phase::RootContent:
            if (const pugi::xml_node found = rootContent()) return found;
            break;
        case Phase::Epilog: epilog(); break;
        case Phase::Done: break;
        }
    }
    return {};
}

// Before the root: the declaration, comments, instructions and blanks.
void CaseStream::Reader::prolog()
{
    for (;;) {
        while (pos_ < text_.size() && isSpace(text_[pos_])) ++pos_;
        if (pos_ < text_.size()) break;
        if (!more()) {
            // An empty export is a root without cases.
            if (repairs_) return supplyRoot();
            fail(at(text_.size()), kRadiceMancante);
        }
    }
    if (text_[pos_] != '<') {
        if (repairs_) return supplyRoot();
        fail(at(pos_), kTestoFuoriRadice);
    }
    const Markup m = markup();
    switch (m.kind) {
    case MarkupKind::Instruction:
    case MarkupKind::Comment: return passOver(m);
    case MarkupKind::Doctype: failDoctype();
    case MarkupKind::CData:
        if (repairs_) return supplyRoot();
        if (m.end == npos) failParsingFrom(pos_);
        fail(at(pos_), kTestoFuoriRadice);
    case MarkupKind::StartTag: {
        const std::string_view name = text_.view().substr(pos_ + 1, m.nameEnd - pos_ - 1);
        // A text export begins with its first case: the root is missing.
        if (repairs_ && (name == caseName_ || name == otherName_)) return supplyRoot();
        return openRoot(m);
    }
    case MarkupKind::EndTag:
    case MarkupKind::Invalid: failParsingFrom(pos_);
    }
}

void CaseStream::Reader::openRoot(const Markup& m)
{
    if (m.end == npos) failParsingFrom(pos_);
    // The start tag alone, closed on itself so that the parser reads it whole.
    const std::string_view tag = text_.view().substr(pos_, m.end - pos_);
    const std::size_t badReference = firstForbiddenCharReference(tag);
    std::string alone(tag);
    if (!m.selfClosed) alone.insert(alone.size() - 1, "/");
    pugi::xml_document probe;
    const pugi::xml_parse_result result =
        probe.load_buffer(alone.data(), alone.size(), kXmlParseOptions, pugi::encoding_utf8);
    const std::size_t failedAt =
        result ? npos : std::min(static_cast<std::size_t>(std::max<std::ptrdiff_t>(result.offset, 0)), tag.size());
    if (badReference != npos && badReference < failedAt) fail(at(pos_ + badReference), kRiferimentoVietato);
    if (failedAt != npos) failStatus(at(pos_ + failedAt), result.status);
    const pugi::xml_node root = probe.first_child();
    rootName_ = root.name();
    for (const pugi::xml_attribute a : root.attributes()) rootAttributes_.emplace_back(a.name(), a.value());
    summary_.rootName = rootName_;
    pos_ = m.end;
    phase_ = m.selfClosed ? Phase::Epilog : Phase::RootContent;
}

// A text export holds its cases without a root element: they are read as
// within <root>, repaired as the exports need.
void CaseStream::Reader::supplyRoot()
{
    rootName_ = "root";
    summary_.rootName = rootName_;
    summary_.rootSupplied = true;
    startRepairAt(pos_);
    phase_ = Phase::RootContent;
}

pugi::xml_node CaseStream::Reader::rootContent()
{
    std::size_t lt = npos;
    for (;;) {
        const void* found = std::memchr(text_.data() + pos_, '<', text_.size() - pos_);
        if (found != nullptr) {
            lt = static_cast<std::size_t>(static_cast<const char*>(found) - text_.data());
            break;
        }
        // Text checked need not be kept, but for a reference it may end in.
        const std::size_t amp = text_.view().rfind('&');
        const std::size_t checked = amp != npos && amp >= pos_ ? amp : text_.size();
        checkText(pos_, checked);
        pos_ = checked;
        if (!more()) {
            checkText(pos_, text_.size());
            // The closing root tag is missing: in the bank format the file
            // ends there, as if it had it.
            if (repairs_) {
                pos_ = text_.size();
                phase_ = Phase::Epilog;
                return {};
            }
            failStatus(at(text_.size()), pugi::status_end_element_mismatch);
        }
    }
    checkText(pos_, lt);
    pos_ = lt;
    const Markup m = markup();
    switch (m.kind) {
    case MarkupKind::StartTag: return element(m);
    case MarkupKind::EndTag: closeRoot(); return {};
    case MarkupKind::Comment:
    case MarkupKind::CData:
    case MarkupKind::Instruction: passOver(m); return {};
    case MarkupKind::Doctype: fail(at(pos_), kDoctypeNonAmmesso);  // within an element
    case MarkupKind::Invalid: failParsingFrom(pos_);
    }
    return {};
}

// A child of the root, whole: a case is returned, any other element counted.
pugi::xml_node CaseStream::Reader::element(const Markup& m)
{
    if (m.end == npos) failParsingFrom(pos_);
    const bool isCase = text_.view().substr(pos_ + 1, m.nameEnd - pos_ - 1) == caseName_;
    std::size_t end = m.end;
    if (!m.selfClosed) {
        elementEnd_.start(m.end);
        for (;;) {
            end = elementEnd_.find(text_.view(), eof_);
            if (end != npos) break;
            if (elementEnd_.invalidAt() != npos) failParsingFrom(pos_);
            if (!more()) {
                end = elementEnd_.find(text_.view(), true);
                if (end != npos) break;
                failParsingFrom(pos_);
            }
        }
    }
    parsePiece(pos_, end);
    pos_ = end;
    const pugi::xml_node element = doc_.first_child();
    if (!isCase) {
        count(element);
        doc_.reset();
        return {};
    }
    // Under a copy of the root, so that the case's ancestors are as in the file.
    pugi::xml_node root = doc_.prepend_child(rootName_.c_str());
    for (const auto& [name, value] : rootAttributes_) root.append_attribute(name.c_str()).set_value(value.c_str());
    root.append_move(element);
    caseHeld_ = true;
    return element;
}

// pugixml's own test of an end tag against the open root.
void CaseStream::Reader::closeRoot()
{
    const std::size_t mark = pos_ + 2;
    std::size_t s = mark;
    std::size_t matched = 0;
    while (s < text_.size() && isNameChar(text_[s])) {
        if (matched >= rootName_.size() || text_[s] != rootName_[matched])
            failStatus(at(mark), pugi::status_end_element_mismatch);
        ++s;
        ++matched;
    }
    if (matched < rootName_.size()) failStatus(at(mark), pugi::status_end_element_mismatch);
    while (s < text_.size() && isSpace(text_[s])) ++s;
    if (s >= text_.size() || text_[s] != '>') failStatus(at(s), pugi::status_bad_end_element);
    pos_ = s + 1;
    phase_ = Phase::Epilog;
}

// After the root: comments, instructions and blanks only.
void CaseStream::Reader::epilog()
{
    for (;;) {
        while (pos_ < text_.size() && isSpace(text_[pos_])) ++pos_;
        if (pos_ < text_.size()) break;
        if (!more()) {
            phase_ = Phase::Done;
            return;
        }
    }
    if (text_[pos_] != '<') fail(at(pos_), kTestoFuoriRadice);
    const Markup m = markup();
    switch (m.kind) {
    case MarkupKind::Instruction:
    case MarkupKind::Comment: return passOver(m);
    case MarkupKind::Doctype: failDoctype();
    case MarkupKind::StartTag: fail(at(pos_), kSecondaRadice);
    case MarkupKind::CData:
        if (m.end == npos) failParsingFrom(pos_);
        fail(at(pos_), kTestoFuoriRadice);
    case MarkupKind::EndTag:
    case MarkupKind::Invalid: failParsingFrom(pos_);
    }
}

// A comment, instruction or CDATA section: checked by the parser, then passed over.
void CaseStream::Reader::passOver(const Markup& m)
{
    if (m.end == npos) failParsingFrom(pos_);
    parsePiece(pos_, m.end);
    doc_.reset();
    pos_ = m.end;
}

// What the "Nessuna pratica" message counts, in an element that is no case.
void CaseStream::Reader::count(pugi::xml_node top)
{
    const auto sameLetters = [this](std::string_view name) {
        return name != caseName_ && name.size() == caseName_.size() &&
               std::equal(name.begin(), name.end(), caseName_.begin(), [](char a, char b) {
                   const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
                   return lower(a) == lower(b);
               });
    };
    pugi::xml_node node = top;
    while (node) {
        if (node.type() == pugi::node_element) {
            const std::string_view name = node.name();
            if (name == otherName_) ++summary_.otherFormat;
            if (name == caseName_) ++summary_.deeper;
            if (summary_.sameLetters.empty() && sameLetters(name)) summary_.sameLetters = name;
        }
        if (const pugi::xml_node child = node.first_child()) {
            node = child;
            continue;
        }
        while (node != top && !node.next_sibling()) node = node.parent();
        if (node == top) break;
        node = node.next_sibling();
    }
}

// ------------------------------------------------------------------ CaseStream

CaseStream::CaseStream(std::filesystem::path delivery, CaseStreamOptions options)
    : reader_(std::make_unique<Reader>(std::move(delivery), std::move(options)))
{
}

CaseStream::~CaseStream() = default;

pugi::xml_node CaseStream::next()
{
    return reader_->next();
}

const StreamSummary& CaseStream::summary() const
{
    return reader_->summary();
}

std::uint64_t CaseStream::bytesRead() const
{
    return reader_->bytesRead();
}

std::uint64_t CaseStream::size() const
{
    return reader_->size();
}

}  // namespace crv
