#include "page/bitmap.h"

#include <QBuffer>

#include <cstdint>

namespace page {

namespace {

void put_u16(std::string& out, std::uint16_t v) {
  out.push_back(char(v & 0xff));
  out.push_back(char(v >> 8));
}

void put_u32(std::string& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(char((v >> (8 * i)) & 0xff));
}

}  // namespace

std::string bitmap_file(const QImage& source) {
  if (source.isNull()) return std::string();
  const QImage image = source.convertToFormat(QImage::Format_RGB888);
  const std::uint32_t w = std::uint32_t(image.width());
  const std::uint32_t h = std::uint32_t(image.height());
  const std::uint32_t stride = (w * 3 + 3) & ~3u;
  const std::uint32_t pixel_bytes = stride * h;
  std::string out;
  out.reserve(54 + pixel_bytes);
  out += "BM";
  put_u32(out, 54 + pixel_bytes);
  put_u32(out, 0);
  put_u32(out, 54);
  put_u32(out, 40);
  put_u32(out, w);
  put_u32(out, h);
  put_u16(out, 1);
  put_u16(out, 24);
  put_u32(out, 0);  // no compression
  put_u32(out, pixel_bytes);
  for (int i = 0; i < 4; ++i) put_u32(out, 0);
  for (int y = int(h) - 1; y >= 0; --y) {
    const uchar* row = image.constScanLine(y);
    std::size_t start = out.size();
    for (std::uint32_t x = 0; x < w; ++x) {
      out.push_back(char(row[3 * x + 2]));
      out.push_back(char(row[3 * x + 1]));
      out.push_back(char(row[3 * x]));
    }
    out.append(stride - (out.size() - start), '\0');
  }
  return out;
}

std::string encode_picture(const QImage& image, int format) {
  if (image.isNull()) return std::string();
  const char* codec = nullptr;
  switch (format) {
    case 0:
    case 1:
      return bitmap_file(image);
    case 2: codec = "JPEG"; break;
    case 3: codec = "GIF"; break;
    case 4: codec = "TIFF"; break;
    case 5: codec = "PNG"; break;
    default: return std::string();
  }
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  if (!image.save(&buffer, codec)) return std::string();
  return std::string(bytes.constData(), std::size_t(bytes.size()));
}

}  // namespace page
