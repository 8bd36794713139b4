#include "xml/xml_stream.h"

#include <algorithm>
#include <new>
#include <optional>
#include <system_error>

#include "files/system_reason.h"
#include "xml/byte_source.h"
#include "xml/stream_decoder.h"
#include "xml/stream_place.h"
#include "xml/well_formed_scan.h"

namespace crv {
namespace {

constexpr std::size_t kChunk = std::size_t{1} << 20;

// How every element is parsed: the text that opens an element stays in the
// element (parse_embed_pcdata). The text was checked before: the parser
// only builds the tree.
constexpr unsigned kParseOptions = pugi::parse_default | pugi::parse_embed_pcdata | pugi::parse_fragment;

XmlParseError unreadable(std::string url, const std::error_code& error)
{
    XmlParseError e;
    e.url = std::move(url);
    e.reason = std::string(kImpossibileLeggere) + ": " + motivoDiSistema(error);
    return e;
}

}  // namespace

XmlStreamError::XmlStreamError(XmlParseError error)
    : std::runtime_error(parseErrorMessage(error)), error_(std::move(error))
{
}

StreamStopped::StreamStopped() : std::runtime_error("lettura interrotta") {}

class XmlStream::Reader {
public:
    Reader(std::unique_ptr<ByteSource> source, std::string url, XmlStreamOptions options);

    pugi::xml_node nextChild();
    void hangUnderRoot(pugi::xml_node element);
    TextBuffer readWhole(pugi::xml_document& doc);
    const XmlRoot& root() const { return root_; }
    std::uint64_t bytesRead() const { return read_; }
    std::uint64_t size() const { return source_->size(); }

private:
    using Event = WellFormedScan::Event;

    Event step();
    bool fill();
    bool more();
    std::uint64_t at(std::size_t i) const { return base_ + i; }
    void startRepairAt(std::size_t i);
    void openRoot();
    void parse(pugi::xml_document& doc, TextBuffer& text, std::size_t from, std::size_t to);
    [[noreturn]] void fail(std::uint64_t offset, const std::string& reason);

    const std::unique_ptr<ByteSource> source_;
    const std::string url_;
    const XmlStreamOptions options_;
    const std::size_t readSize_;
    std::uint64_t read_ = 0;
    StreamDecoder decoder_;
    TextBuffer decoded_;    // one piece, before the repair
    std::string repaired_;  // one piece, repaired
    TextBuffer text_;        // the text read and not yet passed
    std::uint64_t base_ = 0;  // offset of text_[0] in the text read
    bool eof_ = false;        // the file is read to its end
    std::optional<DecodeFault> fault_;  // the text ends at faultAt_: the decoding failed there
    std::uint64_t faultAt_ = 0;
    bool repairing_ = false;
    std::uint64_t repairFrom_ = 0;
    bool encodingTold_ = false;

    WellFormedScan scan_;
    XmlRoot root_;
    std::uint64_t rootStart_ = 0;
    bool rootKept_ = false;  // readWhole(): the text is kept from rootStart_ on
    pugi::xml_document doc_;
    bool held_ = false;
    bool done_ = false;
};

XmlStream::Reader::Reader(std::unique_ptr<ByteSource> source, std::string url, XmlStreamOptions options)
    : source_(std::move(source)),
      url_(std::move(url)),
      options_(std::move(options)),
      readSize_(options_.readSize > 0 ? options_.readSize : kChunk),
      decoder_([this](std::uint64_t offset) { return source_->utf8From(offset); }),
      repairing_(options_.repairFromStart && options_.repair.apply)
{
    if (options_.rootEndMayBeMissing) scan_.allowMissingRootEnd();
}

// ------------------------------------------------------------------ the text

// Reads one more piece of the file; false when nothing more can come.
bool XmlStream::Reader::fill()
{
    if (eof_ || fault_) return false;
    if (options_.stopRequested && options_.stopRequested()) {
        done_ = true;
        throw StreamStopped();
    }
    std::error_code error;
    const std::string_view bytes = source_->read(readSize_, error);
    if (error) {
        done_ = true;
        throw XmlStreamError(unreadable(url_, error));
    }
    read_ += bytes.size();
    if (!bytes.empty() && options_.onBytes) options_.onBytes(bytes);
    const bool last = bytes.empty();
    // The text goes straight on, or through the repair.
    TextBuffer& target = repairing_ ? decoded_ : text_;
    if (repairing_) decoded_.truncate(0);
    const std::size_t start = target.size();
    const std::uint64_t before = decoder_.decodedSize();
    decoder_.decode(bytes, last, target);
    if (!encodingTold_ && decoder_.choice()) {
        // The declaration may not name another encoding than the bytes tell.
        using Kind = EncodingChoice::Kind;
        const EncodingChoice& choice = *decoder_.choice();
        scan_.fileEncoding(choice.kind == Kind::Utf16LE || choice.kind == Kind::Utf16BE
                               ? WellFormedScan::FileEncoding::Utf16
                           : choice.kind == Kind::Utf8 && choice.skip > 0 ? WellFormedScan::FileEncoding::MarkedUtf8
                                                                          : WellFormedScan::FileEncoding::EightBit);
        encodingTold_ = true;
    }
    if (decoder_.fault()) {
        // Nothing from the fault on is read: the text ends there.
        fault_ = decoder_.fault();
        const std::uint64_t kept = std::clamp<std::uint64_t>(fault_->offset, before, before + (target.size() - start));
        target.truncate(start + static_cast<std::size_t>(kept - before));
    }
    if (repairing_) {
        repaired_.clear();
        options_.repair.apply(repaired_, decoded_.view());
        text_.append(repaired_);
    }
    if (fault_) faultAt_ = at(text_.size());
    // A text cut by a fault does not end where the file does.
    if (last && !fault_) eof_ = true;
    return true;
}

// More text for the construct the scan stands in: at least as much again as
// is kept, so that a huge one is not scanned over and over. What the scan
// no longer needs is dropped first, but for the root element when it is
// read whole. False at the end of the file; a decoding fault is thrown when
// reading reaches it.
bool XmlStream::Reader::more()
{
    const std::size_t keep = rootKept_ ? static_cast<std::size_t>(rootStart_ - base_) : scan_.keepFrom();
    if (keep > 0) {
        text_.dropFront(keep);
        base_ += keep;
        scan_.shift(keep);
    }
    const std::size_t wanted = std::max(readSize_, text_.size());
    // Room for what comes, no more than the file still holds: a huge
    // element is held once, not in a buffer twice its size.
    const std::uint64_t left = size() > read_ ? size() - read_ : 0;
    const auto coming = static_cast<std::size_t>(std::min<std::uint64_t>(wanted + readSize_, left));
    text_.reserve(text_.size() + coming + 64);
    const std::uint64_t target = at(text_.size()) + wanted;
    bool any = false;
    while (at(text_.size()) < target && fill()) any = true;
    if (any) return true;
    if (fault_) fail(faultAt_, fault_->reason);
    return false;
}

// Repairs the text from i on, and what comes after it.
void XmlStream::Reader::startRepairAt(std::size_t i)
{
    if (repairing_ || !options_.repair.apply) return;
    repaired_.clear();
    options_.repair.apply(repaired_, text_.view().substr(i));
    text_.truncate(i);
    text_.append(repaired_);
    repairing_ = true;
    repairFrom_ = at(i);
}

// ------------------------------------------------------------------ the document

// Scans on to the next event a reader acts on: reading more text and
// supplying a missing root on the way, throwing the first fault.
XmlStream::Reader::Event XmlStream::Reader::step()
{
    for (;;) {
        const Event event = scan_.scan(text_.view(), eof_);
        switch (event) {
        case Event::NeedText:
            more();
            break;
        case Event::PrologEnd: {
            const bool element = scan_.found() == WellFormedScan::Found::Element;
            if (options_.rootMissing && options_.rootMissing(element ? scan_.foundName() : std::string())) {
                startRepairAt(scan_.keepFrom());
                scan_.supplyRoot("root");
                root_.name = "root";
                root_.supplied = true;
            }
            break;
        }
        case Event::Fault:
            fail(at(scan_.fault().offset), scan_.fault().reason);
        default:
            return event;
        }
    }
}

// The root's start tag, read alone for its name and attribute values.
void XmlStream::Reader::openRoot()
{
    const std::string_view tag = text_.view().substr(scan_.start(), scan_.end() - scan_.start());
    std::string alone(tag);
    if (!scan_.rootSelfClosed()) alone.insert(alone.size() - 1, "/");
    pugi::xml_document probe;
    const pugi::xml_parse_result result =
        probe.load_buffer(alone.data(), alone.size(), kParseOptions, pugi::encoding_utf8);
    if (result.status == pugi::status_out_of_memory) throw std::bad_alloc();
    const pugi::xml_node root = probe.first_child();
    root_.name = root.name();
    for (const pugi::xml_attribute a : root.attributes()) root_.attributes.emplace_back(a.name(), a.value());
}

// Parses text[from, to), checked, in place into doc.
void XmlStream::Reader::parse(pugi::xml_document& doc, TextBuffer& text, std::size_t from, std::size_t to)
{
    doc.reset();
    // The parser ends the buffer with its last character: a terminator of
    // our own, put back afterwards, keeps the element whole.
    const char saved = text[to];
    text[to] = '\0';
    const pugi::xml_parse_result result =
        doc.load_buffer_inplace(text.data() + from, to - from + 1, kParseOptions, pugi::encoding_utf8);
    text[to] = saved;
    if (result) return;
    doc.reset();
    if (result.status == pugi::status_out_of_memory) throw std::bad_alloc();
    // Never met: the rules refuse all that the parser does.
    fail(at(from) + static_cast<std::uint64_t>(std::max<std::ptrdiff_t>(result.offset, 0)), kErroreDiSintassi);
}

pugi::xml_node XmlStream::Reader::nextChild()
{
    if (held_) {
        doc_.reset();
        held_ = false;
    }
    while (!done_) {
        switch (step()) {
        case Event::RootOpened:
            openRoot();
            break;
        case Event::ChildClosed:
            parse(doc_, text_, scan_.start(), scan_.end());
            held_ = true;
            return doc_.first_child();
        case Event::End:
            done_ = true;
            break;
        default:
            break;
        }
    }
    return {};
}

void XmlStream::Reader::hangUnderRoot(pugi::xml_node element)
{
    pugi::xml_node root = doc_.prepend_child(root_.name.c_str());
    for (const auto& [name, value] : root_.attributes) root.append_attribute(name.c_str()).set_value(value.c_str());
    root.append_move(element);
}

TextBuffer XmlStream::Reader::readWhole(pugi::xml_document& doc)
{
    std::uint64_t rootEnd = 0;
    while (!done_) {
        switch (step()) {
        case Event::RootOpened:
            rootStart_ = at(scan_.start());
            rootKept_ = true;
            break;
        case Event::RootClosed:
            rootEnd = at(scan_.end());
            break;
        case Event::End:
            done_ = true;
            break;
        default:
            break;
        }
    }
    TextBuffer text = std::move(text_);
    parse(doc, text, static_cast<std::size_t>(rootStart_ - base_), static_cast<std::size_t>(rootEnd - base_));
    return text;
}

// ------------------------------------------------------------------ the fault

void XmlStream::Reader::fail(std::uint64_t offset, const std::string& reason)
{
    done_ = true;
    XmlParseError error;
    error.url = url_;
    error.reason = reason;
    // Offsets after the repairs began count the repaired text: the place is
    // given in the file's own.
    OriginalBytes original;
    if (repairing_) {
        original = [seen = std::uint64_t{0}, from = repairFrom_, before = options_.repair.before](
                       std::string_view piece, std::uint64_t& toGo) mutable {
            std::size_t taken = 0;
            if (seen < from) {
                taken = static_cast<std::size_t>(std::min<std::uint64_t>({piece.size(), from - seen, toGo}));
                toGo -= taken;
            }
            if (seen + taken >= from && toGo > 0) taken += before(piece.substr(taken), toGo);
            seen += piece.size();
            return taken;
        };
    }
    if (const std::unique_ptr<ByteSource> again = source_->again())
        placeIn(*again, decoder_.again(), offset, original, error);
    throw XmlStreamError(std::move(error));
}

// ------------------------------------------------------------------ XmlStream

namespace {

std::unique_ptr<ByteSource> openFile(const std::filesystem::path& file)
{
    std::error_code error;
    std::unique_ptr<ByteSource> source = fileBytes(file, error);
    if (!source) throw XmlStreamError(unreadable(file.string(), error));
    return source;
}

}  // namespace

XmlStream::XmlStream(const std::filesystem::path& file, XmlStreamOptions options)
    : reader_(std::make_unique<Reader>(openFile(file), file.string(), std::move(options)))
{
}

XmlStream::XmlStream(std::string bytes, std::string url, XmlStreamOptions options)
    : reader_(std::make_unique<Reader>(memoryBytes(std::move(bytes)), std::move(url), std::move(options)))
{
}

XmlStream::~XmlStream() = default;

pugi::xml_node XmlStream::nextChild()
{
    return reader_->nextChild();
}

void XmlStream::hangUnderRoot(pugi::xml_node element)
{
    reader_->hangUnderRoot(element);
}

TextBuffer XmlStream::readWhole(pugi::xml_document& doc)
{
    return reader_->readWhole(doc);
}

const XmlRoot& XmlStream::root() const
{
    return reader_->root();
}

std::uint64_t XmlStream::bytesRead() const
{
    return reader_->bytesRead();
}

std::uint64_t XmlStream::size() const
{
    return reader_->size();
}

}  // namespace crv
