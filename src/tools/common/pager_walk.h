#pragma once
// The walk over every page of the platform's product list through its ASP.NET pager,
// collecting each product's template link.

#include <QString>

#include <functional>
#include <string>

#include "tools/common/page_expect.h"

namespace page { class PageSnapshot; }
namespace platform { class BrowserView; }

namespace tools {

class ToolRun;

// Start and end markers of a product's template link in the list page's body.
std::string template_link_start();  // "类型/模板', iframe:{src:'" (GBK)
inline constexpr const char* kTemplateLinkEnd = "'}";

struct PagerWalkTargets {
  std::function<void(const QString&)> status;      // every status text, in order
  std::function<void(const std::string&)> link;    // every collected link (GBK), in order
};

// P = the options of the pager select "AspNetPager1_input"; then P + 1 passes (one more
// than the pages offered), each: post back page i, wait 3000 ms and until the list that
// post-back brings is there (page i chosen in the pager, where the pager offers it), attach,
// collect the body's template links, wait 1000 ms. A page turn that does not come ends the
// walk (it is recorded through run): going on would collect some other page.
struct PagerWalkResult {
  int pages = 0;                       // P
  Arrival arrival = Arrival::arrived;  // how the last page turn went (arrived: every one came)
};
PagerWalkResult pager_walk(ToolRun& run, page::PageSnapshot& snap, platform::BrowserView* browser,
                           const PagerWalkTargets& targets);

// The product list after a post-back of page (its pager showing that page when the pager
// offers it: page ≤ pages).
Expect product_list_page(int page, int pages);

inline constexpr const char* kProductListPath = "/SelfProduct/SelfProductList.aspx";

}  // namespace tools
