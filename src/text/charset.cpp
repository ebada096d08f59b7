// Character-set conversion on iconv.

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>

#include "text/text.h"

namespace text {

namespace {

// "GBK" and its aliases are read and written as GB18030, a superset with the same
// bytes for every GBK character, so that no character is lost.
std::string iconv_name(std::string_view name) {
  std::string n;
  for (char c : name) n.push_back((c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c);
  if (n == "GBK" || n == "GB2312" || n == "CP936" || n == "936" || n == "X-GBK" ||
      n == "WINDOWS-936" || n == "GB18030")
    return "GB18030";
  if (n == "UNICODE") return "UTF-16LE";
  return n;
}

class Converter {
 public:
  Converter(const std::string& from, const std::string& to)
      : cd_(iconv_open(to.c_str(), from.c_str())) {}
  ~Converter() {
    if (ok()) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;
  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // Converts all of in. Returns false when iconv refuses an input byte (the caller
  // decides what stands in for it); *consumed tells how far it got.
  bool run(const char* in, std::size_t len, std::string& out, std::size_t* consumed) {
    char* ip = const_cast<char*>(in);
    std::size_t left = len;
    // Converts straight into out, growing it when iconv runs out of room.
    std::size_t used = out.size();
    out.resize(used + len + len / 2 + 64);
    while (left > 0) {
      char* op = out.data() + used;
      std::size_t room = out.size() - used;
      const std::size_t r = iconv(cd_, &ip, &left, &op, &room);
      used = static_cast<std::size_t>(op - out.data());
      if (r == static_cast<std::size_t>(-1)) {
        if (errno == E2BIG) {
          out.resize(out.size() + left * 2 + 64);
          continue;
        }
        out.resize(used);
        *consumed = len - left;
        return false;  // EILSEQ or EINVAL (truncated sequence)
      }
    }
    out.resize(used);
    flush(out);
    *consumed = len;
    return true;
  }
  void flush(std::string& out) {
    char buf[64];
    char* op = buf;
    std::size_t room = sizeof buf;
    iconv(cd_, nullptr, nullptr, &op, &room);
    out.append(buf, static_cast<std::size_t>(op - buf));
  }
  void reset() { iconv(cd_, nullptr, nullptr, nullptr, nullptr); }

 private:
  iconv_t cd_;
};

// Converts in completely; where a sequence cannot be converted, `stand_in` (already in
// the target charset) replaces one byte of it and the conversion goes on.
bool convert_all(Converter& cv, std::string_view in, const std::string& stand_in,
                 std::string& out) {
  std::size_t pos = 0;
  while (pos < in.size()) {
    std::size_t consumed = 0;
    if (cv.run(in.data() + pos, in.size() - pos, out, &consumed)) return true;
    pos += consumed;
    out += stand_in;
    cv.reset();
    ++pos;
  }
  cv.flush(out);
  return true;
}

}  // namespace

std::string convert_charset(std::string_view bytes, std::string_view from, std::string_view to,
                            std::size_t skip) {
  const std::string f = iconv_name(from), t = iconv_name(to);
  const auto finish = [skip](std::string out) -> std::string {
    if (skip >= out.size()) return {};
    out.erase(0, skip);
    return out;
  };
  // Pure ASCII between two ASCII-compatible charsets is the same bytes.
  const auto ascii_compatible = [](const std::string& n) { return n == "UTF-8" || n == "GB18030"; };
  if (ascii_compatible(f) && ascii_compatible(t) &&
      std::all_of(bytes.begin(), bytes.end(), [](char c) { return (static_cast<unsigned char>(c) & 0x80) == 0; }))
    return finish(std::string(bytes));
  // Most text converts in one pass; only text with a byte or character that needs a stand-in
  // takes the two passes below.
  {
    Converter direct(f, t);
    if (!direct.ok()) return {};
    std::string out;
    std::size_t consumed = 0;
    if (direct.run(bytes.data(), bytes.size(), out, &consumed)) return finish(std::move(out));
  }
  // Decode to UTF-32 first so that a byte the source cannot decode and a character the
  // target cannot encode are each replaced by "?".
  Converter dec(f, "UTF-32LE");
  Converter enc("UTF-32LE", t);
  if (!dec.ok() || !enc.ok()) return {};
  static const std::string kQ32("\x3F\0\0\0", 4);
  std::string wide;
  convert_all(dec, bytes, kQ32, wide);
  std::string q;
  {
    Converter qc("UTF-32LE", t);
    std::size_t c = 0;
    if (!qc.ok() || !qc.run(kQ32.data(), kQ32.size(), q, &c)) q.assign(1, '?');
  }
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 2);
  // A character the target lacks is one UTF-32 unit of 4 bytes: replace it as a whole.
  std::size_t pos = 0;
  while (pos < wide.size()) {
    std::size_t consumed = 0;
    if (enc.run(wide.data() + pos, wide.size() - pos, out, &consumed)) break;
    pos += consumed;
    out += q;
    enc.reset();
    pos += 4;
  }
  return finish(std::move(out));
}

std::string to_wide_text(std::string_view gbk) {
  if (gbk.empty()) return {};
  return convert_charset(gbk, "GB18030", "UTF-16LE");
}

std::string gbk_to_utf8(std::string_view gbk) { return convert_charset(gbk, "GB18030", "UTF-8"); }

std::string utf8_to_gbk(std::string_view utf8) {
  return convert_charset(utf8, "UTF-8", "GB18030");
}

}  // namespace text
