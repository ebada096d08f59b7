// The DOM bridge itself: message boxes during a call, late results, a missing agent, and a
// page that hangs.

#include <QAbstractButton>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QWebEngineScriptCollection>

#include "page/confirmer.h"
#include "page/live_page.h"
#include "page/page_snapshot.h"
#include "page_fixture.h"
#include "platform/dialogs.h"

using namespace pagetest;

namespace {

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

// A click that raises a confirmation and then an alert, both answered by the confirmer
// at its slowest period: the call waits for the whole chain and gets its answer.
TEST(Bridge, AChainOfBoxesAtTheSlowestConfirmerKeepsItsCall) {
  auto& v = shared_view();
  ASSERT_TRUE(show_page(v, "/chain.html",
                        html("<input type=button value=b onclick=\"if(confirm('删除?')){alert('已删除');L('done')}\">")));
  page::confirm_web_dialogs(&v, platform::kWebMessageTitle, platform::kOkCaption, false, 700);
  for (int round = 0; round < 2; ++round) {
    eval(v, "log=[]");
    page::PageSnapshot s;
    ASSERT_TRUE(s.attach_page(&v));
    const quint64 opened = platform::WebPage::boxes_opened();
    EXPECT_TRUE(s.click_button("b"));
    EXPECT_EQ(platform::WebPage::boxes_opened(), opened + 2);
    EXPECT_EQ(eval_text(v, "log.join()"), "done");
  }
  page::confirm_web_dialogs(&v, QString(), QString(), true);
}

// One box answered long after the cap (a user who takes his time): the call still waits
// for it and gets the page's answer.
TEST(Bridge, ABoxAnsweredLongAfterTheCapStillGivesItsCallTheAnswer) {
  auto& v = shared_view();
  ASSERT_TRUE(show_page(v, "/slow.html", html("<input type=button value=b onclick=\"alert('慢');L('after')\">")));
  page::PageSnapshot s;
  ASSERT_TRUE(s.attach_page(&v));
  bool pressed = false;
  QElapsedTimer t;
  t.start();
  QTimer::singleShot(4000, Qt::PreciseTimer, [&] { pressed = press_ok(); });
  EXPECT_TRUE(s.click_button("b"));
  EXPECT_GE(t.elapsed(), 3900);
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

// A page that raises alert() without end never answers a call (its renderer never gets
// back to its own loop): the first call gives up once the boxes held it for the cap,
// later calls on that view fail at once while boxes keep coming, another site's view
// still gets its answers, and all is well again once the boxes stop.
TEST(Bridge, AStormOfBoxesEndsTheFirstCallAfterTheCapAndFailsLaterOnesAtOnce) {
  auto* view = new platform::BrowserView;
  view->resize(400, 300);
  view->show();
  auto& srv = FixtureServer::instance();
  srv.set("/storm.html", html("<input type=text id=q><script>onload=function(){setTimeout(function(){"
                              "for(;;){alert('系统繁忙')}},50)}</script>"));
  srv.set("/calm.html", html("<input type=text id=q>"));
  page::confirm_web_dialogs(view, platform::kWebMessageTitle, platform::kOkCaption, false, 500);
  auto& other = shared_view();
  ASSERT_TRUE(show_page(other, "/other.html", html("<input type=text id=o>")));
  ASSERT_TRUE(load(*view, srv.other_site_url("/storm.html")));
  const quint64 opened = platform::WebPage::boxes_opened();
  wait_ms(1200);
  ASSERT_GE(platform::WebPage::boxes_opened(), opened + 1);

  QElapsedTimer t;
  t.start();
  page::PageSnapshot s;
  EXPECT_FALSE(s.attach_page(view));
  const qint64 first = t.elapsed();
  EXPECT_GE(first, 2000);  // own time-out plus boxes, capped
  EXPECT_LT(first, 6000);
  std::printf("first call in the storm: %lld ms\n", static_cast<long long>(first));

  t.restart();
  EXPECT_TRUE(view->bridge().document_token().isEmpty());
  page::LivePage live;
  EXPECT_FALSE(live.attach_live_page(view));
  bool ok = true;
  view->bridge().run_main_world(QStringLiteral("1"), &ok);
  EXPECT_FALSE(ok);
  EXPECT_LT(t.elapsed(), 100);  // at once: no waiting in vain

  // Boxes keep coming: still at once, a while later.
  wait_ms(1500);
  t.restart();
  EXPECT_FALSE(s.attach_page(view));
  EXPECT_LT(t.elapsed(), 100);

  // Another site's page answers between the boxes.
  page::PageSnapshot o;
  t.restart();
  EXPECT_TRUE(o.attach_page(&other));
  EXPECT_LT(t.elapsed(), 2000);

  // The storm ends with the page; after a box-free second the view answers again.
  view->navigate(QString::fromStdString(srv.url("/calm.html")));
  QElapsedTimer calm;
  calm.start();
  while (calm.elapsed() < 15000 &&
         (platform::WebPage::open_dialogs() > 0 || platform::WebPage::ms_since_box_opened() < 1100 ||
          !view->url().path().endsWith("calm.html") || view->ready_state() != 4))
    wait_ms(50);
  EXPECT_TRUE(s.attach_page(view));
  s.set_textbox_text("q", "calm");
  EXPECT_EQ(eval_text(*view, "document.getElementById('q').value"), "calm");
  page::confirm_web_dialogs(view, QString(), QString(), true);
  delete view;
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
