#include "tools/cards/card_import_core.h"

#include <limits>

#include "text/text.h"
#include "tools/common/collect.h"

namespace tools::cards {

namespace {
// The longest pace kept: its wait in milliseconds still fits a wait's int.
constexpr long long kMaxPaceSeconds = std::numeric_limits<int>::max() / 1000;
}  // namespace

std::vector<std::string> import_addresses(std::string_view page_source) {
  std::vector<std::string> out;
  collect_all_between(page_source, kAddressStart, kAddressEnd, out);
  return out;
}

int card_count(const std::array<bool, 4>& ticked, int current) {
  for (std::size_t i = 0; i < ticked.size(); ++i)
    if (ticked[i]) return kCardCounts[i];
  return current;
}

long long pace_seconds(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  long long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > kMaxPaceSeconds) value = kMaxPaceSeconds;
  }
  return negative ? -value : value;
}

long long pace_wait_ms(std::string_view text) {
  const long long s = pace_seconds(text);
  return s > 0 ? s * 1000 : 0;
}

std::vector<std::string> card_lines(std::string_view content) { return text::split_text(content, "\r\n"); }

std::string import_text(std::string_view line, int count) {
  std::string out;
  if (count <= 0) return out;
  out.reserve((line.size() + 2) * static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    out.append(line);
    out.append("\r\n");
  }
  return out;
}

}  // namespace tools::cards
