// The Regex object on PCRE2 (8-bit code units, no UTF): the JavaScript dialect the
// old VBScript.RegExp component spoke, over GBK bytes.

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <chrono>
#include <cstdio>
#include <memory>

#include "text/gbk_internal.h"
#include "text/text.h"

namespace text {

namespace {

// Backtracking budget of one match attempt. A pattern that exceeds it (catastrophic
// backtracking) ends the whole execute with no matches: the caller gets false, the
// same as for a pattern that does not compile.
constexpr uint32_t kMatchLimit = 5'000'000;
constexpr uint32_t kDepthLimit = 250'000;
constexpr uint32_t kHeapLimitKiB = 256 * 1024;
constexpr std::size_t kJitStackMax = 8 * 1024 * 1024;
// The match limit holds for each start position only, so a pattern that costs a
// little less at every position of a long subject (quadratic or worse) would still
// run for hours. A callout at the start of every attempt ends the whole execute once
// it has run this long: the result is then the same as for a catastrophic pattern.
constexpr std::chrono::milliseconds kExecuteBudget{4000};

using Clock = std::chrono::steady_clock;

struct CalloutState {
  Clock::time_point deadline;
  unsigned calls = 0;
};

int deadline_callout(pcre2_callout_block*, void* data) {
  auto* st = static_cast<CalloutState*>(data);
  if ((++st->calls & 7) == 0 && Clock::now() > st->deadline) return PCRE2_ERROR_CALLOUT;
  return 0;
}

pcre2_code* compile(const std::string& pat, uint32_t options) {
  int err = 0;
  PCRE2_SIZE err_off = 0;
  return pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pat.data()), pat.size(), options, &err,
                       &err_off, nullptr);
}

void append_hex(std::string& out, unsigned char b) {
  char buf[5];
  std::snprintf(buf, sizeof buf, "\\x%02X", b);
  out += buf;
}

// Rewrites a pattern of the old component's dialect into PCRE2 syntax:
// - Byte mode sees a GBK character as separate bytes, and a trail byte may be a
//   pattern character ("[", "\\", "|", "{", ...) or an ASCII letter that ignore-case
//   would fold. Every multi-byte character is therefore written as literal hex bytes,
//   as one unit (a group outside classes, case kept exactly).
// - An escaped letter the old dialect does not know is that letter ("\\Q" is "Q",
//   where PCRE2 would start a quotation); "\\v" is the vertical tab only.
// - With multi-line, "^" and "$" also match next to a CR, as the old component's did,
//   so that they work on CR LF text; "." still matches CR (only LF is excluded).
std::string translate(std::string_view p, bool multi_line) {
  static constexpr std::string_view kKnownEscapes = "dDwWsSbBnrtfcxu";
  std::string out;
  out.reserve(p.size() + 16);
  bool in_class = false;
  std::size_t i = 0;
  auto emit_char = [&](std::size_t at, std::size_t len) {
    if (!in_class) out += "(?-i:";
    for (std::size_t k = 0; k < len; ++k) append_hex(out, detail::byte_at(p, at + k));
    if (!in_class) out += ")";
  };
  while (i < p.size()) {
    const unsigned char b = detail::byte_at(p, i);
    const std::size_t len = char_length_at(p, i);
    if (len > 1) {
      emit_char(i, len);
      i += len;
      continue;
    }
    if (b == '\\') {
      if (i + 1 >= p.size()) {
        out.push_back('\\');
        ++i;
        continue;
      }
      const unsigned char n = detail::byte_at(p, i + 1);
      const std::size_t nlen = char_length_at(p, i + 1);
      if (nlen > 1) {  // an escaped multi-byte character is that character
        emit_char(i + 1, nlen);
        i += 1 + nlen;
        continue;
      }
      if (n == 'v') {
        out += "\\x0B";
      } else if (detail::is_ascii_letter(n) && kKnownEscapes.find(static_cast<char>(n)) ==
                                                   std::string_view::npos) {
        out.push_back(static_cast<char>(n));
      } else {
        out.append(p.substr(i, 2));
      }
      i += 2;
      continue;
    }
    if (!in_class && b == '[') {
      in_class = true;
      out.push_back('[');
      ++i;
      if (i < p.size() && p[i] == '^') {
        out.push_back('^');
        ++i;
      }
      continue;
    }
    if (in_class && b == ']') in_class = false;
    if (!in_class && multi_line && b == '^') {
      out += "(?<![^\\r\\n])";
    } else if (!in_class && multi_line && b == '$') {
      out += "(?![^\\r\\n])";
    } else {
      out.push_back(static_cast<char>(b));
    }
    ++i;
  }
  return out;
}

}  // namespace

struct Regex::Engine {
  pcre2_code* code = nullptr;
  pcre2_match_data* md = nullptr;
  pcre2_match_context* mctx = nullptr;
  pcre2_jit_stack* jit_stack = nullptr;
  bool jit = false;
  uint32_t capture_count = 0;

  ~Engine() {
    if (md) pcre2_match_data_free(md);
    if (mctx) pcre2_match_context_free(mctx);
    if (jit_stack) pcre2_jit_stack_free(jit_stack);
    if (code) pcre2_code_free(code);
  }
};

Regex::Regex() = default;
Regex::~Regex() { delete engine_; }

bool regex_execute(Regex& re, std::string_view pattern, std::string_view subject,
                   bool case_sensitive, bool multi_line, bool global, bool quote_placeholder) {
  re.matches_.clear();
  re.subject_.assign(subject.data(), subject.size());
  delete re.engine_;
  re.engine_ = nullptr;

  const std::string pat = translate(
      quote_placeholder ? detail::replace_placeholder(pattern) : std::string(pattern), multi_line);
  uint32_t options = PCRE2_ALT_BSUX | PCRE2_ALLOW_EMPTY_CLASS | PCRE2_MATCH_UNSET_BACKREF |
                     PCRE2_DOLLAR_ENDONLY;
  if (!case_sensitive) options |= PCRE2_CASELESS;

  auto engine = std::make_unique<Regex::Engine>();
  engine->code = compile(pat, options);
  if (!engine->code) return false;
  pcre2_pattern_info(engine->code, PCRE2_INFO_CAPTURECOUNT, &engine->capture_count);
  // The same pattern with the budget callout in front of it (only when wrapping
  // cannot change what it means: it compiled alone and has the same groups).
  bool timed = false;
  if (pcre2_code* wrapped = compile("(?C)(?:" + pat + ")", options)) {
    uint32_t count = 0;
    pcre2_pattern_info(wrapped, PCRE2_INFO_CAPTURECOUNT, &count);
    if (count == engine->capture_count) {
      pcre2_code_free(engine->code);
      engine->code = wrapped;
      timed = true;
    } else {
      pcre2_code_free(wrapped);
    }
  }
  engine->md = pcre2_match_data_create_from_pattern(engine->code, nullptr);
  engine->mctx = pcre2_match_context_create(nullptr);
  if (!engine->md || !engine->mctx) return false;
  pcre2_set_match_limit(engine->mctx, kMatchLimit);
  pcre2_set_depth_limit(engine->mctx, kDepthLimit);
  pcre2_set_heap_limit(engine->mctx, kHeapLimitKiB);
  CalloutState budget{Clock::now() + kExecuteBudget};
  if (timed) pcre2_set_callout(engine->mctx, deadline_callout, &budget);
  if (pcre2_jit_compile(engine->code, PCRE2_JIT_COMPLETE) == 0) {
    engine->jit_stack = pcre2_jit_stack_create(32 * 1024, kJitStackMax, nullptr);
    if (engine->jit_stack) {
      pcre2_jit_stack_assign(engine->mctx, nullptr, engine->jit_stack);
      engine->jit = true;
    }
  }

  const auto* subj = reinterpret_cast<PCRE2_SPTR>(re.subject_.data());
  const std::size_t n = re.subject_.size();
  std::size_t start = 0;
  while (start <= n) {
    int rc = pcre2_match(engine->code, subj, n, start, engine->jit ? 0 : PCRE2_NO_JIT,
                         engine->md, engine->mctx);
    if (rc == PCRE2_ERROR_JIT_STACKLIMIT)
      rc = pcre2_match(engine->code, subj, n, start, PCRE2_NO_JIT, engine->md, engine->mctx);
    if (rc == PCRE2_ERROR_NOMATCH) break;
    if (rc < 0) {  // a limit was hit (or another run-time error): no collection
      re.matches_.clear();
      re.matches_.shrink_to_fit();
      return false;
    }
    const PCRE2_SIZE* ov = pcre2_get_ovector_pointer(engine->md);
    Regex::Match m;
    m.offset = ov[0];
    const std::size_t mend = ov[1] > ov[0] ? ov[1] : ov[0];
    m.value.assign(re.subject_, ov[0], mend - ov[0]);
    m.groups.resize(engine->capture_count);
    m.group_offsets.assign(engine->capture_count, std::string::npos);
    const uint32_t pairs = pcre2_get_ovector_count(engine->md);
    for (uint32_t g = 1; g <= engine->capture_count && g < pairs; ++g) {
      if (ov[2 * g] == PCRE2_UNSET || g >= static_cast<uint32_t>(rc)) continue;
      m.groups[g - 1] = re.subject_.substr(ov[2 * g], ov[2 * g + 1] - ov[2 * g]);
      m.group_offsets[g - 1] = ov[2 * g];
    }
    re.matches_.push_back(std::move(m));
    if (!global) break;
    // As in JavaScript, an empty match moves the next search on by one position.
    std::size_t next = ov[1] > ov[0] ? ov[1] : ov[0] + 1;
    if (next <= start) next = start + 1;
    start = next;
  }
  pcre2_set_callout(engine->mctx, nullptr, nullptr);
  re.engine_ = engine.release();
  return true;
}

std::string regex_replace(Regex& re, std::string_view replacement) {
  const std::string& s = re.subject_;
  const std::size_t ngroups = re.engine_ ? re.engine_->capture_count : 0;
  std::string out;
  out.reserve(s.size());
  std::size_t last = 0;
  for (const Regex::Match& m : re.matches_) {
    out.append(s, last, m.offset - last);
    const std::size_t mend = m.offset + m.value.size();
    for (std::size_t i = 0; i < replacement.size(); ++i) {
      const char c = replacement[i];
      if (c != '$' || i + 1 >= replacement.size()) {
        out.push_back(c);
        continue;
      }
      const char d = replacement[i + 1];
      if (d == '$') {
        out.push_back('$');
        ++i;
      } else if (d == '&') {
        out += m.value;
        ++i;
      } else if (d == '`') {
        out.append(s, 0, m.offset);
        ++i;
      } else if (d == '\'') {
        out.append(s, mend, std::string::npos);
        ++i;
      } else if (d >= '0' && d <= '9') {
        // $nn when that group exists, else $n when that one does, else literal.
        std::size_t g = 0, used = 0;
        if (i + 2 < replacement.size() && replacement[i + 2] >= '0' && replacement[i + 2] <= '9') {
          const std::size_t two = static_cast<std::size_t>(d - '0') * 10 +
                                  static_cast<std::size_t>(replacement[i + 2] - '0');
          if (two >= 1 && two <= ngroups) g = two, used = 2;
        }
        if (used == 0) {
          const std::size_t one = static_cast<std::size_t>(d - '0');
          if (one >= 1 && one <= ngroups) g = one, used = 1;
        }
        if (used == 0) {
          out.push_back('$');
          continue;
        }
        if (g - 1 < m.groups.size() && m.groups[g - 1]) out += *m.groups[g - 1];
        i += used;
      } else {
        out.push_back('$');
      }
    }
    last = mend;
  }
  out.append(s, last, std::string::npos);
  return out;
}

std::size_t regex_match_count(const Regex& re) { return re.matches().size(); }

std::string regex_submatch_text(const Regex& re, std::size_t match_no, std::size_t group_no) {
  if (match_no == 0 || match_no > re.matches().size()) return {};
  const Regex::Match& m = re.matches()[match_no - 1];
  if (group_no == 0) return m.value;
  if (group_no > m.groups.size() || !m.groups[group_no - 1]) return {};
  return *m.groups[group_no - 1];
}

}  // namespace text
