// The card import window against the demo back office, in process: the inventory page's
// import addresses, each product's import form, the platform's answers.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "demo_suite.h"
#include "page/confirmer.h"
#include "platform/waits.h"
#include "qt_test_hooks.h"
#include "text/text.h"
#include "tools/cards/card_window.h"
#include "tools/cards/open_cards.h"

using tools::cards::CardWindow;

using harness::demo;
using harness::kDemoRoot;
using harness::spoken_name;
using harness::tick;

void tessaro_test_before_app(std::vector<std::string>& args) {
  // Inventory page 1 lists products 1 and 2, page 2 product 3.
  harness::start_demo(args, {"--products", "3", "--inventory-page-size", "2"});
}

void tessaro_test_after_all() { harness::stop_demo(); }

namespace {

const QString kInventory = QStringLiteral("/SelfProduct/SelfProductInventory.aspx");

QList<QJsonObject> imports() { return harness::recorded_objects("card_imports"); }

int stock(int product) { return harness::cards_in_stock(product, 0); }

int import_form_visits() {
  int n = 0;
  for (const QJsonValue& v : harness::recorded("visits"))
    if (v.toString() == "/SelfProduct/ProductCardImport.aspx") ++n;
  return n;
}

class CardImport : public harness::DemoSuite<CardWindow> {
 protected:
  CardImport() : DemoSuite({.wait_scale = 0.2, .address = std::string(kDemoRoot) + "/Index.aspx"}) {}

  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(DemoSuite::SetUp());
    ctx_->main_browser()->set_input_enabled(true);
    page::confirm_web_dialogs(ctx_->main_browser(), {}, {}, true);
    user_answers_web_boxes_ = false;
    // The message boxes of the window ("提示："): recorded and answered.
    boxes_.clear();
    answer_ = new QTimer;
    QObject::connect(answer_, &QTimer::timeout, [this] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
          box && box->windowTitle() == QStringLiteral("提示：")) {
        boxes_ << box->text();
        box->accept();
      }
      // The user presses the platform's boxes once no confirmer does.
      if (user_answers_web_boxes_) page::confirm_tick();
    });
    answer_->start(50);
  }

  void TearDown() override {
    delete answer_;
    answer_ = nullptr;
    DemoSuite::TearDown();
  }

  static bool on_page(const QString& path_end, const QString& query = {}) {
    const QUrl url = ctx_->main_browser()->url();
    return url.path().endsWith(path_end) && url.query() == query &&
           harness::page_script(ctx_->main_browser(), "document.readyState").toString() == "complete";
  }

  // The main window's button: the inventory page, then the window.
  CardWindow* open_window() {
    // From a blank page, so that the inventory page is surely the window's own load.
    EXPECT_TRUE(harness::load(ctx_->main_browser(), "about:blank"));
    tools::cards::open_cards(*ctx_);
    CardWindow* w = harness::top_level<CardWindow>();
    EXPECT_NE(w, nullptr);
    EXPECT_TRUE(harness::wait_until([] { return on_page(kInventory); }));
    return w;
  }

  // Inventory page 2: product 3 alone.
  static bool show_second_page() {
    return harness::load(ctx_->main_browser(), QString(kDemoRoot) + kInventory + "?page=2") &&
           harness::wait_until([] { return on_page(kInventory, "page=2"); });
  }

  static bool run(CardWindow* w, int timeout_ms = 60000) {
    return harness::click_until(w->controls().confirm, w, &CardWindow::import_finished, timeout_ms);
  }

  QTimer* answer_ = nullptr;
  QStringList boxes_;
  bool user_answers_web_boxes_ = false;
};

TEST_F(CardImport, OpeningCutsTheAddressToTheRootAndShowsTheWindowAsDesigned) {
  ctx_->set_address_text(std::string(kDemoRoot) + "/SelfProduct/SelfProductList.aspx?x=1");
  CardWindow* w = open_window();
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(ctx_->address_text(), kDemoRoot);
  EXPECT_EQ(ctx_->main_browser()->url().toString(), QString(kDemoRoot) + kInventory);
  EXPECT_EQ(w->windowTitle(), QStringLiteral("Quillory-TessaroV4.3正式版-批量导卡"));
  EXPECT_TRUE(w->windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_EQ(w->parentWidget(), nullptr);
  EXPECT_FALSE(w->isModal());
  EXPECT_TRUE(QDir(dir_.path() + "/data").exists());
  const auto& c = w->controls();
  EXPECT_EQ(c.content->toPlainText(), QStringLiteral("第一个商品的卡密\n第二个商品的卡密\n第三个商品的卡密\n……依次类推"));
  EXPECT_EQ(c.card_number->count(), 2);
  EXPECT_EQ(c.card_number->itemText(0), QStringLiteral("有卡号"));
  EXPECT_EQ(c.card_number->itemText(1), QStringLiteral("无卡号"));
  EXPECT_EQ(c.card_number->currentIndex(), 1);
  EXPECT_EQ(c.expiry->text(), "2099-11-21");
  const QStringList captions = {"50", "100", QStringLiteral("200(推荐)"), "400"};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(c.counts[i]->text(), captions[i]);
    EXPECT_EQ(c.counts[i]->isChecked(), i == 2) << i;
  }
  EXPECT_EQ(c.pace->text(), "3");
  EXPECT_EQ(c.confirm->text(), QStringLiteral("确认导卡"));
  EXPECT_TRUE(c.confirm->isEnabled());
  EXPECT_TRUE(c.progress->text().isEmpty());
  EXPECT_EQ(c.instructions[0]->text(), QStringLiteral("*操作顺序*\n1、在卡盟手动打开导卡页面"));
  EXPECT_EQ(c.instructions[1]->text(),
            QStringLiteral("2、只需输入一张卡的内容即可（即不需要重复输入）\n3、按顺序一行即为一个商品对应的卡密\n"));
  // Every box is found by its caption; the list by its label too.
  EXPECT_EQ(c.content->accessibleName(), QStringLiteral("点卡内容："));
  EXPECT_EQ(c.expiry->accessibleName(), QStringLiteral("该卡有效日期："));
  EXPECT_EQ(c.pace->accessibleName(), QStringLiteral("设置频率："));
  EXPECT_EQ(c.card_number->accessibleName(), QStringLiteral("选择有无卡号："));
  bool list_has_label = false;
  for (QLabel* l : w->findChildren<QLabel*>())
    if (l->buddy() == c.card_number) list_has_label = l->text() == QStringLiteral("选择有无卡号：");
  EXPECT_TRUE(list_has_label);
  EXPECT_EQ(spoken_name(c.confirm), QStringLiteral("确认导卡"));
  // No import yet: the confirmer is not started by opening.
  EXPECT_EQ(page::confirm_period(ctx_->main_browser()), 0);
}

TEST_F(CardImport, TheHintEmptiesOnAPressAndComesBackWhenTheBoxIsLeftEmpty) {
  CardWindow* w = open_window();
  const auto& c = w->controls();
  w->activateWindow();
  QTest::mouseClick(c.content->viewport(), Qt::LeftButton, {}, QPoint(20, 10));
  EXPECT_TRUE(c.content->toPlainText().isEmpty());
  // The box is left empty.
  QFocusEvent leave(QEvent::FocusOut, Qt::TabFocusReason);
  QApplication::sendEvent(c.content, &leave);
  EXPECT_EQ(c.content->toPlainText(), CardWindow::hint_text());
  // Typed content stays on a press and when the box is left.
  c.content->setPlainText("abc\nxyz");
  QTest::mouseClick(c.content->viewport(), Qt::LeftButton, {}, QPoint(20, 10));
  QApplication::sendEvent(c.content, &leave);
  EXPECT_EQ(c.content->toPlainText(), "abc\nxyz");
  // The hint with one character more is content, not the hint.
  c.content->setPlainText(CardWindow::hint_text() + "x");
  QTest::mouseClick(c.content->viewport(), Qt::LeftButton, {}, QPoint(20, 10));
  EXPECT_EQ(c.content->toPlainText(), CardWindow::hint_text() + "x");
}

TEST_F(CardImport, CountBoxesAreExclusiveAndCanAllBeUnticked) {
  CardWindow* w = open_window();
  const auto& c = w->controls();
  auto ticked = [&] {
    QList<bool> t;
    for (auto* b : c.counts) t << b->isChecked();
    return t;
  };
  tick(c.counts[0]);
  EXPECT_EQ(ticked(), (QList<bool>{true, false, false, false}));
  tick(c.counts[3]);
  EXPECT_EQ(ticked(), (QList<bool>{false, false, false, true}));
  tick(c.counts[3]);
  EXPECT_EQ(ticked(), (QList<bool>{false, false, false, false}));
  tick(c.counts[1]);
  EXPECT_EQ(ticked(), (QList<bool>{false, true, false, false}));
}

// The line to the platform: how late its pages answer, and the wait scale of the run.
struct Line {
  const char* name;
  double wait_scale;
  int latency_ms;
  int jitter_ms;
  bool both_modes = false;  // the work paced, then in fast mode: the same records
};

class CardImportOn : public CardImport, public ::testing::WithParamInterface<Line> {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(CardImport::SetUp());
    platform::set_wait_scale(GetParam().wait_scale);
    set_latency(GetParam().latency_ms, GetParam().jitter_ms);
  }
};

// Each product gets its own line in its own stock, whatever the line's speed and the mode.
TEST_P(CardImportOn, TwoHundredLinesPerProductWithEveryFieldOfTheForm) {
  paced_and_fast(GetParam().both_modes, GetParam().wait_scale, [&] {
    CardWindow* w = open_window();
    const auto& c = w->controls();
    c.content->setPlainText("abc\nxyz\nunused");
    c.expiry->setText("2031-05-06");
    c.pace->setText("1");
    QStringList progress;
    QObject::connect(w, &CardWindow::progress_changed, [&](const QString& t) { progress << t; });
    ASSERT_TRUE(run(w));
    EXPECT_EQ(progress, (QStringList{QStringLiteral("当前页面一共有2个商品，正在执行第1个"),
                                     QStringLiteral("当前页面一共有2个商品，正在执行第2个")}));
    EXPECT_EQ(c.progress->text(), progress.last());
    EXPECT_TRUE(c.confirm->isEnabled());
    EXPECT_EQ(w->card_count(), 200);
    std::string expected;
    for (int i = 0; i < 200; ++i) expected += "xyz\r\n";
    EXPECT_EQ(w->import_text(), expected);
    EXPECT_TRUE(boxes_.isEmpty());

    const QList<QJsonObject> done = imports();
    ASSERT_EQ(done.size(), 2);
    const QStringList lines = {"abc", "xyz"};
    for (int i = 0; i < 2; ++i) {
      SCOPED_TRACE(i);
      EXPECT_EQ(done[i]["product"].toInt(), i + 1);
      EXPECT_EQ(done[i]["lines"].toInt(), 200);
      EXPECT_EQ(done[i]["bytes"].toInt(), 200 * 5);
      EXPECT_EQ(done[i]["first_line"].toString(), lines[i]);
      EXPECT_TRUE(done[i]["same_lines"].toBool());
      EXPECT_EQ(done[i]["if_card_no"].toString(), "0");  // option 2, "无卡号"
      EXPECT_EQ(done[i]["end_time"].toString(), "2031-05-06");
      EXPECT_FALSE(done[i]["check_import1"].toBool());
      EXPECT_FALSE(done[i]["check_import"].toBool());
      EXPECT_EQ(done[i]["state"].toString(), "saved");
    }
    EXPECT_EQ(stock(1), 200);
    EXPECT_EQ(stock(2), 200);
    EXPECT_EQ(stock(3), 0);
    // The journal: one item per product, its import address with the card count sent and
    // the platform's answer to the save.
    const auto runs = journal_runs();
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].tool, "[完美]批量导卡");
    EXPECT_EQ(runs[0].ending, "finished");
    EXPECT_EQ(runs[0].items_todo, 2);
    const auto items = store_->items(runs[0].id, {}, 0, 10);
    ASSERT_EQ(items.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
      EXPECT_EQ(items[i].key, "SelfProduct/ProductCardImport.aspx?PID=" + std::to_string(i + 1));
      EXPECT_EQ(items[i].detail, "200");
      EXPECT_EQ(items[i].answer.value_or(""), "成功导入200张卡密！");
      EXPECT_FALSE(items[i].problem) << *items[i].problem;
    }
    EXPECT_NE(runs[0].settings_json.find("\"card_count\":\"200(推荐)\""), std::string::npos) << runs[0].settings_json;
    // The platform's answers were confirmed, and only the import started the confirmer.
    EXPECT_EQ(page::confirm_period(ctx_->main_browser()), 700);
    EXPECT_TRUE(harness::wait_until([] { return QApplication::activeModalWidget() == nullptr; }, 3000));
  });
}

// Slow: every page answers 600 ± 150 ms late, later than each step's wait at the scale of
// 0.1 (1500, 700, 1000 (pace 1) and 5000 ms last 150, 70, 100 and 500 ms).
INSTANTIATE_TEST_SUITE_P(Lines, CardImportOn,
                         ::testing::Values(Line{"FastPlatform", 0.2, 0, 0},
                                           Line{"SlowPlatformBothModes", 0.1, 600, 150, true}),
                         [](const auto& info) { return std::string(info.param.name); });

// What goes wrong with one product's pages: its form, its checked cards, its login.
struct Miss {
  const char* name;
  const char* fault;  // for the import form's address: error, hang or expire
  int after;          // requests of that address let through first
  const char* problem;  // product 1's problem in the journal, by its beginning
};

class CardImportMisses : public CardImport, public ::testing::WithParamInterface<Miss> {};

// A product whose form or checked cards do not come is not done and the next product is
// imported as if nothing happened; the login page ends the import. Nothing lands on a
// product it was not meant for.
TEST_P(CardImportMisses, AProductWhosePageDoesNotComeIsNotDoneAndNothingLandsElsewhere) {
  const Miss& m = GetParam();
  platform::set_wait_scale(0.05);  // the page limit lasts 1.5 s
  CardWindow* w = open_window();
  const auto& c = w->controls();
  c.content->setPlainText("abc\nxyz");
  demo().post("/demo/fault", std::string("kind=") + m.fault + "&path=/ProductCardImport.aspx&after=" +
                                 std::to_string(m.after));
  QStringList progress;
  QObject::connect(w, &CardWindow::progress_changed, [&](const QString& t) { progress << t; });
  ASSERT_TRUE(run(w));
  EXPECT_TRUE(c.confirm->isEnabled());
  const bool expired = std::string(m.fault) == "expire";
  const QList<QJsonObject> done = imports();
  EXPECT_EQ(stock(1), 0);
  EXPECT_EQ(stock(3), 0);
  std::vector<tools::journal::ItemRow> items;
  const auto last = last_run(&items);
  ASSERT_TRUE(last);
  ASSERT_FALSE(items.empty());
  ASSERT_TRUE(items[0].problem);
  EXPECT_EQ(items[0].problem->rfind(m.problem, 0), 0u) << *items[0].problem;
  if (expired) {
    // The import ends at once: product 2 is not touched, the user is told.
    EXPECT_EQ(last->ending, "login_expired");
    EXPECT_EQ(items.size(), 1u);
    EXPECT_TRUE(done.isEmpty());
    EXPECT_EQ(c.progress->text(), tools::login_expired_text());
    EXPECT_TRUE(harness::wait_until([&] { return boxes_.contains(tools::login_expired_text()); }, 3000));
    logged_in_ = harness::log_in(ctx_->main_browser(), kDemoRoot);
    ASSERT_TRUE(logged_in_);
    return;
  }
  // Product 2 has its own line, as on a sound platform.
  EXPECT_EQ(last->ending, "finished");
  ASSERT_EQ(items.size(), 2u);
  EXPECT_FALSE(items[1].problem);
  EXPECT_EQ(items[1].answer.value_or(""), "成功导入200张卡密！");
  ASSERT_EQ(done.size(), 1);
  EXPECT_EQ(done[0]["product"].toInt(), 2);
  EXPECT_EQ(done[0]["first_line"].toString(), "xyz");
  EXPECT_EQ(stock(2), 200);
  EXPECT_EQ(progress.last(), QStringLiteral("当前页面的2个商品中有1个未完成，详见“记录”→“运行记录”"));
  EXPECT_TRUE(progress.contains(QString::fromStdString(*items[0].problem)));
}

INSTANTIATE_TEST_SUITE_P(
    Pages, CardImportMisses,
    ::testing::Values(
        Miss{"ErrorPageInsteadOfTheForm", "error", 0,
             "页面未就绪：应为第1个商品的导卡页（/SelfProduct/ProductCardImport.aspx?PID=1，CardContent，Submit），实为"},
        // The check is sent and never answered.
        Miss{"CheckedCardsNeverCome", "hang", 1, "页面未就绪：应为第1个商品的导卡确认页（Save），实为"},
        Miss{"LoginPageInsteadOfTheForm", "expire", 0, "登录已失效"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(CardImport, WithNoBoxTickedTheTextIsEmptyAndTheRefusedProductsAreNotDone) {
  platform::set_wait_scale(0.05);  // the refusal brings no checked cards: the page limit lasts 1.5 s
  CardWindow* w = open_window();
  const auto& c = w->controls();
  tick(c.counts[2]);  // unticks "200(推荐)"
  for (auto* b : c.counts) ASSERT_FALSE(b->isChecked());
  c.content->setPlainText("abc\nxyz");
  c.pace->setText("1");
  ASSERT_TRUE(run(w));
  EXPECT_EQ(w->card_count(), 0);
  EXPECT_TRUE(w->import_text().empty());
  const QList<QJsonObject> done = imports();
  ASSERT_EQ(done.size(), 2);
  for (const QJsonObject& m : done) {
    EXPECT_EQ(m["bytes"].toInt(), 0);
    EXPECT_EQ(m["lines"].toInt(), 0);
    EXPECT_EQ(m["state"].toString(), "rejected");
    EXPECT_EQ(m["message"].toString(), QStringLiteral("请输入卡密！"));
  }
  EXPECT_EQ(stock(1), 0);
  // Never saved, never called done: the journal has the refusal and the missing page.
  EXPECT_EQ(c.progress->text(), QStringLiteral("当前页面的2个商品中有2个未完成，详见“记录”→“运行记录”"));
  std::vector<tools::journal::ItemRow> items;
  ASSERT_TRUE(last_run(&items));
  ASSERT_EQ(items.size(), 2u);
  for (const auto& item : items) {
    EXPECT_EQ(item.answer.value_or(""), "请输入卡密！");
    EXPECT_EQ(item.problem.value_or("").rfind("页面未就绪：应为", 0), 0u) << item.problem.value_or("");
  }
}

TEST_F(CardImport, CardNumberChoiceSelectsOptionOneOrTwo) {
  CardWindow* w = open_window();
  const auto& c = w->controls();
  tick(c.counts[0]);  // 50
  c.pace->setText("1");
  ASSERT_TRUE(show_second_page());
  c.card_number->setCurrentIndex(0);
  c.content->setPlainText("N1 S1");
  ASSERT_TRUE(run(w));
  c.card_number->setCurrentIndex(1);
  c.content->setPlainText("S2");
  ASSERT_TRUE(show_second_page());
  ASSERT_TRUE(run(w));
  const QList<QJsonObject> done = imports();
  ASSERT_EQ(done.size(), 2);
  EXPECT_EQ(done[0]["if_card_no"].toString(), "1");
  EXPECT_EQ(done[0]["lines"].toInt(), 50);
  EXPECT_EQ(done[0]["state"].toString(), "saved");
  EXPECT_EQ(done[1]["if_card_no"].toString(), "0");
  EXPECT_EQ(done[1]["state"].toString(), "saved");
  EXPECT_EQ(stock(3), 100);
  const QJsonArray cards = harness::recorded("cards")[0].toObject().value("cards").toArray();
  EXPECT_EQ(cards.first().toObject().value("number").toString(), "N1");
  EXPECT_EQ(cards.first().toObject().value("secret").toString(), "S1");
  EXPECT_EQ(cards.last().toObject().value("number").toString(), "");
  EXPECT_EQ(cards.last().toObject().value("secret").toString(), "S2");
}

TEST_F(CardImport, APaceThatIsNoNumberGivesNoWaitBetweenSubmitAndSave) {
  CardWindow* w = open_window();
  const auto& c = w->controls();
  c.content->setPlainText("p3");
  auto gap_between_submit_and_save = [&] {
    QElapsedTimer clock;
    qint64 submit = -1, save = -1;
    auto conn = QObject::connect(w, &CardWindow::form_button_clicked, [&](const QString& id) {
      (id == "Submit" ? submit : save) = clock.elapsed();
    });
    clock.start();
    EXPECT_TRUE(run(w));
    QObject::disconnect(conn);
    EXPECT_GE(submit, 0);
    EXPECT_GE(save, 0);
    return save - submit;
  };
  // The waits are shortened to 0.3 of their length: a pace of 3 s waits 900 ms.
  platform::set_wait_scale(0.3);
  ASSERT_TRUE(show_second_page());
  c.pace->setText("3");
  EXPECT_GE(gap_between_submit_and_save(), 900);
  ASSERT_TRUE(show_second_page());
  c.pace->setText("abc");
  EXPECT_LT(gap_between_submit_and_save(), 900);
}

TEST_F(CardImport, FewerLinesThanProductsEndsAfterTheLastProductWithALine) {
  CardWindow* w = open_window();
  const auto& c = w->controls();
  c.content->setPlainText("only-one");
  c.pace->setText("1");
  QStringList progress;
  QObject::connect(w, &CardWindow::progress_changed, [&](const QString& t) { progress << t; });
  ASSERT_TRUE(run(w));
  // Nothing claims an import the platform may have refused: the journal has each answer.
  const QString message = QStringLiteral("卡密行数少于商品数，已处理前1个商品，各商品的导入结果见“记录”→“运行记录”");
  EXPECT_TRUE(harness::wait_until([&] { return !boxes_.isEmpty(); }, 5000));
  EXPECT_EQ(boxes_, QStringList{message});
  EXPECT_EQ(progress, (QStringList{QStringLiteral("当前页面一共有2个商品，正在执行第1个"), message}));
  EXPECT_EQ(c.progress->text(), message);
  EXPECT_TRUE(c.confirm->isEnabled());
  ASSERT_EQ(imports().size(), 1);
  EXPECT_EQ(stock(1), 200);
  EXPECT_EQ(import_form_visits(), 1);  // product 2's form was not opened
  auto runs = journal_runs();
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].ending, "stopped");
  EXPECT_EQ(runs[0].items_todo, 2);
  EXPECT_EQ(runs[0].items_begun, 1);

  // An empty box (the focus still in it) imports nothing at all.
  boxes_.clear();
  ASSERT_TRUE(show_second_page());
  c.content->setFocus();
  c.content->clear();
  ASSERT_TRUE(run(w));
  EXPECT_TRUE(harness::wait_until([&] { return !boxes_.isEmpty(); }, 5000));
  EXPECT_EQ(boxes_, QStringList{QStringLiteral("卡密行数少于商品数，已处理前0个商品，各商品的导入结果见“记录”→“运行记录”")});
  EXPECT_EQ(import_form_visits(), 1);
}

TEST_F(CardImport, ConfirmStaysDisabledForTheWholeImportAndASecondImportCannotStart) {
  CardWindow* w = open_window();
  const auto& c = w->controls();
  c.content->setPlainText("a\nb");
  c.pace->setText("1");
  int saves = 0;
  QList<bool> enabled_while_running;
  QTimer sampler;
  QObject::connect(&sampler, &QTimer::timeout, [&] {
    if (w->running()) enabled_while_running << c.confirm->isEnabled();
  });
  sampler.start(10);
  QObject::connect(w, &CardWindow::form_button_clicked, [&](const QString& id) {
    // After product 1's save, with product 2 to come, a press (and a click of the slot).
    if (id == "Save" && saves++ == 0)
      QTimer::singleShot(0, [&] {
        QTest::mouseClick(c.confirm, Qt::LeftButton);
        w->start_import();
      });
  });
  QStringList progress;
  QObject::connect(w, &CardWindow::progress_changed, [&](const QString& t) { progress << t; });
  QSignalSpy finished(w, &CardWindow::import_finished);
  ASSERT_TRUE(run(w));
  sampler.stop();
  platform::wait_responsive(500);
  EXPECT_EQ(saves, 2);
  EXPECT_FALSE(enabled_while_running.isEmpty());
  EXPECT_FALSE(enabled_while_running.contains(true));
  EXPECT_TRUE(c.confirm->isEnabled());
  EXPECT_EQ(finished.count(), 1);
  EXPECT_EQ(progress.size(), 2);
  EXPECT_EQ(imports().size(), 2);
}

TEST_F(CardImport, ThePageWithoutImportAddressesNavigatesNothing) {
  CardWindow* w = open_window();
  ASSERT_TRUE(harness::load(ctx_->main_browser(), QString(kDemoRoot) + kInventory + "?page=9"));
  ASSERT_TRUE(harness::wait_until([] { return on_page(kInventory, "page=9"); }));
  w->controls().content->setPlainText("abc");
  ASSERT_TRUE(run(w));
  EXPECT_EQ(w->controls().progress->text(), QStringLiteral("当前页面没有找到导卡地址"));
  EXPECT_TRUE(w->controls().confirm->isEnabled());
  platform::wait_responsive(300);
  EXPECT_TRUE(on_page(kInventory, "page=9"));
  EXPECT_EQ(import_form_visits(), 0);
  EXPECT_TRUE(imports().isEmpty());
}

TEST_F(CardImport, TheHintStillInTheBoxIsImportedLikeAnyContent) {
  CardWindow* w = open_window();
  w->controls().pace->setText("1");
  ASSERT_TRUE(run(w));
  const QList<QJsonObject> done = imports();
  ASSERT_EQ(done.size(), 2);
  EXPECT_EQ(done[0]["first_line"].toString(), QStringLiteral("第一个商品的卡密"));
  EXPECT_EQ(done[1]["first_line"].toString(), QStringLiteral("第二个商品的卡密"));
  EXPECT_EQ(done[1]["lines"].toInt(), 200);
  EXPECT_TRUE(boxes_.isEmpty());
}

TEST_F(CardImport, FourHundredLinesOfTenThousandBytesRunThroughAndThePlatformRefusesThem) {
  platform::set_wait_scale(0.05);  // refused: no checked cards come, the page limit lasts 1.5 s
  CardWindow* w = open_window();
  const auto& c = w->controls();
  QString content;
  for (int i = 0; i < 400; ++i) content += QString(10000, QChar('a' + i % 26)) + "\n";
  c.content->setPlainText(content);
  c.pace->setText("1");
  ASSERT_TRUE(run(w, 120000));
  EXPECT_EQ(w->import_text().size(), 200u * 10002);
  const QList<QJsonObject> done = imports();
  ASSERT_EQ(done.size(), 2);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(done[i]["lines"].toInt(), 200);
    EXPECT_EQ(done[i]["bytes"].toInt(), 200 * 10002);
    EXPECT_EQ(done[i]["first_line"].toString(), QString(200, QChar('a' + i)));
    EXPECT_EQ(done[i]["state"].toString(), "rejected");
  }
  EXPECT_EQ(stock(1), 0);
  EXPECT_TRUE(c.confirm->isEnabled());
  EXPECT_EQ(c.progress->text(), QStringLiteral("当前页面的2个商品中有2个未完成，详见“记录”→“运行记录”"));
}

TEST_F(CardImport, ClosingTheWindowDuringAnImportEndsItAndLeavesTheBrowserToTheToolThatHoldsIt) {
  CardWindow* w = open_window();
  w->controls().content->setPlainText("a\nb");
  // Another tool's run (the template setter's, say) has the browser's input off.
  QPointer<tools::ToolWindow> other = new tools::ToolWindow(*ctx_);
  auto other_run = std::make_unique<tools::ToolRun>(other, ctx_->main_browser());
  other_run->disable_browser_input();
  QPointer<CardWindow> guard(w);
  // Product 1's form never finishes: the window is closed while the import waits for it,
  // past the step's own wait (300 ms here).
  demo().post("/demo/fault", "kind=hang&path=/ProductCardImport.aspx");
  QElapsedTimer closed;
  QObject::connect(w, &CardWindow::progress_changed, [&](const QString& t) {
    if (t.endsWith(QStringLiteral("第1个")))
      QTimer::singleShot(1000, w, [&, w] {
        closed.start();
        w->close();
      });
  });
  QTimer::singleShot(0, w->controls().confirm, &QPushButton::click);
  ASSERT_TRUE(harness::wait_until([&] { return guard.isNull(); }, 30000));
  ASSERT_TRUE(closed.isValid());
  EXPECT_LT(closed.elapsed(), 1000);
  EXPECT_EQ(page::confirm_period(ctx_->main_browser()), 0);
  EXPECT_FALSE(ctx_->main_browser()->input_enabled());
  // That run gives it back when it ends.
  other_run.reset();
  EXPECT_TRUE(ctx_->main_browser()->input_enabled());
  other->close();
  platform::wait_responsive(500);
  // The form of product 1 was opened, nothing was sent.
  EXPECT_TRUE(imports().isEmpty());
  EXPECT_LE(import_form_visits(), 1);
  const auto runs = journal_runs();
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].ending, "window_closed");
}

TEST_F(CardImport, TheMainWindowsClosingWorkDuringAnImportStopsTheConfirmer) {
  CardWindow* w = open_window();
  w->controls().content->setPlainText("a\nb");
  w->controls().pace->setText("1");
  QPointer<CardWindow> guard(w);
  bool shut = false;
  QObject::connect(w, &CardWindow::form_button_clicked, [&](const QString& id) {
    if (id != "Submit" || shut) return;
    shut = true;
    QTimer::singleShot(0, [&] {
      // What the main window does as it closes; then the process would end, and with it
      // every window.
      tools::ToolWindow::shut_down_all();
      EXPECT_EQ(page::confirm_period(ctx_->main_browser()), 0);
      user_answers_web_boxes_ = true;
      if (guard) guard->close();
    });
  });
  QTimer::singleShot(0, w->controls().confirm, &QPushButton::click);
  ASSERT_TRUE(harness::wait_until([&] { return guard.isNull(); }, 30000));
  EXPECT_TRUE(shut);
  EXPECT_EQ(page::confirm_period(ctx_->main_browser()), 0);
  platform::wait_responsive(500);
  // Product 1 was submitted but not saved; product 2 was never opened.
  ASSERT_EQ(imports().size(), 1);
  EXPECT_EQ(imports()[0]["state"].toString(), "checked");
  EXPECT_EQ(import_form_visits(), 1);
}

// Writes the guide's screenshot when TESSARO_SCREENSHOT_DIR is set.
TEST_F(CardImport, Screenshots) {
  const char* out = std::getenv("TESSARO_SCREENSHOT_DIR");
  if (!out) GTEST_SKIP() << "TESSARO_SCREENSHOT_DIR not set";
  CardWindow* w = open_window();
  w->controls().pace->setText("1");
  QStringList progress;
  QObject::connect(w, &CardWindow::progress_changed, [&](const QString& t) { progress << t; });
  QSignalSpy finished(w, &CardWindow::import_finished);
  QTimer::singleShot(0, w->controls().confirm, &QPushButton::click);
  ASSERT_TRUE(harness::wait_until([&] { return progress.size() == 2; }, 30000));
  QTest::qWait(300);
  EXPECT_TRUE(w->grab().save(QString::fromUtf8(out) + "/cards.png"));
  ASSERT_TRUE(harness::wait_until([&] { return finished.count() > 0; }, 30000));
}

}  // namespace
