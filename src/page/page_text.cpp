#include "page/page_text.h"

#include "platform/gbk.h"

namespace page {

namespace {

// Length of the GB18030 sequence at k: 1 (ASCII), 2, or 4 (second byte a digit).
std::size_t sequence_length(const std::string& s, std::size_t k) {
  const unsigned char b = static_cast<unsigned char>(s[k]);
  if (b < 0x80) return 1;
  if (k + 1 < s.size()) {
    const unsigned char c = static_cast<unsigned char>(s[k + 1]);
    if (c >= 0x30 && c <= 0x39) return 4;
  }
  return 2;
}

}  // namespace

std::string page_text_to_gbk(const QString& text) {
  const char16_t* p = reinterpret_cast<const char16_t*>(text.utf16());
  const qsizetype n = text.size();
  // The non-ASCII characters in order, one code point each (a lone surrogate becomes
  // U+FFFD here and below, so that the pieces line up).
  QString wide;
  for (qsizetype i = 0; i < n; ++i) {
    const char16_t c = p[i];
    if (c < 0x80) continue;
    if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(p[i + 1])) {
      wide += QChar(c);
      wide += QChar(p[++i]);
    } else if (QChar::isSurrogate(c)) {
      wide += QChar(0xFFFD);
    } else {
      wide += QChar(c);
    }
  }
  const std::string encoded = wide.isEmpty() ? std::string() : platform::to_gbk(wide);
  std::string out;
  out.reserve(std::size_t(n) + std::size_t(n) / 16 + encoded.size());
  std::size_t k = 0;
  for (qsizetype i = 0; i < n; ++i) {
    const char16_t c = p[i];
    if (c < 0x80) {
      if (c == u'\r') {
        out += "\r\n";
        if (i + 1 < n && p[i + 1] == u'\n') ++i;
      } else if (c == u'\n') {
        out += "\r\n";
      } else {
        out.push_back(char(c));
      }
      continue;
    }
    if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(p[i + 1])) ++i;
    if (k >= encoded.size()) return platform::to_gbk_crlf(text);
    const std::size_t len = sequence_length(encoded, k);
    out.append(encoded, k, len);
    k += len;
  }
  if (k != encoded.size()) return platform::to_gbk_crlf(text);  // pieces did not line up
  return out;
}

}  // namespace page
