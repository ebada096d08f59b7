#include "tools/templates/templates_core.h"

#include "text/text.h"

namespace tools::templates {

const std::array<const char*, 6>& type_items() {
  static const std::array<const char*, 6> items = {"卡密", "选号", "人工代充", "账号直充", "卡密直充", "接口直冲"};
  return items;
}

ApplyPlan plan_for(int type_index, int vendor_index, int template_index) {
  ApplyPlan p;
  if (type_index < 0 || type_index >= static_cast<int>(type_items().size())) return p;
  p.type_chosen = true;
  p.radio = type_index + 1;
  p.top_up = type_index >= 2;
  if (p.top_up) {
    p.vendor_option = vendor_index + 1;
    p.template_option = template_index + 1;
  }
  return p;
}

std::vector<std::string> split_links(std::string_view box_text) { return text::split_text(box_text, "\r\n"); }

std::string template_address(std::string_view box_text, std::string_view link) {
  std::string a(box_text);
  a += '/';
  a += link;
  return a;
}

}  // namespace tools::templates
