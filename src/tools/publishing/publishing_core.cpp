#include "tools/publishing/publishing_core.h"

#include "text/text.h"

namespace tools::publishing {

namespace {

// Five light tones first, then deep and earthy title colours, the web-safe cube in
// order, and five light pinks and cyans last.
constexpr const char* kPalette =
      "#000000\r\n#e9deb1\r\n#e9cfb1\r\n#decd7c\r\n#8f864b\r\n#8b0000\r\n#a52a2a\r\n#b22222\r\n"
      "#c71585\r\n#d2691e\r\n#cd853f\r\n#b8860b\r\n#daa520\r\n#808000\r\n#556b2f\r\n#6b8e23\r\n"
      "#228b22\r\n#2e8b57\r\n#3cb371\r\n#20b2aa\r\n#008b8b\r\n#4682b4\r\n#1e90ff\r\n#4169e1\r\n"
      "#0000cd\r\n#00008b\r\n#191970\r\n#483d8b\r\n#6a5acd\r\n#7b68ee\r\n#8a2be2\r\n#9400d3\r\n"
      "#9932cc\r\n#8b008b\r\n#800080\r\n#dc143c\r\n#ff4500\r\n#ff8c00\r\n#e9967a\r\n#f08080\r\n"
      "#bc8f8f\r\n#a0522d\r\n#8b4513\r\n#708090\r\n#2f4f4f\r\n#696969\r\n#808080\r\n#5f9ea0\r\n"
      "#b03060\r\n#e6b422\r\n#c04851\r\n#1661ab\r\n#2775b6\r\n#11659a\r\n#5e7987\r\n#b7ae8f\r\n"
      "#c3a6cb\r\n#a61b29\r\n#f9d367\r\n#e16723\r\n#ee7959\r\n#000033\r\n#000066\r\n#000099\r\n"
      "#0000cc\r\n#0000ff\r\n#003300\r\n#003333\r\n#003366\r\n#003399\r\n#0033cc\r\n#0033ff\r\n"
      "#006600\r\n#006633\r\n#006666\r\n#006699\r\n#0066cc\r\n#0066ff\r\n#009900\r\n#009933\r\n"
      "#009966\r\n#009999\r\n#0099cc\r\n#0099ff\r\n#00cc00\r\n#00cc33\r\n#00cc66\r\n#00cc99\r\n"
      "#00cccc\r\n#00ccff\r\n#00ff00\r\n#00ff33\r\n#00ff66\r\n#00ff99\r\n#00ffcc\r\n#00ffff\r\n"
      "#330000\r\n#330033\r\n#330066\r\n#330099\r\n#3300cc\r\n#3300ff\r\n#333300\r\n#333333\r\n"
      "#333366\r\n#333399\r\n#3333cc\r\n#3333ff\r\n#336600\r\n#336633\r\n#336666\r\n#336699\r\n"
      "#3366cc\r\n#3366ff\r\n#339900\r\n#339933\r\n#339966\r\n#339999\r\n#3399cc\r\n#3399ff\r\n"
      "#33cc00\r\n#33cc33\r\n#33cc66\r\n#33cc99\r\n#33cccc\r\n#33ccff\r\n#33ff00\r\n#33ff33\r\n"
      "#33ff66\r\n#33ff99\r\n#33ffcc\r\n#33ffff\r\n#660000\r\n#660033\r\n#660066\r\n#660099\r\n"
      "#6600cc\r\n#6600ff\r\n#663300\r\n#663333\r\n#663366\r\n#663399\r\n#6633cc\r\n#6633ff\r\n"
      "#666600\r\n#666633\r\n#666666\r\n#666699\r\n#6666cc\r\n#6666ff\r\n#669900\r\n#669933\r\n"
      "#669966\r\n#669999\r\n#6699cc\r\n#6699ff\r\n#66cc00\r\n#66cc33\r\n#66cc66\r\n#66cc99\r\n"
      "#66cccc\r\n#66ccff\r\n#66ff00\r\n#66ff33\r\n#66ff66\r\n#66ff99\r\n#66ffcc\r\n#66ffff\r\n"
      "#990000\r\n#990033\r\n#990066\r\n#990099\r\n#9900cc\r\n#9900ff\r\n#993300\r\n#993333\r\n"
      "#993366\r\n#993399\r\n#9933cc\r\n#9933ff\r\n#996600\r\n#996633\r\n#996666\r\n#996699\r\n"
      "#9966cc\r\n#9966ff\r\n#999900\r\n#999933\r\n#999966\r\n#999999\r\n#9999cc\r\n#9999ff\r\n"
      "#99cc00\r\n#99cc33\r\n#99cc66\r\n#99cc99\r\n#99cccc\r\n#99ccff\r\n#99ff00\r\n#99ff33\r\n"
      "#99ff66\r\n#99ff99\r\n#99ffcc\r\n#99ffff\r\n#cc0000\r\n#cc0033\r\n#cc0066\r\n#cc0099\r\n"
      "#cc00cc\r\n#cc00ff\r\n#cc3300\r\n#cc3333\r\n#cc3366\r\n#cc3399\r\n#cc33cc\r\n#cc33ff\r\n"
      "#cc6600\r\n#cc6633\r\n#cc6666\r\n#cc6699\r\n#cc66cc\r\n#cc66ff\r\n#cc9900\r\n#cc9933\r\n"
      "#cc9966\r\n#cc9999\r\n#cc99cc\r\n#cc99ff\r\n#cccc00\r\n#cccc33\r\n#cccc66\r\n#cccc99\r\n"
      "#cccccc\r\n#ccccff\r\n#ccff00\r\n#ccff33\r\n#ccff66\r\n#ccff99\r\n#ccffcc\r\n#ff0000\r\n"
      "#ff0033\r\n#ff0066\r\n#ff0099\r\n#ff00cc\r\n#ff00ff\r\n#ff3300\r\n#ff3333\r\n#ff3366\r\n"
      "#ff3399\r\n#ff33cc\r\n#ff6600\r\n#ff6633\r\n#ff6666\r\n#ff6699\r\n#ff66cc\r\n#ff9900\r\n"
      "#ff9933\r\n#ff9966\r\n#ff9999\r\n#ff99cc\r\n#ffcc00\r\n#ffcc33\r\n#ffcc66\r\n#ffcc99\r\n"
      "#ffcccc\r\n#ffff00\r\n#ffff33\r\n#ffff66\r\n#ffff99\r\n#ffffcc\r\n#ffffff\r\n#ccffff\r\n"
      "#ff33ff\r\n#ff66ff\r\n#ff99ff\r\n#ffccff";

bool is_space(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

void remove_all(std::string& s, const std::string& marker) {
  std::size_t at = 0;
  while ((at = text::find_at_boundary(s, marker, at, true)) != std::string::npos) s.erase(at, marker.size());
}

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

const std::string& palette_text() {
  static const std::string text(kPalette);
  return text;
}

const std::vector<std::string>& palette() {
  static const std::vector<std::string> entries = text::split_text(palette_text(), "\r\n");
  return entries;
}

std::string palette_entry(int index) {
  if (index < 1 || index > static_cast<int>(palette().size())) return {};
  return palette()[static_cast<std::size_t>(index - 1)];
}

std::string catalogue_listing(std::string_view table_text) {
  static const std::string number_label = text::utf8_to_gbk("   编号：");
  const std::vector<std::string> lines = text::split_text(table_text, "\r\n");
  const long k = static_cast<long>(lines.size());
  std::string out;
  for (long j = 3; j <= k - 15; ++j) {
    out += lines[static_cast<std::size_t>(j - 1)];
    out += number_label;
    out += std::to_string(j - 1);
    out += "\r\n";
  }
  return out;
}

std::optional<std::string> find_listing_line(std::string_view listing, std::string_view keyword) {
  for (const std::string& line : text::split_text(listing, "\r\n")) {
    if (text::find_at_boundary(line, keyword, 0, true) != std::string::npos) return line;
  }
  return std::nullopt;
}

std::string colour_code_from_html(std::string_view html) {
  static const std::vector<std::string> markers = {
      text::utf8_to_gbk("当前选中颜色代码值为："), "<HTML>", "<HEAD>", "</HEAD>", "<BODY>", "</BODY>",
      "</HTML>"};
  std::string s(html);
  for (const std::string& m : markers) remove_all(s, m);
  std::size_t b = 0, e = s.size();
  while (b < e && is_space(s[b])) ++b;
  while (e > b && is_space(s[e - 1])) --e;
  return s.substr(b, e - b);
}

std::optional<Rgb> parse_colour_code(std::string_view code) {
  if (code.size() != 4 && code.size() != 7) return std::nullopt;
  if (code[0] != '#') return std::nullopt;
  std::string hex;
  for (char c : code.substr(1)) {
    if (hex_digit(c) < 0) return std::nullopt;
    hex += c;
    if (code.size() == 4) hex += c;
  }
  auto component = [&](int i) { return hex_digit(hex[i * 2]) * 16 + hex_digit(hex[i * 2 + 1]); };
  return Rgb{component(0), component(1), component(2)};
}

std::string palette_page() {
  static const std::string head = text::utf8_to_gbk(
      "<!DOCTYPE html>\r\n"
      "<html><head><meta charset=\"gbk\"><title>选择商品颜色</title>\r\n"
      "<style>\r\n"
      "body{margin:6px;font:13px sans-serif;background:#fff}\r\n"
      "table{border-collapse:collapse}\r\n"
      "td.c{width:18px;height:18px;border:1px solid #fff;cursor:pointer;padding:0}\r\n"
      "td.c:hover{border-color:#000}\r\n"
      "#preview{width:60px;height:24px;border:1px solid #888;display:inline-block;vertical-align:middle}\r\n"
      "#code{display:inline-block;width:90px;margin-left:8px;font-family:monospace}\r\n"
      "</style>\r\n"
      "<script>\r\n"
      "function preview(cell){\r\n"
      "  document.getElementById('preview').style.background = cell.id;\r\n"
      "  document.getElementById('code').textContent = cell.id;\r\n"
      "}\r\n"
      "function choose(cell){\r\n"
      "  var picked = '当前选中颜色代码值为：' + cell.id;\r\n"
      "  document.open();\r\n"
      "  document.write(picked);\r\n"
      "  document.close();\r\n"
      "}\r\n"
      "</script></head>\r\n"
      "<body><div style=\"margin-bottom:6px\"><span id=\"preview\"></span>"
      "<span id=\"code\"></span></div>\r\n"
      "<table>\r\n");
  std::string page = head;
  constexpr int kPerRow = 23;
  const auto& entries = palette();
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (i % kPerRow == 0) page += "<tr>";
    const std::string& c = entries[i];
    page += "<td class=\"c\" id=\"" + c + "\" style=\"background:" + c +
            "\" onmouseover=\"preview(this)\" onclick=\"choose(this)\"></td>";
    if (i % kPerRow == kPerRow - 1 || i + 1 == entries.size()) page += "</tr>\r\n";
  }
  page += "</table></body></html>\r\n";
  return page;
}

std::string converter_page() {
  static const std::string page = text::utf8_to_gbk(std::string(
      "<!DOCTYPE html>\r\n"
      "<html><head><meta charset=\"gbk\"><title>颜色代码转换</title>\r\n"
      "<script>\r\n"
      "function convert(){\r\n"
      "  var code = document.getElementById('") + kConverterInput + "').value;\r\n"
      "  var m = /^#([0-9a-fA-F]{3}|[0-9a-fA-F]{6})$/.exec(code);\r\n"
      "  var r = '', g = '', b = '';\r\n"
      "  if (m) {\r\n"
      "    var h = m[1];\r\n"
      "    if (h.length == 3) h = h[0] + h[0] + h[1] + h[1] + h[2] + h[2];\r\n"
      "    r = parseInt(h.substr(0, 2), 16);\r\n"
      "    g = parseInt(h.substr(2, 2), 16);\r\n"
      "    b = parseInt(h.substr(4, 2), 16);\r\n"
      "  }\r\n"
      "  document.getElementById('r').value = r;\r\n"
      "  document.getElementById('g').value = g;\r\n"
      "  document.getElementById('b').value = b;\r\n"
      "}\r\n"
      "</script></head>\r\n"
      "<body>\r\n"
      "颜色代码：<input type=\"text\" id=\"" + kConverterInput + "\" name=\"" + kConverterInput + "\" value=\"\">\r\n"
      "<input type=\"button\" id=\"submit\" name=\"submit\" value=\"submit\" onclick=\"convert()\"><br>\r\n"
      "R：<input type=\"text\" id=\"r\" name=\"r\" value=\"\">\r\n"
      "G：<input type=\"text\" id=\"g\" name=\"g\" value=\"\">\r\n"
      "B：<input type=\"text\" id=\"b\" name=\"b\" value=\"\">\r\n"
      "</body></html>\r\n");
  return page;
}

}  // namespace tools::publishing
