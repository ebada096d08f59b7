#pragma once
// A product-name list like the ones suppliers paste: 100,000 lines, about 3 MB of GBK,
// with exact duplicates, names that are pieces of earlier names, empty lines and spaces.

#include <random>
#include <string>

#include "text/text.h"

namespace benchdata {

inline std::string name_list(int lines = 100000, unsigned seed = 2024) {
  std::mt19937 rng(seed);
  const char* games[] = {"腾讯QQ币", "网易一卡通", "盛大点卡", "完美世界", "骏网一卡通", "征途点卡",
                         "魔兽世界", "久游一卡通", "搜狐畅游", "金山一卡通", "天下贰", "梦幻西游"};
  const char* kinds[] = {"直充", "卡密", "自动发货", "官方正品", "秒到账", "特惠"};
  std::vector<std::string> g, k;
  for (const char* s : games) g.push_back(text::utf8_to_gbk(s));
  for (const char* s : kinds) k.push_back(text::utf8_to_gbk(s));
  const std::string yuan = text::utf8_to_gbk("元");
  const std::string space = text::utf8_to_gbk("　");
  std::vector<std::string> made;
  std::string out;
  out.reserve(static_cast<std::size_t>(lines) * 32);
  for (int i = 0; i < lines; ++i) {
    std::string line;
    const unsigned r = rng() % 100;
    if (r < 10 && !made.empty()) {
      line = made[rng() % made.size()];  // exact duplicate
    } else if (r < 13 && !made.empty()) {
      const std::string& m = made[rng() % made.size()];
      std::size_t cut = 0;  // an earlier name's first half, cut between characters
      while (cut < m.size() / 2) cut += text::char_length_at(m, cut);
      line = m.substr(0, cut);
    } else if (r < 14) {
      line.clear();  // empty line
    } else {
      line = g[rng() % g.size()] + std::to_string(rng() % 1000) + yuan + k[rng() % k.size()] +
             k[rng() % k.size()];
      if (rng() % 2 == 0) line += " " + std::to_string(rng() % 100000);
      if (rng() % 8 == 0) line += space + "SKU" + std::to_string(i);
      made.push_back(line);
    }
    out += line;
    out += "\r\n";
  }
  return out;
}

}  // namespace benchdata
