#pragma once
// The walk over every page of the platform's product list through its ASP.NET pager,
// collecting each product's template link.

#include <QString>

#include <functional>
#include <string>

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
// than the pages offered), each: post back page i, wait 3000 ms (and, while the browser
// is still loading, until the load ends: wait_page_loaded), attach, collect the body's
// template links, wait 1000 ms. Nothing tests whether a page changed. Returns P, or -1
// when the run ended during the walk (its window was closed).
int pager_walk(ToolRun& run, page::PageSnapshot& snap, platform::BrowserView* browser,
               const PagerWalkTargets& targets);

}  // namespace tools
