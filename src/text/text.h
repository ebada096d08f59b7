#pragma once
// Narrow-text helpers. All text is GBK bytes in std::string; positions are 1-based
// byte positions; lines end with CR LF.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace text {

// "#引号" in GBK: stands for one double quote in markers and patterns. Constructed
// before the ordinary static initialisers of other files.
extern const std::string kQuotePlaceholder;

// The text between the first start marker found (from start_pos, 1-based; 0 counts
// as 1) and the next end marker after it; empty when either is missing. Markers match
// only at character boundaries. Case-insensitive for ASCII letters unless
// case_sensitive. "#引号" in both markers means '"'. An empty marker finds nothing,
// so the result is empty.
std::string text_between(std::string_view text, std::string_view start_marker,
                         std::string_view end_marker, std::size_t start_pos = 1,
                         bool case_sensitive = false);

struct ReplacePair {
  std::string find;
  std::string replacement;
};

// Applies up to five pairs one after another, first pair first (more are ignored).
// Each pair replaces occurrences from start_pos (1-based), at most count times
// (count < 0: all; 0: none); replacements are not searched again. An empty find
// changes nothing. Matching happens only at character boundaries.
std::string multi_replace(std::string_view text, const std::vector<ReplacePair>& pairs,
                          std::size_t start_pos = 1, long count = -1,
                          bool case_sensitive = false);

// Pieces between separators; middle empty pieces kept, an empty piece after a final
// separator dropped, an empty text gives no pieces. The separator matches only at
// character boundaries. An empty separator gives the whole text as one piece.
std::vector<std::string> split_text(std::string_view text, std::string_view separator);

// A space is the byte 0x20 or the full-width GBK space A1 A1 (at a character boundary).
std::string trim_spaces(std::string_view text);
std::string remove_spaces(std::string_view text);

// Removes one leading CR LF, then one trailing CR LF, then every match of "\n\s*\r".
std::string remove_blank_lines(std::string_view text, bool init_component = false);

// Regular expression in the old component's dialect (PCRE2, byte mode): "." does not
// match line feed (it matches CR); with multi-line, "^" and "$" also match next to CR
// and LF; multi-byte GBK characters in a pattern are whole literals; escaped letters
// the dialect lacks are the letters themselves. A match limit per start position and
// a 4-second budget for the whole execute keep catastrophic patterns from hanging.
class Regex {
 public:
  Regex();
  ~Regex();
  Regex(const Regex&) = delete;
  Regex& operator=(const Regex&) = delete;

  struct Match {
    std::size_t offset = 0;  // 0-based byte offset in the subject
    std::string value;
    std::vector<std::optional<std::string>> groups;  // group 1 at index 0
    std::vector<std::size_t> group_offsets;  // 0-based offsets of the groups; npos when unset
  };

  const std::vector<Match>& matches() const { return matches_; }
  const std::string& subject() const { return subject_; }

 private:
  friend bool regex_execute(Regex&, std::string_view, std::string_view, bool, bool, bool, bool);
  friend std::string regex_replace(Regex&, std::string_view);
  struct Engine;
  Engine* engine_ = nullptr;
  std::vector<Match> matches_;
  std::string subject_;
};

// True when the pattern compiled and ran (a collection was obtained, possibly empty).
// False, with no matches, when the pattern does not compile or a limit ended the run
// (catastrophic backtracking); subject() is then still the subject, so regex_replace
// gives it back unchanged.
bool regex_execute(Regex& re, std::string_view pattern, std::string_view subject,
                   bool case_sensitive = false, bool multi_line = true, bool global = true,
                   bool quote_placeholder = false);
// The last subject with every match replaced ($1..$99, $&, $$, $`, $').
std::string regex_replace(Regex& re, std::string_view replacement);
std::size_t regex_match_count(const Regex& re);
// match_no and group_no are 1-based (group 0: the whole match); empty text when absent.
std::string regex_submatch_text(const Regex& re, std::size_t match_no, std::size_t group_no);

std::string escape_for_pattern(std::string_view text);

struct CollectOptions {
  std::optional<std::size_t> max_length;  // skip groups longer than this (bytes)
  std::string prefix;
  std::string suffix;
  bool keep_start = false;
  bool keep_end = false;
};
// Empties out, appends prefix + [start] + group + [end] + suffix per match; returns out.size().
std::size_t collect_between_pattern(std::string_view text, std::string_view start_marker,
                                    std::string_view end_marker, std::vector<std::string>& out,
                                    const CollectOptions& options = {});

// Re-encodes bytes (iconv); "GBK" is read and written as GB18030 so nothing is lost.
// Skips skip leading bytes of the result (no byte-order mark is ever written). A byte
// the source cannot decode and a character the target cannot encode each become "?";
// an unknown charset gives an empty result.
std::string convert_charset(std::string_view bytes, std::string_view from = "UTF-8",
                            std::string_view to = "GBK", std::size_t skip = 0);

// UTF-16LE bytes of a GBK text; empty for an empty text.
std::string to_wide_text(std::string_view gbk);

// GBK (GB18030) <-> UTF-8, lossless for every character.
std::string gbk_to_utf8(std::string_view gbk);
std::string utf8_to_gbk(std::string_view utf8);

// Byte length of the character starting at text[pos] (1, 2 or 4 for GB18030; 0 past
// the end). A lead byte without a valid trail stands alone (1).
std::size_t char_length_at(std::string_view text, std::size_t pos);

// Finds needle in hay at a character boundary, from byte offset from (0-based);
// std::string_view::npos when absent or needle is empty. Single-byte ASCII letters
// fold unless case_sensitive; bytes of double-byte characters compare exactly.
std::size_t find_at_boundary(std::string_view hay, std::string_view needle, std::size_t from = 0,
                             bool case_sensitive = true);

// A whole number as the old platform read it ("12abc" -> 12, "abc" -> 0, " -3" -> -3).
long to_integer(std::string_view text);

}  // namespace text
