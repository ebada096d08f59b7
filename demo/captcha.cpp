#include "captcha.h"

#include <array>
#include <vector>

namespace demo {
namespace {

// 5x7 digits, one row per byte, bit 4 = leftmost pixel.
constexpr std::array<std::array<uint8_t, 7>, 10> kDigits = {{
    {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E},  // 0
    {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E},  // 1
    {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F},  // 2
    {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E},  // 3
    {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02},  // 4
    {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E},  // 5
    {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E},  // 6
    {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08},  // 7
    {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E},  // 8
    {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C},  // 9
}};

constexpr int kScale = 3;
constexpr int kCell = 6 * kScale;  // glyph advance
constexpr int kHeight = 30;

uint32_t crc32(const uint8_t* data, size_t n, uint32_t crc = 0) {
  static const std::array<uint32_t, 256> table = [] {
    std::array<uint32_t, 256> t{};
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[i] = c;
    }
    return t;
  }();
  crc = ~crc;
  for (size_t i = 0; i < n; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

void put32(std::string& out, uint32_t v) {
  out += static_cast<char>(v >> 24);
  out += static_cast<char>(v >> 16);
  out += static_cast<char>(v >> 8);
  out += static_cast<char>(v);
}

void chunk(std::string& png, const char* type, const std::string& data) {
  put32(png, static_cast<uint32_t>(data.size()));
  std::string body = std::string(type, 4) + data;
  png += body;
  put32(png, crc32(reinterpret_cast<const uint8_t*>(body.data()), body.size()));
}

// A zlib stream of stored (uncompressed) deflate blocks.
std::string zlib_stored(const std::string& raw) {
  std::string z = "\x78\x01";
  size_t pos = 0;
  do {
    size_t len = std::min<size_t>(65535, raw.size() - pos);
    bool last = pos + len >= raw.size();
    z += static_cast<char>(last ? 1 : 0);
    z += static_cast<char>(len & 0xFF);
    z += static_cast<char>(len >> 8);
    z += static_cast<char>(~len & 0xFF);
    z += static_cast<char>((~len >> 8) & 0xFF);
    z.append(raw, pos, len);
    pos += len;
  } while (pos < raw.size());
  uint32_t a = 1, b = 0;
  for (unsigned char c : raw) {
    a = (a + c) % 65521;
    b = (b + a) % 65521;
  }
  put32(z, (b << 16) | a);
  return z;
}

}  // namespace

std::string captcha_png(const std::string& code, std::mt19937& rng) {
  const int width = 8 + kCell * static_cast<int>(code.size()) + 4;
  std::vector<std::array<uint8_t, 3>> px(static_cast<size_t>(width) * kHeight,
                                         std::array<uint8_t, 3>{236, 240, 246});
  auto set = [&](int x, int y, std::array<uint8_t, 3> c) {
    if (x >= 0 && y >= 0 && x < width && y < kHeight) px[static_cast<size_t>(y) * width + x] = c;
  };
  std::uniform_int_distribution<int> any_x(0, width - 1), any_y(0, kHeight - 1), shade(90, 200);
  for (int i = 0; i < width * kHeight / 12; ++i)
    set(any_x(rng), any_y(rng), {static_cast<uint8_t>(shade(rng)), static_cast<uint8_t>(shade(rng)),
                                 static_cast<uint8_t>(shade(rng))});
  std::uniform_int_distribution<int> jitter(-2, 2), dark(0, 110);
  for (size_t d = 0; d < code.size(); ++d) {
    char ch = code[d];
    if (ch < '0' || ch > '9') continue;
    const auto& glyph = kDigits[ch - '0'];
    std::array<uint8_t, 3> ink{static_cast<uint8_t>(dark(rng)), static_cast<uint8_t>(dark(rng)),
                               static_cast<uint8_t>(dark(rng) + 60)};
    int ox = 8 + static_cast<int>(d) * kCell + jitter(rng);
    int oy = 4 + jitter(rng);
    for (int row = 0; row < 7; ++row)
      for (int col = 0; col < 5; ++col)
        if (glyph[row] & (0x10 >> col))
          for (int sy = 0; sy < kScale; ++sy)
            for (int sx = 0; sx < kScale; ++sx) set(ox + col * kScale + sx, oy + row * kScale + sy, ink);
  }
  // Two thin interference lines.
  for (int l = 0; l < 2; ++l) {
    int y0 = any_y(rng), y1 = any_y(rng);
    for (int x = 0; x < width; ++x) set(x, y0 + (y1 - y0) * x / width, {150, 150, 170});
  }

  std::string raw;
  raw.reserve(static_cast<size_t>(width * 3 + 1) * kHeight);
  for (int y = 0; y < kHeight; ++y) {
    raw += '\0';  // filter: none
    for (int x = 0; x < width; ++x)
      for (uint8_t c : px[static_cast<size_t>(y) * width + x]) raw += static_cast<char>(c);
  }
  std::string png = "\x89PNG\r\n\x1a\n";
  std::string ihdr;
  put32(ihdr, static_cast<uint32_t>(width));
  put32(ihdr, kHeight);
  ihdr += '\x08';  // bit depth
  ihdr += '\x02';  // RGB
  ihdr += std::string(3, '\0');
  chunk(png, "IHDR", ihdr);
  chunk(png, "IDAT", zlib_stored(raw));
  chunk(png, "IEND", "");
  return png;
}

}  // namespace demo
