// split_text: the pieces joined again give the text; no piece holds the separator at a
// character boundary. Also the space helpers and the charset round trip on the same input.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>

#include "text/text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const std::string sep = in.ConsumeRandomLengthString(8);
  const std::string t = in.ConsumeRemainingBytesAsString();

  const std::vector<std::string> pieces = text::split_text(t, sep);
  if (t.empty() != pieces.empty()) std::abort();
  if (!sep.empty() && !t.empty()) {
    std::string joined;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
      if (i) joined += sep;
      joined += pieces[i];
      if (text::find_at_boundary(pieces[i], sep) != std::string_view::npos) std::abort();
    }
    if (joined != t && joined + sep != t) std::abort();
  }

  const std::string trimmed = text::trim_spaces(t);
  if (trimmed.size() > t.size() || t.find(trimmed) == std::string::npos) std::abort();
  const std::string removed = text::remove_spaces(t);
  if (removed.size() > t.size() || text::remove_spaces(trimmed) != removed) std::abort();

  // Every GB18030 text survives the trip through UTF-8 unless it held invalid bytes.
  const std::string utf8 = text::gbk_to_utf8(t);
  if (utf8.find('?') == std::string::npos || t.find('?') != std::string::npos) {
    if (utf8.find('?') == std::string::npos && text::utf8_to_gbk(utf8) != t) std::abort();
  }
  (void)text::to_wide_text(t);
  (void)text::convert_charset(t, "UTF-8", "GBK", sep.size());
  return 0;
}
