// The complaint window against the demo back office, in process: a real browser, real
// pages, real HTTP, real files; waits shortened, the line fast or slow, pages that do not
// come.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

#include <cstdlib>
#include <fstream>
#include <random>

#include "demo_suite.h"
#include "page/confirmer.h"
#include "platform/dialogs.h"
#include "platform/waits.h"
#include "qt_test_hooks.h"
#include "settings/settings.h"
#include "text/text.h"
#include "tools/common/tool_window.h"
#include "tools/complaints/complaint_core.h"
#include "tools/complaints/complaint_window.h"
#include "tools/complaints/open_complaints.h"
#include "tools/complaints/order_info_window.h"
#include "tools/complaints/template_editor.h"

using tools::complaints::ComplaintWindow;
using tools::complaints::OrderInfoWindow;
using tools::complaints::TemplateEditor;

using harness::demo;
using harness::kDemoRoot;
using harness::tick;
using testsupport::url_encode;

void tessaro_test_before_app(std::vector<std::string>& args) {
  harness::start_demo(args, {"--complaints", "0", "--orders", "0", "--order-every", "0"});
}

void tessaro_test_after_all() { harness::stop_demo(); }

namespace {

QJsonArray demo_complaints() { return harness::recorded("complaints"); }

// Replies posted for each complaint, in demo order.
QList<QStringList> replies() {
  QList<QStringList> out;
  for (const QJsonValue& c : demo_complaints()) {
    QStringList r;
    for (const QJsonValue& t : c.toObject()["treatments"].toArray()) r << t.toObject()["reply"].toString();
    out << r;
  }
  return out;
}

// Answers the next visible message box with the button of the given caption.
struct BoxAnswer {
  QString title, text;
  bool seen = false;
  QTimer timer;
  explicit BoxAnswer(const QString& button) {
    timer.setInterval(20);
    QObject::connect(&timer, &QTimer::timeout, [this, button] {
      for (QWidget* w : QApplication::topLevelWidgets()) {
        auto* box = qobject_cast<QMessageBox*>(w);
        if (!box || !box->isVisible() || box->windowTitle() == platform::kWebMessageTitle) continue;
        for (QAbstractButton* b : box->buttons()) {
          if (b->text() != button) continue;
          seen = true;
          title = box->windowTitle();
          text = box->text();
          timer.stop();
          b->click();
          return;
        }
      }
    });
    timer.start();
  }
};

int lines(const QPlainTextEdit* box) {
  const QString t = box->toPlainText();
  return t.isEmpty() ? 0 : static_cast<int>(t.count(QLatin1Char('\n')));
}

bool on_top(const QWidget* w) { return w->windowFlags().testFlag(Qt::WindowStaysOnTopHint); }

// The window went: closed, and its deferred deletion done.
bool gone(const QPointer<ComplaintWindow>& w) {
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  return w.isNull();
}

// F1 as the user presses it: an event the window receives from the event loop.
void post_f1(QWidget* target) {
  QCoreApplication::postEvent(target, new QKeyEvent(QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier));
  QCoreApplication::postEvent(target, new QKeyEvent(QEvent::KeyRelease, Qt::Key_F1, Qt::NoModifier));
}

class Complaints : public harness::ConfirmedDemoSuite<ComplaintWindow, OrderInfoWindow> {
 protected:
  Complaints() : ConfirmedDemoSuite({.wait_scale = 0.2}) {}

  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(ConfirmedDemoSuite::SetUp());
    ctx_->host()->show();
  }

  // Arms a fault of the demo for pages whose path ends with path (after: matching requests
  // let through first).
  static void fault(const std::string& kind, const std::string& path, int after = 0) {
    demo().post("/demo/fault", "kind=" + kind + "&path=" + url_encode(path) + "&after=" + std::to_string(after));
  }

  static void close_all() { harness::close_windows<ComplaintWindow, OrderInfoWindow>(); }

  static void add(int count, const std::string& extra = "") {
    demo().post("/demo/complaints/add", "count=" + std::to_string(count) + extra);
  }

  // Opens the window through the main window's entry; returns it once its opening ran.
  ComplaintWindow* open() {
    // A list that unexpectedly shows nothing must not leave its message box up.
    BoxAnswer unexpected(platform::kOkCaption);
    tools::complaints::open_complaints(*ctx_, &main_button_);
    EXPECT_FALSE(unexpected.seen) << unexpected.text.toStdString();
    ComplaintWindow* found = nullptr;
    for (QWidget* t : QApplication::topLevelWidgets())
      if (auto* w = qobject_cast<ComplaintWindow*>(t); w && w->isVisible()) found = w;
    return found;
  }

  // Presses "处理（F1）" and waits until the press returned or the window went.
  static bool press(ComplaintWindow* w, int timeout_ms = 60000) {
    QPointer<ComplaintWindow> guard(w);
    bool done = false;
    QObject::connect(w, &ComplaintWindow::processing_finished, [&] { done = true; });
    QTimer::singleShot(0, w->controls().process, &QPushButton::click);
    return harness::wait_until([&] { return done || gone(guard); }, timeout_ms);
  }

  std::string complaint_file() const { return exe_dir() + "/data/Complaint.txt"; }

  QPushButton main_button_{QStringLiteral("投诉批量处理")};
};

TEST_F(Complaints, OneComplaintIsTreatedThenTheWindowClosesAndTheBrowserWindowReturns) {
  add(1, "&customer=lisi2008&title=" + url_encode("卡密无效") + "&order=S77&text=" + url_encode("提示卡密已被使用"));
  // The main button is off while the opening runs.
  QList<bool> button_states;
  QTimer sampler;
  QObject::connect(&sampler, &QTimer::timeout, [&] { button_states << main_button_.isEnabled(); });
  sampler.start(10);
  ComplaintWindow* w = open();
  sampler.stop();
  ASSERT_NE(w, nullptr);
  EXPECT_TRUE(button_states.contains(false));
  EXPECT_TRUE(main_button_.isEnabled());
  EXPECT_EQ(w->windowTitle(), QStringLiteral("Quillory-TessaroV4.3正式版-卡盟投诉处理"));
  EXPECT_TRUE(on_top(w));
  EXPECT_EQ(w->parentWidget(), nullptr);
  EXPECT_FALSE(ctx_->host()->isVisible());
  const auto& c = w->controls();
  EXPECT_EQ(c.details->toPlainText(),
            QStringLiteral("投诉客户：lisi2008\n投诉时间：2024-05-02 11:21:00\n投诉主题：卡密无效\n订单号：S77\n"
                           "投诉内容：提示卡密已被使用\n"));
  EXPECT_EQ(c.progress->text(), QStringLiteral("当前共1个投诉,正在处理第1个投诉"));
  EXPECT_EQ(c.hint->text(), QStringLiteral("注意，Enter键换行，F1键处理"));
  EXPECT_EQ(c.hint->width(), 180);
  EXPECT_TRUE(c.current->isChecked());
  EXPECT_FALSE(c.all->isChecked());
  EXPECT_EQ(c.phrases->count(), 12);
  EXPECT_EQ(w->links(), (std::vector<std::string>{"OnlineServiceTreat.aspx?ID=1001"}));

  c.reply->setPlainText(QStringLiteral("您好，已为您处理。\n如有问题请联系客服。"));
  QStringList texts;
  QObject::connect(w, &ComplaintWindow::status_text_changed, [&](const QString& t) { texts << t; });
  QPointer<ComplaintWindow> guard(w);
  ASSERT_TRUE(press(w));
  ASSERT_TRUE(harness::wait_until([&] { return gone(guard); }));
  EXPECT_EQ(texts, QStringList{QStringLiteral("投诉处理完毕！")});
  EXPECT_TRUE(ctx_->host()->isVisible());
  const QJsonArray all = demo_complaints();
  ASSERT_EQ(all.size(), 1);
  EXPECT_EQ(all[0].toObject()["status"].toString(), "2");
  EXPECT_FALSE(all[0].toObject()["open"].toBool());
  EXPECT_EQ(replies()[0], QStringList{QStringLiteral("您好，已为您处理。\r\n如有问题请联系客服。")});
}

// The line the platform answers on: as fast as it goes, or slower than every step's
// prescribed wait (200 to 300 ms with the wait scale), with jitter.
struct Line {
  const char* name;
  int latency_ms, jitter_ms;
  bool both_modes = false;  // the work paced, then in fast mode: the same records
};

class ComplaintsOnALine : public Complaints, public ::testing::WithParamInterface<Line> {};

TEST_P(ComplaintsOnALine, OnePressWithAllTickedTreatsThreeComplaintsWithTheSameReply) {
  paced_and_fast(GetParam().both_modes, 0.2, [&] {
    add(3);
    set_latency(GetParam().latency_ms, GetParam().jitter_ms);
    ComplaintWindow* w = open();
    ASSERT_NE(w, nullptr);
    const auto& c = w->controls();
    tick(c.all);
    EXPECT_TRUE(c.all->isChecked());
    EXPECT_FALSE(c.current->isChecked());
    c.reply->setPlainText(QStringLiteral("统一回复"));
    QStringList texts, captions;
    QList<int> detail_lines;
    QObject::connect(w, &ComplaintWindow::status_text_changed, [&](const QString& t) {
      texts << t;
      captions << c.process->text();
      detail_lines << lines(c.details);
    });
    QPointer<ComplaintWindow> guard(w);
    // One F1 in the reply box.
    c.reply->setFocus();
    post_f1(c.reply);
    ASSERT_TRUE(harness::wait_until([&] { return gone(guard); }, 60000));
    EXPECT_EQ(texts, (QStringList{QStringLiteral("当前共3个投诉,正在处理第2个投诉"),
                                  QStringLiteral("当前共3个投诉,正在处理第3个投诉"), QStringLiteral("投诉处理完毕！")}));
    // The caption counts through the run; the details box grew by five lines per complaint.
    EXPECT_EQ(captions.mid(0, 2), (QStringList{QStringLiteral("全部处理中(1/3)"), QStringLiteral("全部处理中(2/3)")}));
    EXPECT_EQ(detail_lines.mid(0, 2), (QList<int>{10, 15}));
    EXPECT_EQ(replies(), (QList<QStringList>{{QStringLiteral("统一回复")}, {QStringLiteral("统一回复")},
                                             {QStringLiteral("统一回复")}}));
    EXPECT_TRUE(ctx_->host()->isVisible());
    // The journal: one item per complaint, keyed by its link, with the reply and the
    // platform's answer.
    std::vector<tools::journal::ItemRow> items;
    const auto run = last_run(&items);
    ASSERT_TRUE(run.has_value());
    EXPECT_EQ(run->tool, "投诉批量处理");
    EXPECT_EQ(run->ending, "finished");
    EXPECT_EQ(run->items_todo, 3);
    ASSERT_EQ(items.size(), 3u);
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(items[i].key, "OnlineServiceTreat.aspx?ID=" + std::to_string(1001 + i));
      EXPECT_EQ(items[i].detail, "统一回复");
      EXPECT_EQ(items[i].answer.value_or(""), "处理成功！");
      EXPECT_FALSE(items[i].problem) << *items[i].problem;
    }
  });
}

INSTANTIATE_TEST_SUITE_P(Lines, ComplaintsOnALine, ::testing::Values(Line{"FastBothModes", 0, 0, true}, Line{"Slow", 450, 100}),
                         [](const auto& info) { return std::string(info.param.name); });

// Pages that do not come: the list at the opening, a complaint's page in a run over all
// of them, the answer to a treatment. A complaint whose page does not come is not done and
// the run goes on with the next; the login page ends everything.
struct Miss {
  const char* name;
  const char* kind;
  const char* path;
  int after;                           // matching requests let through first
  QList<QStringList> replies;          // what the demo recorded
  const char* status;                  // the window's last status text
  const char* ending;                  // the journal's run ("": none began)
  std::vector<const char*> problems;   // the start of each item's problem ("": done)
};

class ComplaintMisses : public Complaints, public ::testing::WithParamInterface<Miss> {};

TEST_P(ComplaintMisses, AComplaintWhosePageDoesNotComeIsNotDoneAndTheLoginPageEndsTheWork) {
  const Miss& m = GetParam();
  const bool login = std::string(m.kind) == "expire";
  platform::set_wait_scale(0.05);  // the page limit lasts 1.5 s
  add(3);
  fault(m.kind, m.path, m.after);
  BoxAnswer box(platform::kOkCaption);
  tools::complaints::open_complaints(*ctx_, &main_button_);
  QPointer<ComplaintWindow> w = harness::top_level<ComplaintWindow>();
  ASSERT_FALSE(w.isNull());
  QStringList texts;
  QObject::connect(w, &ComplaintWindow::status_text_changed, [&](const QString& t) { texts << t; });
  if (w->controls().process->isEnabled()) {
    tick(w->controls().all);
    w->controls().reply->setPlainText("x");
    ASSERT_TRUE(press(w));
  }
  // The window stays to say what happened, with nothing more to process.
  ASSERT_FALSE(gone(w));
  EXPECT_EQ(w->controls().progress->text(), QString::fromUtf8(m.status));
  EXPECT_FALSE(w->controls().process->isEnabled());
  EXPECT_TRUE(main_button_.isEnabled());
  EXPECT_EQ(replies(), m.replies);
  if (login) {
    ASSERT_TRUE(harness::wait_until([&] { return box.seen; }, 5000));
    EXPECT_EQ(box.text, tools::login_expired_text());
    EXPECT_TRUE(ctx_->host()->isVisible());
  }
  if (!*m.ending) {
    std::string why;
    const auto journal = tools::journal::Store::open_for_reading(tools::journal::journal_file(data_dir()), &why);
    EXPECT_TRUE(!journal || journal->run_count() == 0);
  } else {
    std::vector<tools::journal::ItemRow> items;
    const auto run = last_run(&items);
    ASSERT_TRUE(run.has_value());
    EXPECT_EQ(run->ending, m.ending);
    ASSERT_EQ(items.size(), m.problems.size());
    for (std::size_t i = 0; i < items.size(); ++i) {
      const std::string problem = items[i].problem.value_or("");
      if (*m.problems[i]) {
        EXPECT_EQ(problem.rfind(m.problems[i], 0), 0u) << i << ": " << problem;
      } else {
        EXPECT_EQ(problem, "") << i;
      }
    }
  }
  w->close();
  close_all();
  if (login) {
    ASSERT_TRUE(harness::log_in(ctx_->main_browser(), kDemoRoot));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Pages, ComplaintMisses,
    ::testing::Values(
        Miss{"TheLoginPageInsteadOfTheList", "expire", "/SelfProduct/ComplaintList.aspx", 0, {{}, {}, {}},
             "登录已失效，请在主程序重新登录", "", {}},
        // Complaint 1 (its page and its treatment) passes; complaint 2's page is an error page.
        Miss{"AnErrorPageInsteadOfTheSecondComplaint", "error", "/SelfProduct/OnlineServiceTreat.aspx", 2,
             {{"x"}, {}, {"x"}}, "投诉处理完毕，其中1个未能处理，详见“记录”→“运行记录”", "finished",
             {"", "页面未就绪：应为第2个投诉（/SelfProduct/OnlineServiceTreat.aspx?ID=1002，TreatStatus_2", ""}},
        Miss{"TheLoginPageInsteadOfTheAnswer", "expire", "/SelfProduct/OnlineServiceTreat.aspx", 1, {{}, {}, {}},
             "登录已失效，请在主程序重新登录", "login_expired", {"登录已失效，请在主程序重新登录"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Complaints, AllTickedWithAnEmptyReplyRefusesToStartWhileOneComplaintIsPostedAsTyped) {
  // A fresh data folder: no Complaint.txt, so template 1 and the reply box are empty.
  add(3);
  ComplaintWindow* w = open();
  ASSERT_NE(w, nullptr);
  const auto& c = w->controls();
  ASSERT_TRUE(c.reply->toPlainText().isEmpty());
  tick(c.all);
  QPointer<ComplaintWindow> guard(w);
  for (const QString& reply : {QString(), QStringLiteral(" \n\t ")}) {
    c.reply->setPlainText(reply);
    BoxAnswer ok(platform::kOkCaption);
    ASSERT_TRUE(press(w));
    ASSERT_FALSE(gone(guard));
    EXPECT_TRUE(ok.seen);
    EXPECT_EQ(ok.title, platform::kTitleHint);
    EXPECT_EQ(ok.text, QStringLiteral("回复内容为空，请先选择或填写回复"));
    EXPECT_EQ(replies(), (QList<QStringList>{{}, {}, {}}));
    EXPECT_EQ(w->current_number(), 1);
    EXPECT_TRUE(w->isVisible());
    EXPECT_TRUE(c.process->isEnabled());
    EXPECT_EQ(c.process->text(), QStringLiteral("处理（F1）"));
    // No run began: the journal has none (or does not exist yet).
    std::string why;
    const auto journal = tools::journal::Store::open_for_reading(tools::journal::journal_file(settings::portable_data_dir(exe_dir())), &why);
    EXPECT_TRUE(!journal || journal->run_count() == 0);
  }
  // One complaint at a time, the reply goes as it is: the platform refuses it.
  tick(c.current);
  c.reply->clear();
  ASSERT_TRUE(press(w));
  ASSERT_FALSE(gone(guard));
  EXPECT_EQ(replies(), (QList<QStringList>{{}, {}, {}}));
  EXPECT_EQ(w->current_number(), 2);
  std::vector<tools::journal::ItemRow> items;
  ASSERT_TRUE(last_run(&items).has_value());
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].answer.value_or(""), "请填写回复内容！");
}

TEST_F(Complaints, EachPressTreatsTheShownComplaintOnlyAndTheDetailsGrow) {
  add(3);
  ComplaintWindow* w = open();
  ASSERT_NE(w, nullptr);
  const auto& c = w->controls();
  EXPECT_EQ(lines(c.details), 5);
  c.reply->setPlainText("R1");
  ASSERT_TRUE(press(w));
  EXPECT_EQ(w->current_number(), 2);
  EXPECT_EQ(lines(c.details), 10);
  EXPECT_TRUE(c.details->toPlainText().startsWith(QStringLiteral("投诉客户：")));
  EXPECT_EQ(c.progress->text(), QStringLiteral("当前共3个投诉,正在处理第2个投诉"));
  EXPECT_TRUE(c.process->isEnabled());
  EXPECT_EQ(c.process->text(), QStringLiteral("处理（F1）"));
  // The details box shows its end.
  EXPECT_EQ(c.details->verticalScrollBar()->value(), c.details->verticalScrollBar()->maximum());
  c.reply->setPlainText("R2");
  ASSERT_TRUE(press(w));
  EXPECT_EQ(lines(c.details), 15);
  EXPECT_EQ(replies(), (QList<QStringList>{{"R1"}, {"R2"}, {}}));
  EXPECT_TRUE(w->isVisible());
  EXPECT_FALSE(ctx_->host()->isVisible());
  std::vector<tools::journal::ItemRow> items;
  ASSERT_TRUE(last_run(&items).has_value());
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[1].detail, "R2");
  w->close();
  close_all();
  EXPECT_EQ(last_run()->ending, "window_closed");
  EXPECT_TRUE(ctx_->host()->isVisible());
}

TEST_F(Complaints, UntickingAllEndsTheRunAfterTheComplaintInProgress) {
  add(4);
  ComplaintWindow* w = open();
  ASSERT_NE(w, nullptr);
  const auto& c = w->controls();
  tick(c.all);
  c.reply->setPlainText("batch");
  // During complaint 2's submission the user ticks "当前投诉" again.
  bool clicked = false;
  QObject::connect(w, &ComplaintWindow::status_text_changed, [&](const QString& t) {
    if (t.endsWith(QStringLiteral("第2个投诉")))
      QTimer::singleShot(1, w, [&] {
        tick(c.current);
        clicked = true;
      });
  });
  ASSERT_TRUE(press(w));
  EXPECT_TRUE(clicked);
  EXPECT_FALSE(c.all->isChecked());
  EXPECT_EQ(replies(), (QList<QStringList>{{"batch"}, {"batch"}, {}, {}}));
  EXPECT_EQ(w->current_number(), 3);
  EXPECT_TRUE(c.process->isEnabled());
  EXPECT_EQ(c.process->text(), QStringLiteral("处理（F1）"));
}

TEST_F(Complaints, F1DuringASubmissionDoesNothing) {
  add(3);
  ComplaintWindow* w = open();
  ASSERT_NE(w, nullptr);
  const auto& c = w->controls();
  c.reply->setPlainText("once");
  int f1_while_disabled = 0;
  QTimer poke;
  QObject::connect(&poke, &QTimer::timeout, [&] {
    if (!c.process->isEnabled() && f1_while_disabled < 3) {
      post_f1(c.reply);
      ++f1_while_disabled;
    }
  });
  poke.start(5);
  ASSERT_TRUE(press(w));
  poke.stop();
  EXPECT_GT(f1_while_disabled, 0);
  EXPECT_EQ(replies(), (QList<QStringList>{{"once"}, {}, {}}));
  EXPECT_EQ(w->current_number(), 2);
  // Enabled again, F1 processes.
  bool done = false;
  QObject::connect(w, &ComplaintWindow::processing_finished, [&] { done = true; });
  post_f1(c.reply);
  ASSERT_TRUE(harness::wait_until([&] { return done; }, 30000));
  EXPECT_EQ(replies(), (QList<QStringList>{{"once"}, {"once"}, {}}));
}

TEST_F(Complaints, EnterInTheReplyBoxMakesANewLine) {
  add(1);
  ComplaintWindow* w = open();
  ASSERT_NE(w, nullptr);
  QPlainTextEdit* reply = w->controls().reply;
  reply->clear();
  reply->setFocus();
  QTest::keyClicks(reply, "ab");
  QTest::keyClick(reply, Qt::Key_Return);
  QTest::keyClicks(reply, "cd");
  EXPECT_EQ(reply->toPlainText(), "ab\ncd");
  EXPECT_TRUE(w->isVisible());
  EXPECT_EQ(replies(), (QList<QStringList>{{}}));
}

TEST_F(Complaints, NoComplaintsSaysSoClosesAndKeepsTheBrowserWindow) {
  BoxAnswer answer(platform::kOkCaption);
  tools::complaints::open_complaints(*ctx_, &main_button_);
  EXPECT_TRUE(answer.seen);
  EXPECT_EQ(answer.text, QStringLiteral("暂无投诉哦！"));
  EXPECT_EQ(answer.title, platform::kTitleInfo);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  for (QWidget* t : QApplication::topLevelWidgets()) EXPECT_EQ(qobject_cast<ComplaintWindow*>(t), nullptr);
  EXPECT_TRUE(ctx_->host()->isVisible());
  EXPECT_TRUE(main_button_.isEnabled());
  EXPECT_EQ(ctx_->main_browser()->url().path(), "/SelfProduct/ComplaintList.aspx");
}

TEST_F(Complaints, AMissingFifthPairLeavesOnlyTheFifthTemplateEmptyAndChoosingItEmptiesTheReply) {
  tools::complaints::Templates t;
  for (int n = 1; n <= 12; ++n) t[n - 1] = text::utf8_to_gbk("模板") + std::to_string(n);
  t[1] = text::utf8_to_gbk("第一行\r\n第二行");
  std::string file = tools::complaints::template_file_text(t);
  const std::string fifth = "[5]" + t[4] + "[5]\r\n";
  file.erase(file.find(fifth), fifth.size());
  ctx_->ensure_data_dir();
  ASSERT_TRUE(settings::write_whole_file(complaint_file(), file));
  add(1);
  ComplaintWindow* w = open();
  ASSERT_NE(w, nullptr);
  const auto& c = w->controls();
  ASSERT_EQ(c.phrases->count(), 12);
  EXPECT_EQ(c.phrases->currentIndex(), 0);
  EXPECT_EQ(c.reply->toPlainText(), QStringLiteral("模板1"));
  for (int i = 0; i < 12; ++i) {
    if (i == 4) EXPECT_TRUE(c.phrases->itemText(i).isEmpty());
    else EXPECT_FALSE(c.phrases->itemText(i).isEmpty()) << i;
  }
  EXPECT_EQ(c.phrases->itemData(1).toString(), QStringLiteral("第一行\n第二行"));
  c.phrases->setCurrentIndex(1);
  emit c.phrases->activated(1);
  EXPECT_EQ(c.reply->toPlainText(), QStringLiteral("第一行\n第二行"));
  c.phrases->setCurrentIndex(4);
  emit c.phrases->activated(4);
  EXPECT_TRUE(c.reply->toPlainText().isEmpty());
  // The window only reads the file.
  EXPECT_EQ(settings::read_whole_file(complaint_file()), file);
}

// Runs body on the editor once it is up (from a timer: the editor is modal).
void with_editor(const std::function<void(TemplateEditor*)>& body) {
  auto* timer = new QTimer;
  timer->setInterval(20);
  QObject::connect(timer, &QTimer::timeout, [timer, body] {
    for (QWidget* t : QApplication::topLevelWidgets()) {
      auto* e = qobject_cast<TemplateEditor*>(t);
      if (!e || !e->isVisible()) continue;
      timer->stop();
      timer->deleteLater();
      body(e);
      return;
    }
  });
  timer->start();
}

TEST_F(Complaints, SavedTemplatesWithLineBreaksSurviveAReopenAndSavingResetsTheReplyBox) {
  add(1);
  ComplaintWindow* w = open();
  ASSERT_NE(w, nullptr);
  const auto& c = w->controls();
  c.reply->setPlainText(QStringLiteral("正在输入的回复"));
  bool was_on_top = true;
  with_editor([&](TemplateEditor* e) {
    was_on_top = on_top(w);
    EXPECT_TRUE(e->isModal());
    EXPECT_EQ(e->box(1)->accessibleName(), QStringLiteral("1、"));
    EXPECT_EQ(e->box(12)->accessibleName(), QStringLiteral("12、"));
    e->box(1)->setPlainText(QStringLiteral("您好！\n\n已处理"));
    e->box(2)->setPlainText(QStringLiteral("第二个\n模板😀"));
    e->box(12)->setPlainText(QStringLiteral("最后"));
    QTest::mouseClick(e->save_button(), Qt::LeftButton);
  });
  QTest::mouseClick(c.edit, Qt::LeftButton);  // returns when the editor closed
  EXPECT_FALSE(was_on_top);
  EXPECT_TRUE(on_top(w));
  EXPECT_EQ(c.reply->toPlainText(), QStringLiteral("您好！\n\n已处理"));
  EXPECT_EQ(c.phrases->currentIndex(), 0);
  EXPECT_EQ(c.phrases->count(), 12);
  EXPECT_EQ(settings::read_whole_file(complaint_file()),
            text::utf8_to_gbk("[1]您好！\r\n\r\n已处理[1]\r\n[2]第二个\r\n模板😀[2]\r\n[3][3]\r\n[4][4]\r\n[5][5]\r\n"
                              "[6][6]\r\n[7][7]\r\n[8][8]\r\n[9][9]\r\n[10][10]\r\n[11][11]\r\n[12]最后[12]\r\n"));
  w->close();
  close_all();
  add(1);
  w = open();
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->controls().phrases->itemData(1).toString(), QStringLiteral("第二个\n模板😀"));
  EXPECT_EQ(w->controls().reply->toPlainText(), QStringLiteral("您好！\n\n已处理"));
  // The editor shows them again as saved.
  QString second;
  with_editor([&](TemplateEditor* e) {
    second = e->box(2)->toPlainText();
    e->close();  // asks like "取消"
  });
  BoxAnswer yes(QStringLiteral("是"));
  QTest::mouseClick(w->controls().edit, Qt::LeftButton);
  EXPECT_EQ(second, QStringLiteral("第二个\n模板😀"));
  EXPECT_EQ(yes.text, QStringLiteral("是否取消保存？"));
}

TEST_F(Complaints, TheEditorRefusesATemplateHoldingItsMarkerAndCancelAsksFirst) {
  ctx_->ensure_data_dir();
  const std::string before = tools::complaints::template_file_text({"keep1", "keep2"});
  ASSERT_TRUE(settings::write_whole_file(complaint_file(), before));
  add(1);
  ComplaintWindow* w = open();
  ASSERT_NE(w, nullptr);
  QStringList boxes_seen;
  bool still_open_after_no = false;
  with_editor([&](TemplateEditor* e) {
    e->box(3)->setPlainText(QStringLiteral("请看[3]这里"));
    {
      BoxAnswer ok(platform::kOkCaption);
      QTest::mouseClick(e->save_button(), Qt::LeftButton);
      boxes_seen << ok.title << ok.text;
    }
    {
      BoxAnswer no(QStringLiteral("否"));
      QTest::mouseClick(e->cancel_button(), Qt::LeftButton);
      boxes_seen << no.title << no.text;
    }
    still_open_after_no = e->isVisible();
    BoxAnswer yes(QStringLiteral("是"));
    QTest::mouseClick(e->cancel_button(), Qt::LeftButton);
  });
  QTest::mouseClick(w->controls().edit, Qt::LeftButton);
  ASSERT_EQ(boxes_seen.size(), 4);
  EXPECT_EQ(boxes_seen[0], platform::kTitleHint);
  EXPECT_TRUE(boxes_seen[1].contains(QStringLiteral("第3个模板"))) << boxes_seen[1].toStdString();
  EXPECT_TRUE(boxes_seen[1].contains(QStringLiteral("[3]")));
  EXPECT_EQ(boxes_seen[2], QStringLiteral("提示"));
  EXPECT_EQ(boxes_seen[3], QStringLiteral("是否取消保存？"));
  EXPECT_TRUE(still_open_after_no);
  EXPECT_EQ(settings::read_whole_file(complaint_file()), before);
  EXPECT_EQ(w->controls().reply->toPlainText(), "keep1");
  EXPECT_TRUE(on_top(w));
}

// Complaint.txt marked read-only, or a folder in its place: the save says why, the editor
// stays open with the texts, the file (and the window's phrases) stay as they were.
TEST_F(Complaints, TemplatesThatCannotBeWrittenStayInTheOpenEditorAndTheFileKeepsItsContent) {
  ctx_->ensure_data_dir();
  const std::string before = tools::complaints::template_file_text({"keep1", "keep2"});
  add(1);
  for (const bool read_only : {true, false}) {
    SCOPED_TRACE(read_only ? "read-only file" : "folder");
    const QString path = QString::fromStdString(complaint_file());
    if (read_only) {
      ASSERT_TRUE(settings::write_whole_file(complaint_file(), before));
      ASSERT_TRUE(QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    } else {
      ASSERT_TRUE(QFile::remove(path));
      ASSERT_TRUE(QDir().mkpath(path));
    }
    ComplaintWindow* w = open();
    ASSERT_NE(w, nullptr);
    w->controls().reply->setPlainText(QStringLiteral("正在输入的回复"));
    QStringList seen;
    bool open_after_save = false;
    QString box1_after_save;
    with_editor([&](TemplateEditor* e) {
      e->box(1)->setPlainText(QStringLiteral("新的第一条"));
      e->box(12)->setPlainText(QStringLiteral("新的\n最后一条"));
      {
        BoxAnswer ok(platform::kOkCaption);
        QTest::mouseClick(e->save_button(), Qt::LeftButton);
        seen << ok.title << ok.text;
      }
      open_after_save = e->isVisible();
      box1_after_save = e->box(1)->toPlainText();
      BoxAnswer yes(QStringLiteral("是"));
      QTest::mouseClick(e->cancel_button(), Qt::LeftButton);
    });
    QTest::mouseClick(w->controls().edit, Qt::LeftButton);
    ASSERT_EQ(seen.size(), 2);
    EXPECT_EQ(seen[0], platform::kTitleHint);
    EXPECT_TRUE(seen[1].contains(QStringLiteral("Complaint.txt"))) << seen[1].toStdString();
    EXPECT_TRUE(seen[1].contains(read_only ? QStringLiteral("只读") : QStringLiteral("不是普通文件")))
        << seen[1].toStdString();
    EXPECT_TRUE(open_after_save);
    EXPECT_EQ(box1_after_save, QStringLiteral("新的第一条"));
    if (read_only) {
      EXPECT_EQ(settings::read_whole_file(complaint_file()), before);
    } else {
      EXPECT_TRUE(QFileInfo(path).isDir());
    }
    // Nothing of the unsaved texts reached the window.
    EXPECT_EQ(w->controls().reply->toPlainText(), QStringLiteral("正在输入的回复"));
    EXPECT_EQ(w->controls().phrases->itemData(0).toString(), read_only ? QStringLiteral("keep1") : QString());
    EXPECT_EQ(w->templates()[0], read_only ? "keep1" : "");
    w->close();
    close_all();
  }
  ASSERT_TRUE(QDir(QString::fromStdString(complaint_file())).removeRecursively());
}

TEST_F(Complaints, OrderLookUpOpensTheOrderPageInItsOwnWindowOnTop) {
  add(1, "&order=S2024123");
  ComplaintWindow* w = open();
  ASSERT_NE(w, nullptr);
  QTest::mouseClick(w->controls().order_lookup, Qt::LeftButton);
  QPointer<OrderInfoWindow> info = w->order_window();
  ASSERT_FALSE(info.isNull());
  EXPECT_TRUE(info->isVisible());
  EXPECT_TRUE(on_top(info));
  EXPECT_FALSE(on_top(w));
  EXPECT_EQ(info->parentWidget(), nullptr);
  ASSERT_TRUE(harness::wait_until([&] {
    return harness::page_script(info->view(), "document.getElementById('lblOrderNO') ? "
                                              "document.getElementById('lblOrderNO').textContent : ''")
               .toString() == "S2024123";
  }));
  EXPECT_EQ(info->view()->url().toString(),
            QString(kDemoRoot) + "/SelfProduct/SaleOrderDetail.aspx?OrderNO=S2024123");
  info->resize(700, 500);
  QApplication::processEvents();
  EXPECT_EQ(info->view()->size(), QSize(690, 490));
  info->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(info.isNull());
  EXPECT_TRUE(on_top(w));
  EXPECT_TRUE(w->isVisible());
}

TEST_F(Complaints, APageThatNeverFinishesLoadingIsNotDoneAndTheNextComplaintIsShown) {
  add(1, "&hang=1");
  add(1);
  platform::set_wait_scale(0.05);  // the page limit lasts 1.5 s
  QElapsedTimer clock;
  clock.start();
  ComplaintWindow* w = open();
  ASSERT_NE(w, nullptr);
  // Complaint 1's page never came (its spans did, its form not): complaint 2 is shown.
  EXPECT_EQ(w->current_number(), 2);
  EXPECT_EQ(w->controls().progress->text(), QStringLiteral("当前共2个投诉,正在处理第2个投诉"));
  EXPECT_EQ(lines(w->controls().details), 5);
  w->controls().reply->setPlainText("after hang");
  QPointer<ComplaintWindow> guard(w);
  ASSERT_TRUE(press(w));
  // Nothing was submitted on the first page; the window stays to say that one was not done.
  EXPECT_EQ(replies(), (QList<QStringList>{{}, {"after hang"}}));
  ASSERT_FALSE(gone(guard));
  EXPECT_EQ(w->controls().progress->text(), QStringLiteral("投诉处理完毕，其中1个未能处理，详见“记录”→“运行记录”"));
  EXPECT_FALSE(w->controls().process->isEnabled());
  EXPECT_LT(clock.elapsed(), 15000);
  std::vector<tools::journal::ItemRow> items;
  const auto run = last_run(&items);
  ASSERT_TRUE(run.has_value());
  EXPECT_EQ(run->ending, "finished");
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0].key, "OnlineServiceTreat.aspx?ID=1001");
  EXPECT_EQ(items[0].problem.value_or("").rfind("页面未就绪：应为第1个投诉", 0), 0u) << items[0].problem.value_or("");
  EXPECT_FALSE(items[1].problem);
}

TEST_F(Complaints, AHundredKilobyteComplaintOutsideGbkArrivesWhole) {
  QString big;
  while (big.size() < 100 * 1024) big += QStringLiteral("𠀀古字€😀投诉内容很长");
  add(1, "&text=" + url_encode(big.toStdString()));
  // Rare characters make this page slow to lay out on a busy machine: the page-load limit
  // as users have it, so that the page is read once loaded.
  platform::set_wait_scale(1.0);
  ComplaintWindow* w = open();
  ASSERT_NE(w, nullptr);
  const QString details = w->controls().details->toPlainText();
  EXPECT_TRUE(details.contains(QStringLiteral("投诉内容：") + big + "\n"))
      << details.size() << " " << details.left(300).toStdString();
  EXPECT_EQ(lines(w->controls().details), 5);
}

TEST_F(Complaints, RandomBytesOrTenMegabytesInComplaintTxtOpenNormallyAndStayUntouched) {
  ctx_->ensure_data_dir();
  std::mt19937 rng(11);
  std::string noise(64 * 1024, '\0');
  for (char& ch : noise) ch = static_cast<char>(rng());
  ASSERT_TRUE(settings::write_whole_file(complaint_file(), noise));
  add(1);
  ComplaintWindow* w = open();
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->controls().phrases->count(), 12);
  w->close();
  close_all();
  EXPECT_EQ(settings::read_whole_file(complaint_file()), noise);

  tools::complaints::Templates t;
  t[0] = "short";
  t[6] = std::string(10 * 1024 * 1024, 'y');
  const std::string big = tools::complaints::template_file_text(t);
  ASSERT_TRUE(settings::write_whole_file(complaint_file(), big));
  QElapsedTimer clock;
  clock.start();
  w = open();
  ASSERT_NE(w, nullptr);
  EXPECT_LT(clock.elapsed(), 20000);
  EXPECT_EQ(w->controls().phrases->itemData(6).toString().size(), 10 * 1024 * 1024);
  EXPECT_LT(w->controls().phrases->itemText(6).size(), 100);
  EXPECT_EQ(w->controls().reply->toPlainText(), "short");
  w->close();
  close_all();
  EXPECT_EQ(settings::read_whole_file(complaint_file()).size(), big.size());
}

// What the main window does when it closes (every tool window's closing work, then the
// window goes with the process), during the opening and during a submission.
TEST_F(Complaints, TheApplicationEndingDuringTheOpeningOrASubmissionGivesEverythingBack) {
  ctx_->ensure_data_dir();
  const std::string templates = tools::complaints::template_file_text({"t1"});
  ASSERT_TRUE(settings::write_whole_file(complaint_file(), templates));
  add(3);
  for (const bool in_opening : {true, false}) {
    SCOPED_TRACE(in_opening ? "opening" : "submission");
    QPointer<ComplaintWindow> guard;
    if (!in_opening) {
      guard = open();
      ASSERT_FALSE(guard.isNull());
    }
    // The moment: the opening holds the main button, or the submission the process button.
    bool ended = false, button_held = false, button_back = false, browser_back = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
      if (ended) return;
      if (!guard) guard = harness::top_level<ComplaintWindow>();
      if (!guard || (in_opening ? main_button_.isEnabled() : guard->controls().process->isEnabled())) return;
      ended = true;
      button_held = !main_button_.isEnabled();
      tools::ToolWindow::shut_down_all();
      button_back = main_button_.isEnabled();
      browser_back = ctx_->host()->isVisible();
      guard->close();
    });
    watch.start(5);
    if (in_opening) tools::complaints::open_complaints(*ctx_, &main_button_);
    else QTimer::singleShot(0, guard->controls().process, &QPushButton::click);
    ASSERT_TRUE(harness::wait_until([&] { return ended && gone(guard); }, 30000));
    EXPECT_EQ(button_held, in_opening);
    EXPECT_TRUE(button_back);
    EXPECT_TRUE(browser_back);
    EXPECT_TRUE(main_button_.isEnabled());
    EXPECT_EQ(settings::read_whole_file(complaint_file()), templates);
  }
  // The submission under way was the first; nothing was sent after it.
  EXPECT_EQ(last_run()->ending, "window_closed");
  EXPECT_LE(replies()[1].size(), 0);
}

TEST_F(Complaints, ClosingDuringTheOpeningGivesTheButtonAndTheBrowserWindowBack) {
  add(2);
  QTimer::singleShot(50, [] {
    for (QWidget* t : QApplication::topLevelWidgets())
      if (auto* w = qobject_cast<ComplaintWindow*>(t)) w->close();
  });
  tools::complaints::open_complaints(*ctx_, &main_button_);
  close_all();
  for (QWidget* t : QApplication::topLevelWidgets()) EXPECT_EQ(qobject_cast<ComplaintWindow*>(t), nullptr);
  EXPECT_TRUE(main_button_.isEnabled());
  EXPECT_TRUE(ctx_->host()->isVisible());
  EXPECT_EQ(replies(), (QList<QStringList>{{}, {}}));
}

TEST_F(Complaints, CaptionsAndNamesForAssistiveTools) {
  add(1);
  ComplaintWindow* w = open();
  ASSERT_NE(w, nullptr);
  const auto& c = w->controls();
  EXPECT_EQ(c.details->accessibleName(), QStringLiteral("主题详情："));
  EXPECT_EQ(c.reply->accessibleName(), QStringLiteral("内容："));
  EXPECT_EQ(c.phrases->accessibleName(), QStringLiteral("选择快捷词："));
  EXPECT_TRUE(c.details->isReadOnly());
  for (QLabel* l : w->findChildren<QLabel*>()) {
    if (l->text() == QStringLiteral("内容：")) {
      EXPECT_EQ(l->buddy(), c.reply);
    }
    if (l->text() == QStringLiteral("选择快捷词：")) {
      EXPECT_EQ(l->buddy(), c.phrases);
    }
  }
  EXPECT_EQ(c.edit->text(), QStringLiteral("编辑/添加"));
  EXPECT_EQ(c.order_lookup->text(), QStringLiteral("查询订单信息"));
  EXPECT_EQ(c.process->text(), QStringLiteral("处理（F1）"));
  EXPECT_TRUE(c.process->accessibleName().isEmpty());  // its caption changes
  // The two boxes are one exclusive choice; a second click keeps the choice.
  tick(c.current);
  EXPECT_TRUE(c.current->isChecked());
  EXPECT_FALSE(c.all->isChecked());
  tick(c.all);
  tick(c.all);
  EXPECT_TRUE(c.all->isChecked());
  EXPECT_FALSE(c.current->isChecked());
}

// Writes the guide's screenshot when TESSARO_SCREENSHOT_DIR is set.
TEST_F(Complaints, Screenshots) {
  const char* out = std::getenv("TESSARO_SCREENSHOT_DIR");
  if (!out) GTEST_SKIP() << "TESSARO_SCREENSHOT_DIR not set";
  ctx_->ensure_data_dir();
  settings::write_whole_file(complaint_file(), tools::complaints::template_file_text(
                                                   {text::utf8_to_gbk("您好，已为您重新充值，请查收。"),
                                                    text::utf8_to_gbk("您好，卡密已补发，请在订单中查看。")}));
  add(3);
  ComplaintWindow* w = open();
  ASSERT_NE(w, nullptr);
  QTest::qWait(300);
  EXPECT_TRUE(w->grab().save(QString::fromUtf8(out) + "/complaints.png"));
}

}  // namespace
