#pragma once
// Turns the bytes of an XML file into UTF-8 piece by piece, as they are
// read (chooseEncoding): the encoding comes from the byte order mark, the
// pattern of unmarked UTF-16 or the XML declaration, and an 8-bit file that
// names no encoding is UTF-8 only when all of it is. Every reader of the
// program decodes through it, the document read whole included.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "xml/text_buffer.h"
#include "xml/xml_decoding.h"

class QStringDecoder;

namespace crv {

// What the bytes of an 8-bit file that names no encoding are, read as UTF-8.
enum class Utf8Reading {
    Valid,      // well-formed UTF-8: read as UTF-8
    Malformed,  // UTF-8 in form, but for characters it cannot hold (a surrogate,
                // an overlong form, beyond U+10FFFF, a last one cut short):
                // read as UTF-8, faulty there
    Other,      // not UTF-8 (another code page): read as windows-1252
};

// Reads bytes as UTF-8 as they come, to tell which of the three they are.
class Utf8Survey {
public:
    // False once the answer is Other: the rest cannot change it.
    bool feed(std::string_view bytes);
    // For the bytes fed so far, as if they ended there.
    Utf8Reading reading() const;

private:
    std::size_t pending_ = 0;  // continuation bytes the last lead byte still wants
    unsigned char lead_ = 0;
    bool firstContinuation_ = false;
    bool malformed_ = false;
    bool other_ = false;
};

// Where decoding first failed, and why.
struct DecodeFault {
    std::uint64_t offset = 0;  // in the decoded text
    std::string reason;
};

class StreamDecoder {
public:
    // Asked at most once, for an 8-bit file that names no encoding, when its
    // first byte above ASCII comes: what the bytes of the file from that
    // offset on are, read as UTF-8 (what came before is ASCII, the same in
    // every reading).
    using Utf8FromHere = std::function<Utf8Reading(std::uint64_t fileOffset)>;

    explicit StreamDecoder(Utf8FromHere utf8FromHere);
    ~StreamDecoder();
    StreamDecoder(StreamDecoder&&) noexcept;
    StreamDecoder& operator=(StreamDecoder&&) noexcept;

    // Decodes the next bytes of the file and appends the text to `out`. The
    // encoding is chosen once the first bytes tell it (the declaration
    // whole); until then nothing comes out. `last` says that no bytes follow. After a fault the text goes on as a
    // readable rendering (bad sequences as U+FFFD), for showing the line.
    void decode(std::string_view bytes, bool last, TextBuffer& out);

    // The first fault met so far, a NUL character included.
    const std::optional<DecodeFault>& fault() const { return fault_; }
    // Characters decoded so far, counted in bytes of UTF-8.
    std::uint64_t decodedSize() const { return decoded_; }
    // How the file is read, once its first bytes told it; null before.
    const EncodingChoice* choice() const { return mode_ == Mode::Undecided ? nullptr : &choice_; }

    // A decoder that reads the same file the same way from its start
    // again, without asking anything: for placing a fault in it.
    StreamDecoder again() const;

private:
    enum class Mode { Undecided, Ascii, Utf8Strict, Utf8Trusted, Windows1252, Utf16, Named, Unsupported };

    static bool canChoose(std::string_view head, bool last);
    static Mode modeOf(Utf8Reading reading);
    void choose(std::string_view head);
    void decodeUtf8(std::string_view bytes, bool last, TextBuffer& out, bool strict);
    void decodeAsciiPrefix(std::string_view bytes, bool last, TextBuffer& out);
    void decodeUtf16(std::string_view bytes, bool last, TextBuffer& out);
    void decodeNamed(std::string_view bytes, bool last, TextBuffer& out);
    void noteFault(std::uint64_t offset, const char* reason);
    // Adds `text` to `out` and looks for a NUL in it.
    void putText(TextBuffer& out, std::string_view text);
    void appendWindows1252(std::string_view bytes, TextBuffer& out);
    // Counts what was added to `out` past `before`, looking for a NUL in it.
    void appended(const TextBuffer& out, std::size_t before);

    Utf8FromHere utf8FromHere_;
    Mode mode_ = Mode::Undecided;
    EncodingChoice choice_;
    bool bigEndian_ = false;
    std::unique_ptr<QStringDecoder> named_;
    std::string head_;            // the first bytes, until they tell the encoding
    std::string carry_;           // bytes of a character that the last piece cut
    std::string converted_;       // a piece turned from windows-1252, on its way to the text
    std::uint64_t fileOffset_ = 0;  // file offset of the first byte not yet decoded (the carried ones)
    std::uint64_t decoded_ = 0;
    std::optional<DecodeFault> fault_;
    std::optional<Utf8Reading> unnamed_;  // the answer of utf8FromHere, once asked
};

}  // namespace crv
