// The journal's database on real files: format, records, summaries and filters, files it
// must refuse without touching them, a write that fails for lack of space, and the plain
// helpers of the viewer (what is left to do, CSV).

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tools/common/journal_store.h"

namespace fs = std::filesystem;
using tools::journal::AnswerGroup;
using tools::journal::ItemFilter;
using tools::journal::Store;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

namespace {

class TempDir {
 public:
  TempDir() {
    char tmpl[] = "/tmp/journal_store_XXXXXX";
    path_ = ::mkdtemp(tmpl);
  }
  ~TempDir() {
    std::error_code ec;
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(path_, ec);
  }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

std::string read_bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void write_bytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

// Runs SQL on a file with a connection of its own (what another program would do).
void raw_sql(const std::string& path, const std::string& sql) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
  sqlite3_close(db);
}

std::string raw_text(const std::string& path, const std::string& sql) {
  sqlite3* db = nullptr;
  std::string out;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
      out = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
    sqlite3_finalize(st);
  }
  sqlite3_close(db);
  return out;
}

// A run of five products as publishing records it: three accepted, one duplicate, one empty.
std::int64_t five_products(Store& s) {
  std::int64_t run = 0;
  EXPECT_TRUE(s.begin_run("自动上架商品", 1000, R"({"bold":true})", R"(["甲","乙","甲","","丙"])", 5, 42, &run));
  const char* names[] = {"甲", "乙", "甲", "", "丙"};
  const char* answers[] = {"商品发布成功！", "商品发布成功！", "商品名称已存在", "商品名称不能为空！", "商品发布成功！"};
  for (int i = 0; i < 5; ++i) {
    const std::int64_t at = 2000 + i * 9000;
    EXPECT_TRUE(s.begin_item(run, i + 1, names[i], "", at));
    std::int64_t box = 0;
    EXPECT_TRUE(s.add_box(run, i + 1, "alert", answers[i], at + 3500, &box));
    EXPECT_TRUE(s.answer_box(box, "确定", true, at + 4000));
    EXPECT_TRUE(s.end_item(run, i + 1, at + 9000));
  }
  EXPECT_TRUE(s.end_run(run, "finished", 50000));
  return run;
}

}  // namespace

TEST(JournalStore, ANewFileBecomesAJournalInWalMode) {
  TempDir d;
  const std::string path = d.file("journal.db");
  std::string problem;
  auto s = Store::open(path, &problem);
  ASSERT_TRUE(s) << problem;
  EXPECT_TRUE(problem.empty());
  EXPECT_EQ(raw_text(path, "PRAGMA journal_mode"), "wal");
  EXPECT_EQ(raw_text(path, "PRAGMA user_version"), std::to_string(tools::journal::kSchemaVersion));
  EXPECT_EQ(raw_text(path, "PRAGMA application_id"), std::to_string(tools::journal::kApplicationId));
  // Opened again (a second window, a second process): the same journal, untouched.
  std::int64_t run = 0;
  ASSERT_TRUE(s->begin_run("t", 1, "{}", "[]", 0, 1, &run));
  auto again = Store::open(path, &problem);
  ASSERT_TRUE(again) << problem;
  EXPECT_EQ(again->run_count(), 1);
  // An empty file is a journal not made yet.
  write_bytes(d.file("empty.db"), "");
  EXPECT_TRUE(Store::open(d.file("empty.db"), &problem)) << problem;
}

TEST(JournalStore, RecordsRunsItemsAndBoxes) {
  TempDir d;
  std::string problem;
  auto s = Store::open(d.file("journal.db"), &problem);
  ASSERT_TRUE(s);
  const std::int64_t first = five_products(*s);
  std::int64_t second = 0;
  ASSERT_TRUE(s->begin_run("投诉批量处理", 60000, "{}", "[]", 0, 43, &second));
  // A box before any item belongs to the run; one item with two boxes, one without any.
  std::int64_t box = 0;
  ASSERT_TRUE(s->add_box(second, 0, "alert", "登录超时", 60100, &box));
  ASSERT_TRUE(s->begin_item(second, 1, "http://x/c?id=1", "回复一", 61000));
  ASSERT_TRUE(s->add_box(second, 1, "confirm", "确定处理吗？", 61100, &box));
  ASSERT_TRUE(s->answer_box(box, "取消", false, 61500));
  ASSERT_TRUE(s->add_box(second, 1, "alert", "已取消", 61600, nullptr));  // never answered
  ASSERT_TRUE(s->set_detail(second, 1, "回复二"));
  ASSERT_TRUE(s->end_item(second, 1, 62000));
  ASSERT_TRUE(s->begin_item(second, 2, "http://x/c?id=2", "", 63000));

  // Newest first, with counts and the moment of the last record.
  const auto runs = s->runs(0, 10);
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[0].id, second);
  EXPECT_EQ(runs[0].tool, "投诉批量处理");
  EXPECT_EQ(runs[0].ending, "");
  EXPECT_EQ(runs[0].ended_ms, -1);
  EXPECT_EQ(runs[0].items_begun, 2);
  EXPECT_EQ(runs[0].items_todo, 0);
  EXPECT_EQ(runs[0].last_ms, 63000);
  EXPECT_EQ(runs[0].pid, 43);
  EXPECT_EQ(runs[1].ending, "finished");
  EXPECT_EQ(runs[1].items_todo, 5);
  EXPECT_EQ(runs[1].items_begun, 5);
  EXPECT_EQ(runs[1].ended_ms, 50000);
  EXPECT_EQ(runs[1].settings_json, R"({"bold":true})");
  EXPECT_EQ(runs[1].items_json, R"(["甲","乙","甲","","丙"])");
  EXPECT_EQ(s->runs(1, 10).size(), 1u);
  EXPECT_EQ(s->run(first)->tool, "自动上架商品");
  EXPECT_FALSE(s->run(999));

  const auto items = s->items(second, {}, 0, 10);
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0].detail, "回复二");
  EXPECT_EQ(items[0].answer.value_or("-"), "确定处理吗？ / 已取消");
  ASSERT_EQ(items[0].boxes.size(), 2u);
  EXPECT_EQ(items[0].boxes[0].kind, "confirm");
  EXPECT_EQ(items[0].boxes[0].button, "取消");
  EXPECT_TRUE(items[0].boxes[0].answered);
  EXPECT_FALSE(items[0].boxes[0].by_confirmer);
  EXPECT_FALSE(items[0].boxes[1].answered);
  EXPECT_EQ(items[1].ended_ms, -1);
  EXPECT_FALSE(items[1].answer);
  EXPECT_TRUE(items[1].boxes.empty());
  const auto own = s->run_boxes(second);
  ASSERT_EQ(own.size(), 1u);
  EXPECT_EQ(own[0].text, "登录超时");
  EXPECT_FALSE(own[0].answered);
  EXPECT_THAT(s->begun_keys(first), ElementsAre("甲", "乙", "甲", "", "丙"));
  // Ending twice keeps the first ending.
  ASSERT_TRUE(s->end_run(second, "stopped", 70000));
  ASSERT_TRUE(s->end_run(second, "finished", 80000));
  EXPECT_EQ(s->run(second)->ending, "stopped");
  EXPECT_EQ(s->run(second)->ended_ms, 70000);
}

TEST(JournalStore, SummaryAndFiltersGroupItemsByAnswer) {
  TempDir d;
  std::string problem;
  auto s = Store::open(d.file("journal.db"), &problem);
  ASSERT_TRUE(s);
  const std::int64_t run = five_products(*s);
  const auto groups = s->summary(run);
  ASSERT_EQ(groups.size(), 3u);
  EXPECT_EQ(groups[0].answer.value_or(""), "商品发布成功！");
  EXPECT_EQ(groups[0].count, 3);
  EXPECT_EQ(groups[1].answer.value_or(""), "商品名称已存在");  // seen before the empty name's
  EXPECT_EQ(groups[1].count, 1);
  EXPECT_EQ(groups[2].answer.value_or(""), "商品名称不能为空！");
  EXPECT_EQ(groups[2].count, 1);

  ItemFilter dup{ItemFilter::Mode::with_answer, "商品名称已存在"};
  EXPECT_EQ(s->item_count(run, dup), 1);
  ASSERT_EQ(s->items(run, dup, 0, 10).size(), 1u);
  EXPECT_EQ(s->items(run, dup, 0, 10)[0].ordinal, 3);
  ItemFilter ok{ItemFilter::Mode::with_answer, "商品发布成功！"};
  const auto accepted = s->items(run, ok, 1, 10);  // paged: from the second match on
  ASSERT_EQ(accepted.size(), 2u);
  EXPECT_EQ(accepted[0].ordinal, 2);
  EXPECT_EQ(accepted[1].ordinal, 5);
  EXPECT_EQ(accepted[1].boxes.size(), 1u);
  ItemFilter none{ItemFilter::Mode::without_answer, {}};
  EXPECT_EQ(s->item_count(run, none), 0);
  // An item without any box forms a group of its own.
  std::int64_t other = 0;
  ASSERT_TRUE(s->begin_run("x", 1, "{}", "[]", 0, 1, &other));
  ASSERT_TRUE(s->begin_item(other, 1, "a", "", 1));
  ASSERT_TRUE(s->begin_item(other, 2, "b", "", 1));
  ASSERT_TRUE(s->add_box(other, 2, "alert", "ok", 1, nullptr));
  ASSERT_TRUE(s->begin_item(other, 3, "c", "", 1));
  const auto mixed = s->summary(other);
  ASSERT_EQ(mixed.size(), 2u);
  EXPECT_FALSE(mixed[0].answer);
  EXPECT_EQ(mixed[0].count, 2);
  EXPECT_EQ(s->item_count(other, none), 2);
  EXPECT_EQ(s->items(other, none, 0, 10)[1].key, "c");
}

TEST(JournalStore, ItemsNotDoneKeepTheirReasonAndAreOfferedAgain) {
  TempDir d;
  std::string problem;
  auto s = Store::open(d.file("journal.db"), &problem);
  ASSERT_TRUE(s);
  std::int64_t run = 0;
  ASSERT_TRUE(s->begin_run("自动上架商品", 1, "{}", R"(["甲","乙","丙","丁"])", 4, 1, &run));
  ASSERT_TRUE(s->begin_item(run, 1, "甲", "", 1));
  ASSERT_TRUE(s->begin_item(run, 2, "乙", "", 2));
  ASSERT_TRUE(s->set_problem(run, 2, "页面未就绪：应为发布商品页"));
  ASSERT_TRUE(s->set_problem(run, 2, "登录已失效，请在主程序重新登录"));  // the last reason stays
  ASSERT_TRUE(s->end_run(run, "login_expired", 3));
  const auto items = s->items(run, {}, 0, 10);
  ASSERT_EQ(items.size(), 2u);
  EXPECT_FALSE(items[0].problem);
  EXPECT_EQ(items[1].problem.value_or(""), "登录已失效，请在主程序重新登录");
  EXPECT_EQ(items[1].repeats, 1);
  // Like items in a row: counted on the first, not added.
  ASSERT_TRUE(s->begin_item(run, 3, "丙", "", 8));
  ASSERT_TRUE(s->fold_item(run, 3, 9));
  ASSERT_TRUE(s->begin_item(run, 3, "丙", "", 10));
  ASSERT_TRUE(s->fold_item(run, 3, 11));
  ASSERT_EQ(s->items(run, {}, 0, 10).size(), 2u);
  EXPECT_EQ(s->items(run, {}, 0, 10).at(1).repeats, 3);
  EXPECT_EQ(s->items(run, {}, 0, 10).at(1).ended_ms, 11);
  EXPECT_EQ(s->items(run, {}, 0, 10).at(1).problem.value_or(""), "登录已失效，请在主程序重新登录");
  EXPECT_FALSE(s->run(run)->gap);
  ASSERT_TRUE(s->set_gap(run, "运行记录已停止：x"));
  EXPECT_EQ(s->run(run)->gap.value_or(""), "运行记录已停止：x");
  ItemFilter not_done{ItemFilter::Mode::not_done, {}};
  EXPECT_EQ(s->item_count(run, not_done), 1);
  EXPECT_EQ(s->items(run, not_done, 0, 10).at(0).key, "乙");
  // What is left: the item not done and every one not begun.
  EXPECT_THAT(tools::journal::not_begun({"甲", "乙", "丙", "丁"}, s->begun_keys(run, true)),
              ElementsAre("乙", "丙", "丁"));
}

TEST(JournalStore, AJournalOfTheFirstFormatIsReadAsItIsAndUpgradedWhenRecorded) {
  TempDir d;
  const std::string path = d.file("journal.db");
  raw_sql(path,
          "CREATE TABLE runs(id INTEGER PRIMARY KEY, tool TEXT NOT NULL, started_ms INTEGER NOT NULL,"
          " ended_ms INTEGER, ending TEXT, settings TEXT NOT NULL, todo TEXT NOT NULL, todo_count INTEGER NOT NULL,"
          " pid INTEGER NOT NULL);"
          "CREATE TABLE items(run_id INTEGER NOT NULL, ordinal INTEGER NOT NULL, key TEXT NOT NULL,"
          " detail TEXT NOT NULL DEFAULT '', began_ms INTEGER NOT NULL, ended_ms INTEGER, answer TEXT,"
          " PRIMARY KEY(run_id, ordinal));"
          "CREATE TABLE boxes(id INTEGER PRIMARY KEY, run_id INTEGER NOT NULL, ordinal INTEGER NOT NULL,"
          " at_ms INTEGER NOT NULL, kind TEXT NOT NULL, text TEXT NOT NULL, button TEXT,"
          " by_confirmer INTEGER NOT NULL DEFAULT 0, answered_ms INTEGER);"
          "INSERT INTO runs VALUES(1, '自动上架商品', 1, 2, 'finished', '{}', '[\"甲\"]', 1, 7);"
          "INSERT INTO items VALUES(1, 1, '甲', '', 1, 2, NULL);"
          "PRAGMA user_version = 1; PRAGMA application_id = 1414744658;");
  std::string problem;
  {
    auto reader = Store::open_for_reading(path, &problem);
    ASSERT_TRUE(reader) << problem;
    const auto items = reader->items(1, {}, 0, 10);
    ASSERT_EQ(items.size(), 1u);
    EXPECT_FALSE(items[0].problem);
    EXPECT_EQ(reader->item_count(1, {ItemFilter::Mode::not_done, {}}), 0);
    EXPECT_THAT(reader->begun_keys(1, true), ElementsAre("甲"));
  }
  EXPECT_EQ(raw_text(path, "PRAGMA user_version"), "1");
  auto s = Store::open(path, &problem);
  ASSERT_TRUE(s) << problem;
  EXPECT_EQ(raw_text(path, "PRAGMA user_version"), std::to_string(tools::journal::kSchemaVersion));
  ASSERT_TRUE(s->set_problem(1, 1, "x"));
  EXPECT_EQ(s->items(1, {}, 0, 10).at(0).problem.value_or(""), "x");
  EXPECT_EQ(s->run(1)->tool, "自动上架商品");
}

TEST(JournalStore, LargeTextsAndLongRunsStayWhole) {
  TempDir d;
  std::string problem;
  auto s = Store::open(d.file("journal.db"), &problem);
  ASSERT_TRUE(s);
  std::int64_t run = 0;
  ASSERT_TRUE(s->begin_run("t", 0, "{}", "[]", 0, 1, &run));
  std::string huge(1 << 20, 'x');
  huge.replace(0, 6, "开头");  // UTF-8 and a quote and a NUL-free megabyte
  huge[500000] = '\'';
  for (int i = 1; i <= 10000; ++i) {
    ASSERT_TRUE(s->begin_item(run, i, "商品" + std::to_string(i), "", i));
    if (i == 7) {
      ASSERT_TRUE(s->add_box(run, i, "alert", huge, i, nullptr));
    }
    ASSERT_TRUE(s->end_item(run, i, i + 1));
  }
  EXPECT_EQ(s->item_count(run, {}), 10000);
  const auto page = s->items(run, {}, 9990, 200);
  ASSERT_EQ(page.size(), 10u);
  EXPECT_EQ(page.back().key, "商品10000");
  const auto seventh = s->items(run, {}, 6, 1);
  ASSERT_EQ(seventh.size(), 1u);
  EXPECT_EQ(seventh[0].answer.value_or(""), huge);
  EXPECT_EQ(seventh[0].boxes.at(0).text, huge);
  EXPECT_EQ(s->runs(0, 1)[0].items_begun, 10000);
}

TEST(JournalStore, FilesItCannotUseAreRefusedAndLeftAsTheyWere) {
  TempDir d;
  std::string problem;
  // Not a database.
  const std::string text = d.file("text.db");
  const std::string bytes = "these are somebody's notes, not a database\n" + std::string(5000, 'z');
  write_bytes(text, bytes);
  EXPECT_FALSE(Store::open(text, &problem));
  EXPECT_THAT(problem, HasSubstr("不是运行记录数据库"));
  EXPECT_EQ(problem.find('\n'), std::string::npos);
  EXPECT_FALSE(Store::open_for_reading(text, &problem));
  EXPECT_EQ(read_bytes(text), bytes);

  // A database of another program.
  const std::string other = d.file("other.db");
  raw_sql(other, "CREATE TABLE notes(t TEXT); INSERT INTO notes VALUES('keep me');");
  const std::string other_bytes = read_bytes(other);
  EXPECT_FALSE(Store::open(other, &problem));
  EXPECT_THAT(problem, HasSubstr("不是运行记录数据库"));
  EXPECT_EQ(read_bytes(other), other_bytes);

  // A journal written by a newer version.
  const std::string newer = d.file("newer.db");
  {
    auto s = Store::open(newer, &problem);
    ASSERT_TRUE(s);
    std::int64_t run = 0;
    ASSERT_TRUE(s->begin_run("t", 1, "{}", "[]", 0, 1, &run));
  }
  raw_sql(newer, "PRAGMA journal_mode=DELETE; PRAGMA user_version = 7;");
  const std::string newer_bytes = read_bytes(newer);
  EXPECT_FALSE(Store::open(newer, &problem));
  EXPECT_THAT(problem, HasSubstr("更新版本"));
  EXPECT_THAT(problem, HasSubstr("7"));
  EXPECT_FALSE(Store::open_for_reading(newer, &problem));
  EXPECT_EQ(read_bytes(newer), newer_bytes);
  EXPECT_FALSE(fs::exists(newer + "-wal"));

  // A read-only journal: refused for recording, still readable.
  const std::string ro = d.file("ro.db");
  {
    auto s = Store::open(ro, &problem);
    ASSERT_TRUE(s);
    five_products(*s);
  }
  raw_sql(ro, "PRAGMA journal_mode=DELETE;");
  ::chmod(ro.c_str(), 0444);
  const std::string ro_bytes = read_bytes(ro);
  EXPECT_FALSE(Store::open(ro, &problem));
  EXPECT_THAT(problem, HasSubstr("只读"));
  auto reader = Store::open_for_reading(ro, &problem);
  ASSERT_TRUE(reader) << problem;
  EXPECT_EQ(reader->run_count(), 1);
  EXPECT_EQ(reader->summary(reader->runs(0, 1)[0].id).size(), 3u);
  std::int64_t run = 0;
  EXPECT_FALSE(reader->begin_run("t", 1, "{}", "[]", 0, 1, &run));
  EXPECT_FALSE(reader->problem().empty());
  reader.reset();
  EXPECT_EQ(read_bytes(ro), ro_bytes);

  // A folder in the journal's place.
  fs::create_directory(d.file("dir.db"));
  EXPECT_FALSE(Store::open(d.file("dir.db"), &problem));
  EXPECT_FALSE(problem.empty());
}

TEST(JournalStore, AFullDiskStopsTheWritesAndKeepsWhatIsStored) {
  TempDir d;
  const std::string path = d.file("journal.db");
  {
    std::string problem;
    auto s = Store::open(path, &problem);
    ASSERT_TRUE(s);
  }
  // A child process whose files may not grow past 256 KB writes until that fails.
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{256 * 1024, 256 * 1024};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    std::string problem;
    auto s = Store::open(path, &problem);
    if (!s) ::_exit(10);
    std::int64_t run = 0;
    if (!s->begin_run("t", 1, "{}", "[]", 0, 1, &run)) ::_exit(11);
    const std::string detail(20000, 'd');
    for (int i = 1; i <= 1000; ++i) {
      if (!s->begin_item(run, i, "k" + std::to_string(i), detail, i)) {
        // One line about it, and the store still answers reads.
        const bool one_line = !s->problem().empty() && s->problem().find('\n') == std::string::npos;
        ::_exit(one_line && s->item_count(run, {}) == i - 1 ? 0 : 12);
      }
    }
    ::_exit(13);  // never ran out of space
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  // What was committed is there and whole.
  EXPECT_EQ(raw_text(path, "PRAGMA integrity_check"), "ok");
  std::string problem;
  auto s = Store::open(path, &problem);
  ASSERT_TRUE(s) << problem;
  ASSERT_EQ(s->run_count(), 1);
  EXPECT_GT(s->runs(0, 1)[0].items_begun, 3);
}

TEST(JournalStore, WhatIsLeftToDoCountsRepeatedKeys) {
  using tools::journal::not_begun;
  EXPECT_THAT(not_begun({"S1", "S2", "S3", "S4", "S5"}, {"S1", "S2"}), ElementsAre("S3", "S4", "S5"));
  // A name listed twice is left once when begun once.
  EXPECT_THAT(not_begun({"A", "B", "A", "", "C"}, {"A", "B"}), ElementsAre("A", "", "C"));
  EXPECT_THAT(not_begun({"A", "", "B"}, {"A", ""}), ElementsAre("B"));
  EXPECT_TRUE(not_begun({"A"}, {"A", "A"}).empty());
  EXPECT_THAT(not_begun({"A", "B"}, {}), ElementsAre("A", "B"));
}

TEST(JournalStore, CsvQuotesWhatNeedsItAndDisarmsFormulas) {
  using tools::journal::csv_field;
  using tools::journal::csv_line;
  EXPECT_EQ(csv_field("商品发布成功！"), "商品发布成功！");
  EXPECT_EQ(csv_field("a,b"), "\"a,b\"");
  EXPECT_EQ(csv_field("say \"hi\""), "\"say \"\"hi\"\"\"");
  EXPECT_EQ(csv_field("two\r\nlines"), "\"two\r\nlines\"");
  EXPECT_EQ(csv_field(""), "");
  EXPECT_EQ(csv_field("=HYPERLINK(\"x\")"), "\"'=HYPERLINK(\"\"x\"\")\"");
  EXPECT_EQ(csv_field("@SUM(A1)"), "'@SUM(A1)");
  EXPECT_EQ(csv_field("+1+2"), "'+1+2");
  EXPECT_EQ(csv_field("-10.5"), "-10.5");  // a number stays a number
  EXPECT_EQ(csv_line({"1", "甲", "x,y"}), "1,甲,\"x,y\"\r\n");
}
