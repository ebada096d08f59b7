// Link-time stand-in for the GBK conversions of text/, used only while the text library
// is not in the tree.
#include <iconv.h>

#include <string>
#include <string_view>

namespace text {
namespace {
std::string convert(std::string_view in, const char* from, const char* to) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::string();
  std::string out(in.size() * 4 + 16, '\0');
  char* src = const_cast<char*>(in.data());
  size_t src_left = in.size();
  char* dst = out.data();
  size_t dst_left = out.size();
  iconv(cd, &src, &src_left, &dst, &dst_left);
  iconv_close(cd);
  out.resize(out.size() - dst_left);
  return out;
}
}  // namespace
std::string gbk_to_utf8(std::string_view gbk) { return convert(gbk, "GB18030", "UTF-8"); }
std::string utf8_to_gbk(std::string_view utf8) { return convert(utf8, "UTF-8", "GB18030"); }
}  // namespace text
