#pragma once
// Character references that name a character XML 1.0 does not allow:
// &#0;, the other control characters but tab, line feed and carriage return
// (&#x1;), the surrogates (&#xD800;), U+FFFE and U+FFFF, and anything beyond
// U+10FFFF (&#1114112;). A file holding one is not well formed; the parser
// would decode it anyway (a NUL silently cuts the value, the others become
// garbled text), so the loader looks for them in the text before parsing it.
#include <cstddef>
#include <string_view>

namespace crv {

// Offset of the "&" of the first such reference in UTF-8 XML text, counting
// only references the parser decodes: in character data and attribute values,
// not in comments, CDATA sections or processing instructions, and only in the
// form &#DIGITS; or &#xHEXDIGITS;. npos when there is none.
std::size_t firstForbiddenCharReference(std::string_view text);

}  // namespace crv
