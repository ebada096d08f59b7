#pragma once
// A CSV export as a spreadsheet program reads it back.

#include <gtest/gtest.h>

#include <QFile>
#include <QStringDecoder>
#include <QStringList>

namespace harness {

// The export's non-empty lines (CR LF separated). The test fails when the file cannot be
// read, does not start with the UTF-8 byte-order mark or is not valid UTF-8.
inline QStringList csv_export_lines(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) {
    ADD_FAILURE() << "cannot read " << path.toStdString();
    return {};
  }
  const QByteArray bytes = f.readAll();
  const bool bom = bytes.startsWith("\xEF\xBB\xBF");
  EXPECT_TRUE(bom) << "no UTF-8 byte-order mark";
  QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  const QString text = utf8.decode(bom ? bytes.mid(3) : bytes);
  EXPECT_FALSE(utf8.hasError()) << "not UTF-8";
  return text.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
}

}  // namespace harness
