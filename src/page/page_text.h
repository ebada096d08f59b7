#pragma once
// Text read from the page, for the core: GBK bytes with CR LF line ends.

#include <QString>

#include <string>

namespace page {

// Same bytes as platform::to_gbk_crlf, faster on large mostly-ASCII texts (HTML): only
// the non-ASCII characters go through the converter, in one piece.
std::string page_text_to_gbk(const QString& text);

}  // namespace page
