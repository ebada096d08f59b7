// BrowserView on the real engine: navigation, ready state, history, shared profile,
// script message boxes and the input gate.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPointer>
#include <QStandardPaths>
#include <QDateTime>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QWebEngineProfile>

#include "platform/browser_view.h"
#include "platform/dialogs.h"
#include "qt_test_hooks.h"
#include "test_util.h"

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

struct BoxSeen {
  QString text;
  QStringList buttons;
  QString editText;
  bool top_level = false;
  bool parent_is_window = false;
  int open_count = -1;
};

// Runs script; when the box appears, records it and presses press (and types
// type_text into a line edit first). Returns the script's result.
QVariant run_with_box(BrowserView& view, const QString& script, const QString& press,
                      BoxSeen& seen, const QString& type_text = QString()) {
  QTimer poll;
  poll.setInterval(10);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    QDialog* d = open_web_dialog();
    if (!d) return;
    poll.stop();
    seen.buttons = button_texts(d);
    if (auto* mb = qobject_cast<QMessageBox*>(d)) seen.text = mb->text();
    if (auto* e = d->findChild<QLineEdit*>()) {
      seen.editText = e->text();
      if (!type_text.isNull()) e->setText(type_text);
    }
    seen.top_level = d->isWindow();
    seen.parent_is_window = d->parentWidget() == view.window();
    seen.open_count = WebPage::open_dialogs();
    if (auto* b = button(d, press)) b->click();
  });
  poll.start();
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
  EXPECT_EQ(alert.open_count, 1);
  EXPECT_EQ(WebPage::open_dialogs(), 0);

  BoxSeen c1, c2;
  EXPECT_EQ(run_with_box(view, "confirm('删除?')", "确定", c1).toBool(), true);
  EXPECT_EQ(c1.buttons, (QStringList{"确定", "取消"}));
  EXPECT_EQ(c1.text, "删除?");
  EXPECT_EQ(run_with_box(view, "confirm('删除?')", "取消", c2).toBool(), false);

  BoxSeen p1, p2;
  EXPECT_EQ(run_with_box(view, "prompt('名称', '默认')", "确定", p1, "新值").toString(), "新值");
  EXPECT_EQ(p1.editText, "默认");
  EXPECT_EQ(p1.buttons, (QStringList{"确定", "取消"}));
  EXPECT_TRUE(p1.top_level);
  EXPECT_EQ(run_with_box(view, "String(prompt('名称', '默认'))", "取消", p2, "x").toString(),
            "null");
  EXPECT_EQ(WebPage::open_dialogs(), 0);
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
