// The confirmer against Qt dialogs and against the engine's script message boxes.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QStandardPaths>
#include <QTimer>

#include "page/confirmer.h"
#include "platform/browser_view.h"
#include "platform/dialogs.h"
#include "platform/waits.h"
#include "qt_test_hooks.h"
#include "test_util.h"

using page::confirm_period;
using page::confirm_tick;
using page::confirm_watch_pattern;
using page::confirm_web_dialogs;
using testutil::wait_until;

void tessaro_test_before_app(std::vector<std::string>&) { QStandardPaths::setTestModeEnabled(true); }

namespace {

const QString kTitle = QStringLiteral("来自网页的消息");
const QString kOk = QStringLiteral("确定");

// A non-modal box that records which of its buttons was pressed.
struct Box {
  QPointer<QMessageBox> box;
  QString pressed;
  Box(const QString& title, const QStringList& captions) {
    box = new QMessageBox(QMessageBox::NoIcon, title, "text");
    box->setAttribute(Qt::WA_DeleteOnClose);
    for (const QString& c : captions) {
      QPushButton* b = box->addButton(c, QMessageBox::ActionRole);
      QObject::connect(b, &QAbstractButton::clicked, [this, c] { pressed = c; });
    }
    box->show();
  }
  ~Box() { delete box.data(); }
  bool open() const { return box && box->isVisible(); }
};

void settle() { platform::wait_responsive(30); }

// Counts distinct script message boxes that appear (and those modal to their own
// window only), until stopped.
struct BoxCounter {
  int seen = 0;
  int window_modal = 0;
  QTimer poll;
  BoxCounter() {
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, [this] {
      for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->isVisible() && w->windowTitle() == kTitle && !w->property("counted").toBool()) {
          w->setProperty("counted", true);
          ++seen;
          if (w->windowModality() == Qt::WindowModal && w->parentWidget()) ++window_modal;
        }
      }
    });
    poll.start();
  }
};

}  // namespace

TEST(Confirmer, PatternDefaultsAndPeriodRule) {
  QWidget owner;
  confirm_web_dialogs(&owner);
  EXPECT_EQ(confirm_watch_pattern(), "Microsoft Internet Explorer|确定");
  EXPECT_EQ(confirm_period(&owner), 300);

  confirm_web_dialogs(&owner, kTitle, kOk, false, 20);
  EXPECT_EQ(confirm_watch_pattern(), "来自网页的消息|确定");
  EXPECT_EQ(confirm_period(&owner), 300);
  confirm_web_dialogs(&owner, kTitle, kOk, false, 49);
  EXPECT_EQ(confirm_period(&owner), 300);
  confirm_web_dialogs(&owner, kTitle, kOk, false, 50);
  EXPECT_EQ(confirm_period(&owner), 50);
  confirm_web_dialogs(&owner, kTitle, kOk, false, 700);
  EXPECT_EQ(confirm_period(&owner), 700);
  // One timer per owner, whatever the number of starts.
  EXPECT_EQ(owner.findChildren<QTimer*>().size(), 1);
}

TEST(Confirmer, StopRemovesOnlyThatOwnersTimer) {
  QWidget browser, other;
  confirm_web_dialogs(&browser, kTitle, kOk, false, 500);
  confirm_web_dialogs(&other, kTitle, kOk, false, 700);
  // The last start sets the shared pattern.
  confirm_web_dialogs(&other, "标题", "按钮", false, 700);
  confirm_web_dialogs(&other, QString(), QString(), true);
  EXPECT_EQ(confirm_period(&other), 0);
  EXPECT_EQ(confirm_period(&browser), 500);
  EXPECT_EQ(confirm_watch_pattern(), "标题|按钮");  // a stop keeps the pattern
  confirm_web_dialogs(&browser, QString(), QString(), true);
  EXPECT_EQ(confirm_period(&browser), 0);
  confirm_web_dialogs(&browser, QString(), QString(), true);  // stopping twice is harmless

  // The timer dies with its owner.
  auto* owner = new QWidget;
  confirm_web_dialogs(owner, kTitle, kOk, false, 50);
  delete owner;
  confirm_web_dialogs(nullptr, kTitle, kOk, true);
  settle();
}

TEST(Confirmer, ExactTitleAndCaption) {
  confirm_web_dialogs(nullptr, kTitle, kOk);  // pattern only
  Box near_title("来自网页的消息 ", {kOk});
  Box other_lang("Message from webpage", {"OK"});
  Box near_caption(kTitle, {"确定 ", "取消"});
  settle();
  // The first dialog with the title has no button of that exact text: nothing happens.
  EXPECT_FALSE(confirm_tick());
  settle();
  EXPECT_TRUE(near_title.open());
  EXPECT_TRUE(other_lang.open());
  EXPECT_TRUE(near_caption.open());
  EXPECT_TRUE(near_caption.pressed.isEmpty());
}

TEST(Confirmer, PressesTheButtonOfExactTextOneDialogPerTick) {
  confirm_web_dialogs(nullptr, kTitle, kOk);
  Box a(kTitle, {"取消", kOk});
  Box b(kTitle, {"&确定", "取消"});  // shown with a mnemonic: "确定" as displayed
  settle();
  EXPECT_TRUE(confirm_tick());
  settle();
  EXPECT_NE(a.open(), b.open());  // exactly one pressed
  EXPECT_TRUE(confirm_tick());
  settle();
  EXPECT_FALSE(a.open());
  EXPECT_FALSE(b.open());
  EXPECT_EQ(a.pressed, kOk);
  EXPECT_EQ(b.pressed, "&确定");
  EXPECT_FALSE(confirm_tick());

  // Title before the first bar, caption after the last.
  confirm_web_dialogs(nullptr, "A|B", "C|D");
  Box c("A", {"D", "B|C|D"});
  settle();
  EXPECT_TRUE(confirm_tick());
  settle();
  EXPECT_EQ(c.pressed, "D");
  // A hidden dialog is left alone.
  confirm_web_dialogs(nullptr, kTitle, kOk);
  Box hidden(kTitle, {kOk});
  hidden.box->hide();
  EXPECT_FALSE(confirm_tick());
}

TEST(Confirmer, TimerConfirmsModalBoxesInTheirOwnLoop) {
  QWidget owner;
  confirm_web_dialogs(&owner, kTitle, kOk, false, 50);
  // Two modal boxes, one inside the other's loop; both are pressed by the timer.
  bool inner_done = false;
  QTimer::singleShot(20, [&] {
    platform::show_message(nullptr, "inner", kTitle);
    inner_done = true;
  });
  platform::show_message(nullptr, "outer", kTitle);
  EXPECT_TRUE(wait_until([&] { return inner_done; }, 3000));
  confirm_web_dialogs(&owner, QString(), QString(), true);
}

class ConfirmerEngine : public ::testing::Test {
 protected:
  void SetUp() override {
    view_ = std::make_unique<platform::BrowserView>();
    view_->resize(400, 300);
    view_->show();
    view_->setHtml("<html><body><button id=b onclick=\"alert('已保存'); document.title='after'\">"
                   "b</button></body></html>");
    ASSERT_TRUE(testutil::wait_load(view_.get()));
  }
  void TearDown() override {
    confirm_web_dialogs(view_.get(), QString(), QString(), true);
    view_.reset();
  }
  std::unique_ptr<platform::BrowserView> view_;
};

TEST_F(ConfirmerEngine, CallThatRaisesABoxReturnsOnceConfirmed) {
  confirm_web_dialogs(view_.get(), kTitle, kOk, false, 60);
  BoxCounter counter;
  bool ok = false;
  const QVariant r = testutil::run_js(
      view_->page(), "document.getElementById('b').click(); document.title + '|' + confirm('继续?')",
      5000, &ok);
  ASSERT_TRUE(ok);
  EXPECT_EQ(r.toString(), "after|true");
  EXPECT_EQ(counter.seen, 2);
  EXPECT_EQ(counter.window_modal, 2);  // parented and window-modal, still found and pressed
  EXPECT_EQ(platform::WebPage::open_dialogs(), 0);
}

TEST_F(ConfirmerEngine, EndlessBoxesAreKeptUpWithAndTheLoopStaysStoppable) {
  confirm_web_dialogs(view_.get(), kTitle, kOk, false, 50);
  BoxCounter counter;
  testutil::run_js(view_->page(), "window.n = 0; setInterval(function(){ alert('第' + (++window.n)); }, 1); 1");
  int app_ticks = 0;
  QTimer app_timer;
  QObject::connect(&app_timer, &QTimer::timeout, [&] { ++app_ticks; });
  app_timer.start(100);
  platform::wait_responsive(1500);  // returns on time although boxes keep coming
  EXPECT_GE(counter.seen, 8);
  EXPECT_GE(app_ticks, 10);

  // Stopped: the box now open stays open. (It runs its own loop inside whatever wait is
  // running, so the checks are made from timers.)
  confirm_web_dialogs(view_.get(), QString(), QString(), true);
  int seen_at_stop = -1, seen_later = -1, open_later = -1;
  QTimer::singleShot(300, [&] { seen_at_stop = counter.seen; });
  QTimer::singleShot(700, [&] {
    seen_later = counter.seen;
    open_later = platform::WebPage::open_dialogs();
    // Started again, and the page is left: no box remains.
    confirm_web_dialogs(view_.get(), kTitle, kOk, false, 50);
    view_->navigate("");
  });
  EXPECT_TRUE(wait_until([&] { return seen_later >= 0 && view_->url().toString() == "about:blank" &&
                                      platform::WebPage::open_dialogs() == 0; }, 8000));
  EXPECT_EQ(seen_later, seen_at_stop);
  EXPECT_EQ(open_later, 1);
  platform::wait_responsive(300);
  EXPECT_EQ(platform::WebPage::open_dialogs(), 0);
}
