#include "page/page_probe.h"

#include <QJsonArray>
#include <QJsonObject>

#include "page/page_snapshot.h"
#include "platform/browser_view.h"
#include "platform/dom_bridge.h"
#include "platform/gbk.h"

namespace page {

PageState probe_page(QWidget* browser_handle, const std::vector<std::string>& keys,
                     const std::vector<std::string>& selects) {
  PageState state;
  platform::BrowserView* view = browser_handle ? find_browser(browser_handle) : nullptr;
  if (!view) return state;
  state.loading = view->ready_state() != 4;
  QJsonArray k, s;
  for (const std::string& key : keys) k.append(platform::from_gbk(key));
  for (const std::string& sel : selects) s.append(platform::from_gbk(sel));
  bool ok = false;
  const QJsonValue r = view->bridge().call(QStringLiteral("probe"), {k, s}, &ok);
  if (!ok || !r.isArray()) return state;
  state.read = true;
  bool first = true;
  for (const QJsonValue& v : r.toArray()) {
    const QJsonObject o = v.toObject();
    ShownDocument d;
    d.identity = o.value("i").toString();
    d.complete = o.value("r").toString() == QLatin1String("complete");
    d.address = o.value("u").toString();
    d.login_form = o.value("login").toBool();
    for (const QJsonValue& h : o.value("k").toArray()) d.holds.push_back(h.toBool());
    for (const QJsonValue& i : o.value("s").toArray()) d.selected.push_back(i.toInt(-1));
    d.holds.resize(keys.size(), false);
    d.selected.resize(selects.size(), -1);
    d.top = first;
    first = false;
    state.documents.push_back(std::move(d));
  }
  return state;
}

}  // namespace page
