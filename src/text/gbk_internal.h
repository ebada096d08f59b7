#pragma once
// Byte classes of GBK / GB18030 shared by the text sources.

#include <cstddef>
#include <string>
#include <string_view>

namespace text::detail {

inline unsigned char byte_at(std::string_view t, std::size_t i) {
  return static_cast<unsigned char>(t[i]);
}
inline bool is_lead(unsigned char b) { return b >= 0x81 && b <= 0xFE; }
inline bool is_trail2(unsigned char b) {
  return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFE);
}
inline bool is_digit(unsigned char b) { return b >= 0x30 && b <= 0x39; }
// A byte that can never be the second, third or fourth byte of a character: the
// position right after it is always a character boundary.
inline bool is_anchor(unsigned char b) {
  return b < 0x30 || (b >= 0x3A && b <= 0x3F) || b == 0x7F || b == 0xFF;
}
inline bool is_ascii_letter(unsigned char b) {
  return (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z');
}
inline unsigned char fold(unsigned char b) {
  return (b >= 'A' && b <= 'Z') ? static_cast<unsigned char>(b + 32) : b;
}

// "#引号" in GBK.
inline constexpr std::string_view kPlaceholderBytes = "\x23\xD2\xFD\xBA\xC5";

// Every "#引号" replaced by a double quote (case-sensitive byte match).
std::string replace_placeholder(std::string_view s);

// Finds the character boundaries of one text, reusing what it learnt for later,
// larger positions (searches move forward).
class BoundaryCursor {
 public:
  explicit BoundaryCursor(std::string_view t) : t_(t) {}
  // The first boundary at or after p (t.size() at most).
  std::size_t at_or_after(std::size_t p);
  bool is_boundary(std::size_t p) { return at_or_after(p) == p; }

 private:
  std::string_view t_;
  std::size_t known_ = 0;  // a boundary
};

}  // namespace text::detail
