#include "tools/common/tool_context.h"

#include "platform/browser_view.h"
#include "platform/gbk.h"
#include "settings/settings.h"

namespace tools {

std::string platform_root(std::string_view address) {
  // Presence is tested without regard to case; the cut looks for the marker in the
  // case it has in the address, so "HTTP://X.COM/a" is cut after ".COM".
  auto find_ci = [&](std::string_view marker) -> std::size_t {
    for (std::size_t i = 0; i + marker.size() <= address.size(); ++i) {
      bool eq = true;
      for (std::size_t j = 0; j < marker.size() && eq; ++j) {
        char a = address[i + j];
        if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
        eq = a == marker[j];
      }
      if (eq) return i;
    }
    return std::string_view::npos;
  };
  for (std::string_view marker : {std::string_view(".cn"), std::string_view(".com")}) {
    std::size_t at = find_ci(marker);
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
  return settings::data_file(exe_dir(), name);
}

void ToolContext::ensure_data_dir() const { settings::ensure_data_dir(exe_dir()); }

}  // namespace tools
