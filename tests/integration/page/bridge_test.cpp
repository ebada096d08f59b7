// The DOM bridge itself: message boxes during a call, late results, a missing agent, and a
// page that hangs.

#include <QAbstractButton>
#include <QMessageBox>
#include <QWebEngineScriptCollection>

#include "page/live_page.h"
#include "page/page_snapshot.h"
#include "page_fixture.h"
#include "platform/dialogs.h"

using namespace pagetest;

namespace {

std::string html(const std::string& body) {
  return "<!DOCTYPE html><html><head><meta charset=utf-8><script>var log=[];function L(x){log.push(x);return false;}"
         "</script></head><body>" + body + "</body></html>";
}

// Presses "确定" on the first visible web message box.
bool press_ok() {
  for (QWidget* w : QApplication::topLevelWidgets()) {
    auto* box = qobject_cast<QMessageBox*>(w);
    if (!box || !box->isVisible() || box->windowTitle() != platform::kWebMessageTitle) continue;
    for (QAbstractButton* b : box->buttons()) {
      if (b->text() == platform::kOkCaption) {
        b->click();
        return true;
      }
    }
  }
  return false;
}

TEST(Bridge, CallThatRaisesAMessageBoxReturnsOnceItIsConfirmed) {
  auto& v = shared_view();
  ASSERT_TRUE(show_page(v, "/alert.html", html("<input type=button value=b onclick=\"alert('saved');L('after')\">")));
  page::PageSnapshot s;
  ASSERT_TRUE(s.attach_page(&v));
  bool pressed = false;
  QTimer::singleShot(1600, [&] { pressed = press_ok(); });  // longer than the call time-out
  QElapsedTimer t;
  t.start();
  EXPECT_TRUE(s.click_button("b"));
  EXPECT_GE(t.elapsed(), 1500);
  EXPECT_TRUE(pressed);
  EXPECT_EQ(eval_text(v, "log.join()"), "after");
}

TEST(Bridge, CallMadeWhileAnEarlierMessageBoxIsOpenGivesUp) {
  auto& v = shared_view();
  ASSERT_TRUE(show_page(v, "/alert2.html", html("<input type=text id=q>")));
  eval(v, "setTimeout(function(){alert('later');L('after')},50)");
  QString token = QStringLiteral("unset");
  qint64 took = -1;
  // Runs inside the box's own loop: the box cannot close before this call returns.
  QTimer::singleShot(400, [&] {
    QElapsedTimer t;
    t.start();
    token = v.bridge().document_token();
    took = t.elapsed();
    press_ok();
  });
  QElapsedTimer all;
  all.start();
  while (took < 0 && all.elapsed() < 10000) wait_ms(20);
  EXPECT_TRUE(token.isEmpty());
  EXPECT_GE(took, 900);
  EXPECT_LT(took, 2000);
  wait_ms(100);
  EXPECT_FALSE(v.bridge().document_token().isEmpty());
  EXPECT_EQ(eval_text(v, "log.join()"), "after");
}

TEST(Bridge, LateResultsAreDroppedAndTheirHandlesReleased) {
  auto& v = shared_view();
  ASSERT_TRUE(show_page(v, "/late.html", html("<input type=text>")));
  auto& b = v.bridge();
  const int before = b.agent_table_size();
  ASSERT_GE(before, 0);
  // Keep the renderer busy for 400 ms, then ask for a capture with a 50 ms time-out.
  eval(v, "setTimeout(function(){var t=Date.now();while(Date.now()-t<400){}},0)");
  wait_ms(30);
  bool ok = true;
  b.call(QStringLiteral("capture"), {}, &ok, 50);
  EXPECT_FALSE(ok);
  wait_ms(600);  // the late answer arrives and is dropped
  EXPECT_EQ(b.agent_table_size(), before);
  b.call(QStringLiteral("no_such_operation"), {}, &ok);
  EXPECT_FALSE(ok);
  EXPECT_EQ(b.agent_table_size(), before);
}

TEST(Bridge, AgentIsInjectedByTheCallThatFindsItMissing) {
  platform::BrowserView view;
  view.resize(400, 300);
  view.show();
  ASSERT_TRUE(show_page(view, "/inject1.html", html("<input type=text id=q>")));
  const QString first = view.bridge().document_token();
  ASSERT_FALSE(first.isEmpty());
  view.page()->scripts().clear();  // the next document starts without the agent
  ASSERT_TRUE(show_page(view, "/inject2.html", html("<input type=text id=q>")));
  page::PageSnapshot s;
  ASSERT_TRUE(s.attach_page(&view));
  EXPECT_NE(s.get_document().document(), first);
  s.set_textbox_text("q", "ok");
  EXPECT_EQ(eval_text(view, "q.value"), "ok");
}

// Last: the hung renderer stays busy until its view goes.
TEST(Bridge, ZHungPageGivesUpWithinASecondAndTheWindowStaysUsable) {
  auto* view = new platform::BrowserView;
  view->resize(400, 300);
  view->show();
  auto& srv = FixtureServer::instance();
  srv.set("/hung.html", html("<input type=text id=q><script>setTimeout(function(){for(;;){}},300)</script>"));
  ASSERT_TRUE(load(*view, srv.other_site_url("/hung.html")));
  page::PageSnapshot before;
  ASSERT_TRUE(before.attach_page(view));
  wait_ms(500);

  int ticks = 0;
  QTimer ticker;
  QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
  ticker.start(50);
  QElapsedTimer t;
  t.start();
  page::PageSnapshot s;
  EXPECT_FALSE(s.attach_page(view));
  EXPECT_LT(t.elapsed(), 2000);
  EXPECT_GE(ticks, 10);  // timers kept running during the wait
  EXPECT_FALSE(s.click_button("1"));  // empty snapshot: no call at all
  page::LivePage p;
  t.restart();
  EXPECT_FALSE(p.attach_live_page(view));
  EXPECT_LT(t.elapsed(), 2000);
  // Operations of an earlier snapshot time out too, and the application goes on.
  t.restart();
  before.set_textbox_text("q", "x");
  EXPECT_LT(t.elapsed(), 2000);
  delete view;
  EXPECT_FALSE(before.click_button("1"));
  // Another browser still works.
  auto& v = shared_view();
  ASSERT_TRUE(show_page(v, "/after_hung.html", html("<input type=text id=q>")));
  page::PageSnapshot again;
  EXPECT_TRUE(again.attach_page(&v));
}

}  // namespace
