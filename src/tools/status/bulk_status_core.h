#pragma once
// What the bulk sale-status run computes without a page: the product ids of the
// collected template links, their groups, and the address each group is posted to.
// Plain C++ over GBK bytes.

#include <string>
#include <string_view>
#include <vector>

namespace tools::status {

inline constexpr const char* kListPath = "/SelfProduct/SelfProductList.aspx";
inline constexpr const char* kStatusPath = "/SelfProduct/SetProductStatus.aspx";
// What a collected template link holds in front of the product id.
inline constexpr const char* kTemplateLinkPrefix = "SelfProduct/ProductTemplate.aspx?PID=";

// The status code of the button at index (0 "销售全部商品", 1 "暂停全部商品", 2
// "禁售全部商品"): 1, 0, -1.
int status_code(int index);

// The scratch box's text (CR LF lines of template links) without every occurrence of
// the link prefix, split at CR LF: one id per line, in order, duplicates kept; a
// trailing line break adds no entry.
std::vector<std::string> ids_from_scratch(std::string_view scratch);

// The id groups for P pages: G = K div P. With G >= 1, P groups of G ids each in list
// order, the last K - G*P ids not sent; with G = 0 one group of all K ids. No group
// when P <= 0 or K = 0. Each group is its ids joined by ",".
std::vector<std::string> group_ids(const std::vector<std::string>& ids, int pages);

// box text + "/SelfProduct/SetProductStatus.aspx?PID=," + group + "&Status=" + code.
std::string status_address(std::string_view box_text, std::string_view group, int code);

}  // namespace tools::status
