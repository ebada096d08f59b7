#include "tools/common/collect.h"

#include "text/text.h"

namespace tools {

std::size_t collect_all_between(std::string_view source, std::string_view start_marker,
                                std::string_view end_marker, std::vector<std::string>& out,
                                const CollectBetween& o) {
  out.clear();
  if (start_marker.empty() || end_marker.empty()) return 0;
  std::size_t from = o.start > 0 ? o.start - 1 : 0;
  while (from <= source.size()) {
    const std::size_t at = text::find_at_boundary(source, start_marker, from, o.case_sensitive);
    if (at == std::string_view::npos) break;
    const std::size_t content = at + start_marker.size();
    const std::size_t end = text::find_at_boundary(source, end_marker, content, o.case_sensitive);
    if (end == std::string_view::npos) break;
    std::string piece = text::trim_spaces(source.substr(content, end - content));
    if (piece.empty() || (o.max_length > 0 && piece.size() > o.max_length)) break;
    std::string item;
    item.reserve(o.prefix.size() + piece.size() + o.suffix.size() + start_marker.size() + end_marker.size());
    if (o.keep_start) item += start_marker;
    item += o.prefix;
    item += piece;
    item += o.suffix;
    if (o.keep_end) item += end_marker;
    out.push_back(std::move(item));
    from = end;
  }
  return out.size();
}

}  // namespace tools
