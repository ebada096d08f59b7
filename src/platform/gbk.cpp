#include "platform/gbk.h"

#include "text/text.h"

namespace platform {

QString from_gbk(std::string_view gbk) {
  if (gbk.empty()) return QString();
  return QString::fromStdString(text::gbk_to_utf8(gbk));
}

std::string to_gbk(const QString& text) {
  if (text.isEmpty()) return std::string();
  return text::utf8_to_gbk(text.toStdString());
}

std::string to_gbk_crlf(const QString& text) {
  QString t;
  t.reserve(text.size() + text.size() / 16);
  const QChar* p = text.constData();
  const qsizetype n = text.size();
  for (qsizetype i = 0; i < n; ++i) {
    const QChar c = p[i];
    if (c == u'\r') {
      t += u"\r\n";
      if (i + 1 < n && p[i + 1] == u'\n') ++i;
    } else if (c == u'\n') {
      t += u"\r\n";
    } else {
      t += c;
    }
  }
  return to_gbk(t);
}

}  // namespace platform
