#pragma once
// Rewrites the engine's outerHTML into the form the old browser control produced, which
// the tools' markers rely on (<SPAN id=lblUserName>, Balance class=yue>).

#include <QString>

namespace platform {

// Tag names upper-cased (start and end tags; attribute names as they are); an attribute
// value written bare unless it is empty or holds white space, a quote, an apostrophe,
// '<', '>', '=' or a backtick, else kept in double quotes with the engine's escaping.
// Text, comments and the raw text of script, style and the other raw-text elements are
// copied untouched. Boolean attributes keep the engine's form (checked="").
QString legacy_outer_html(const QString& engine_html);

}  // namespace platform
