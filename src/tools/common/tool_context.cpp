#include "tools/common/tool_context.h"

#include "platform/browser_view.h"
#include "platform/gbk.h"
#include "settings/settings.h"

namespace tools {

std::string platform_root(std::string_view address) {
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  // A character that can continue a host label: after ".cn" in "www.cnkami.com" or
  // ".com" in "ka.community.com" the marker is only the start of a longer label.
  auto label_char = [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-';
  };
  // First occurrence of the marker, without regard to case, that ends a label. The cut
  // is made where it stands, so "HTTP://X.COM/a" gives "HTTP://X.COM".
  auto find_marker = [&](std::string_view marker) -> std::size_t {
    for (std::size_t i = 0; i + marker.size() <= address.size(); ++i) {
      bool eq = true;
      for (std::size_t j = 0; j < marker.size() && eq; ++j) eq = lower(address[i + j]) == marker[j];
      if (!eq) continue;
      const std::size_t after = i + marker.size();
      if (after == address.size() || !label_char(address[after])) return i;
    }
    return std::string_view::npos;
  };
  for (std::string_view marker : {std::string_view(".cn"), std::string_view(".com")}) {
    std::size_t at = find_marker(marker);
    if (at != std::string_view::npos) return std::string(address.substr(0, at + marker.size()));
  }
  return {};
}

std::string ToolContext::take_platform_root() {
  std::string root = platform_root(address_text());
  set_address_text(root);
  return root;
}

std::string ToolContext::backoffice_address(std::string_view path) const {
  return address_text() + std::string(path);
}

void ToolContext::navigate_main(const std::string& address) {
  if (auto* b = main_browser()) b->navigate(platform::from_gbk(address));
}

std::string ToolContext::data_file(std::string_view name) const {
  return settings::data_path(data_dir(), name);
}

void ToolContext::ensure_data_dir() const { settings::make_data_dir(data_dir()); }

}  // namespace tools
