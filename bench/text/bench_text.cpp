// Text helpers against naive baselines in the same run.
// Run: build/bench/text/bench_text

#include <iconv.h>

#include <algorithm>
#include <regex>
#include <string>
#include <vector>

#include "ratio_reporter.h"
#include "text/text.h"

namespace {

// A 2 MB back-office page: 10,000 product rows, each with one "<B>...</B>" item, the
// rest filler text with Chinese characters.
const std::string& page() {
  static const std::string p = [] {
    const std::string filler = text::utf8_to_gbk(
        "<TD class=info>商品说明：点卡 充值 自动发货 filler text 客服在线 24 小时</TD>");
    std::string s;
    s.reserve(2'100'000);
    for (int i = 0; i < 10000; ++i) {
      s += "<TR><TD class=name><B>";
      s += text::utf8_to_gbk("商品") + std::to_string(i);
      s += "</B></TD>";
      while (s.size() < static_cast<std::size_t>(i + 1) * 209) s += filler;
      s += "</TR>\r\n";
    }
    return s;
  }();
  return p;
}

// 1-based start positions, one in front of each item.
const std::vector<std::size_t>& item_starts() {
  static const std::vector<std::size_t> v = [] {
    std::vector<std::size_t> out;
    std::size_t pos = 0;
    while ((pos = page().find("<TR>", pos)) != std::string::npos) out.push_back(++pos);
    return out;
  }();
  return v;
}

bool ieq(char a, char b) {
  auto l = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
  return l(a) == l(b);
}

// What a straightforward implementation does: a case-insensitive std::search per marker.
std::string naive_between(const std::string& t, const std::string& s, const std::string& e,
                          std::size_t start) {
  auto b = std::search(t.begin() + static_cast<long>(start - 1), t.end(), s.begin(), s.end(), ieq);
  if (b == t.end()) return {};
  auto c = b + static_cast<long>(s.size());
  auto d = std::search(c, t.end(), e.begin(), e.end(), ieq);
  if (d == t.end()) return {};
  return std::string(c, d);
}

void TextBetween_tessaro(benchmark::State& st) {
  for (auto _ : st)
    for (std::size_t p : item_starts()) benchmark::DoNotOptimize(text::text_between(page(), "<b>", "</b>", p));
  st.SetItemsProcessed(st.iterations() * 10000);
}
void TextBetween_baseline(benchmark::State& st) {
  for (auto _ : st)
    for (std::size_t p : item_starts()) benchmark::DoNotOptimize(naive_between(page(), "<b>", "</b>", p));
  st.SetItemsProcessed(st.iterations() * 10000);
}
BENCHMARK(TextBetween_tessaro)->Name("text_between 10000 items/tessaro")->Unit(benchmark::kMillisecond);
BENCHMARK(TextBetween_baseline)->Name("text_between 10000 items/baseline")->Unit(benchmark::kMillisecond);

// One call that scans the whole page (the marker is near the end).
void TextBetweenScan_tessaro(benchmark::State& st) {
  for (auto _ : st) benchmark::DoNotOptimize(text::text_between(page(), "9999</b>", "</TR>"));
}
void TextBetweenScan_baseline(benchmark::State& st) {
  for (auto _ : st) benchmark::DoNotOptimize(naive_between(page(), "9999</b>", "</TR>", 1));
}
BENCHMARK(TextBetweenScan_tessaro)->Name("text_between 2 MB scan/tessaro")->Unit(benchmark::kMillisecond);
BENCHMARK(TextBetweenScan_baseline)->Name("text_between 2 MB scan/baseline")->Unit(benchmark::kMillisecond);

void Collect_tessaro(benchmark::State& st) {
  std::vector<std::string> out;
  for (auto _ : st) benchmark::DoNotOptimize(text::collect_between_pattern(page(), "<b>", "</b>", out));
  if (out.size() != 10000) st.SkipWithError("wrong item count");
}
void Collect_baseline(benchmark::State& st) {
  const std::regex re("<b>([\\s\\S]*?)</b>", std::regex::ECMAScript | std::regex::icase);
  std::vector<std::string> out;
  for (auto _ : st) {
    out.clear();
    for (auto it = std::sregex_iterator(page().begin(), page().end(), re); it != std::sregex_iterator(); ++it)
      out.push_back((*it)[1].str());
    benchmark::DoNotOptimize(out.data());
  }
  if (out.size() != 10000) st.SkipWithError("wrong item count");
}
BENCHMARK(Collect_tessaro)->Name("collect_between_pattern 2 MB/tessaro")->Unit(benchmark::kMillisecond);
BENCHMARK(Collect_baseline)->Name("collect_between_pattern 2 MB/baseline")->Unit(benchmark::kMillisecond)->Iterations(3);

const std::string& lines() {
  static const std::string s = [] {
    std::string t;
    for (int i = 0; i < 100000; ++i) {
      switch (i % 4) {
        case 0: t += "\r\n"; break;
        case 1: t += "   \t\r\n"; break;
        default: t += text::utf8_to_gbk("商品名称 ") + std::to_string(i) + "\r\n";
      }
    }
    return t;
  }();
  return s;
}

void RemoveBlank_tessaro(benchmark::State& st) {
  for (auto _ : st) benchmark::DoNotOptimize(text::remove_blank_lines(lines()));
}
void RemoveBlank_baseline(benchmark::State& st) {
  const std::regex re("\\n\\s*\\r", std::regex::ECMAScript | std::regex::icase);
  for (auto _ : st) {
    std::string s = lines();
    if (s.compare(0, 2, "\r\n") == 0) s.erase(0, 2);
    if (s.size() >= 2 && s.compare(s.size() - 2, 2, "\r\n") == 0) s.erase(s.size() - 2);
    benchmark::DoNotOptimize(std::regex_replace(s, re, ""));
  }
}
BENCHMARK(RemoveBlank_tessaro)->Name("remove_blank_lines 100000 lines/tessaro")->Unit(benchmark::kMillisecond);
BENCHMARK(RemoveBlank_baseline)->Name("remove_blank_lines 100000 lines/baseline")->Unit(benchmark::kMillisecond);

// GBK to UTF-8 of the 2 MB page against one plain iconv call (no stand-ins, no fallback).
void Convert_tessaro(benchmark::State& st) {
  for (auto _ : st) benchmark::DoNotOptimize(text::gbk_to_utf8(page()));
}
void Convert_baseline(benchmark::State& st) {
  for (auto _ : st) {
    iconv_t cd = iconv_open("UTF-8", "GB18030");
    std::string out(page().size() * 2, '\0');
    char* in = const_cast<char*>(page().data());
    std::size_t in_left = page().size(), out_left = out.size();
    char* op = out.data();
    iconv(cd, &in, &in_left, &op, &out_left);
    out.resize(out.size() - out_left);
    iconv_close(cd);
    benchmark::DoNotOptimize(out);
  }
}
BENCHMARK(Convert_tessaro)->Name("gbk_to_utf8 2 MB/tessaro")->Unit(benchmark::kMillisecond);
BENCHMARK(Convert_baseline)->Name("gbk_to_utf8 2 MB/baseline")->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return run_with_ratios(argc, argv, true); }
