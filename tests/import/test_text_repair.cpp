// The character repair of the text exports, on UTF-8 text, and the way back
// from a place in the repaired text to the delivery's own.
#include "import/text_repair.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "text/encoding.h"

namespace {

TEST(Aggiusta, ChangesOnlyTheFiveCharactersOfTheTable)
{
    // Every character up to U+00FF, a few beyond, and bytes that are no character.
    for (char32_t cp = 0; cp < 0x100; ++cp) {
        std::string character;
        crv::appendUtf8(character, cp);
        std::string expected = character;
        switch (cp) {
        case U'@': case U'Ý': case U'§': expected = "&#64;"; break;
        case U'°': expected = "&#248;"; break;
        case U'Ù': expected = "U'"; break;
        default: break;
        }
        EXPECT_EQ(crv::Aggiusta(character), expected) << "U+" << std::hex << static_cast<unsigned>(cp);
    }
    for (const std::string same : {"€", "\xC4\x80", "\xF0\x9D\x84\x9E", "\xC3", "\xC2", "a\xC2"})
        EXPECT_EQ(crv::Aggiusta(same), same);
}

TEST(Aggiusta, ReplacesEveryOccurrenceInPlace)
{
    EXPECT_EQ(crv::Aggiusta(""), "");
    EXPECT_EQ(crv::Aggiusta("@@a@"), "&#64;&#64;a&#64;");
    EXPECT_EQ(crv::Aggiusta("mario.rossi@esempio.it"), "mario.rossi&#64;esempio.it");
    EXPECT_EQ(crv::Aggiusta("N° 5 PIÙ § xÝy °°"), "N&#248; 5 PIU' &#64; x&#64;y &#248;&#248;");
    EXPECT_EQ(crv::Aggiusta(std::string_view("a\0@", 3)), std::string("a\0&#64;", 7));
    std::string out = "già ";
    crv::Aggiusta(out, "@");
    EXPECT_EQ(out, "già &#64;");
}

TEST(PrimaDellaRiparazione, PlacesInTheRepairedTextComeBackToTheirCharacter)
{
    // "a@b°c" is repaired as "a&#64;b&#248;c": a place inside a
    // replacement is the character it replaced.
    const std::string original = "a@b°c";
    const std::pair<std::uint64_t, std::size_t> places[] = {
        {0, 0}, {1, 1}, {2, 1}, {5, 1}, {6, 2}, {7, 3}, {12, 3}, {13, 5}, {14, 6}, {99, 6}};
    for (const auto& [repaired, expected] : places) {
        std::uint64_t toGo = repaired;
        EXPECT_EQ(crv::primaDellaRiparazione(original, toGo), expected) << "posto " << repaired;
        EXPECT_EQ(toGo, repaired - crv::Aggiusta(original.substr(0, expected)).size()) << "posto " << repaired;
    }
}

}  // namespace
