// Publishing runs on the demo back office recorded in the journal and read back in the
// viewer: the platform's answers per product, the summary, the CSV export, and a stopped
// or closed run continued with the names it did not begin.

#include <gtest/gtest.h>

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include "csv_export.h"
#include "demo_suite.h"
#include "platform/waits.h"
#include "qt_test_hooks.h"
#include "tools/journal/journal_models.h"
#include "tools/journal/journal_window.h"
#include "tools/publishing/completion_notice.h"
#include "tools/publishing/publishing_window.h"

using tools::journal::JournalWindow;
using tools::journal::Store;
using tools::publishing::CompletionNotice;
using tools::publishing::PublishingWindow;

using harness::demo;
using harness::kDemoRoot;

void tessaro_test_before_app(std::vector<std::string>& args) { harness::start_demo(args); }

void tessaro_test_after_all() { harness::stop_demo(); }

namespace {

const QString kAccepted = QStringLiteral("商品发布成功！");
const QString kDuplicate = QStringLiteral("商品名称已存在");
const QString kEmpty = QStringLiteral("商品名称不能为空！");

class PublishingJournal : public harness::DemoSuite<PublishingWindow, CompletionNotice, JournalWindow> {
 protected:
  PublishingJournal() : DemoSuite({.wait_scale = 0.25}) {}

  PublishingWindow* open_window(const QString& names) {
    auto* w = new PublishingWindow(*ctx_);
    w->controls().names->setPlainText(names);
    w->show();
    return w;
  }
  static bool run(PublishingWindow* w) {
    return harness::click_until(w->controls().start, w, &PublishingWindow::run_finished, 90000);
  }
  static QStringList product_names() {
    QStringList out;
    for (const QJsonValue& p : harness::demo_products(demo())) out << p.toObject()["name"].toString();
    return out;
  }
};

TEST_F(PublishingJournal, FiveNamesWithADuplicateAndAnEmptyNameKeepThePlatformsAnswers) {
  PublishingWindow* w = open_window(QStringLiteral("点卡甲\n点卡乙\n点卡甲\n\n点卡丙"));
  ASSERT_TRUE(run(w));
  EXPECT_EQ(w->controls().status_text->text(), QStringLiteral("发布完毕！"));
  EXPECT_EQ(product_names(), (QStringList{QStringLiteral("点卡甲"), QStringLiteral("点卡乙"), QStringLiteral("点卡丙")}));

  auto s = journal();
  ASSERT_TRUE(s);
  ASSERT_EQ(s->run_count(), 1);
  const tools::journal::RunRow r = s->runs(0, 1)[0];
  EXPECT_EQ(r.tool, "自动上架商品");
  EXPECT_EQ(r.ending, "finished");
  EXPECT_EQ(r.items_todo, 5);
  const auto items = s->items(r.id, {}, 0, 10);
  ASSERT_EQ(items.size(), 5u);
  const QStringList keys = {QStringLiteral("点卡甲"), QStringLiteral("点卡乙"), QStringLiteral("点卡甲"), "",
                            QStringLiteral("点卡丙")};
  const QStringList answers = {kAccepted, kAccepted, kDuplicate, kEmpty, kAccepted};
  for (int i = 0; i < 5; ++i) {
    SCOPED_TRACE(i);
    const auto& it = items[static_cast<std::size_t>(i)];
    EXPECT_EQ(QString::fromStdString(it.key), keys[i]);
    EXPECT_EQ(QString::fromStdString(it.answer.value_or("")), answers[i]);
    ASSERT_EQ(it.boxes.size(), 1u);
    EXPECT_EQ(it.boxes[0].kind, "alert");
    EXPECT_EQ(it.boxes[0].button, "确定");
    EXPECT_TRUE(it.boxes[0].by_confirmer);
    EXPECT_GE(it.ended_ms, it.boxes[0].at_ms);  // the answer arrived inside the item
  }
  EXPECT_TRUE(s->run_boxes(r.id).empty());

  JournalWindow* v = tools::journal::open_journal_viewer(*ctx_);
  ASSERT_EQ(v->runs_model()->rowCount(), 1);
  EXPECT_EQ(v->runs_model()->index(0, tools::journal::RunsModel::kItems).data().toString(), "5/5");
  EXPECT_EQ(v->runs_model()->index(0, tools::journal::RunsModel::kEnding).data().toString(), QStringLiteral("完成"));
  EXPECT_EQ(v->controls().summary->text(), QStringLiteral("汇总：%1 × 3, %2 × 1, %3 × 1").arg(kAccepted, kDuplicate, kEmpty));
  EXPECT_FALSE(v->controls().resume->isEnabled());

  const QString csv = dir_.filePath("run.csv");
  ASSERT_TRUE(v->export_csv(csv));
  const QStringList lines = harness::csv_export_lines(csv);
  ASSERT_EQ(lines.size(), 6);  // the header and five items
  EXPECT_TRUE(lines[3].startsWith(QStringLiteral("3,点卡甲,"))) << lines[3].toStdString();
  EXPECT_TRUE(lines[3].contains(kDuplicate));
  EXPECT_TRUE(lines[4].startsWith(QStringLiteral("4,,")));
  EXPECT_TRUE(lines[4].contains(kEmpty));

  // The README's picture of the viewer, with its duplicate selected.
  if (const char* out = std::getenv("TESSARO_SCREENSHOT_DIR")) {
    v->resize(900, 640);
    v->controls().items->setCurrentIndex(v->items_model()->index(2, 0));
    QTest::qWait(300);
    EXPECT_TRUE(v->grab().save(QString::fromUtf8(out) + "/journal-window.png"));
  }
}

TEST_F(PublishingJournal, AStoppedRunContinuesWithTheNamesNotBegun) {
  PublishingWindow* w = open_window("S1\nS2\nS3\nS4\nS5");
  QObject::connect(w, &PublishingWindow::status_text_changed, w, [w](const QString& t) {
    if (t == QStringLiteral("当前商品一共5个，正在发布第1个"))
      QTimer::singleShot(50, w->controls().stop, [w] { QTest::mouseClick(w->controls().stop, Qt::LeftButton); });
  });
  ASSERT_TRUE(run(w));
  EXPECT_EQ(product_names(), (QStringList{"S1", "S2"}));
  w->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

  JournalWindow* v = tools::journal::open_journal_viewer(*ctx_);
  ASSERT_EQ(v->runs_model()->rowCount(), 1);
  EXPECT_EQ(v->runs_model()->index(0, tools::journal::RunsModel::kEnding).data().toString(), QStringLiteral("已停止"));
  EXPECT_EQ(v->runs_model()->index(0, tools::journal::RunsModel::kItems).data().toString(), "2/5");
  ASSERT_TRUE(v->controls().resume->isEnabled());
  QTest::mouseClick(v->controls().resume, Qt::LeftButton);
  PublishingWindow* again = nullptr;
  for (QWidget* t : QApplication::topLevelWidgets())
    if (auto* p = qobject_cast<PublishingWindow*>(t); p && p->isVisible()) again = p;
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(again->controls().names->toPlainText(), "S3\nS4\nS5");

  // The user presses "开始发布" as usual: the rest goes out and is a run of its own.
  ASSERT_TRUE(run(again));
  EXPECT_EQ(product_names(), (QStringList{"S1", "S2", "S3", "S4", "S5"}));
  v->refresh();
  ASSERT_EQ(v->runs_model()->rowCount(), 2);
  EXPECT_EQ(v->runs_model()->index(0, tools::journal::RunsModel::kItems).data().toString(), "3/3");
  EXPECT_EQ(v->runs_model()->index(0, tools::journal::RunsModel::kEnding).data().toString(), QStringLiteral("完成"));
}

TEST_F(PublishingJournal, ClosingTheWindowMidRunEndsTheRunAsClosed) {
  PublishingWindow* w = open_window("C1\nC2\nC3");
  QPointer<PublishingWindow> guard(w);
  QObject::connect(w, &PublishingWindow::status_text_changed, w, [w](const QString& t) {
    if (t.endsWith(QStringLiteral("第1个"))) QTimer::singleShot(100, w, &QWidget::close);
  });
  QTimer::singleShot(0, w->controls().start, &QPushButton::click);
  ASSERT_TRUE(harness::wait_until([&] { return guard.isNull(); }, 60000));
  auto s = journal();
  ASSERT_TRUE(s);
  const auto r = s->runs(0, 1).at(0);
  EXPECT_EQ(r.ending, "window_closed");
  const auto items = s->items(r.id, {}, 0, 10);
  ASSERT_EQ(items.size(), 2u);  // C2 was begun (its pass was waiting) but not submitted
  EXPECT_EQ(QString::fromStdString(items[0].answer.value_or("")), kAccepted);
  EXPECT_FALSE(items[1].answer);
  EXPECT_GE(items[1].ended_ms, 0);
  JournalWindow v(*ctx_);
  v.setAttribute(Qt::WA_DeleteOnClose, false);
  EXPECT_EQ(v.names_to_continue(), (QStringList{"C3"}));
}

}  // namespace
