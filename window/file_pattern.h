#pragma once
// File patterns of the file list: one or more wildcard patterns separated by
// ";" ("*.xml;GM_XML;*.TXT"), "*" for any run of characters and "?" for one,
// matched against the whole name without regard to case as the desktop's
// file dialogs do. Nothing else in a pattern is special.
#include <QString>

namespace crv::window {

// Whether `name` matches one of the patterns of `patterns`.
bool matchesPattern(const QString& name, const QString& patterns);

}  // namespace crv::window
