#include "tools/common/page_expect.h"

#include <QUrl>
#include <QUrlQuery>

#include <algorithm>

#include "page/page_probe.h"
#include "platform/gbk.h"

namespace tools {

Expect Expect::at(const QString& page, const QString& address, std::vector<std::string> elements) {
  Expect e;
  e.page = page;
  const QUrl url(address);
  e.path = url.path();
  for (const auto& item : QUrlQuery(url).queryItems(QUrl::FullyDecoded)) e.query << item;
  e.elements = std::move(elements);
  return e;
}

Expect Expect::holding(const QString& page, std::vector<std::string> elements, Since since) {
  Expect e;
  e.page = page;
  e.elements = std::move(elements);
  e.since = since;
  return e;
}

namespace {

bool address_matches(const QString& address, const Expect& expect) {
  const QUrl url(address);
  if (!expect.path.isEmpty()) {
    // The back office's pages answer to any case; a site may sit below a folder.
    if (!url.path().endsWith(expect.path, Qt::CaseInsensitive)) return false;
  }
  if (expect.query.isEmpty()) return true;
  const auto items = QUrlQuery(url).queryItems(QUrl::FullyDecoded);
  for (const auto& want : expect.query) {
    bool found = false;
    for (const auto& have : items)
      if (have.first.compare(want.first, Qt::CaseInsensitive) == 0 && have.second == want.second) found = true;
    if (!found) return false;
  }
  return true;
}

bool document_serves(const page::ShownDocument& d, const Expect& expect) {
  for (std::size_t k = 0; k < expect.elements.size() && k < d.holds.size(); ++k)
    if (!d.holds[k]) return false;
  if (!expect.select.empty() && expect.selected >= 0)
    if (d.selected.empty() || d.selected.front() != expect.selected) return false;
  return true;
}

}  // namespace

Verdict judge(const page::PageState& state, const PageMark& mark, quint64 loads_now, const Expect& expect) {
  Verdict v;
  const page::ShownDocument* top = state.top();
  if (!state.read || !top) {
    v.found = QStringLiteral("页面没有应答");
    return v;
  }
  // A document counts when it is complete and, for a page that must be new, was not shown
  // before the action.
  const bool fresh = expect.since == Expect::Since::action ||
                     (expect.since == Expect::Since::load_if_any && loads_now > mark.loads);
  auto counts = [&](const page::ShownDocument& d) {
    if (!d.complete) return false;
    if (!fresh) return true;
    if (!mark.read) return loads_now > mark.loads;
    return !mark.documents.contains(d.identity);
  };
  // The login form instead of the page expected: the session ended. Checked first, so
  // that a step expecting any answer does not take the login page for it.
  const bool wants_login = std::find(expect.elements.begin(), expect.elements.end(), "UserName") !=
                           expect.elements.end();
  if (!wants_login) {
    for (const page::ShownDocument& d : state.documents)
      if (counts(d) && d.login_form) v.login = true;
    if (v.login) {
      v.found = top->address + QStringLiteral("（登录页面）");
      return v;
    }
  }
  // Keys probed: the elements, then the absent ones.
  const std::size_t n_elements = expect.elements.size();
  const bool address_ok = address_matches(top->address, expect);
  const bool top_counts = counts(*top);
  bool elements_ok = false;
  if (expect.elements.empty() && expect.select.empty() && !expect.any_document) {
    elements_ok = top_counts;
  } else {
    for (const page::ShownDocument& d : state.documents)
      if (counts(d) && document_serves(d, expect)) elements_ok = true;
  }
  QStringList present;
  for (std::size_t k = 0; k < expect.absent.size(); ++k)
    for (const page::ShownDocument& d : state.documents)
      if (counts(d) && n_elements + k < d.holds.size() && d.holds[n_elements + k]) {
        present << platform::from_gbk(expect.absent[k]);
        break;
      }
  // A closed dialog is told by what it no longer holds: a document still loading may yet
  // come to hold it.
  bool unsettled = false;
  if (!expect.absent.empty())
    for (const page::ShownDocument& d : state.documents)
      if (!d.complete) unsettled = true;
  v.holds = !state.loading && !unsettled && address_ok && elements_ok && present.isEmpty();
  if (v.holds) return v;
  // What was found: the address shown, whether it is still loading or the page of before,
  // and the elements that none of the new documents holds.
  QString state_text;
  if (state.loading || unsettled) state_text = QStringLiteral("正在载入");
  else if (fresh && !top_counts && !elements_ok) state_text = top->complete ? QStringLiteral("仍是操作前的页面") : QStringLiteral("未载入完成");
  else state_text = QStringLiteral("已载入");
  QStringList missing;
  for (std::size_t k = 0; k < n_elements; ++k) {
    bool somewhere = false;
    for (const page::ShownDocument& d : state.documents)
      if (counts(d) && k < d.holds.size() && d.holds[k]) somewhere = true;
    if (!somewhere) missing << platform::from_gbk(expect.elements[k]);
  }
  if (!expect.select.empty() && expect.selected >= 0 && missing.isEmpty() && !elements_ok)
    missing << QStringLiteral("%1 第%2项").arg(platform::from_gbk(expect.select)).arg(expect.selected + 1);
  v.found = top->address + QStringLiteral("（") + state_text;
  if (!address_ok) v.found += QStringLiteral("，地址不符");
  if (!missing.isEmpty()) v.found += QStringLiteral("，缺少 ") + missing.join(QStringLiteral("、"));
  if (!present.isEmpty()) v.found += QStringLiteral("，仍有 ") + present.join(QStringLiteral("、"));
  v.found += QStringLiteral("）");
  return v;
}

QString describe_miss(const Expect& expect, const QString& found) {
  QStringList what;
  if (!expect.path.isEmpty()) {
    QString a = expect.path;
    QStringList q;
    for (const auto& item : expect.query) q << item.first + QLatin1Char('=') + item.second;
    if (!q.isEmpty()) a += QLatin1Char('?') + q.join(QLatin1Char('&'));
    what << a;
  }
  for (const std::string& e : expect.elements) what << platform::from_gbk(e);
  for (const std::string& e : expect.absent) what << QStringLiteral("无 ") + platform::from_gbk(e);
  if (!expect.select.empty() && expect.selected >= 0)
    what << QStringLiteral("%1 第%2项").arg(platform::from_gbk(expect.select)).arg(expect.selected + 1);
  QString text = QStringLiteral("页面未就绪：应为") + expect.page;
  if (!what.isEmpty()) text += QStringLiteral("（") + what.join(QStringLiteral("，")) + QStringLiteral("）");
  return text + QStringLiteral("，实为") + found;
}

}  // namespace tools
