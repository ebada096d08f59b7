#pragma once
// The platform-type (section) list, its menu entries and the page script that clicks
// the platform's own links.

#include <string>
#include <string_view>
#include <vector>

namespace app {

struct MenuEntry {
  const char* caption;  // list text (UTF-8)
  const char* link;     // link text clicked (UTF-8)
};

struct Section {
  const char* caption;  // list text = link clicked (UTF-8)
  std::vector<MenuEntry> entries;
};

// The four sections in list order.
const std::vector<Section>& sections();

// The objclick script (GBK) that clicks the first element of tag name tag whose value
// or inner HTML matches ^(text)$ case-insensitively; text is inserted as it is.
std::string objclick_script(std::string_view link_text_gbk, std::string_view tag = "A");

// Link text (GBK) of the menu entry whose list text equals caption_gbk, searched in
// table order over every section; empty when there is none.
std::string menu_link_for(std::string_view caption_gbk);

}  // namespace app
