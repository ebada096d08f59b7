// BrowserView on the real engine: navigation, ready state, history, shared profile,
// script message boxes and the input gate.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QPointer>
#include <QStandardPaths>
#include <QDateTime>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QWebEngineProfile>

#include <functional>
#include <memory>

#include "platform/browser_view.h"
#include "platform/dialogs.h"
#include "platform/waits.h"
#include "qt_test_hooks.h"
#include "test_util.h"
#include "x_input.h"

using platform::BrowserView;
using platform::WebPage;
using testutil::run_js;
using testutil::wait_load;
using testutil::wait_until;

// Keep the profile and settings of test runs away from the user's own.
void tessaro_test_before_app(std::vector<std::string>&) { QStandardPaths::setTestModeEnabled(true); }

namespace {

testutil::FixtureServer& server() {
  static testutil::FixtureServer s;
  return s;
}

QString page_url(const QString& title, const QString& body = QString()) {
  return server().url(QStringLiteral("/page?title=%1&body=%2")
                          .arg(QString::fromUtf8(QUrl::toPercentEncoding(title)),
                               QString::fromUtf8(QUrl::toPercentEncoding(body))));
}

// The visible script message box / prompt dialog, if any.
QDialog* open_web_dialog() {
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (auto* d = qobject_cast<QDialog*>(w); d && d->isVisible() &&
                                             d->windowTitle() == platform::kWebMessageTitle)
      return d;
  }
  return nullptr;
}

QStringList button_texts(QWidget* w) {
  QStringList out;
  for (auto* b : w->findChildren<QAbstractButton*>())
    if (b->isVisible()) out << b->text();
  return out;
}

QAbstractButton* button(QWidget* w, const QString& text) {
  for (auto* b : w->findChildren<QAbstractButton*>())
    if (b->text() == text) return b;
  return nullptr;
}

// Polls every 10 ms for the page's message box and hands the first one to act; the poll
// lasts as long as the returned timer.
std::unique_ptr<QTimer> on_web_dialog(const std::function<void(QDialog*)>& act) {
  auto poll = std::make_unique<QTimer>();
  poll->setInterval(10);
  QObject::connect(poll.get(), &QTimer::timeout, [timer = poll.get(), act] {
    QDialog* d = open_web_dialog();
    if (!d) return;
    timer->stop();
    act(d);
  });
  poll->start();
  return poll;
}

struct BoxSeen {
  QString text;
  QStringList buttons;
  QString editText;
  bool top_level = false;
  bool parent_is_window = false;
  Qt::WindowModality modality = Qt::NonModal;
  int open_count = -1;
};

// Runs script; when the box appears, records it and presses press (and types
// type_text into a line edit first). Returns the script's result.
QVariant run_with_box(BrowserView& view, const QString& script, const QString& press,
                      BoxSeen& seen, const QString& type_text = QString()) {
  const auto poll = on_web_dialog([&](QDialog* d) {
    seen.buttons = button_texts(d);
    if (auto* mb = qobject_cast<QMessageBox*>(d)) seen.text = mb->text();
    if (auto* e = d->findChild<QLineEdit*>()) {
      seen.editText = e->text();
      if (!type_text.isNull()) e->setText(type_text);
    }
    seen.top_level = d->isWindow();
    seen.parent_is_window = d->parentWidget() == view.window();
    seen.modality = d->windowModality();
    seen.open_count = WebPage::open_dialogs();
    if (auto* b = button(d, press)) b->click();
  });
  return run_js(view.page(), script, 10000);
}

}  // namespace

TEST(BrowserView, NavigationReadyStateAndHistory) {
  BrowserView view;
  view.resize(400, 300);
  EXPECT_EQ(view.ready_state(), 0);
  EXPECT_TRUE(view.page()->profile() == platform::shared_profile());
  EXPECT_FALSE(view.page()->profile()->isOffTheRecord());

  // No scheme: http:// is assumed.
  const QString a = page_url("A");
  view.navigate(a.mid(7));
  EXPECT_EQ(view.ready_state(), 1);
  ASSERT_TRUE(wait_load(&view));
  EXPECT_EQ(view.ready_state(), 4);
  EXPECT_EQ(view.current_address(), a);

  const QString b = page_url("B");
  QSignalSpy titles(&view, &BrowserView::document_title_changed);
  view.navigate(b);
  ASSERT_TRUE(wait_load(&view));
  EXPECT_EQ(view.current_address(), b);
  ASSERT_TRUE(wait_until([&] { return !titles.isEmpty() && titles.last().at(0) == "B"; }, 3000));

  view.go_back();
  ASSERT_TRUE(wait_load(&view));
  EXPECT_EQ(view.current_address(), a);
  EXPECT_EQ(view.ready_state(), 4);
  view.go_forward();
  ASSERT_TRUE(wait_load(&view));
  EXPECT_EQ(view.current_address(), b);

  // Empty address: about:blank.
  view.navigate("");
  ASSERT_TRUE(wait_load(&view));
  EXPECT_EQ(view.current_address(), "about:blank");
  EXPECT_EQ(view.ready_state(), 4);
}

TEST(BrowserView, FailedLoadEndsLoading) {
  BrowserView view;
  // A port nobody listens on: the load fails, and the view is no longer loading.
  view.navigate("127.0.0.1:1/nothing");
  EXPECT_EQ(view.ready_state(), 1);
  ASSERT_TRUE(wait_load(&view));
  EXPECT_EQ(view.ready_state(), 4);
  EXPECT_EQ(view.current_address(), "http://127.0.0.1:1/nothing");
}

TEST(BrowserView, SchemeLikeHostsAndFullAddresses) {
  BrowserView view;
  view.navigate(server().url("/page?title=x").replace("127.0.0.1", "localhost").mid(7));
  ASSERT_TRUE(wait_load(&view));
  EXPECT_TRUE(view.current_address().startsWith("http://localhost:")) << view.current_address().toStdString();
  view.navigate("data:text/html,<title>d</title>hi");
  ASSERT_TRUE(wait_load(&view));
  EXPECT_TRUE(view.current_address().startsWith("data:text/html"));
}

TEST(BrowserView, EveryViewSharesOneProfileAndItsCookies) {
  const QString value = QString::number(QDateTime::currentMSecsSinceEpoch());
  BrowserView one;
  one.navigate(server().url("/set-cookie?v=" + value));
  ASSERT_TRUE(wait_load(&one));

  BrowserView two;
  EXPECT_EQ(one.page()->profile(), two.page()->profile());
  two.navigate(server().url("/echo-cookie"));
  ASSERT_TRUE(wait_load(&two));
  const QString body = run_js(two.page(), "document.getElementById('c').textContent").toString();
  EXPECT_TRUE(body.contains("sid=" + value)) << body.toStdString();
  // The cookie is persistent (written to the profile's storage, not session-only).
  EXPECT_EQ(platform::shared_profile()->persistentCookiesPolicy(),
            QWebEngineProfile::ForcePersistentCookies);
  EXPECT_TRUE(platform::shared_profile()->persistentStoragePath().endsWith("/webprofile"));
}

TEST(BrowserView, ScriptMessageBoxes) {
  BrowserView view;
  view.resize(500, 400);
  view.show();
  view.navigate(page_url("boxes"));
  ASSERT_TRUE(wait_load(&view));

  BoxSeen alert;
  EXPECT_EQ(run_with_box(view, "alert('第一行\\n第二行'); 7", "确定", alert).toInt(), 7);
  EXPECT_EQ(alert.text, "第一行\n第二行");
  EXPECT_EQ(alert.buttons, QStringList{"确定"});
  EXPECT_TRUE(alert.top_level);
  EXPECT_TRUE(alert.parent_is_window);
  EXPECT_EQ(alert.modality, Qt::WindowModal);
  EXPECT_EQ(alert.open_count, 1);
  EXPECT_EQ(WebPage::open_dialogs(), 0);

  BoxSeen c1, c2;
  EXPECT_EQ(run_with_box(view, "confirm('删除?')", "确定", c1).toBool(), true);
  EXPECT_EQ(c1.buttons, (QStringList{"确定", "取消"}));
  EXPECT_EQ(c1.text, "删除?");
  EXPECT_EQ(c1.modality, Qt::WindowModal);
  EXPECT_EQ(run_with_box(view, "confirm('删除?')", "取消", c2).toBool(), false);

  BoxSeen p1, p2;
  EXPECT_EQ(run_with_box(view, "prompt('名称', '默认')", "确定", p1, "新值").toString(), "新值");
  EXPECT_EQ(p1.editText, "默认");
  EXPECT_EQ(p1.buttons, (QStringList{"确定", "取消"}));
  EXPECT_TRUE(p1.top_level);
  EXPECT_TRUE(p1.parent_is_window);
  EXPECT_EQ(p1.modality, Qt::WindowModal);
  EXPECT_EQ(run_with_box(view, "String(prompt('名称', '默认'))", "取消", p2, "x").toString(),
            "null");
  EXPECT_EQ(WebPage::open_dialogs(), 0);
}

// A script message box blocks the window of its browser and nothing else: real clicks
// (through the window system) reach another top-level window while it is open, not the
// browser's own window. Checked from timers: the box runs its own loop.
TEST(BrowserView, ScriptBoxesBlockOnlyTheirBrowsersWindow) {
  for (const QString& script : {QStringLiteral("alert('a'); 1"), QStringLiteral("confirm('c'); 1"),
                               QStringLiteral("prompt('p', 'd'); 1")}) {
    SCOPED_TRACE(script.toStdString());
    QWidget browser_window;
    browser_window.setWindowTitle("browser window");
    auto* own_button = new QPushButton("own", &browser_window);
    own_button->setGeometry(0, 0, 120, 40);
    auto* view = new BrowserView(&browser_window);
    view->setGeometry(0, 50, 400, 300);
    browser_window.resize(400, 360);
    browser_window.show();
    QPushButton tool_button("stop");
    tool_button.resize(160, 50);
    tool_button.move(700, 100);
    tool_button.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&browser_window));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&tool_button));
    view->navigate(page_url("modality"));
    ASSERT_TRUE(wait_load(view));
    int tool_clicks = 0, own_clicks = 0;
    QObject::connect(&tool_button, &QPushButton::clicked, [&] { ++tool_clicks; });
    QObject::connect(own_button, &QPushButton::clicked, [&] { ++own_clicks; });
    // Both buttons take real clicks before any box is open.
    ASSERT_TRUE(testsupport::x_click(&tool_button));
    ASSERT_TRUE(testsupport::x_click(own_button));
    ASSERT_TRUE(wait_until([&] { return tool_clicks == 1 && own_clicks == 1; }, 3000));

    int tool_clicks_in_box = -1, own_clicks_in_box = -1;
    bool pressed = false;
    const auto poll = on_web_dialog([&](QDialog* d) {
      EXPECT_EQ(d->windowModality(), Qt::WindowModal);
      EXPECT_EQ(QApplication::activeModalWidget(), d);
      testsupport::x_click(&tool_button);
      testsupport::x_click(own_button);
      QTimer::singleShot(400, [&, d] {
        tool_clicks_in_box = tool_clicks;
        own_clicks_in_box = own_clicks;
        if (auto* b = button(d, "确定")) b->click();
        pressed = true;
      });
    });
    bool ok = false;
    run_js(view->page(), script, 10000, &ok);
    EXPECT_TRUE(ok);
    EXPECT_TRUE(pressed);
    EXPECT_EQ(tool_clicks_in_box, 2);  // the other window took its click during the box
    EXPECT_EQ(own_clicks_in_box, 1);   // the browser's own window did not
    EXPECT_EQ(WebPage::open_dialogs(), 0);
    platform::wait_responsive(200);
    EXPECT_EQ(own_clicks, 1);  // a blocked click is dropped, not delivered later
  }
}

// The book of open boxes: count, time open, boxes opened and the time since the last.
TEST(BrowserView, BoxesAreCountedAndTimed) {
  BrowserView view;
  view.resize(400, 300);
  view.show();
  view.navigate(page_url("timed"));
  ASSERT_TRUE(wait_load(&view));
  const qint64 time_before = WebPage::box_time_ms();
  const quint64 opened_before = WebPage::boxes_opened();
  // Two boxes in a row, each held 300 ms; 300 ms without a box between them.
  int open_seen = -1;
  qint64 since_seen = -1, time_in_box = -1;
  QTimer poll;
  poll.setInterval(10);
  QDialog* pressed = nullptr;
  int presses = 0;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    QDialog* d = open_web_dialog();
    if (!d || d == pressed) return;
    pressed = d;
    QTimer::singleShot(300, [&, d] {
      if (presses == 0) {
        open_seen = WebPage::open_dialogs();
        since_seen = WebPage::ms_since_box_opened();
        time_in_box = WebPage::box_time_ms() - time_before;
      }
      ++presses;
      button(d, "确定")->click();
    });
  });
  poll.start();
  bool ok = false;
  run_js(view.page(), "alert('1'); var t = Date.now(); while (Date.now() - t < 300) {} alert('2'); 1", 10000, &ok);
  EXPECT_TRUE(ok);
  EXPECT_EQ(presses, 2);
  EXPECT_EQ(open_seen, 1);
  EXPECT_GE(since_seen, 280);
  EXPECT_GE(time_in_box, 280);
  EXPECT_EQ(WebPage::open_dialogs(), 0);
  EXPECT_EQ(WebPage::boxes_opened(), opened_before + 2);
  const qint64 total = WebPage::box_time_ms() - time_before;
  EXPECT_GE(total, 580);
  EXPECT_LT(total, 900);  // the 300 ms between the boxes do not count
  platform::wait_responsive(100);
  EXPECT_EQ(WebPage::box_time_ms() - time_before, total);  // nothing open: the sum stands
  EXPECT_GE(WebPage::ms_since_box_opened(), 100);
}

TEST(BrowserView, InputGateHoldsUserInputButNotAutomation) {
  BrowserView view;
  view.resize(400, 300);
  view.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
  view.navigate(page_url("gate",
                         "<button id=b style='position:absolute;left:0;top:0;width:400px;"
                         "height:300px' onmousedown='window.n=(window.n||0)+1'>b</button>"));
  ASSERT_TRUE(wait_load(&view));
  auto count = [&] { return run_js(view.page(), "window.n||0").toInt(); };
  auto user_click = [&] {
    QWidget* target = view.focusProxy();
    QTest::mouseClick(target, Qt::LeftButton, Qt::NoModifier, QPoint(100, 100));
  };

  // Let the renderer settle (the first click after a load may be dropped otherwise).
  ASSERT_TRUE(wait_until([&] {
    user_click();
    return count() > 0;
  }, 5000));
  const int before = count();

  view.set_input_enabled(false);
  user_click();
  user_click();
  QTest::qWait(300);
  EXPECT_EQ(count(), before);

  // Events the application posts itself still reach the page.
  QWidget* target = view.focusProxy();
  const QPointF pos(100, 100);
  QCoreApplication::postEvent(target, new QMouseEvent(QEvent::MouseButtonPress, pos,
                                                      target->mapToGlobal(pos), Qt::LeftButton,
                                                      Qt::LeftButton, Qt::NoModifier));
  QCoreApplication::postEvent(target, new QMouseEvent(QEvent::MouseButtonRelease, pos,
                                                      target->mapToGlobal(pos), Qt::LeftButton,
                                                      Qt::NoButton, Qt::NoModifier));
  EXPECT_TRUE(wait_until([&] { return count() == before + 1; }, 3000));

  // A new render widget after a navigation to another site is gated too.
  view.navigate(page_url("gate2",
                         "<button id=b style='position:absolute;left:0;top:0;width:400px;"
                         "height:300px' onmousedown='window.n=(window.n||0)+1'>b</button>")
                    .replace("127.0.0.1", "localhost"));
  ASSERT_TRUE(wait_load(&view));
  QTest::qWait(200);
  user_click();
  QTest::qWait(300);
  EXPECT_EQ(count(), 0);

  view.set_input_enabled(true);
  EXPECT_TRUE(wait_until([&] {
    user_click();
    return count() > 0;
  }, 5000));
}

TEST(Dialogs, TitlesAndButtons) {
  QStringList seen_buttons;
  QString seen_title;
  auto press_later = [&](const QString& caption) {
    QTimer::singleShot(50, [&, caption] {
      for (QWidget* w : QApplication::topLevelWidgets()) {
        auto* mb = qobject_cast<QMessageBox*>(w);
        if (!mb || !mb->isVisible()) continue;
        seen_title = mb->windowTitle();
        seen_buttons = button_texts(mb);
        if (auto* b = button(mb, caption)) b->click();
      }
    });
  };
  press_later("确定");
  platform::show_message(nullptr, "完成");
  EXPECT_EQ(seen_title, "信息：");
  EXPECT_EQ(seen_buttons, QStringList{"确定"});

  press_later("是");
  EXPECT_TRUE(platform::ask_yes_no(nullptr, "继续?", platform::kTitleHint));
  EXPECT_EQ(seen_title, "提示：");
  EXPECT_EQ(seen_buttons, (QStringList{"是", "否"}));
  press_later("否");
  EXPECT_FALSE(platform::ask_yes_no(nullptr, "继续?"));
}
