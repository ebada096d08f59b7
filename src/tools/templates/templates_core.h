#pragma once
// What the template setter decides without a page: the type items, the plan applied to
// each product, the list of collected links and the addresses built from them. Plain
// C++; link texts are GBK.

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace tools::templates {

inline constexpr const char* kListPath = "/SelfProduct/SelfProductList.aspx";
inline constexpr const char* kTemplatePath = "/SelfProduct/ProductTemplate.aspx";

// The type list's items, in order (UTF-8): item k selects the (k+1)-th radio of the
// template page; items 2 to 5 are top-up types that use a vendor and a template.
const std::array<const char*, 6>& type_items();

// What "2.开始" does on one product page, from the three lists' current indices (-1 for
// a list without selection).
struct ApplyPlan {
  bool type_chosen = false;  // no type: only the radio steps without effect
  int radio = 0;             // 1-6: the radio to check ("check_radio" key)
  bool top_up = false;       // vendor and template are selected, then submitted
  int vendor_option = 0;     // option number of ddlGameCompany (vendor index + 1)
  int template_option = 0;   // option number of ddlTemplate (template index + 1)
};
ApplyPlan plan_for(int type_index, int vendor_index, int template_index);

// The link list box's text (CR LF lines) as the link list; a trailing line break adds
// no entry.
std::vector<std::string> split_links(std::string_view box_text);

// The template page of a collected link: box text + "/" + link.
std::string template_address(std::string_view box_text, std::string_view link);

}  // namespace tools::templates
