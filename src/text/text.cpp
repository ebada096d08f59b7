// Narrow-text helpers over GBK bytes.

#include "text/text.h"

#include <array>
#include <climits>
#include <cstring>

#include "text/gbk_internal.h"

namespace text {

using detail::byte_at;
using detail::fold;

// Constructed before the ordinary static initialisers of other files, which may use it.
const std::string kQuotePlaceholder __attribute__((init_priority(101))) =
    std::string(detail::kPlaceholderBytes);

std::size_t char_length_at(std::string_view t, std::size_t pos) {
  if (pos >= t.size()) return 0;
  const unsigned char b = byte_at(t, pos);
  if (!detail::is_lead(b) || pos + 1 >= t.size()) return 1;
  const unsigned char b2 = byte_at(t, pos + 1);
  if (detail::is_trail2(b2)) return 2;
  if (detail::is_digit(b2) && pos + 3 < t.size() && detail::is_lead(byte_at(t, pos + 2)) &&
      detail::is_digit(byte_at(t, pos + 3)))
    return 4;
  return 1;  // an invalid lead byte stands alone and never swallows what follows
}

namespace detail {

std::size_t BoundaryCursor::at_or_after(std::size_t p) {
  if (p >= t_.size()) return t_.size();
  if (p < known_) known_ = 0;
  std::size_t q = p;
  while (q > known_ && !is_anchor(byte_at(t_, q - 1))) --q;
  std::size_t pos = q;
  std::size_t prev = q;
  while (pos < p) {
    prev = pos;
    pos += char_length_at(t_, pos);
  }
  known_ = (pos == p) ? p : prev;
  return pos;
}

}  // namespace detail

namespace {

// Candidate positions of needle, ASCII letters folded everywhere (a superset of the
// real matches; the caller checks character structure). Horspool over folded bytes.
std::size_t folded_find(std::string_view hay, std::string_view nd, std::size_t from) {
  const std::size_t n = hay.size(), m = nd.size();
  if (m == 0 || from > n || n - from < m) return std::string_view::npos;
  const unsigned char last = fold(byte_at(nd, m - 1));
  if (m == 1) {
    for (std::size_t i = from; i < n; ++i)
      if (fold(byte_at(hay, i)) == last) return i;
    return std::string_view::npos;
  }
  std::array<std::size_t, 256> skip;
  skip.fill(m);
  for (std::size_t i = 0; i + 1 < m; ++i) skip[fold(byte_at(nd, i))] = m - 1 - i;
  std::size_t pos = from;
  while (pos + m <= n) {
    const unsigned char c = fold(byte_at(hay, pos + m - 1));
    if (c == last) {
      std::size_t i = 0;
      while (i + 1 < m && fold(byte_at(hay, pos + i)) == fold(byte_at(nd, i))) ++i;
      if (i + 1 == m) return pos;
    }
    pos += skip[c];
  }
  return std::string_view::npos;
}

// Candidate positions as folded_find gives them, found through one byte of the needle
// that is no letter (index a), with memchr.
std::size_t find_by_byte(std::string_view hay, std::string_view nd, std::size_t from,
                         std::size_t a) {
  const std::size_t n = hay.size(), m = nd.size();
  std::size_t pos = from;
  while (pos <= n && n - pos >= m) {
    const void* hit = std::memchr(hay.data() + pos + a, nd[a], n - pos - m + 1);
    if (!hit) return std::string_view::npos;
    const std::size_t c = static_cast<std::size_t>(static_cast<const char*>(hit) - hay.data()) - a;
    std::size_t i = 0;
    while (i < m && fold(byte_at(hay, c + i)) == fold(byte_at(nd, i))) ++i;
    if (i == m) return c;
    pos = c + 1;
  }
  return std::string_view::npos;
}

// True when needle matches hay at the boundary p character by character: single-byte
// characters compare with ASCII case folded (when asked), multi-byte ones exactly, and
// the match ends at a boundary.
bool matches_at(std::string_view hay, std::string_view nd, std::size_t p, bool case_sensitive) {
  const std::size_t end = p + nd.size();
  if (end > hay.size()) return false;
  std::size_t q = p;
  while (q < end) {
    const std::size_t len = char_length_at(hay, q);
    if (q + len > end) return false;
    if (len == 1 && !case_sensitive) {
      if (fold(byte_at(hay, q)) != fold(byte_at(nd, q - p))) return false;
    } else if (std::memcmp(hay.data() + q, nd.data() + (q - p), len) != 0) {
      return false;
    }
    q += len;
  }
  return true;
}

bool has_ascii_letter(std::string_view s) {
  for (unsigned char c : s)
    if (detail::is_ascii_letter(c)) return true;
  return false;
}

}  // namespace

std::string detail::replace_placeholder(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  std::size_t i = 0;
  while (i < s.size()) {
    std::size_t f = s.find(kPlaceholderBytes, i);
    if (f == std::string_view::npos) break;
    out.append(s.substr(i, f - i));
    out.push_back('"');
    i = f + kPlaceholderBytes.size();
  }
  out.append(s.substr(i));
  return out;
}

namespace {

// Full-width space A1 A1 or 0x20 at the boundary pos: its length, else 0.
std::size_t space_length(std::string_view t, std::size_t pos, std::size_t len) {
  if (len == 1 && t[pos] == ' ') return 1;
  if (len == 2 && byte_at(t, pos) == 0xA1 && byte_at(t, pos + 1) == 0xA1) return 2;
  return 0;
}

}  // namespace

std::size_t find_at_boundary(std::string_view hay, std::string_view needle, std::size_t from,
                             bool case_sensitive) {
  if (needle.empty() || from > hay.size()) return std::string_view::npos;
  const bool fold_case = !case_sensitive && has_ascii_letter(needle);
  // A byte that needs no folding to search for; bytes that are everywhere in HTML
  // only when there is nothing better.
  std::size_t plain = std::string_view::npos;
  if (fold_case) {
    int best = 0;
    for (std::size_t i = 0; i < needle.size(); ++i) {
      const unsigned char c = byte_at(needle, i);
      if (detail::is_ascii_letter(c)) continue;
      const int score = (c == '<' || c == '>' || c == ' ' || c == '=' || c == '"') ? 1 : 2;
      if (score > best) best = score, plain = i;
    }
  }
  detail::BoundaryCursor cursor(hay);
  std::size_t pos = from;
  while (true) {
    const std::size_t c = !fold_case ? hay.find(needle, pos)
                          : plain != std::string_view::npos
                              ? find_by_byte(hay, needle, pos, plain)
                              : folded_find(hay, needle, pos);
    if (c == std::string_view::npos) return c;
    if (cursor.is_boundary(c) && matches_at(hay, needle, c, case_sensitive)) return c;
    pos = c + 1;
  }
}

std::string text_between(std::string_view t, std::string_view start_marker,
                         std::string_view end_marker, std::size_t start_pos,
                         bool case_sensitive) {
  std::string s_buf, e_buf;
  std::string_view s = start_marker, e = end_marker;
  if (s.find(detail::kPlaceholderBytes) != std::string_view::npos)
    s = s_buf = detail::replace_placeholder(s);
  if (e.find(detail::kPlaceholderBytes) != std::string_view::npos)
    e = e_buf = detail::replace_placeholder(e);
  // An empty marker finds nothing, so the result is empty.
  if (s.empty() || e.empty()) return {};
  const std::size_t from = start_pos > 0 ? start_pos - 1 : 0;
  if (from >= t.size()) return {};
  const std::size_t p = find_at_boundary(t, s, from, case_sensitive);
  if (p == std::string_view::npos) return {};
  const std::size_t content = p + s.size();
  const std::size_t q = find_at_boundary(t, e, content, case_sensitive);
  if (q == std::string_view::npos) return {};
  return std::string(t.substr(content, q - content));
}

namespace {

std::string replace_one(std::string_view t, std::string_view find, std::string_view repl,
                        std::size_t from, long count, bool case_sensitive) {
  if (find.empty() || count == 0 || from >= t.size()) return std::string(t);
  std::string out;
  out.reserve(t.size());
  out.append(t.substr(0, from));
  std::size_t pos = from;
  long done = 0;
  while (count < 0 || done < count) {
    const std::size_t f = find_at_boundary(t, find, pos, case_sensitive);
    if (f == std::string_view::npos) break;
    out.append(t.substr(pos, f - pos));
    out.append(repl);
    pos = f + find.size();
    ++done;
  }
  out.append(t.substr(pos));
  return out;
}

}  // namespace

std::string multi_replace(std::string_view t, const std::vector<ReplacePair>& pairs,
                          std::size_t start_pos, long count, bool case_sensitive) {
  std::string cur(t);
  const std::size_t from = start_pos > 0 ? start_pos - 1 : 0;
  std::size_t used = 0;
  for (const ReplacePair& p : pairs) {
    if (used++ == 5) break;  // the old interface took five pairs
    cur = replace_one(cur, p.find, p.replacement, from, count, case_sensitive);
  }
  return cur;
}

std::vector<std::string> split_text(std::string_view t, std::string_view sep) {
  std::vector<std::string> out;
  if (t.empty()) return out;
  if (sep.empty()) {
    out.emplace_back(t);
    return out;
  }
  std::size_t pos = 0;
  while (true) {
    const std::size_t f = find_at_boundary(t, sep, pos, true);
    if (f == std::string_view::npos) {
      if (pos < t.size()) out.emplace_back(t.substr(pos));
      break;
    }
    out.emplace_back(t.substr(pos, f - pos));
    pos = f + sep.size();
  }
  return out;
}

std::string trim_spaces(std::string_view t) {
  std::size_t first = std::string::npos, end = 0;
  std::size_t pos = 0;
  while (pos < t.size()) {
    const std::size_t len = char_length_at(t, pos);
    if (space_length(t, pos, len) == 0) {
      if (first == std::string::npos) first = pos;
      end = pos + len;
    }
    pos += len;
  }
  if (first == std::string::npos) return {};
  return std::string(t.substr(first, end - first));
}

std::string remove_spaces(std::string_view t) {
  std::string out;
  out.reserve(t.size());
  std::size_t pos = 0;
  while (pos < t.size()) {
    const std::size_t len = char_length_at(t, pos);
    if (space_length(t, pos, len) == 0) out.append(t.substr(pos, len));
    pos += len;
  }
  return out;
}

std::string remove_blank_lines(std::string_view t, bool /*init_component: nothing to set up*/) {
  std::string_view s = t;
  if (s.size() >= 2 && s.substr(0, 2) == "\r\n") s.remove_prefix(2);
  if (s.size() >= 2 && s.substr(s.size() - 2) == "\r\n") s.remove_suffix(2);
  Regex re;
  if (!regex_execute(re, "\\n\\s*\\r", s)) return std::string(s);
  return regex_replace(re, "");
}

std::string escape_for_pattern(std::string_view t) {
  std::string s = multi_replace(
      t, {{"]", "\\]"}, {"[", "\\["}, {"+", "\\+"}, {"*", "\\*"}, {"?", "\\?"}});
  s = multi_replace(
      s, {{std::string(detail::kPlaceholderBytes), "\""}, {"}", "\\}"}, {"{", "\\{"}, {")", "\\)"}, {"(", "\\("}});
  return multi_replace(s, {{"\r\n", "\\n"}});
}

std::size_t collect_between_pattern(std::string_view t, std::string_view start_marker,
                                    std::string_view end_marker, std::vector<std::string>& out,
                                    const CollectOptions& options) {
  out.clear();
  const std::string pattern =
      escape_for_pattern(start_marker) + "([\\s\\S]*?)" + escape_for_pattern(end_marker);
  Regex re;
  if (!regex_execute(re, pattern, t)) return 0;
  for (const Regex::Match& m : re.matches()) {
    if (m.groups.empty() || !m.groups[0]) continue;
    const std::string& group = *m.groups[0];
    if (options.max_length && group.size() > *options.max_length) continue;
    const std::size_t g = m.group_offsets[0] - m.offset;  // start of the group in the match
    std::string item = options.prefix;
    if (options.keep_start) item.append(m.value, 0, g);
    item += group;
    if (options.keep_end) item.append(m.value, g + group.size());
    item += options.suffix;
    out.push_back(std::move(item));
  }
  return out.size();
}

long to_integer(std::string_view t) {
  std::size_t i = 0;
  while (i < t.size() && (t[i] == ' ' || t[i] == '\t' || t[i] == '\r' || t[i] == '\n')) ++i;
  bool neg = false;
  if (i < t.size() && (t[i] == '-' || t[i] == '+')) neg = t[i++] == '-';
  unsigned long long v = 0;
  const unsigned long long cap = neg ? static_cast<unsigned long long>(LONG_MAX) + 1ULL
                                     : static_cast<unsigned long long>(LONG_MAX);
  for (; i < t.size() && t[i] >= '0' && t[i] <= '9'; ++i) {
    const unsigned d = static_cast<unsigned>(t[i] - '0');
    if (v > (cap - d) / 10) {  // saturate instead of overflowing
      v = cap;
      break;
    }
    v = v * 10 + d;
  }
  if (neg) return v == cap ? LONG_MIN : -static_cast<long>(v);
  return static_cast<long>(v);
}

}  // namespace text
