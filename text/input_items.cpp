#include "text/input_items.h"

namespace crv {

std::optional<std::string> InputItemReader::next()
{
    auto peek = [this] { return in_.peek(); };
    constexpr auto eof = std::char_traits<char>::eof();

    // Skip the blanks before the item.
    while (peek() == ' ' || peek() == '\t') in_.get();
    if (peek() == eof) return std::nullopt;

    std::string item;
    if (peek() == '"') {
        in_.get();
        int c = 0;
        while ((c = in_.get()) != eof && c != '"') item += static_cast<char>(c);
        // After the closing quote, pass over anything up to the separator.
        while ((c = peek()) != eof && c != ',' && c != '\r' && c != '\n') in_.get();
    } else {
        int c = 0;
        while ((c = peek()) != eof && c != ',' && c != '\r' && c != '\n') {
            item += static_cast<char>(c);
            in_.get();
        }
        while (!item.empty() && (item.back() == ' ' || item.back() == '\t')) item.pop_back();
    }

    // Consume the separator: a comma, or the line end (CR LF, LF or CR).
    const int sep = peek();
    if (sep == ',') {
        in_.get();
    } else if (sep == '\r') {
        in_.get();
        if (peek() == '\n') in_.get();
    } else if (sep == '\n') {
        in_.get();
    }
    return item;
}

}  // namespace crv
