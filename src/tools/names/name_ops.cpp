#include "tools/names/name_ops.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <unordered_map>
#include <unordered_set>

#include "text/text.h"
#include "tools/names/dedup_detail.h"

namespace tools::names {

namespace {

constexpr std::string_view kCrLf = "\r\n";

inline std::size_t clen(std::string_view t, std::size_t pos) {
  return text::char_length_at(t, pos);
}

// Every occurrence of a run of one-byte characters (CR, LF: never inside a
// double-byte character) removed, left to right.
std::string erase_all_bytes(std::string_view t, std::string_view what) {
  std::string out;
  out.reserve(t.size());
  std::size_t last = 0;
  for (std::size_t at = t.find(what); at != std::string_view::npos; at = t.find(what, last)) {
    out.append(t.substr(last, at - last));
    last = at + what.size();
  }
  out.append(t.substr(last));
  return out;
}

}  // namespace

std::vector<std::string_view> split_lines(std::string_view t) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  while (start < t.size()) {
    const std::size_t at = t.find(kCrLf, start);
    if (at == std::string_view::npos) {
      lines.push_back(t.substr(start));
      break;
    }
    lines.push_back(t.substr(start, at - start));
    start = at + kCrLf.size();
  }
  return lines;
}

namespace detail {

bool well_formed(std::string_view line) {
  for (std::size_t p = 0; p < line.size();) {
    const std::size_t c = clen(line, p);
    if (c == 1 && static_cast<unsigned char>(line[p]) >= 0x80) return false;
    p += c;
  }
  return true;
}

DedupResult remove_duplicates_direct(std::string_view t) {
  const auto lines = split_lines(t);
  DedupResult r;
  r.lines = lines.size();
  for (std::string_view line : lines) {
    const bool found =
        !r.text.empty() &&
        (line.empty() || text::find_at_boundary(r.text, line) != std::string_view::npos);
    if (!found) {
      r.text.append(line);
      r.text.append(kCrLf);
    }
  }
  r.kept = split_lines(r.text).size();
  return r;
}

}  // namespace detail

namespace {

// For each query (start and length, in characters, of a line in the character
// sequence of all distinct lines), whether the line occurs before its own start.
// Suffix array, LCP, then queries by decreasing length over a union-find of
// neighbouring suffixes whose common prefix is at least that long; every set knows its
// smallest offset. Working on characters rather than bytes makes every offset a
// character boundary.
struct Query {
  int start;
  int length;
};

std::vector<char> occurs_earlier(const std::vector<int>& chars, int upper,
                                 const std::vector<Query>& queries) {
  const int n = static_cast<int>(chars.size());
  std::vector<char> result(queries.size(), 0);
  if (queries.empty() || n == 0) return result;

  const std::vector<int> sa = detail::suffix_array(chars, upper);
  std::vector<int> rank(n);
  for (int k = 0; k < n; ++k) rank[sa[k]] = k;

  int max_len = 0;
  for (const Query& q : queries) max_len = std::max(max_len, q.length);

  // lcp[k]: common prefix of the suffixes sa[k] and sa[k + 1], capped at max_len.
  std::vector<int> lcp(n > 1 ? n - 1 : 0);
  {
    int h = 0;
    const int* c = chars.data();
    for (int i = 0; i < n; ++i) {
      if (h > 0) --h;
      if (rank[i] == 0) continue;
      const int j = sa[rank[i] - 1];
      while (i + h < n && j + h < n && c[i + h] == c[j + h]) ++h;
      lcp[rank[i] - 1] = std::min(h, max_len);
    }
  }

  // Edges and queries bucketed by length (counting sort).
  std::vector<int> edge_head(max_len + 2, 0), query_head(max_len + 2, 0);
  for (int v : lcp) edge_head[v]++;
  for (const Query& q : queries) query_head[q.length]++;
  for (int v = max_len; v >= 0; --v) {
    edge_head[v] += edge_head[v + 1];
    query_head[v] += query_head[v + 1];
  }
  // After the fill below, bucket v holds indices [head[v + 1], head[v]).
  std::vector<int> edges(lcp.size()), query_order(queries.size());
  {
    std::vector<int> fill(edge_head.begin(), edge_head.end());
    for (int k = 0; k < static_cast<int>(lcp.size()); ++k) edges[--fill[lcp[k]]] = k;
    std::vector<int> qfill(query_head.begin(), query_head.end());
    for (int k = 0; k < static_cast<int>(queries.size()); ++k) {
      query_order[--qfill[queries[k].length]] = k;
    }
  }

  std::vector<int> parent(n), least(n);
  for (int k = 0; k < n; ++k) {
    parent[k] = k;
    least[k] = sa[k];
  }
  auto find = [&](int x) {
    while (parent[x] != x) {
      parent[x] = parent[parent[x]];
      x = parent[x];
    }
    return x;
  };

  for (int len = max_len; len >= 1; --len) {
    for (int e = edge_head[len + 1]; e < edge_head[len]; ++e) {
      const int k = edges[e];
      int a = find(k), b = find(k + 1);
      if (a == b) continue;
      if (a > b) std::swap(a, b);
      parent[b] = a;
      least[a] = std::min(least[a], least[b]);
    }
    for (int qi = query_head[len + 1]; qi < query_head[len]; ++qi) {
      const Query& q = queries[query_order[qi]];
      result[query_order[qi]] = least[find(rank[q.start])] < q.start;
    }
  }
  return result;
}

}  // namespace

DedupResult remove_duplicates(std::string_view t) {
  const auto lines = split_lines(t);
  const std::size_t n = lines.size();
  DedupResult r;
  r.lines = n;
  if (n == 0) return r;

  // Which test decides each line. A line without CR or LF occurs in the kept text
  // exactly when it occurs in an earlier line, kept or not (an occurrence of a text
  // without line breaks lies inside one kept line, and a dropped line lies in the kept
  // text itself), so those lines are answered together from the text of all distinct
  // earlier lines. A line holding a lone CR or LF may match across the line end of
  // the kept text and is searched there directly, as is a line with a broken character.
  enum Kind : unsigned char { kKeep, kDrop, kIndexed, kDirect };
  std::vector<unsigned char> kind(n, kDrop);
  std::vector<int> query_of(n, -1);
  std::unordered_set<std::string_view> seen;
  seen.reserve(n * 2);
  // Every distinct line as characters: one-byte characters by their byte, double-byte
  // ones by their two bytes, four-byte ones numbered from 65536; CR LF after each line.
  std::vector<int> chars;
  chars.reserve(t.size());
  std::unordered_map<std::uint32_t, int> four_byte;
  std::vector<Query> queries;
  auto add_to_corpus = [&](std::string_view line) {
    const auto* b = reinterpret_cast<const unsigned char*>(line.data());
    for (std::size_t p = 0; p < line.size();) {
      const std::size_t c = clen(line, p);
      if (c == 1) {
        chars.push_back(b[p]);
      } else if (c == 2) {
        chars.push_back(b[p] << 8 | b[p + 1]);
      } else {
        const std::uint32_t key = static_cast<std::uint32_t>(b[p]) << 24 | b[p + 1] << 16 |
                                  b[p + 2] << 8 | b[p + 3];
        chars.push_back(four_byte.try_emplace(key, 65536 + static_cast<int>(four_byte.size()))
                            .first->second);
      }
      p += c;
    }
    chars.push_back('\r');
    chars.push_back('\n');
  };

  kind[0] = kKeep;
  seen.insert(lines[0]);
  add_to_corpus(lines[0]);
  for (std::size_t i = 1; i < n; ++i) {
    const std::string_view line = lines[i];
    if (line.empty() || !seen.insert(line).second) continue;  // kDrop
    const bool breaks = line.find_first_of("\r\n") != std::string_view::npos;
    if (breaks || !detail::well_formed(line)) {
      kind[i] = kDirect;
    } else {
      kind[i] = kIndexed;
      query_of[i] = static_cast<int>(queries.size());
      const int start = static_cast<int>(chars.size());
      add_to_corpus(line);
      queries.push_back({start, static_cast<int>(chars.size()) - 2 - start});
      continue;
    }
    add_to_corpus(line);
  }

  std::vector<char> earlier;
  if (!queries.empty()) {
    int upper = 65536 + static_cast<int>(four_byte.size());
    if (chars.size() < 4096) {
      // Short lists: renumber the characters densely so the sort's buckets stay small.
      std::vector<int> used(chars);
      std::sort(used.begin(), used.end());
      used.erase(std::unique(used.begin(), used.end()), used.end());
      for (int& c : chars) c = static_cast<int>(std::lower_bound(used.begin(), used.end(), c) - used.begin());
      upper = static_cast<int>(used.size());
    }
    earlier = occurs_earlier(chars, upper, queries);
  }

  r.text.reserve(t.size() + 2);
  for (std::size_t i = 0; i < n; ++i) {
    bool keep = false;
    switch (kind[i]) {
      case kKeep: keep = true; break;
      case kDrop: keep = false; break;
      case kIndexed: keep = !earlier[query_of[i]]; break;
      case kDirect:
        keep = text::find_at_boundary(r.text, lines[i]) == std::string_view::npos;
        break;
    }
    if (keep) {
      r.text.append(lines[i]);
      r.text.append(kCrLf);
      ++r.kept;
    }
  }
  return r;
}

std::string dedup_status(std::size_t lines, std::size_t kept) {
  static const std::string a = text::utf8_to_gbk("数据文本");
  static const std::string b = text::utf8_to_gbk("项/去除重复");
  static const std::string c = text::utf8_to_gbk("项    得到文本");
  static const std::string d = text::utf8_to_gbk("项");
  return a + std::to_string(lines) + b + std::to_string(lines - kept) + c +
         std::to_string(kept) + d;
}

std::string add_prefix(std::string_view t, std::string_view prefix) {
  const auto lines = split_lines(t);
  std::string out;
  out.reserve(t.size() + lines.size() * (prefix.size() + 2) + 2);
  for (std::string_view line : lines) {
    out.append(prefix);
    out.append(line);
    out.append(kCrLf);
  }
  return out;
}

std::string number_lines(std::string_view t, std::string_view start_text) {
  const auto lines = split_lines(t);
  const long long s = text::to_integer(start_text);
  std::string out;
  out.reserve(t.size() + lines.size() * 10 + 2);
  long long k = s;
  for (std::string_view line : lines) {
    out.append(std::to_string(k++));
    out.push_back('.');
    out.append(line);
    out.append(kCrLf);
  }
  return out;
}

std::string delete_empty_lines(std::string_view t) {
  std::string out;
  out.reserve(t.size());
  for (std::string_view line : split_lines(t)) {
    if (line.empty()) continue;
    if (!out.empty()) out.append(kCrLf);
    out.append(line);
  }
  return out;
}

std::string reverse_lines(std::string_view t) {
  const auto lines = split_lines(t);
  std::string out;
  out.reserve(t.size() + 2);
  for (auto it = lines.rbegin(); it != lines.rend(); ++it) {
    out.append(*it);
    out.append(kCrLf);
  }
  return out;
}

FirstCharState& first_char_state() {
  static FirstCharState state;
  return state;
}

std::string replace_first_chars(std::string_view t, std::string_view replacement,
                                FirstCharState& state) {
  const std::string r(replacement);
  const std::size_t cut = state.used ? state.last.size() : 2;
  const auto lines = split_lines(t);
  std::string out;
  out.reserve(t.size() + lines.size() * (r.size() + 2) + 2);
  for (std::string_view line : lines) {
    out.append(r);
    if (line.size() > cut) out.append(line.substr(cut));
    out.append(kCrLf);
  }
  state.last = r;
  state.used = true;
  return out;
}

std::string replace_text(std::string_view t, std::string_view find, std::string_view replacement,
                         std::string_view count_text, bool case_sensitive) {
  const long count = text::to_integer(count_text);
  if (count == 0 || find.empty()) return std::string(t);
  return text::multi_replace(t, {{std::string(find), std::string(replacement)}}, 1,
                            count < 0 ? -1 : count, case_sensitive);
}

std::string strip_keywords(std::string_view t, std::string_view keywords) {
  std::string out(t);
  for (const std::string& keyword : text::split_text(keywords, "|")) {
    out = text::multi_replace(out, {{keyword, std::string()}}, 1, -1, true);
    out = erase_all_bytes(out, "\r\n\r\n");
    out = text::remove_spaces(out);
  }
  return out;
}

}  // namespace tools::names
