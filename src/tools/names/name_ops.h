#pragma once
// The line operations of the product-name editor, as plain functions over GBK text.
// Lines are separated by CR LF; a final CR LF does not start an extra line and an
// empty text has no lines. Searches compare whole characters: a match starts and ends
// at character boundaries, so the trail byte of a Chinese character never matches an
// ASCII letter.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tools::names {

// The lines of a text, split at CR LF (views into text).
std::vector<std::string_view> split_lines(std::string_view text);

// Remove duplicates: a line is kept when it does not occur anywhere in the lines kept
// before it (joined with CR LF); an empty line only as the first line. Every kept
// line is followed by CR LF.
struct DedupResult {
  std::string text;
  std::size_t lines = 0;  // lines of the input
  std::size_t kept = 0;   // lines of the result
};
DedupResult remove_duplicates(std::string_view text);
// "数据文本" n "项/去除重复" (n - kept) "项    得到文本" kept "项" (GBK).
std::string dedup_status(std::size_t lines, std::size_t kept);

// prefix + line + CR LF for every line.
std::string add_prefix(std::string_view text, std::string_view prefix);
// (s + k) "." line CR LF, s read as a whole number (not a number: 0).
std::string number_lines(std::string_view text, std::string_view start_text);
// Non-empty lines joined with CR LF, no final CR LF.
std::string delete_empty_lines(std::string_view text);
// Lines from last to first, each followed by CR LF.
std::string reverse_lines(std::string_view text);

// Program-wide state of "replace first character": whether it ran before and the
// replacement it used last.
struct FirstCharState {
  bool used = false;
  std::string last;
};
FirstCharState& first_char_state();
// Cuts 2 bytes (first use) or the byte length of the last replacement from the front
// of every line, puts replacement there, ends every line with CR LF, then remembers
// the replacement in state.
std::string replace_first_chars(std::string_view text, std::string_view replacement,
                                FirstCharState& state);

// Replaces at most count_text (read as a whole number: 0 or not a number none,
// negative all) occurrences of find; an empty find replaces nothing.
std::string replace_text(std::string_view text, std::string_view find,
                         std::string_view replacement, std::string_view count_text,
                         bool case_sensitive);

// For every keyword of keywords (split at "|"), in order: delete it (case-sensitive),
// delete every CR LF CR LF, delete every space (ASCII or full-width).
std::string strip_keywords(std::string_view text, std::string_view keywords);

}  // namespace tools::names
