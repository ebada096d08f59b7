// Times the page automation operations on generated product-list pages.
//
//   page_bench PAGES_DIR [RESULTS_JSON]
//
// Writes the pages to PAGES_DIR (the Playwright peer loads the same files), serves them on
// 127.0.0.1, loads them into a BrowserView and prints the median time of every operation;
// with RESULTS_JSON also writes them there. Run under Xvfb (bench/page/run.sh does).

#include <httplib.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "page/live_page.h"
#include "page/page_snapshot.h"
#include "platform/browser_view.h"

namespace {

// A platform product list: a form with a search bar, a pager and `rows` product rows of
// about twenty elements each (checkbox, links, spans, price box, status select, buttons).
std::string product_list(int rows) {
  std::string h =
      "<!DOCTYPE html><html><head><meta charset=utf-8><title>SelfProductList</title>"
      "<script>var clicks=0;function __doPostBack(a,b){clicks++}</script></head><body>"
      "<form name=form1 id=form1><div class=top><span id=lblUserName>supplier</span>"
      "<input type=text name=txtKey id=txtKey><input type=submit value=Search id=btnSearch "
      "onclick='clicks++;return false'></div>"
      "<table id=gvList class=list><tr><th>sel</th><th>name</th><th>price</th><th>status</th>"
      "<th>ops</th></tr>";
  for (int i = 1; i <= rows; ++i) {
    const std::string n = std::to_string(i);
    h += "<tr><td><input type=checkbox name=chk value=" + n + " id=chk_" + n +
         "></td><td><a href='/SelfProduct/ProductTemplate.aspx?PID=" + n + "' title='Product " + n +
         "'>Game card " + n + "</a><span class=tag><cite>hot</cite></span><span class=sub>area " + n +
         "</span></td><td><input type=text name=price_" + n + " id=price_" + n +
         " value=10.00 title=price></td><td><select name=status_" + n +
         "><option>sell<option>pause<option>forbid</select></td><td><div class=ops>"
         "<input type=button value=Edit id=edit_" + n +
         " onclick='clicks++'><input type=hidden name=pid_" + n + " value=" + n +
         "><a href=\"javascript:__doPostBack('del','" + n + "')\">del</a></div></td></tr>";
  }
  h += "</table><div id=AspNetPager1><select id=AspNetPager1_input><option>1<option>2</select>"
       "</div></form></body></html>";
  return h;
}

// The 1 MB page: the same list, as many rows as make 1 MB.
std::string large_page(int* rows_out) {
  int rows = 1000;
  std::string h = product_list(rows);
  while (h.size() < (1u << 20)) h = product_list(rows += 100);
  *rows_out = rows;
  return h;
}

void wait_ms(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

bool load(platform::BrowserView& view, const std::string& url) {
  QSignalSpy spy(&view, &QWebEngineView::loadFinished);
  view.load(QUrl(QString::fromStdString(url)));
  if (!spy.wait(30000)) return false;
  wait_ms(200);
  return true;
}

// Median milliseconds of fn over runs, after warm-up runs.
double median_ms(const std::function<void()>& fn, int runs = 30, int warm = 3) {
  for (int i = 0; i < warm; ++i) fn();
  std::vector<double> t;
  for (int i = 0; i < runs; ++i) {
    QElapsedTimer e;
    e.start();
    fn();
    t.push_back(double(e.nsecsElapsed()) / 1e6);
  }
  std::sort(t.begin(), t.end());
  return t[t.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: page_bench PAGES_DIR [RESULTS_JSON]\n");
    return 2;
  }
  setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
  if (!std::getenv("QTWEBENGINE_CHROMIUM_FLAGS"))
    setenv("QTWEBENGINE_CHROMIUM_FLAGS",
           "--disable-gpu --no-sandbox --disable-background-networking --disable-component-update", 1);
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  QApplication app(argc, argv);

  const QString dir = QString::fromLocal8Bit(argv[1]);
  QDir().mkpath(dir);
  int large_rows = 0;
  const std::string list = product_list(1000), large = large_page(&large_rows);
  std::ofstream(QDir(dir).filePath("product_list.html").toStdString(), std::ios::binary) << list;
  std::ofstream(QDir(dir).filePath("large.html").toStdString(), std::ios::binary) << large;

  httplib::Server server;
  server.Get("/product_list.html", [&](const httplib::Request&, httplib::Response& r) {
    r.set_content(list, "text/html; charset=utf-8");
  });
  server.Get("/large.html", [&](const httplib::Request&, httplib::Response& r) {
    r.set_content(large, "text/html; charset=utf-8");
  });
  const int port = server.bind_to_any_port("127.0.0.1");
  std::thread th([&] { server.listen_after_bind(); });
  const std::string base = "http://127.0.0.1:" + std::to_string(port);

  QJsonObject out;
  {
    auto* view = new platform::BrowserView;
    view->resize(1280, 900);
    view->show();
    page::PageSnapshot snap;
    page::LivePage live;

    if (!load(*view, base + "/product_list.html")) return 1;
    bool ok = false;
    const int elements = view->bridge()
                             .run_main_world(QStringLiteral("document.getElementsByTagName('*').length"), &ok)
                             .toInt();
    out["list_elements"] = elements;
    out["capture_20k"] = median_ms([&] { snap.attach_page(view); });

    if (!load(*view, base + "/large.html")) return 1;
    out["large_bytes"] = double(large.size());
    out["large_elements"] = view->bridge()
                                .run_main_world(QStringLiteral("document.getElementsByTagName('*').length"), &ok)
                                .toInt();
    out["capture_1mb"] = median_ms([&] { snap.attach_page(view); });
    snap.attach_page(view);
    const int last = large_rows - 10;  // a row near the end
    const std::string price = "price_" + std::to_string(last);
    const std::string edit = "edit_" + std::to_string(last);
    out["last_row"] = last;
    out["set_textbox_text"] = median_ms([&] { snap.set_textbox_text(price, "9.99"); });
    out["click_button"] = median_ms([&] { snap.click_button(edit); });
    live.attach_live_page(view);
    out["live_set_input_text"] = median_ms([&] { live.live_set_input_text(price, "8.88"); });
    out["live_click_button"] = median_ms([&] { live.live_click_button(edit); });
    out["get_document_html"] = median_ms([&] { live.get_document_html(); }, 15);
    out["html_bytes"] = double(live.get_document_html().size());
    out["clicks_seen"] =
        view->bridge().run_main_world(QStringLiteral("clicks"), &ok).toInt();
    delete view;
  }
  server.stop();
  th.join();

  const QByteArray json = QJsonDocument(out).toJson(QJsonDocument::Indented);
  std::fwrite(json.constData(), 1, size_t(json.size()), stdout);
  if (argc >= 3) {
    QFile f(QString::fromLocal8Bit(argv[2]));
    if (f.open(QIODevice::WriteOnly)) f.write(json);
  }
  return 0;
}
