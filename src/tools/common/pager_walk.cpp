#include "tools/common/pager_walk.h"

#include <QPointer>

#include <vector>

#include "page/page_snapshot.h"
#include "platform/browser_view.h"
#include "text/text.h"
#include "tools/common/collect.h"
#include "tools/common/tool_window.h"

namespace tools {

namespace {
constexpr int kAfterPostBackMs = 3000;
constexpr int kAfterPageMs = 1000;
}  // namespace

std::string template_link_start() {
  static const std::string marker = text::utf8_to_gbk("类型/模板', iframe:{src:'");
  return marker;
}

Expect product_list_page(int page, int pages) {
  Expect e = Expect::at(QStringLiteral("商品列表第%1页").arg(page), QString::fromLatin1(kProductListPath));
  if (page >= 1 && page <= pages) {
    e.select = "AspNetPager1_input";
    e.selected = page - 1;
  }
  return e;
}

PagerWalkResult pager_walk(ToolRun& run, page::PageSnapshot& snap, platform::BrowserView* browser_view,
                           const PagerWalkTargets& targets) {
  // The browser may go during a wait (its window closed): attach to what is left.
  const QPointer<platform::BrowserView> browser(browser_view);
  PagerWalkResult result;

  // 1. The number of pages the pager offers.
  snap.attach_page(browser);
  const int pages = snap.count_options("AspNetPager1_input", 1);
  result.pages = pages;
  if (targets.status) targets.status(QStringLiteral("状态:当前页数为%1").arg(pages));

  // 2. One pass more than the pages offered.
  std::vector<std::string> links;
  for (int i = 1; i <= pages + 1; ++i) {
    const PageMark mark = run.mark(browser);
    if (!snap.run_script("javascript:__doPostBack('AspNetPager1','" + std::to_string(i) + "')", 1)) {
      if (!run.alive()) return {pages, Arrival::ended};
      run.nothing_to_act_on(QStringLiteral("翻页脚本 __doPostBack"));
      return {pages, Arrival::missing};
    }
    const Arrival a = run.wait_for(kAfterPostBackMs, mark, product_list_page(i, pages), ToolRun::Kind::responsive,
                                   browser);
    if (a != Arrival::arrived) return {pages, a};
    if (targets.status) targets.status(QStringLiteral("正在分析第%1页").arg(i));
    snap.attach_page(browser);
    collect_all_between(snap.get_body_html(), template_link_start(), kTemplateLinkEnd, links);
    if (targets.link)
      for (const std::string& l : links) targets.link(l);
    if (!run.wait(kAfterPageMs)) return {pages, Arrival::ended};
  }
  return result;
}

}  // namespace tools
