#include "support/xml_faults.h"

namespace crv::test {

void PrintTo(const BadXml& input, std::ostream* os)
{
    *os << input.label;
}

std::string utf16le(const std::u16string& text)
{
    std::string out;
    for (const char16_t unit : text) {
        out += static_cast<char>(unit & 0xFF);
        out += static_cast<char>(unit >> 8);
    }
    return out;
}

const std::vector<BadXml>& badXmlSamples()
{
    const std::string kMismatch = "tag di chiusura non corrispondente";
    const std::string kUnclosed = "elemento non chiuso alla fine del file";
    const std::string kDtd = "DOCTYPE non ammesso";
    const std::string kBadChar = "carattere non valido per la codifica";
    const std::string kBadReference = "riferimento a carattere non ammesso";
    static const std::vector<BadXml> samples = {
        BadXml{"mismatched_tag", "<r>\n  <a>x</b>\n</r>\n", 2, 9, "  <a>x</b>", kMismatch},
        BadXml{"crlf_lines", "<r>\r\n<a>\r\n</b>\r\n</r>", 3, 3, "</b>", kMismatch},
        BadXml{"position_in_characters", "<r>città</x>", 1, 11, "<r>città</x>", kMismatch},
        BadXml{"unclosed_at_end", "<r>\n  <a>x</a>\n", 2, 11, "  <a>x</a>", kUnclosed},
        BadXml{"truncated_text", "<r>\n  <a>12", 2, 7, "  <a>12", kUnclosed},
        BadXml{"truncated_tag", "<r>\n  <a", 2, 4, "  <a", "tag di apertura non valido"},
        BadXml{"bad_attribute", "<r>\n<a x=1/>\n</r>", 2, 6, "<a x=1/>", "attributo non valido"},
        BadXml{"empty_file", "", 1, 1, "", "elemento radice mancante"},
        BadXml{"declaration_only", "<?xml version=\"1.0\"?>\n", 2, 1, "", "elemento radice mancante"},
        BadXml{"text_after_root", "<r/>\n  xyz\n", 2, 3, "  xyz", "testo fuori dall'elemento radice"},
        BadXml{"text_before_root", "x<r/>", 1, 1, "x<r/>", "testo fuori dall'elemento radice"},
        BadXml{"last_character_after_root", "<r/>\nx", 2, 1, "x", "testo fuori dall'elemento radice"},
        BadXml{"cdata_after_root", "<r/><![CDATA[x]]>", 1, 5, "<r/><![CDATA[x]]>",
                 "testo fuori dall'elemento radice"},
        BadXml{"second_root", "<r/>\n  <s/>", 2, 3, "  <s/>", "è consentito un solo elemento radice"},
        BadXml{"doctype", "<?xml version=\"1.0\"?>\n<!DOCTYPE r [\n<!ENTITY e SYSTEM \"file:///etc/passwd\">\n]>\n<r>&e;</r>",
                 2, 1, "<!DOCTYPE r [", kDtd},
        BadXml{"doctype_before_syntax_error", "  <!DOCTYPE r>\n<r></x>", 1, 3, "  <!DOCTYPE r>", kDtd},
        BadXml{"doctype_inside_root", "<r>\n<!DOCTYPE r>\n</r>", 2, 1, "<!DOCTYPE r>", kDtd},
        BadXml{"entity_expansion", "<!DOCTYPE l [<!ENTITY a \"aaaa\"><!ENTITY b \"&a;&a;&a;&a;\">]><l>&b;</l>", 1, 1,
                 "<!DOCTYPE l [<!ENTITY a \"aaaa\"><!ENTITY b \"&a;&a;&a;&a;\">]><l>&b;</l>", kDtd},
        BadXml{"cp1252_without_declaration", "<r>citt\xE0</x>", 1, 11, "<r>città</x>", kMismatch},
        BadXml{"utf16_position_in_characters", "\xFF\xFE" + utf16le(u"<r>\n città</x>"), 2, 9, " città</x>",
                 kMismatch},
        BadXml{"declared_utf8_not_utf8", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<r>citt\xE0</r>", 2, 8,
                 "<r>citt\xEF\xBF\xBD</r>", kBadChar},
        BadXml{"bom_utf8_not_utf8", "\xEF\xBB\xBF<r>\xE0</r>", 1, 4, "<r>\xEF\xBF\xBD</r>", kBadChar},
        BadXml{"lone_surrogate", "\xFF\xFE" + utf16le(u"<r>a") + std::string("\x00\xD8", 2) + utf16le(u"b</r>"), 1,
                 5, "<r>a\xEF\xBF\xBD" "b</r>", kBadChar},
        BadXml{"truncated_utf16", "\xFF\xFE" + utf16le(u"<r>ab</r>").substr(0, 9), 1, 5, "<r>a", kBadChar},
        BadXml{"reference_to_nul", "<r>\n  <a>ab&#0;cd</a>\n</r>", 2, 8, "  <a>ab&#0;cd</a>", kBadReference},
        BadXml{"reference_to_control", "<r>città&#x1;</r>", 1, 9, "<r>città&#x1;</r>", kBadReference},
        BadXml{"reference_to_surrogate", "<r><a n='x&#xD800;'/></r>", 1, 11, "<r><a n='x&#xD800;'/></r>",
                 kBadReference},
        BadXml{"reference_beyond_unicode", "<r>&#1114112;</r>", 1, 4, "<r>&#1114112;</r>", kBadReference},
        BadXml{"reference_wrapping_to_nul", "<r>&#4294967296;</r>", 1, 4, "<r>&#4294967296;</r>", kBadReference},
        BadXml{"reference_to_fffe", "<r>&#xFFFE;</r>", 1, 4, "<r>&#xFFFE;</r>", kBadReference},
        BadXml{"reference_in_utf16", "\xFF\xFE" + utf16le(u"<r>\n à&#31;</r>"), 2, 3, " à&#31;</r>",
                 kBadReference},
        BadXml{"reference_after_comment", "<r><!-- &#0; --><![CDATA[&#0;]]><?p &#0;?>&#0;</r>", 1, 43,
                 "<r><!-- &#0; --><![CDATA[&#0;]]><?p &#0;?>&#0;</r>", kBadReference},
        BadXml{"syntax_error_first", "<r></x>&#0;</r>", 1, 6, "<r></x>&#0;</r>", kMismatch},
        BadXml{"unsupported_encoding", "<?xml version=\"1.0\" encoding=\"x-nessuna\"?>\n<r/>", 1, 31,
                 "<?xml version=\"1.0\" encoding=\"x-nessuna\"?>", "codifica non supportata"},
        BadXml{"nul_character", std::string("<r>a\0b</r>", 10), 1, 5, "<r>a\xEF\xBF\xBD" "b</r>",
                 "carattere nullo non consentito"},
        BadXml{"nul_before_a_lone_surrogate",
                 "\xFF\xFE" + utf16le(u"<r>a") + std::string("\0\0", 2) + utf16le(u"b") + std::string("\x00\xD8", 2) +
                     utf16le(u"</r>"),
                 1, 5, "<r>a\xEF\xBF\xBD" "b\xEF\xBF\xBD</r>", "carattere nullo non consentito"},
        // What XML refuses beyond the syntax of tags.
        BadXml{"undefined_entity", "<r>\n  <NOME>NICOL&Ograve; &euro;</NOME>\n</r>", 2, 14,
                 "  <NOME>NICOL&Ograve; &euro;</NOME>", "entità non definita: &Ograve;"},
        BadXml{"undefined_entity_in_attribute", "<r><a b='X-&foo;'/></r>", 1, 12, "<r><a b='X-&foo;'/></r>",
                 "entità non definita: &foo;"},
        BadXml{"bare_ampersand", "<r>ROSSI & FIGLI</r>", 1, 10, "<r>ROSSI & FIGLI</r>",
                 "carattere & non seguito da un riferimento (si scrive &amp;)"},
        BadXml{"reference_without_semicolon", "<r>ROSSI &amp FIGLI</r>", 1, 10, "<r>ROSSI &amp FIGLI</r>",
                 "riferimento non valido: &amp"},
        BadXml{"reference_with_capital_x", "<r>&#X58;</r>", 1, 4, "<r>&#X58;</r>", "riferimento non valido: &#X58;"},
        BadXml{"reference_not_a_number", "<r>&#RE;</r>", 1, 4, "<r>&#RE;</r>", "riferimento non valido: &#RE;"},
        BadXml{"repeated_attribute", "<r>\n<posizione numero=\"1\" tipo=\"a\" numero=\"2\"/>\n</r>", 2, 32,
                 "<posizione numero=\"1\" tipo=\"a\" numero=\"2\"/>", "attributo ripetuto: numero"},
        BadXml{"lt_in_attribute", "<r a=\"x<y\"/>", 1, 8, "<r a=\"x<y\"/>",
                 "carattere < non ammesso nel valore di un attributo"},
        BadXml{"cdata_end_in_text", "<r>a]]>b</r>", 1, 5, "<r>a]]>b</r>", "sequenza ]]> non ammessa nel testo"},
        BadXml{"double_dash_in_comment", "<r><!-- a -- b --></r>", 1, 11, "<r><!-- a -- b --></r>",
                 "sequenza -- non ammessa in un commento"},
        BadXml{"control_character_in_text", "<r>a\x01" "b</r>", 1, 5, "<r>a\x01" "b</r>",
                 "carattere non ammesso in XML: U+0001"},
        BadXml{"control_character_in_attribute", "<r a=\"\x1b\"/>", 1, 7, "<r a=\"\x1b\"/>",
                 "carattere non ammesso in XML: U+001B"},
        BadXml{"noncharacter_in_text", "<r>\xEF\xBF\xBF</r>", 1, 4, "<r>\xEF\xBF\xBF</r>",
                 "carattere non ammesso in XML: U+FFFF"},
        BadXml{"name_with_a_character_names_refuse", "<r><a\xC3\x97" "b/></r>", 1, 6, "<r><a\xC3\x97" "b/></r>",
                 "tag di apertura non valido"},
        BadXml{"declaration_not_at_start", "\n<?xml version=\"1.0\"?>\n<r/>", 2, 1, "<?xml version=\"1.0\"?>",
                 "dichiarazione XML non all'inizio del file"},
        BadXml{"declaration_without_version", "<?xml encoding=\"UTF-8\"?><r/>", 1, 7,
                 "<?xml encoding=\"UTF-8\"?><r/>", "dichiarazione XML non valida: manca version"},
        BadXml{"version_not_1x", "<?xml version=\"2.0\"?><r/>", 1, 16, "<?xml version=\"2.0\"?><r/>",
                 "dichiarazione XML non valida: versione 2.0"},
        BadXml{"standalone_neither_yes_nor_no", "<?xml version=\"1.0\" standalone=\"si\"?><r/>", 1, 33,
                 "<?xml version=\"1.0\" standalone=\"si\"?><r/>", "dichiarazione XML non valida: standalone si"},
        BadXml{"reserved_instruction_name", "<r><?XML x?></r>", 1, 6, "<r><?XML x?></r>",
                 "nome di istruzione di elaborazione riservato: XML"}};
    return samples;
}

}  // namespace crv::test
