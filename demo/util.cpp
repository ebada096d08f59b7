#include "util.h"

#include <iconv.h>

#include <cerrno>
#include <algorithm>
#include <cstdio>
#include <cstring>

namespace demo {

std::string trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return {};
  size_t e = s.find_last_not_of(" \t\r\n");
  return s.substr(b, e - b + 1);
}

std::string html_escape(const std::string& s) {
  std::string out;
  out.reserve(s.size() + 16);
  for (char c : s) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string json_escape(const std::string& s) {
  std::string out = "\"";
  for (unsigned char c : s) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  out += '"';
  return out;
}

bool valid_utf8(const std::string& s) {
  size_t i = 0, n = s.size();
  while (i < n) {
    unsigned char c = s[i];
    int len;
    unsigned min;
    unsigned cp;
    if (c < 0x80) { ++i; continue; }
    if ((c & 0xE0) == 0xC0) { len = 2; cp = c & 0x1F; min = 0x80; }
    else if ((c & 0xF0) == 0xE0) { len = 3; cp = c & 0x0F; min = 0x800; }
    else if ((c & 0xF8) == 0xF0) { len = 4; cp = c & 0x07; min = 0x10000; }
    else return false;
    if (i + len > n) return false;
    for (int k = 1; k < len; ++k) {
      unsigned char d = s[i + k];
      if ((d & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (d & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += len;
  }
  return true;
}

std::string FormData::get(const std::string& name) const {
  for (const auto& [k, v] : fields)
    if (k == name) return v;
  return {};
}

bool FormData::has(const std::string& name) const {
  for (const auto& f : fields)
    if (f.first == name) return true;
  return false;
}

std::vector<std::string> FormData::all(const std::string& name) const {
  std::vector<std::string> out;
  for (const auto& [k, v] : fields)
    if (k == name) out.push_back(v);
  return out;
}

size_t FormData::longest_value() const {
  size_t m = 0;
  for (const auto& f : fields) m = std::max(m, f.second.size());
  return m;
}

namespace {

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool decode_component(const std::string& in, size_t from, size_t to, std::string& out) {
  out.clear();
  for (size_t i = from; i < to; ++i) {
    char c = in[i];
    if (c == '+') {
      out += ' ';
    } else if (c == '%') {
      if (i + 2 >= to) return false;
      int h = hex_value(in[i + 1]), l = hex_value(in[i + 2]);
      if (h < 0 || l < 0) return false;
      out += static_cast<char>(h * 16 + l);
      i += 2;
    } else {
      out += c;
    }
  }
  return true;
}

}  // namespace

std::optional<FormData> parse_form(const std::string& body, std::string& error) {
  FormData form;
  size_t pos = 0;
  while (pos <= body.size()) {
    size_t amp = body.find('&', pos);
    if (amp == std::string::npos) amp = body.size();
    if (amp > pos) {
      size_t eq = body.find('=', pos);
      if (eq == std::string::npos || eq > amp) eq = amp;
      std::string name, value;
      if (!decode_component(body, pos, eq, name) ||
          (eq < amp && !decode_component(body, eq + 1, amp, value))) {
        error = "表单数据中有无效的 % 转义";
        return std::nullopt;
      }
      if (!valid_utf8(name) || !valid_utf8(value)) {
        error = "表单数据不是有效的 UTF-8 编码";
        return std::nullopt;
      }
      if (name.empty()) {
        error = "表单数据中有无名字段";
        return std::nullopt;
      }
      form.fields.emplace_back(std::move(name), std::move(value));
    }
    pos = amp + 1;
  }
  return form;
}

std::string utf8_to_gbk(const std::string& utf8) {
  iconv_t cd = iconv_open("GB18030", "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) return utf8;
  std::string out;
  out.resize(utf8.size() * 2 + 16);
  char* in = const_cast<char*>(utf8.data());
  size_t in_left = utf8.size();
  char* dst = out.data();
  size_t out_left = out.size();
  while (in_left > 0) {
    if (iconv(cd, &in, &in_left, &dst, &out_left) == static_cast<size_t>(-1)) {
      if (errno == EILSEQ || errno == EINVAL) {
        ++in;
        --in_left;
        if (out_left > 0) { *dst++ = '?'; --out_left; }
      } else {
        break;
      }
    }
  }
  out.resize(out.size() - out_left);
  iconv_close(cd);
  return out;
}

namespace {
const char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
}  // namespace

std::string base64_encode(const std::string& bytes) {
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  size_t i = 0;
  for (; i + 2 < bytes.size(); i += 3) {
    unsigned v = (static_cast<unsigned char>(bytes[i]) << 16) | (static_cast<unsigned char>(bytes[i + 1]) << 8) |
                 static_cast<unsigned char>(bytes[i + 2]);
    for (int s = 18; s >= 0; s -= 6) out += kBase64[(v >> s) & 63];
  }
  if (i < bytes.size()) {
    unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
    if (i + 1 < bytes.size()) v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
    out += kBase64[(v >> 18) & 63];
    out += kBase64[(v >> 12) & 63];
    out += i + 1 < bytes.size() ? kBase64[(v >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

std::optional<std::string> base64_decode(const std::string& text) {
  if (text.size() % 4 != 0) return std::nullopt;
  std::string out;
  out.reserve(text.size() / 4 * 3);
  unsigned v = 0;
  int bits = 0;
  size_t pad = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '=') {
      if (i + 2 < text.size()) return std::nullopt;  // padding only at the end
      ++pad;
      continue;
    }
    if (pad) return std::nullopt;
    const char* at = std::strchr(kBase64, c);
    if (!at || c == '\0') return std::nullopt;
    v = (v << 6) | static_cast<unsigned>(at - kBase64);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out += static_cast<char>((v >> bits) & 0xFF);
    }
  }
  return out;
}

}  // namespace demo
