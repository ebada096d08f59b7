// text_between and find_at_boundary against a character-walking reference.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>

#include "../reference.h"
#include "text/text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const bool cs = in.ConsumeBool();
  const std::size_t start = in.ConsumeIntegralInRange<std::size_t>(0, 64);
  const std::string sm = in.ConsumeRandomLengthString(16);
  const std::string em = in.ConsumeRandomLengthString(16);
  const std::string t = in.ConsumeRemainingBytesAsString();

  const std::string got = text::text_between(t, sm, em, start, cs);

  std::string s = text::multi_replace(sm, {{text::kQuotePlaceholder, "\""}}, 1, -1, true);
  std::string e = text::multi_replace(em, {{text::kQuotePlaceholder, "\""}}, 1, -1, true);
  std::string want;
  const std::size_t from = start ? start - 1 : 0;
  if (!s.empty() && !e.empty() && from < t.size()) {
    const std::size_t p = fuzzref::find(t, s, from, cs);
    if (p != std::string_view::npos) {
      const std::size_t q = fuzzref::find(t, e, p + s.size(), cs);
      if (q != std::string_view::npos) want = t.substr(p + s.size(), q - p - s.size());
    }
  }
  if (got != want) std::abort();
  if (text::find_at_boundary(t, sm, from, cs) != fuzzref::find(t, sm, from, cs)) std::abort();
  return 0;
}
