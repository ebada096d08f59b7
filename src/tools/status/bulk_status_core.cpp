#include "tools/status/bulk_status_core.h"

#include "text/text.h"

namespace tools::status {

int status_code(int index) {
  switch (index) {
    case 0: return 1;
    case 1: return 0;
    default: return -1;
  }
}

std::vector<std::string> ids_from_scratch(std::string_view scratch) {
  const std::string ids = text::multi_replace(scratch, {{kTemplateLinkPrefix, ""}});
  return text::split_text(ids, "\r\n");
}

std::vector<std::string> group_ids(const std::vector<std::string>& ids, int pages) {
  std::vector<std::string> groups;
  if (pages <= 0 || ids.empty()) return groups;
  const std::size_t p = static_cast<std::size_t>(pages);
  const std::size_t size = ids.size() / p;
  auto join = [&](std::size_t from, std::size_t count) {
    std::string g;
    for (std::size_t i = from; i < from + count; ++i) {
      if (i > from) g += ',';
      g += ids[i];
    }
    return g;
  };
  if (size == 0) {
    groups.push_back(join(0, ids.size()));
    return groups;
  }
  groups.reserve(p);
  for (std::size_t g = 0; g < p; ++g) groups.push_back(join(g * size, size));
  return groups;
}

std::string status_address(std::string_view box_text, std::string_view group, int code) {
  std::string a(box_text);
  a += kStatusPath;
  a += "?PID=,";
  a += group;
  a += "&Status=";
  a += std::to_string(code);
  return a;
}

}  // namespace tools::status
