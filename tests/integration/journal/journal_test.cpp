// The run journal in the real engine: script message boxes of a run's browser recorded
// with their item and answer, the life of a run, journals that cannot be used, a process
// killed in the middle of a run, and the viewer "运行记录".

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QApplication>
#include <QComboBox>
#include <QCryptographicHash>
#include <QDialog>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "csv_export.h"
#include "offline_context.h"
#include "page/confirmer.h"
#include "platform/browser_view.h"
#include "platform/dom_bridge.h"
#include "platform/waits.h"
#include "qt_test_hooks.h"
#include "tool_harness.h"
#include "tools/common/journal.h"
#include "tools/common/journal_store.h"
#include "tools/journal/journal_models.h"
#include "tools/journal/journal_window.h"
#include "tools/publishing/publishing_window.h"

using tools::journal::Ending;
using tools::journal::ItemFilter;
using tools::journal::JournalWindow;
using JRun = tools::journal::Run;
using tools::journal::Store;
using harness::wait_until;

void tessaro_test_before_app(std::vector<std::string>&) { QStandardPaths::setTestModeEnabled(true); }

namespace {

const QString kTitle = QStringLiteral("来自网页的消息");
const QString kOk = QStringLiteral("确定");

// The test's folder stands for the executable's; its data directory is the portable one.
std::string data_dir_of(const QTemporaryDir& d) { return settings::portable_data_dir(d.path().toStdString()); }

std::shared_ptr<Store> reader(const QTemporaryDir& d) {
  std::string why;
  return Store::open_for_reading(tools::journal::journal_file(data_dir_of(d)), &why);
}

QByteArray file_hash(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

// Presses the button of the first visible script message box, as a user would.
void user_presses(const QString& caption) {
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (!w->isVisible() || w->windowTitle() != kTitle) continue;
    for (QPushButton* b : w->findChildren<QPushButton*>()) {
      if (b->text() == caption) {
        QTest::mouseClick(b, Qt::LeftButton);
        return;
      }
    }
  }
}

class Capture : public ::testing::Test {
 protected:
  void SetUp() override {
    for (auto* v : {&view_, &other_}) {
      *v = std::make_unique<platform::BrowserView>();
      (*v)->resize(400, 300);
      (*v)->show();
      (*v)->setHtml("<html><body>boxes</body></html>");
      ASSERT_TRUE(wait_until([&] { return (*v)->ready_state() == 4; }));
    }
  }
  void TearDown() override {
    page::confirm_web_dialogs(view_.get(), QString(), QString(), true);
    view_.reset();
    other_.reset();
  }
  // Runs script in view's page; the call returns once its boxes are answered.
  static QJsonValue js(platform::BrowserView* view, const QString& script) {
    bool ok = false;
    QJsonValue v = view->bridge().run_main_world(script, &ok, 20000);
    EXPECT_TRUE(ok) << script.toStdString();
    return v;
  }

  QTemporaryDir dir_;
  std::unique_ptr<platform::BrowserView> view_;
  std::unique_ptr<platform::BrowserView> other_;
};

TEST_F(Capture, BoxesOfTheRunsBrowserGoToTheItemInProgressWithTheirAnswers) {
  page::confirm_web_dialogs(view_.get(), kTitle, kOk, false, 60);
  JRun run(data_dir_of(dir_), QStringLiteral("测试工具"), view_.get(), QJsonObject{{"a", 1}}, {"k1", "k2", "k3"});
  ASSERT_TRUE(run.recording()) << run.problem().toStdString();

  js(view_.get(), "alert('开始之前'); 1");  // no item yet: the run's own box
  run.begin_item("k1");
  EXPECT_EQ(js(view_.get(), "alert('商品发布成功！'); confirm('再来一个？') ? 'yes' : 'no'").toString(), "yes");
  // Another browser's box is not this run's.
  page::confirm_web_dialogs(other_.get(), kTitle, kOk, false, 60);
  js(other_.get(), "alert('别的窗口'); 1");
  run.begin_item("k2", QStringLiteral("第二个"));
  // The confirmer stops; the user answers "取消", then a prompt "确定" (with Escape later).
  page::confirm_web_dialogs(view_.get(), QString(), QString(), true);
  page::confirm_web_dialogs(other_.get(), QString(), QString(), true);
  QTimer::singleShot(200, [] { user_presses(QStringLiteral("取消")); });
  QTimer::singleShot(600, [] { user_presses(QStringLiteral("确定")); });
  EXPECT_EQ(js(view_.get(), "(confirm('删除吗？') ? 'y' : 'n') + prompt('数量', '3')").toString(), "n3");
  run.set_detail(QStringLiteral("改过的详情"));
  run.begin_item("k3");
  QTimer::singleShot(200, [] {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w->isVisible() && w->windowTitle() == kTitle) QTest::keyClick(w, Qt::Key_Escape);
  });
  js(view_.get(), "prompt('名称', 'x'); 1");
  run.end(Ending::finished);
  page::confirm_web_dialogs(view_.get(), kTitle, kOk, false, 60);
  js(view_.get(), "alert('结束之后'); 1");  // the run is over

  auto s = reader(dir_);
  ASSERT_TRUE(s);
  const auto items = s->items(run.id(), {}, 0, 10);
  ASSERT_EQ(items.size(), 3u);
  EXPECT_EQ(items[0].answer.value_or(""), "商品发布成功！ / 再来一个？");
  ASSERT_EQ(items[0].boxes.size(), 2u);
  EXPECT_EQ(items[0].boxes[0].kind, "alert");
  EXPECT_EQ(items[0].boxes[0].button, "确定");
  EXPECT_TRUE(items[0].boxes[0].by_confirmer);
  EXPECT_EQ(items[0].boxes[1].kind, "confirm");
  EXPECT_TRUE(items[0].boxes[1].by_confirmer);
  EXPECT_GE(items[0].ended_ms, items[0].boxes[1].at_ms);

  EXPECT_EQ(items[1].key, "k2");
  EXPECT_EQ(items[1].detail, "改过的详情");
  ASSERT_EQ(items[1].boxes.size(), 2u);
  EXPECT_EQ(items[1].boxes[0].text, "删除吗？");
  EXPECT_EQ(items[1].boxes[0].button, "取消");
  EXPECT_FALSE(items[1].boxes[0].by_confirmer);
  EXPECT_EQ(items[1].boxes[1].kind, "prompt");
  EXPECT_EQ(items[1].boxes[1].button, "确定");
  EXPECT_FALSE(items[1].boxes[1].by_confirmer);
  ASSERT_EQ(items[2].boxes.size(), 1u);
  EXPECT_TRUE(items[2].boxes[0].answered);
  EXPECT_EQ(items[2].boxes[0].button, "");  // closed without a button

  const auto own = s->run_boxes(run.id());
  ASSERT_EQ(own.size(), 1u);
  EXPECT_EQ(own[0].text, "开始之前");
  EXPECT_EQ(s->run(run.id())->ending, "finished");
}

// The engine shortens a very long message (to 10 KB here); the journal keeps what the box
// showed, whole.
TEST_F(Capture, AVeryLongMessageIsKeptAsTheBoxShowedIt) {
  JRun run(data_dir_of(dir_), QStringLiteral("测试工具"), view_.get(), {}, {});
  run.begin_item("big");
  QString shown;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      auto* box = qobject_cast<QMessageBox*>(w);
      if (box && box->isVisible() && box->windowTitle() == kTitle && shown.isEmpty()) {
        shown = box->text();
        user_presses(kOk);
      }
    }
  });
  poll.start(50);
  js(view_.get(), "alert('长'.repeat(1 << 20)); 1");
  run.end_item();
  auto s = reader(dir_);
  const auto items = s->items(run.id(), {}, 0, 1);
  ASSERT_EQ(items.size(), 1u);
  const QString answer = QString::fromStdString(items[0].answer.value_or(""));
  EXPECT_GE(answer.size(), 10000);
  EXPECT_EQ(answer, shown);
  EXPECT_EQ(answer.count(QChar(u'长')), answer.size());
}

TEST(RunLife, EndsAsClosedOnDestructionAndAsApplicationEndedWhenTheShellGoes) {
  QTemporaryDir dir;
  const std::string data = data_dir_of(dir);
  std::int64_t closed = 0, stopped = 0, app_ended = 0, not_recorded_items = 0;
  {
    JRun a(data, "A", nullptr, {}, {"x", "y"});
    a.begin_item("x");
    a.begin_item("y");  // ends x
    closed = a.id();
  }
  JRun b(data, "B", nullptr, {}, {});
  b.end(Ending::stopped);
  b.end(Ending::finished);   // later calls do nothing
  b.begin_item("ignored");   // nor does an item after the end
  stopped = b.id();
  JRun c(data, "C", nullptr, {}, {});
  c.begin_item("c1");
  tools::journal::end_open_runs();
  app_ended = c.id();
  c.begin_item("c2");
  auto s = reader(dir);
  ASSERT_TRUE(s);
  EXPECT_EQ(s->run(closed)->ending, "window_closed");
  const auto xy = s->items(closed, {}, 0, 10);
  ASSERT_EQ(xy.size(), 2u);
  EXPECT_GE(xy[0].ended_ms, xy[0].began_ms);
  EXPECT_GE(xy[1].ended_ms, 0);
  EXPECT_EQ(s->run(stopped)->ending, "stopped");
  not_recorded_items = s->item_count(stopped, {});
  EXPECT_EQ(not_recorded_items, 0);
  EXPECT_EQ(s->run(app_ended)->ending, "application_ended");
  const auto c_items = s->items(app_ended, {}, 0, 10);
  ASSERT_EQ(c_items.size(), 1u);
  EXPECT_GE(c_items[0].ended_ms, 0);
  EXPECT_EQ(QJsonDocument::fromJson(QByteArray::fromStdString(s->run(closed)->items_json)).array().size(), 2);
}

// Another program holding the journal: a writer's lock for a few seconds delays the writes
// and loses nothing; held longer than two busy time-outs, recording stops, says so once, and
// the run is marked as incomplete once the file is free again. A reader that keeps its read
// open lets the log grow; it shrinks back once the reader lets go.
TEST(RunLife, AJournalHeldByAnotherProgramLosesNothingOrSaysWhereItsRecordStops) {
  struct Hold {
    int writer_ms;  // an open write transaction of another connection
    bool lost;
  };
  for (const Hold h : {Hold{3000, false}, Hold{7000, true}}) {
    SCOPED_TRACE(h.writer_ms);
    QTemporaryDir dir;
    const std::string data = data_dir_of(dir);
    const std::string path = tools::journal::journal_file(data);
    QStringList told;
    std::int64_t id = 0;
    {
      JRun run(data, "锁", nullptr, {}, {"a", "b", "c"});
      ASSERT_TRUE(run.recording());
      id = run.id();
      run.on_recording_stopped([&](const QString& t) { told << t; });
      run.begin_item("a");
      std::atomic<bool> holding{false};
      std::thread other([&] {
        sqlite3* db = nullptr;
        sqlite3_open(path.c_str(), &db);
        sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
        holding = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(h.writer_ms));
        sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
        sqlite3_close(db);
      });
      while (!holding) std::this_thread::yield();
      run.begin_item("b");  // waits for the lock
      other.join();
      run.begin_item("c");
      run.end(Ending::finished);
    }
    auto s = reader(dir);
    ASSERT_TRUE(s);
    const auto r = s->run(id);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->ending, "finished");
    if (h.lost) {
      ASSERT_EQ(told.size(), 1);
      EXPECT_TRUE(told[0].startsWith(QStringLiteral("运行记录已停止："))) << told[0].toStdString();
      ASSERT_TRUE(r->gap);
      EXPECT_TRUE(tools::journal::ending_text(*r, false).endsWith(QStringLiteral("（记录不完整）")));
    } else {
      EXPECT_TRUE(told.isEmpty());
      EXPECT_FALSE(r->gap);
      EXPECT_EQ(s->item_count(id, {}), 3);
    }
  }

  // Another program that keeps its read open while a long run goes on: the log grows past
  // its limit meanwhile; once the reader lets go it is folded back and cut to its limit
  // while the run still goes on, and emptied when the run ends; no item is lost.
  QTemporaryDir dir;
  const std::string data = data_dir_of(dir);
  const std::string path = tools::journal::journal_file(data);
  const QString wal = QString::fromStdString(path + "-wal");
  constexpr qint64 kLimit = 1 << 20;
  JRun run(data, "读", nullptr, {}, {});
  const QString detail(2000, QChar(u'x'));
  auto add = [&](int from, int to) {
    for (int i = from; i < to; ++i) run.begin_item(QString::number(i), detail);
  };
  add(0, 10);
  QProcess reader_process;
  reader_process.setProgram(QStringLiteral(TESSARO_JOURNAL_WRITER));
  reader_process.setArguments({QStringLiteral("--read"), QString::fromStdString(data)});
  reader_process.start();
  ASSERT_TRUE(reader_process.waitForStarted());
  QByteArray said;
  ASSERT_TRUE(wait_until([&] { return (said += reader_process.readAllStandardOutput()).contains('\n'); }, 10000));
  EXPECT_EQ(said.trimmed().toStdString(), "holding 10");
  add(10, 1500);
  EXPECT_GT(QFileInfo(wal).size(), kLimit);
  reader_process.write("\n");
  ASSERT_TRUE(reader_process.waitForFinished(10000));
  EXPECT_TRUE(reader_process.readAllStandardOutput().contains("released"));
  add(1500, 1510);
  EXPECT_LE(QFileInfo(wal).size(), kLimit);
  EXPECT_EQ(reader(dir)->item_count(run.id(), {}), 1510);
  run.end(Ending::finished);
  EXPECT_EQ(QFileInfo(wal).size(), 0);
  EXPECT_EQ(reader(dir)->item_count(run.id(), {}), 1510);
}

// A journal.db that cannot be used: the run goes on unrecorded, says why in one line, the
// file keeps every byte, and the viewer says why in one line too.
TEST(BadJournal, RunsGoOnUnrecordedAndTheFileIsKept) {
  struct Case {
    const char* name;
    std::function<void(const QString&)> make;
    const char* says;
  };
  const std::vector<Case> cases = {
      {"text",
       [](const QString& p) {
         QFile f(p);
         ASSERT_TRUE(f.open(QIODevice::WriteOnly));
         f.write(QByteArray("not a database at all\n").repeated(300));
       },
       "不是运行记录数据库"},
      {"newer",
       [](const QString& p) {
         sqlite3* db = nullptr;
         sqlite3_open(p.toUtf8().constData(), &db);
         const std::string sql = "CREATE TABLE runs(x); PRAGMA user_version=9; PRAGMA application_id=" +
                                 std::to_string(tools::journal::kApplicationId) + ";";
         sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
         sqlite3_close(db);
       },
       "更新版本"},
      {"read-only",
       [](const QString& p) {
         {
           std::string why;
           auto s = Store::open(p.toStdString(), &why);
           std::int64_t id = 0;
           s->begin_run("自动上架商品", 1, "{}", "[\"a\"]", 1, 1, &id);
           s->begin_item(id, 1, "a", "", 2);
         }
         sqlite3* db = nullptr;
         sqlite3_open(p.toUtf8().constData(), &db);
         sqlite3_exec(db, "PRAGMA journal_mode=DELETE", nullptr, nullptr, nullptr);
         sqlite3_close(db);
         QFile::setPermissions(p, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
       },
       "只读"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QTemporaryDir dir;
    const std::string data = data_dir_of(dir);
    QDir().mkpath(dir.filePath("data"));
    const QString path = QString::fromStdString(tools::journal::journal_file(data));
    c.make(path);
    const QByteArray before = file_hash(path);
    ASSERT_FALSE(before.isEmpty());
    {
      JRun run(data, QStringLiteral("自动上架商品"), nullptr, {}, {"a", "b"});
      EXPECT_FALSE(run.recording());
      EXPECT_TRUE(run.problem().contains(QString::fromUtf8(c.says))) << run.problem().toStdString();
      EXPECT_FALSE(run.problem().contains('\n'));
      run.begin_item("a");
      run.set_detail("d");
      run.end(Ending::finished);
    }
    testsupport::OfflineContext ctx(dir.path().toStdString());
    auto* w = new JournalWindow(ctx);
    w->show();
    EXPECT_TRUE(w->controls().problem->isVisible());
    EXPECT_TRUE(w->controls().problem->text().contains(QString::fromUtf8(c.says)));
    EXPECT_FALSE(w->controls().problem->text().contains('\n'));
    // What can be read is shown: the read-only journal's run.
    EXPECT_EQ(w->runs_model()->rowCount(), std::string(c.name) == "read-only" ? 1 : 0);
    delete w;
    EXPECT_EQ(file_hash(path), before);
    EXPECT_FALSE(QFile::exists(path + "-wal") && std::string(c.name) != "read-only");
  }
}

TEST(KilledProcess, TheJournalOpensCleanlyAndHoldsTheFinishedItems) {
  QTemporaryDir dir;
  QProcess writer;
  writer.setProgram(QStringLiteral(TESSARO_JOURNAL_WRITER));
  writer.setArguments({QString::fromStdString(data_dir_of(dir))});
  writer.start();
  ASSERT_TRUE(writer.waitForStarted());
  int last_ended = 0;
  QByteArray out;
  ASSERT_TRUE(wait_until(
      [&] {
        out += writer.readAllStandardOutput();
        const QList<QByteArray> lines = out.split('\n');
        for (const QByteArray& l : lines)
          if (l.startsWith("ended ")) last_ended = std::max(last_ended, l.mid(6).toInt());
        return last_ended >= 40;
      },
      30000))
      << out.toStdString();
  writer.kill();  // SIGKILL, in the middle of the run
  ASSERT_TRUE(writer.waitForFinished());
  EXPECT_EQ(writer.exitStatus(), QProcess::CrashExit);
  out += writer.readAllStandardOutput();
  for (const QByteArray& l : out.split('\n'))
    if (l.startsWith("ended ")) last_ended = std::max(last_ended, l.mid(6).toInt());

  const std::string path = tools::journal::journal_file(data_dir_of(dir));
  {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    sqlite3_stmt* st = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &st, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)), "ok");
    sqlite3_finalize(st);
    sqlite3_close(db);
  }
  std::string why;
  auto s = Store::open(path, &why);  // and it takes new runs
  ASSERT_TRUE(s) << why;
  const auto runs = s->runs(0, 10);
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].ending, "");
  EXPECT_GE(runs[0].items_begun, last_ended);
  const auto items = s->items(runs[0].id, {}, 0, last_ended);
  ASSERT_EQ(static_cast<int>(items.size()), last_ended);
  for (const auto& it : items) {
    EXPECT_GE(it.ended_ms, it.began_ms) << it.key;
    EXPECT_EQ(QString::fromStdString(it.detail), QStringLiteral("第%1个").arg(it.ordinal));
  }
  // The viewer tells the run was cut off and offers the rest of the list.
  testsupport::OfflineContext ctx(dir.path().toStdString());
  JournalWindow w(ctx);
  ASSERT_EQ(w.runs_model()->rowCount(), 1);
  EXPECT_EQ(w.runs_model()->index(0, tools::journal::RunsModel::kEnding).data().toString(),
            QStringLiteral("中断（程序被终止）"));
  const QStringList rest = w.names_to_continue();
  ASSERT_EQ(rest.size(), 100000 - runs[0].items_begun);
  EXPECT_EQ(rest.first(), QStringLiteral("商品%1").arg(runs[0].items_begun + 1));
  // The next start (holding the data directory's lock) closes it in the journal itself: ended
  // with the application, at a moment not known. The viewer still tells it was cut off.
  EXPECT_EQ(tools::journal::close_cut_off_runs(data_dir_of(dir)), 1);
  EXPECT_EQ(tools::journal::close_cut_off_runs(data_dir_of(dir)), 0);
  const auto closed = s->run(runs[0].id);
  ASSERT_TRUE(closed);
  EXPECT_EQ(closed->ending, "application_ended");
  EXPECT_EQ(closed->ended_ms, -1);
  EXPECT_EQ(closed->last_ms, runs[0].last_ms);
  w.refresh();
  ASSERT_EQ(w.runs_model()->rowCount(), 1);
  EXPECT_EQ(w.runs_model()->index(0, tools::journal::RunsModel::kEnding).data().toString(),
            QStringLiteral("中断（程序被终止）"));
  EXPECT_EQ(w.names_to_continue(), rest);
  // A run the main window's closing ended keeps its own caption.
  tools::journal::RunRow ended_with_app = *closed;
  ended_with_app.ended_ms = closed->last_ms + 5;
  EXPECT_EQ(tools::journal::ending_text(ended_with_app, false), QStringLiteral("程序退出"));
  // A missing journal stays missing.
  QTemporaryDir empty;
  EXPECT_EQ(tools::journal::close_cut_off_runs(data_dir_of(empty)), 0);
  EXPECT_FALSE(QFileInfo::exists(empty.filePath("data")));
  w.setAttribute(Qt::WA_DeleteOnClose, false);
}

// ---------------------------------------------------------------------------------------

class Viewer : public ::testing::Test {
 protected:
  void SetUp() override {
    data_ = data_dir_of(dir_);
    QDir().mkpath(dir_.filePath("data"));
    std::string why;
    store_ = Store::open(tools::journal::journal_file(data_), &why);
    ASSERT_TRUE(store_) << why;
  }
  void TearDown() override {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (qobject_cast<JournalWindow*>(w) || qobject_cast<tools::publishing::PublishingWindow*>(w)) w->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
  // A run with its items; answers[i] empty: item i has no box.
  std::int64_t add_run(const std::string& tool, const std::vector<std::string>& todo, int begun,
                       const std::vector<std::string>& answers, const char* ending) {
    QJsonArray list;
    for (const auto& k : todo) list.append(QString::fromStdString(k));
    std::int64_t run = 0;
    EXPECT_TRUE(store_->begin_run(tool, 1000, "{}", QJsonDocument(list).toJson().toStdString(),
                                  static_cast<std::int64_t>(todo.size()), 0, &run));
    for (int i = 0; i < begun; ++i) {
      const std::string key = static_cast<std::size_t>(i) < todo.size() ? todo[static_cast<std::size_t>(i)]
                                                                       : "item" + std::to_string(i + 1);
      store_->begin_item(run, i + 1, key, "", 2000 + i * 1000);
      const std::string& a = answers[static_cast<std::size_t>(i) % answers.size()];
      if (!a.empty()) {
        std::int64_t box = 0;
        store_->add_box(run, i + 1, "alert", a, 2500 + i * 1000, &box);
        store_->answer_box(box, "确定", true, 2600 + i * 1000);
      }
      store_->end_item(run, i + 1, 2900 + i * 1000);
    }
    if (ending) store_->end_run(run, ending, 90000);
    return run;
  }
  JournalWindow* open() {
    auto* w = tools::journal::open_journal_viewer(ctx_);
    QApplication::processEvents();
    return w;
  }

  QTemporaryDir dir_;
  std::string data_;
  std::shared_ptr<Store> store_;
  testsupport::OfflineContext ctx_{dir_.path().toStdString()};
};

TEST_F(Viewer, ShowsRunsNewestFirstWithItemsSummaryAndFilter) {
  add_run("投诉批量处理", {}, 2, {"已处理"}, "finished");
  const std::int64_t pub =
      add_run("自动上架商品", {"甲", "乙", "甲", "", "丙"}, 5,
              {"商品发布成功！", "商品发布成功！", "商品名称已存在", "商品名称不能为空！", "商品发布成功！"}, "finished");
  JournalWindow* w = open();
  EXPECT_EQ(w->windowTitle(), QStringLiteral("运行记录"));
  EXPECT_FALSE(w->controls().problem->isVisible());
  auto* runs = w->runs_model();
  ASSERT_EQ(runs->rowCount(), 2);
  using tools::journal::RunsModel;
  EXPECT_EQ(runs->index(0, RunsModel::kTool).data().toString(), QStringLiteral("自动上架商品"));
  EXPECT_EQ(runs->index(0, RunsModel::kItems).data().toString(), "5/5");
  EXPECT_EQ(runs->index(0, RunsModel::kEnding).data().toString(), QStringLiteral("完成"));
  EXPECT_EQ(runs->index(0, RunsModel::kDuration).data().toString(), "0:01:29");
  EXPECT_EQ(runs->index(1, RunsModel::kTool).data().toString(), QStringLiteral("投诉批量处理"));
  EXPECT_EQ(runs->index(1, RunsModel::kItems).data().toString(), "2");
  // The newest run is selected.
  EXPECT_EQ(w->items_model()->total(), 5);
  EXPECT_EQ(w->controls().summary->text(),
            QStringLiteral("汇总：商品发布成功！ × 3, 商品名称已存在 × 1, 商品名称不能为空！ × 1"));
  using tools::journal::ItemsModel;
  EXPECT_EQ(w->items_model()->index(2, ItemsModel::kAnswer).data().toString(), QStringLiteral("商品名称已存在"));
  EXPECT_EQ(w->items_model()->index(2, ItemsModel::kButton).data().toString(), QStringLiteral("确定（自动）"));
  // Selecting an item shows its boxes in full.
  w->controls().items->setCurrentIndex(w->items_model()->index(3, 0));
  EXPECT_TRUE(w->controls().messages->toPlainText().contains(QStringLiteral("商品名称不能为空！")));

  // Filter: all, without answer, then the answers largest group first.
  QComboBox* filter = w->controls().filter;
  ASSERT_EQ(filter->count(), 5);
  EXPECT_EQ(filter->itemText(1), QStringLiteral("无应答的条目"));
  EXPECT_TRUE(filter->itemText(3).contains(QStringLiteral("商品名称已存在")));
  w->set_filter(3);
  ASSERT_EQ(w->items_model()->rowCount(), 1);
  EXPECT_EQ(w->items_model()->index(0, ItemsModel::kOrdinal).data().toString(), "3");
  w->set_filter(1);
  EXPECT_EQ(w->items_model()->rowCount(), 0);
  w->set_filter(2);
  EXPECT_EQ(w->items_model()->rowCount(), 3);

  // The export follows the filter: UTF-8 with BOM, CR LF, a header and one line per item.
  const QString csv = dir_.filePath("out.csv");
  ASSERT_TRUE(w->export_csv(csv));
  const QStringList lines = harness::csv_export_lines(csv);
  ASSERT_EQ(lines.size(), 4);
  EXPECT_TRUE(lines[0].startsWith(QStringLiteral("序号,条目,开始时间")));
  EXPECT_TRUE(lines[3].startsWith(QStringLiteral("5,丙,"))) << lines[3].toStdString();
  EXPECT_TRUE(lines[3].contains(QStringLiteral(",商品发布成功！,确定（自动）,")));
  // A finished run has nothing to continue.
  EXPECT_FALSE(w->controls().resume->isEnabled());
  (void)pub;
}

TEST_F(Viewer, ContinuesAnUnfinishedPublishingRunWithTheNamesNotBegun) {
  const std::int64_t stopped = add_run("自动上架商品", {"S1", "S2", "S3", "", "S5", ""}, 2, {"ok"}, "stopped");
  add_run("全自动定价", {"a", "b"}, 1, {"ok"}, "stopped");  // another tool: not continued
  JournalWindow* w = open();
  ASSERT_EQ(w->runs_model()->rowCount(), 2);
  EXPECT_FALSE(w->controls().resume->isEnabled());
  w->select_run(w->runs_model()->row_of(stopped));
  EXPECT_EQ(w->runs_model()->index(w->runs_model()->row_of(stopped), tools::journal::RunsModel::kItems).data().toString(),
            "2/6");
  ASSERT_TRUE(w->controls().resume->isEnabled());
  EXPECT_EQ(w->names_to_continue(), (QStringList{"S3", "", "S5", ""}));
  QTest::mouseClick(w->controls().resume, Qt::LeftButton);
  tools::publishing::PublishingWindow* p = nullptr;
  for (QWidget* t : QApplication::topLevelWidgets())
    if (auto* x = qobject_cast<tools::publishing::PublishingWindow*>(t)) p = x;
  ASSERT_NE(p, nullptr);
  EXPECT_TRUE(p->isVisible());
  // The names box splits back into exactly those names (the last one empty).
  EXPECT_EQ(p->controls().names->toPlainText(), QStringLiteral("S3\n\nS5\n\n"));
}

TEST_F(Viewer, TenThousandItemsAreReadPageByPage) {
  std::vector<std::string> todo;
  for (int i = 1; i <= 10000; ++i) todo.push_back("商品" + std::to_string(i));
  const std::int64_t run = add_run("自动上架商品", todo, 10000, {"商品发布成功！", "", "商品名称已存在"}, nullptr);
  // One answer of a megabyte.
  ASSERT_TRUE(store_->add_box(run, 3, "alert", "巨" + std::string(1 << 20, 'x'), 2600, nullptr));
  JournalWindow* w = open();
  auto* items = w->items_model();
  EXPECT_EQ(items->total(), 10000);
  EXPECT_EQ(items->rowCount(), tools::journal::kPageRows);
  // The megabyte answer shows shortened in its cell.
  const QString cell = items->index(2, tools::journal::ItemsModel::kAnswer).data().toString();
  EXPECT_LE(cell.size(), 201);
  EXPECT_TRUE(cell.endsWith(QStringLiteral("…")));
  // Scrolling to the end fetches the next page, not all of them.
  w->controls().items->scrollToBottom();
  QApplication::processEvents();
  EXPECT_GT(items->rowCount(), tools::journal::kPageRows);
  EXPECT_LT(items->rowCount(), 10000);
  while (items->canFetchMore({})) items->fetchMore({});
  EXPECT_EQ(items->rowCount(), 10000);
  EXPECT_EQ(items->index(9999, tools::journal::ItemsModel::kKey).data().toString(), QStringLiteral("商品10000"));
  // Four groups: three answers and the items without any.
  w->refresh();
  EXPECT_EQ(w->controls().filter->count(), 5);
  w->set_filter(1);
  EXPECT_EQ(items->total(), 3333);
  // A live run of this process is not "cut off".
  JRun live(data_, QStringLiteral("自动上架商品"), nullptr, {}, {"x"});
  w->refresh();
  EXPECT_EQ(w->runs_model()->index(0, tools::journal::RunsModel::kEnding).data().toString(), QStringLiteral("进行中"));
  EXPECT_EQ(w->runs_model()->index(1, tools::journal::RunsModel::kEnding).data().toString(),
            QStringLiteral("中断（程序被终止）"));
  w->select_run(0);
  EXPECT_FALSE(w->controls().resume->isEnabled());
}

}  // namespace
