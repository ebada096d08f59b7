// Each editor operation on 100,000 lines (about 3 MB), as a ratio to a baseline timed
// in the same run: awk '!seen[$0]++' for remove duplicates, a plain byte loop doing
// the same job for the others.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <unistd.h>
#include <vector>

#include "bench_data.h"
#include "tools/names/dedup_detail.h"
#include "tools/names/name_ops.h"

namespace {

using Clock = std::chrono::steady_clock;
std::size_t sink = 0;

// Best of runs, in milliseconds.
double time_ms(const std::function<std::size_t()>& f, int runs = 5) {
  double best = 1e300;
  for (int i = 0; i < runs; ++i) {
    const auto t0 = Clock::now();
    sink += f();
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
    best = std::min(best, ms);
  }
  return best;
}

template <typename F>
void for_lines(const std::string& t, F&& f) {
  std::size_t start = 0;
  while (start < t.size()) {
    std::size_t at = t.find("\r\n", start);
    if (at == std::string::npos) at = t.size();
    f(std::string_view(t).substr(start, at - start));
    start = at + 2;
  }
}

std::string erase_bytes(const std::string& t, const std::string& what) {
  std::string out;
  out.reserve(t.size());
  std::size_t last = 0;
  for (std::size_t at = t.find(what); at != std::string::npos; at = t.find(what, last)) {
    out.append(t, last, at - last);
    last = at + what.size();
  }
  out.append(t, last);
  return out;
}

std::string replace_bytes(const std::string& t, const std::string& find, const std::string& by) {
  std::string out;
  out.reserve(t.size());
  std::size_t last = 0;
  for (std::size_t at = t.find(find); at != std::string::npos; at = t.find(find, last)) {
    out.append(t, last, at - last);
    out.append(by);
    last = at + find.size();
  }
  out.append(t, last);
  return out;
}

void row(const char* name, double ours, double base, const char* base_name) {
  std::printf("%-28s %9.1f ms   %-26s %9.1f ms   ratio %6.2f\n", name, ours, base_name, base,
              ours / base);
}

}  // namespace

int main() {
  using namespace tools::names;
  const std::string data = benchdata::name_list();
  std::size_t line_count = 0;
  for_lines(data, [&](std::string_view) { ++line_count; });
  std::printf("data: %zu lines, %.2f MB\n", line_count, data.size() / 1048576.0);

  // Remove duplicates against awk on the same bytes.
  char path[] = "/tmp/bench_names_XXXXXX";
  const int fd = mkstemp(path);
  if (fd < 0 || write(fd, data.data(), data.size()) != static_cast<ssize_t>(data.size())) {
    std::perror("temporary file");
    return 1;
  }
  close(fd);
  const std::string awk = std::string("awk '!seen[$0]++' ") + path + " > /dev/null";
  const double awk_ms = time_ms([&] { return static_cast<std::size_t>(std::system(awk.c_str())); }, 3);
  unlink(path);
  DedupResult kept;
  const double dedup_ms = time_ms([&] {
    kept = remove_duplicates(data);
    return kept.text.size();
  }, 3);
  row("remove duplicates", dedup_ms, awk_ms, "awk '!seen[$0]++'");
  std::printf("  kept %zu of %zu lines (awk keeps exact duplicates only; the substring rule drops more)\n",
              kept.kept, kept.lines);

  // The direct search of the kept text for every line is quadratic: show it on a
  // smaller list next to the fast one.
  for (int n : {5000, 20000}) {
    const std::string small = benchdata::name_list(n);
    const double fast = time_ms([&] { return remove_duplicates(small).text.size(); }, 3);
    const double direct = time_ms([&] { return detail::remove_duplicates_direct(small).text.size(); }, 1);
    char label[64];
    std::snprintf(label, sizeof label, "  %d lines: fast", n);
    row(label, fast, direct, "direct search");
  }

  const std::string prefix = text::utf8_to_gbk("【热卖】");
  row("add prefix", time_ms([&] { return add_prefix(data, prefix).size(); }),
      time_ms([&] {
        std::string o;
        for_lines(data, [&](std::string_view l) { o.append(prefix).append(l).append("\r\n"); });
        return o.size();
      }),
      "plain loop");
  row("number lines", time_ms([&] { return number_lines(data, "1").size(); }),
      time_ms([&] {
        std::string o;
        long k = 1;
        for_lines(data, [&](std::string_view l) {
          o.append(std::to_string(k++)).append(".").append(l).append("\r\n");
        });
        return o.size();
      }),
      "plain loop");
  row("delete empty lines", time_ms([&] { return delete_empty_lines(data).size(); }),
      time_ms([&] {
        std::string o;
        for_lines(data, [&](std::string_view l) {
          if (l.empty()) return;
          if (!o.empty()) o.append("\r\n");
          o.append(l);
        });
        return o.size();
      }),
      "plain loop");
  row("reverse", time_ms([&] { return reverse_lines(data).size(); }),
      time_ms([&] {
        std::vector<std::string_view> v;
        for_lines(data, [&](std::string_view l) { v.push_back(l); });
        std::string o;
        for (auto it = v.rbegin(); it != v.rend(); ++it) o.append(*it).append("\r\n");
        return o.size();
      }),
      "plain loop");
  const std::string fresh = text::utf8_to_gbk("新");
  row("replace first character", time_ms([&] {
        FirstCharState st;
        return replace_first_chars(data, fresh, st).size();
      }),
      time_ms([&] {
        std::string o;
        for_lines(data, [&](std::string_view l) {
          o.append(fresh);
          if (l.size() > 2) o.append(l.substr(2));
          o.append("\r\n");
        });
        return o.size();
      }),
      "plain loop");
  const std::string find = text::utf8_to_gbk("点卡"), by = text::utf8_to_gbk("点券");
  const double replace_base = time_ms([&] { return replace_bytes(data, find, by).size(); });
  row("replace text (case)", time_ms([&] { return replace_text(data, find, by, "-1", true).size(); }),
      replace_base, "byte find loop");
  row("replace text (any case)", time_ms([&] { return replace_text(data, "sku", "Item", "-1", false).size(); }),
      time_ms([&] { return replace_bytes(data, "SKU", "Item").size(); }), "byte find loop");
  const std::string keywords = text::utf8_to_gbk("特惠|秒到账|SKU");
  row("strip keywords (3)", time_ms([&] { return strip_keywords(data, keywords).size(); }),
      time_ms([&] {
        std::string o = data;
        for (const char* kw : {"特惠", "秒到账", "SKU"}) {
          o = erase_bytes(o, text::utf8_to_gbk(kw));
          o = erase_bytes(o, "\r\n\r\n");
          o = erase_bytes(o, " ");
          o = erase_bytes(o, "\xA1\xA1");
        }
        return o.size();
      }),
      "byte erase loops");
  return sink == 0 ? 1 : 0;
}
