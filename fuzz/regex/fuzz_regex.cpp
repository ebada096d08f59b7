// Regex: any pattern, subject and replacement; matches lie inside the subject and
// replacing with "$&" gives the subject back.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>

#include "text/text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const uint8_t flags = in.ConsumeIntegral<uint8_t>();
  const std::string pattern = in.ConsumeRandomLengthString(64);
  const std::string replacement = in.ConsumeRandomLengthString(32);
  const std::string subject = in.ConsumeRemainingBytesAsString();

  text::Regex re;
  const bool ok = text::regex_execute(re, pattern, subject, flags & 1, flags & 2, flags & 4,
                                      flags & 8);
  if (re.subject() != subject) std::abort();
  if (!ok && text::regex_match_count(re) != 0) std::abort();
  std::size_t last_end = 0;
  for (const auto& m : re.matches()) {
    if (m.offset > subject.size() || m.value.size() > subject.size() - m.offset) std::abort();
    if (subject.compare(m.offset, m.value.size(), m.value) != 0) std::abort();
    if (m.offset < last_end) std::abort();
    last_end = m.offset + m.value.size();
    if (m.groups.size() != m.group_offsets.size()) std::abort();
  }
  if (text::regex_replace(re, "$&") != subject) std::abort();
  (void)text::regex_replace(re, replacement);
  (void)text::regex_submatch_text(re, flags % 4, flags % 3);
  std::vector<std::string> out;
  (void)text::collect_between_pattern(subject, pattern, replacement, out);
  (void)text::escape_for_pattern(pattern);
  return 0;
}
