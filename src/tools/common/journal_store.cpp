#include "tools/common/journal_store.h"

#include <sqlite3.h>

#include <sys/stat.h>
#include <unistd.h>

#include <unordered_map>

namespace tools::journal {

namespace {

// From format 1: items record why they were not done and how many like items they stand for;
// runs record why their recording stopped.
constexpr const char* kUpgradeFrom1 =
    "ALTER TABLE items ADD COLUMN problem TEXT;"
    "ALTER TABLE items ADD COLUMN repeats INTEGER NOT NULL DEFAULT 1;"
    "ALTER TABLE runs ADD COLUMN gap TEXT;"
    "PRAGMA user_version = 2;";

constexpr const char* kSchema = R"sql(
CREATE TABLE runs(
  id INTEGER PRIMARY KEY,
  tool TEXT NOT NULL,
  started_ms INTEGER NOT NULL,
  ended_ms INTEGER,
  ending TEXT,
  settings TEXT NOT NULL,
  todo TEXT NOT NULL,
  todo_count INTEGER NOT NULL,
  pid INTEGER NOT NULL,
  gap TEXT
);
CREATE TABLE items(
  run_id INTEGER NOT NULL,
  ordinal INTEGER NOT NULL,
  key TEXT NOT NULL,
  detail TEXT NOT NULL DEFAULT '',
  began_ms INTEGER NOT NULL,
  ended_ms INTEGER,
  answer TEXT,
  problem TEXT,
  repeats INTEGER NOT NULL DEFAULT 1,
  PRIMARY KEY(run_id, ordinal)
);
CREATE TABLE boxes(
  id INTEGER PRIMARY KEY,
  run_id INTEGER NOT NULL,
  ordinal INTEGER NOT NULL,
  at_ms INTEGER NOT NULL,
  kind TEXT NOT NULL,
  text TEXT NOT NULL,
  button TEXT,
  by_confirmer INTEGER NOT NULL DEFAULT 0,
  answered_ms INTEGER
);
CREATE INDEX boxes_by_item ON boxes(run_id, ordinal);
)sql";

// Why a database cannot be used, in one line.
std::string describe(sqlite3* db, int rc, const std::string& path) {
  switch (rc & 0xff) {
    case SQLITE_NOTADB: return path + " 不是运行记录数据库（文件保持原样）";
    case SQLITE_CORRUPT: return path + " 已损坏（文件保持原样）";
    case SQLITE_READONLY: return path + " 是只读文件";
    case SQLITE_FULL: return "磁盘已满，无法写入 " + path;
    case SQLITE_BUSY:
    case SQLITE_LOCKED: return path + " 正被其他程序占用";
    case SQLITE_CANTOPEN: return "无法打开 " + path;
    case SQLITE_PERM:
    case SQLITE_AUTH: return "没有写入 " + path + " 的权限";
    case SQLITE_IOERR: return "读写 " + path + " 时出错（" + (db ? sqlite3_errmsg(db) : "I/O") + "）";
    default: return path + "：" + (db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
  }
}

// Runs a query that yields one integer; false on failure.
bool query_int(sqlite3* db, const char* sql, std::int64_t* out, int* rc_out) {
  sqlite3_stmt* st = nullptr;
  int rc = sqlite3_prepare_v2(db, sql, -1, &st, nullptr);
  if (rc == SQLITE_OK) {
    rc = sqlite3_step(st);
    if (rc == SQLITE_ROW) {
      *out = sqlite3_column_int64(st, 0);
      rc = SQLITE_OK;
    } else if (rc == SQLITE_DONE) {
      *out = 0;
      rc = SQLITE_OK;
    }
  }
  if (rc != SQLITE_OK && rc_out) *rc_out = sqlite3_extended_errcode(db);
  sqlite3_finalize(st);
  return rc == SQLITE_OK;
}

// Checks that db is a journal this program can read: true with *fresh when it holds
// nothing at all yet. Reads only.
bool check_format(sqlite3* db, const std::string& path, bool* fresh, std::string* problem, int* format = nullptr) {
  std::int64_t version = 0, app = 0, objects = 0;
  int rc = SQLITE_OK;
  if (!query_int(db, "PRAGMA user_version", &version, &rc) ||
      !query_int(db, "PRAGMA application_id", &app, &rc) ||
      !query_int(db, "SELECT count(*) FROM sqlite_master", &objects, &rc)) {
    *problem = describe(db, rc, path);
    return false;
  }
  *fresh = app == 0 && version == 0 && objects == 0;
  if (*fresh) return true;
  if (app != kApplicationId) {
    *problem = path + " 不是运行记录数据库（文件保持原样）";
    return false;
  }
  if (version > kSchemaVersion) {
    *problem = path + " 由更新版本的程序写入（格式 " + std::to_string(version) + "，本程序只认识格式 " +
               std::to_string(kSchemaVersion) + "；文件保持原样）";
    return false;
  }
  if (version < 1) {
    *problem = path + " 的格式无法识别（文件保持原样）";
    return false;
  }
  if (format) *format = static_cast<int>(version);
  return true;
}

bool exec(sqlite3* db, const char* sql, int* rc_out) {
  const int rc = sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK && rc_out) *rc_out = sqlite3_extended_errcode(db);
  return rc == SQLITE_OK;
}

bool is_directory(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// A file marked read-only (no write permission bit) stays untouched, also for an
// administrator whom the system would let write.
bool marked_read_only(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return false;
  return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || ::access(path.c_str(), W_OK) != 0;
}

std::string column_text(sqlite3_stmt* st, int col) {
  const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st, col));
  return p ? std::string(p, static_cast<std::size_t>(sqlite3_column_bytes(st, col))) : std::string();
}

std::optional<std::string> column_optional(sqlite3_stmt* st, int col) {
  if (sqlite3_column_type(st, col) == SQLITE_NULL) return std::nullopt;
  return column_text(st, col);
}

std::int64_t column_ms(sqlite3_stmt* st, int col) {
  return sqlite3_column_type(st, col) == SQLITE_NULL ? -1 : sqlite3_column_int64(st, col);
}

void bind_text(sqlite3_stmt* st, int index, const std::string& text) {
  sqlite3_bind_text64(st, index, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
}

// Statement indexes of the cache.
enum : int {
  kBeginRun,
  kEndRun,
  kBeginItem,
  kSetDetail,
  kEndItem,
  kSetProblem,
  kRepeatItem,
  kDropItemBoxes,
  kDropItem,
  kSetGap,
  kAddBox,
  kAddAnswer,
  kAnswerBox,
  kRunCount,
  kRuns,
  kRun,
  kBegunKeys,
  kDoneKeys,
  kRunBoxes,
  kSummary,
  kStatementCount
};

std::string run_columns(int version) {
  return std::string(
             "r.id, r.tool, r.started_ms, r.ended_ms, r.ending, r.settings, r.todo, r.pid, r.todo_count,"
             " (SELECT max(ordinal) FROM items WHERE run_id = r.id),"
             " (SELECT coalesce(ended_ms, began_ms) FROM items WHERE run_id = r.id ORDER BY ordinal DESC LIMIT 1),"
             " (SELECT max(coalesce(answered_ms, at_ms)) FROM boxes WHERE run_id = r.id AND ordinal = 0), ") +
         (version >= 2 ? "r.gap" : "NULL");
}

RunRow read_run(sqlite3_stmt* st) {
  RunRow r;
  r.id = sqlite3_column_int64(st, 0);
  r.tool = column_text(st, 1);
  r.started_ms = sqlite3_column_int64(st, 2);
  r.ended_ms = column_ms(st, 3);
  r.ending = column_text(st, 4);
  r.settings_json = column_text(st, 5);
  r.items_json = column_text(st, 6);
  r.pid = sqlite3_column_int64(st, 7);
  r.items_todo = sqlite3_column_int64(st, 8);
  r.items_begun = sqlite3_column_int64(st, 9);
  r.gap = column_optional(st, 12);
  r.last_ms = r.started_ms;
  for (int col : {3, 10, 11})
    if (column_ms(st, col) > r.last_ms) r.last_ms = column_ms(st, col);
  return r;
}

BoxRow read_box(sqlite3_stmt* st) {
  // id, ordinal, at_ms, kind, text, button, by_confirmer, answered_ms
  BoxRow b;
  b.id = sqlite3_column_int64(st, 0);
  b.ordinal = sqlite3_column_int64(st, 1);
  b.at_ms = sqlite3_column_int64(st, 2);
  b.kind = column_text(st, 3);
  b.text = column_text(st, 4);
  b.button = column_text(st, 5);
  b.by_confirmer = sqlite3_column_int(st, 6) != 0;
  b.answered = sqlite3_column_type(st, 7) != SQLITE_NULL;
  return b;
}

std::string filter_clause(const ItemFilter& f, int version) {
  switch (f.mode) {
    case ItemFilter::Mode::all: return {};
    case ItemFilter::Mode::without_answer: return " AND answer IS NULL";
    case ItemFilter::Mode::with_answer: return " AND answer = ?2";
    case ItemFilter::Mode::not_done: return version >= 2 ? " AND problem IS NOT NULL" : " AND 0";
  }
  return {};
}

}  // namespace

Store::Store(sqlite3* db, std::string path) : db_(db), path_(std::move(path)) {
  statements_.assign(kStatementCount, nullptr);
}

Store::~Store() {
  for (sqlite3_stmt* st : statements_) sqlite3_finalize(st);
  sqlite3_close_v2(db_);
}

std::shared_ptr<Store> Store::open(const std::string& path, std::string* problem) {
  std::string why;
  if (is_directory(path)) {
    if (problem) *problem = path + " 是一个文件夹";
    return nullptr;
  }
  if (marked_read_only(path)) {
    if (problem) *problem = path + " 是只读文件";
    return nullptr;
  }
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  auto refuse = [&](const std::string& text) -> std::shared_ptr<Store> {
    if (problem) *problem = text;
    sqlite3_close_v2(db);
    return nullptr;
  };
  if (rc != SQLITE_OK) return refuse(describe(db, rc, path));
  sqlite3_extended_result_codes(db, 1);
  // A write-protected file opens for reading only.
  if (sqlite3_db_readonly(db, "main") == 1) return refuse(path + " 是只读文件");
  // Another process (a viewer, an SQLite browser) may hold the file for a moment: a write
  // waits for it a few seconds before it fails.
  sqlite3_busy_timeout(db, kBusyTimeoutMs);
  bool fresh = false;
  int format = kSchemaVersion;
  if (!check_format(db, path, &fresh, &why, &format)) return refuse(why);
  if (!fresh && format < kSchemaVersion) {
    // Brought up to date in one transaction (another process may have done it already).
    if (!exec(db, "BEGIN IMMEDIATE", &rc)) return refuse(describe(db, rc, path));
    std::int64_t now = 0;
    if (!query_int(db, "PRAGMA user_version", &now, &rc) || (now == 1 && !exec(db, kUpgradeFrom1, &rc)) ||
        !exec(db, "COMMIT", &rc)) {
      exec(db, "ROLLBACK", nullptr);
      return refuse(describe(db, rc, path));
    }
  }
  if (fresh) {
    // Created inside one transaction, checked again there (another process may be first).
    if (!exec(db, "BEGIN IMMEDIATE", &rc)) return refuse(describe(db, rc, path));
    std::int64_t objects = 0;
    if (!query_int(db, "SELECT count(*) FROM sqlite_master", &objects, &rc)) {
      exec(db, "ROLLBACK", nullptr);
      return refuse(describe(db, rc, path));
    }
    if (objects == 0) {
      const std::string setup = std::string(kSchema) + "PRAGMA user_version = " + std::to_string(kSchemaVersion) +
                                ";PRAGMA application_id = " + std::to_string(kApplicationId) + ";";
      if (!exec(db, setup.c_str(), &rc)) {
        exec(db, "ROLLBACK", nullptr);
        return refuse(describe(db, rc, path));
      }
    }
    if (!exec(db, "COMMIT", &rc)) {
      exec(db, "ROLLBACK", nullptr);
      return refuse(describe(db, rc, path));
    }
    if (objects != 0 && !check_format(db, path, &fresh, &why)) return refuse(why);
  }
  // WAL: readers never block the writer, and a kill never corrupts what is stored.
  // NORMAL: no sync per commit (a commit is durable across a crash of the process; only a
  // power loss can take the last commits back).
  {
    sqlite3_stmt* st = nullptr;
    std::string mode;
    if (sqlite3_prepare_v2(db, "PRAGMA journal_mode = WAL", -1, &st, nullptr) == SQLITE_OK &&
        sqlite3_step(st) == SQLITE_ROW)
      mode = column_text(st, 0);
    rc = sqlite3_extended_errcode(db);
    sqlite3_finalize(st);
    if (mode != "wal") return refuse(describe(db, rc == SQLITE_OK ? SQLITE_CANTOPEN : rc, path));
  }
  if (!exec(db, "PRAGMA synchronous = NORMAL", &rc)) return refuse(describe(db, rc, path));
  // The log is folded back every 256 pages and kept at 1 MB at most afterwards.
  exec(db, "PRAGMA wal_autocheckpoint = 256; PRAGMA journal_size_limit = 1048576", nullptr);
  return std::shared_ptr<Store>(new Store(db, path));
}

std::shared_ptr<Store> Store::open_for_reading(const std::string& path, std::string* problem) {
  if (is_directory(path)) {
    if (problem) *problem = path + " 是一个文件夹";
    return nullptr;
  }
  sqlite3* db = nullptr;
  const int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
  std::string why;
  bool fresh = false;
  int format = kSchemaVersion;
  if (rc != SQLITE_OK) {
    why = describe(db, rc, path);
  } else {
    sqlite3_extended_result_codes(db, 1);
    sqlite3_busy_timeout(db, 250);
    if (check_format(db, path, &fresh, &why, &format) && fresh) why = path + " 中还没有运行记录";
  }
  if (!why.empty()) {
    if (problem) *problem = why;
    sqlite3_close_v2(db);
    return nullptr;
  }
  auto store = std::shared_ptr<Store>(new Store(db, path));
  store->version_ = format;
  return store;
}

sqlite3_stmt* Store::statement(int index, const char* sql) {
  sqlite3_stmt*& st = statements_[static_cast<std::size_t>(index)];
  if (!st) {
    if (sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, &st, nullptr) != SQLITE_OK) {
      fail("prepare");
      st = nullptr;
      return nullptr;
    }
  } else {
    sqlite3_reset(st);
    sqlite3_clear_bindings(st);
  }
  return st;
}

bool Store::fail(const char*) {
  problem_ = describe(db_, sqlite3_extended_errcode(db_), path_);
  return false;
}

bool Store::exec_step(sqlite3_stmt* st, const char* what) {
  if (!st) return false;
  const int rc = sqlite3_step(st);
  sqlite3_reset(st);
  if (rc != SQLITE_DONE && rc != SQLITE_ROW) return fail(what);
  return true;
}

bool Store::begin_run(const std::string& tool, std::int64_t at_ms, const std::string& settings_json,
                      const std::string& items_json, std::int64_t items_todo, std::int64_t pid,
                      std::int64_t* run_id) {
  sqlite3_stmt* st = statement(
      kBeginRun,
      "INSERT INTO runs(tool, started_ms, settings, todo, todo_count, pid) VALUES(?1, ?2, ?3, ?4, ?6, ?5)");
  if (!st) return false;
  bind_text(st, 1, tool);
  sqlite3_bind_int64(st, 2, at_ms);
  bind_text(st, 3, settings_json);
  bind_text(st, 4, items_json);
  sqlite3_bind_int64(st, 5, pid);
  sqlite3_bind_int64(st, 6, items_todo);
  if (!exec_step(st, "begin run")) return false;
  if (run_id) *run_id = sqlite3_last_insert_rowid(db_);
  return true;
}

bool Store::end_run(std::int64_t run_id, const std::string& ending, std::int64_t at_ms) {
  sqlite3_stmt* st = statement(kEndRun, "UPDATE runs SET ended_ms = ?2, ending = ?3 WHERE id = ?1 AND ending IS NULL");
  if (!st) return false;
  sqlite3_bind_int64(st, 1, run_id);
  sqlite3_bind_int64(st, 2, at_ms);
  bind_text(st, 3, ending);
  return exec_step(st, "end run");
}

bool Store::close_open_runs(const std::string& ending, std::int64_t* closed) {
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(db_, "UPDATE runs SET ending = ?1 WHERE ending IS NULL", -1, &st, nullptr) != SQLITE_OK)
    return fail("close open runs");
  bind_text(st, 1, ending);
  const int rc = sqlite3_step(st);
  sqlite3_finalize(st);
  if (rc != SQLITE_DONE) return fail("close open runs");
  if (closed) *closed = sqlite3_changes64(db_);
  return true;
}

bool Store::begin_item(std::int64_t run_id, std::int64_t ordinal, const std::string& key,
                       const std::string& detail, std::int64_t at_ms) {
  sqlite3_stmt* st = statement(
      kBeginItem, "INSERT INTO items(run_id, ordinal, key, detail, began_ms) VALUES(?1, ?2, ?3, ?4, ?5)");
  if (!st) return false;
  sqlite3_bind_int64(st, 1, run_id);
  sqlite3_bind_int64(st, 2, ordinal);
  bind_text(st, 3, key);
  bind_text(st, 4, detail);
  sqlite3_bind_int64(st, 5, at_ms);
  return exec_step(st, "begin item");
}

bool Store::set_detail(std::int64_t run_id, std::int64_t ordinal, const std::string& detail) {
  sqlite3_stmt* st = statement(kSetDetail, "UPDATE items SET detail = ?3 WHERE run_id = ?1 AND ordinal = ?2");
  if (!st) return false;
  sqlite3_bind_int64(st, 1, run_id);
  sqlite3_bind_int64(st, 2, ordinal);
  bind_text(st, 3, detail);
  return exec_step(st, "set detail");
}

bool Store::end_item(std::int64_t run_id, std::int64_t ordinal, std::int64_t at_ms) {
  sqlite3_stmt* st = statement(
      kEndItem, "UPDATE items SET ended_ms = ?3 WHERE run_id = ?1 AND ordinal = ?2 AND ended_ms IS NULL");
  if (!st) return false;
  sqlite3_bind_int64(st, 1, run_id);
  sqlite3_bind_int64(st, 2, ordinal);
  sqlite3_bind_int64(st, 3, at_ms);
  return exec_step(st, "end item");
}

bool Store::fold_item(std::int64_t run_id, std::int64_t ordinal, std::int64_t at_ms) {
  struct Step {
    int index;
    const char* sql;
  };
  static constexpr Step kSteps[] = {
      {kRepeatItem, "UPDATE items SET repeats = repeats + 1, ended_ms = ?3 WHERE run_id = ?1 AND ordinal = ?2 - 1"},
      {kDropItemBoxes, "DELETE FROM boxes WHERE run_id = ?1 AND ordinal = ?2"},
      {kDropItem, "DELETE FROM items WHERE run_id = ?1 AND ordinal = ?2"},
  };
  // All three or none.
  if (sqlite3_exec(db_, "SAVEPOINT fold", nullptr, nullptr, nullptr) != SQLITE_OK) return fail("fold");
  for (const Step& step : kSteps) {
    sqlite3_stmt* st = statement(step.index, step.sql);
    bool ok = st != nullptr;
    if (ok) {
      sqlite3_bind_int64(st, 1, run_id);
      sqlite3_bind_int64(st, 2, ordinal);
      if (step.index == kRepeatItem) sqlite3_bind_int64(st, 3, at_ms);
      ok = exec_step(st, "fold item");
    }
    if (!ok) {
      const std::string why = problem_;
      sqlite3_exec(db_, "ROLLBACK TO fold; RELEASE fold", nullptr, nullptr, nullptr);
      problem_ = why;
      return false;
    }
  }
  if (sqlite3_exec(db_, "RELEASE fold", nullptr, nullptr, nullptr) == SQLITE_OK) return true;
  fail("fold");
  sqlite3_exec(db_, "ROLLBACK TO fold; RELEASE fold", nullptr, nullptr, nullptr);
  return false;
}

bool Store::set_gap(std::int64_t run_id, const std::string& why) {
  sqlite3_stmt* st = statement(kSetGap, "UPDATE runs SET gap = ?2 WHERE id = ?1");
  if (!st) return false;
  sqlite3_bind_int64(st, 1, run_id);
  bind_text(st, 2, why);
  return exec_step(st, "set gap");
}

void Store::checkpoint() { sqlite3_wal_checkpoint_v2(db_, nullptr, SQLITE_CHECKPOINT_TRUNCATE, nullptr, nullptr); }

bool Store::set_problem(std::int64_t run_id, std::int64_t ordinal, const std::string& why) {
  sqlite3_stmt* st = statement(kSetProblem, "UPDATE items SET problem = ?3 WHERE run_id = ?1 AND ordinal = ?2");
  if (!st) return false;
  sqlite3_bind_int64(st, 1, run_id);
  sqlite3_bind_int64(st, 2, ordinal);
  bind_text(st, 3, why);
  return exec_step(st, "set problem");
}

bool Store::add_box(std::int64_t run_id, std::int64_t ordinal, const std::string& kind, const std::string& text,
                    std::int64_t at_ms, std::int64_t* box_id) {
  sqlite3_stmt* st = statement(
      kAddBox, "INSERT INTO boxes(run_id, ordinal, at_ms, kind, text) VALUES(?1, ?2, ?3, ?4, ?5)");
  if (!st) return false;
  sqlite3_bind_int64(st, 1, run_id);
  sqlite3_bind_int64(st, 2, ordinal);
  sqlite3_bind_int64(st, 3, at_ms);
  bind_text(st, 4, kind);
  bind_text(st, 5, text);
  // The box and the item's answer go in together.
  if (ordinal > 0 && sqlite3_exec(db_, "SAVEPOINT box", nullptr, nullptr, nullptr) != SQLITE_OK) return fail("box");
  if (!exec_step(st, "add box")) {
    if (ordinal > 0) sqlite3_exec(db_, "ROLLBACK TO box; RELEASE box", nullptr, nullptr, nullptr);
    return false;
  }
  if (box_id) *box_id = sqlite3_last_insert_rowid(db_);
  if (ordinal <= 0) return true;
  sqlite3_stmt* up = statement(kAddAnswer,
                               "UPDATE items SET answer = CASE WHEN answer IS NULL THEN ?3"
                               " ELSE answer || ?4 || ?3 END WHERE run_id = ?1 AND ordinal = ?2");
  bool ok = up != nullptr;
  if (ok) {
    sqlite3_bind_int64(up, 1, run_id);
    sqlite3_bind_int64(up, 2, ordinal);
    bind_text(up, 3, text);
    sqlite3_bind_text(up, 4, kAnswerSeparator, -1, SQLITE_STATIC);
    ok = exec_step(up, "add answer");
  }
  if (!ok) {
    const std::string why = problem_;
    sqlite3_exec(db_, "ROLLBACK TO box; RELEASE box", nullptr, nullptr, nullptr);
    problem_ = why;
    return false;
  }
  if (sqlite3_exec(db_, "RELEASE box", nullptr, nullptr, nullptr) != SQLITE_OK) {
    fail("box");
    sqlite3_exec(db_, "ROLLBACK TO box; RELEASE box", nullptr, nullptr, nullptr);
    return false;
  }
  return true;
}

bool Store::answer_box(std::int64_t box_id, const std::string& button, bool by_confirmer, std::int64_t at_ms) {
  sqlite3_stmt* st = statement(
      kAnswerBox, "UPDATE boxes SET button = ?2, by_confirmer = ?3, answered_ms = ?4 WHERE id = ?1");
  if (!st) return false;
  sqlite3_bind_int64(st, 1, box_id);
  bind_text(st, 2, button);
  sqlite3_bind_int(st, 3, by_confirmer ? 1 : 0);
  sqlite3_bind_int64(st, 4, at_ms);
  return exec_step(st, "answer box");
}

std::int64_t Store::run_count() {
  sqlite3_stmt* st = statement(kRunCount, "SELECT count(*) FROM runs");
  if (!st) return 0;
  std::int64_t n = sqlite3_step(st) == SQLITE_ROW ? sqlite3_column_int64(st, 0) : 0;
  sqlite3_reset(st);
  return n;
}

std::vector<RunRow> Store::runs(std::int64_t offset, std::int64_t limit) {
  const std::string sql = "SELECT " + run_columns(version_) + " FROM runs r ORDER BY r.id DESC LIMIT ?2 OFFSET ?1";
  std::vector<RunRow> out;
  sqlite3_stmt* st = statement(kRuns, sql.c_str());
  if (!st) return out;
  sqlite3_bind_int64(st, 1, offset);
  sqlite3_bind_int64(st, 2, limit);
  while (sqlite3_step(st) == SQLITE_ROW) out.push_back(read_run(st));
  sqlite3_reset(st);
  return out;
}

std::optional<RunRow> Store::run(std::int64_t run_id) {
  const std::string sql = "SELECT " + run_columns(version_) + " FROM runs r WHERE r.id = ?1";
  sqlite3_stmt* st = statement(kRun, sql.c_str());
  if (!st) return std::nullopt;
  sqlite3_bind_int64(st, 1, run_id);
  std::optional<RunRow> r;
  if (sqlite3_step(st) == SQLITE_ROW) r = read_run(st);
  sqlite3_reset(st);
  return r;
}

std::int64_t Store::item_count(std::int64_t run_id, const ItemFilter& filter) {
  const std::string sql = "SELECT count(*) FROM items WHERE run_id = ?1" + filter_clause(filter, version_);
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) return 0;
  sqlite3_bind_int64(st, 1, run_id);
  if (filter.mode == ItemFilter::Mode::with_answer) bind_text(st, 2, filter.answer);
  const std::int64_t n = sqlite3_step(st) == SQLITE_ROW ? sqlite3_column_int64(st, 0) : 0;
  sqlite3_finalize(st);
  return n;
}

std::vector<ItemRow> Store::items(std::int64_t run_id, const ItemFilter& filter, std::int64_t offset,
                                  std::int64_t limit) {
  std::vector<ItemRow> out;
  const std::string sql = std::string("SELECT ordinal, key, detail, began_ms, ended_ms, answer, ") +
                          (version_ >= 2 ? "problem, repeats" : "NULL, 1") + " FROM items WHERE run_id = ?1" +
                          filter_clause(filter, version_) + " ORDER BY ordinal LIMIT ?4 OFFSET ?3";
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) return out;
  sqlite3_bind_int64(st, 1, run_id);
  if (filter.mode == ItemFilter::Mode::with_answer) bind_text(st, 2, filter.answer);
  sqlite3_bind_int64(st, 3, offset);
  sqlite3_bind_int64(st, 4, limit);
  while (sqlite3_step(st) == SQLITE_ROW) {
    ItemRow it;
    it.ordinal = sqlite3_column_int64(st, 0);
    it.key = column_text(st, 1);
    it.detail = column_text(st, 2);
    it.began_ms = sqlite3_column_int64(st, 3);
    it.ended_ms = column_ms(st, 4);
    it.answer = column_optional(st, 5);
    it.problem = column_optional(st, 6);
    it.repeats = sqlite3_column_int64(st, 7);
    out.push_back(std::move(it));
  }
  sqlite3_finalize(st);
  if (out.empty()) return out;
  // The boxes of the page's items (only items with an answer have any).
  std::unordered_map<std::int64_t, ItemRow*> by_ordinal;
  for (ItemRow& it : out)
    if (it.answer) by_ordinal[it.ordinal] = &it;
  if (by_ordinal.empty()) return out;
  const char* box_sql =
      "SELECT id, ordinal, at_ms, kind, text, button, by_confirmer, answered_ms FROM boxes"
      " WHERE run_id = ?1 AND ordinal BETWEEN ?2 AND ?3 ORDER BY id";
  if (sqlite3_prepare_v2(db_, box_sql, -1, &st, nullptr) != SQLITE_OK) return out;
  sqlite3_bind_int64(st, 1, run_id);
  sqlite3_bind_int64(st, 2, out.front().ordinal);
  sqlite3_bind_int64(st, 3, out.back().ordinal);
  while (sqlite3_step(st) == SQLITE_ROW) {
    auto it = by_ordinal.find(sqlite3_column_int64(st, 1));
    if (it != by_ordinal.end()) it->second->boxes.push_back(read_box(st));
  }
  sqlite3_finalize(st);
  return out;
}

std::vector<std::string> Store::begun_keys(std::int64_t run_id, bool done_only) {
  std::vector<std::string> out;
  sqlite3_stmt* st =
      done_only && version_ >= 2
          ? statement(kDoneKeys, "SELECT key FROM items WHERE run_id = ?1 AND problem IS NULL ORDER BY ordinal")
          : statement(kBegunKeys, "SELECT key FROM items WHERE run_id = ?1 ORDER BY ordinal");
  if (!st) return out;
  sqlite3_bind_int64(st, 1, run_id);
  while (sqlite3_step(st) == SQLITE_ROW) out.push_back(column_text(st, 0));
  sqlite3_reset(st);
  return out;
}

std::vector<BoxRow> Store::run_boxes(std::int64_t run_id) {
  std::vector<BoxRow> out;
  sqlite3_stmt* st = statement(kRunBoxes,
                               "SELECT id, ordinal, at_ms, kind, text, button, by_confirmer, answered_ms"
                               " FROM boxes WHERE run_id = ?1 AND ordinal = 0 ORDER BY id");
  if (!st) return out;
  sqlite3_bind_int64(st, 1, run_id);
  while (sqlite3_step(st) == SQLITE_ROW) out.push_back(read_box(st));
  sqlite3_reset(st);
  return out;
}

std::vector<AnswerGroup> Store::summary(std::int64_t run_id) {
  std::vector<AnswerGroup> out;
  sqlite3_stmt* st = statement(kSummary,
                               "SELECT answer, count(*) AS n, min(ordinal) AS first FROM items WHERE run_id = ?1"
                               " GROUP BY answer ORDER BY n DESC, first");
  if (!st) return out;
  sqlite3_bind_int64(st, 1, run_id);
  while (sqlite3_step(st) == SQLITE_ROW) out.push_back({column_optional(st, 0), sqlite3_column_int64(st, 1)});
  sqlite3_reset(st);
  return out;
}

// ---------------------------------------------------------------------------------------

std::vector<std::string> not_begun(const std::vector<std::string>& todo, const std::vector<std::string>& begun) {
  std::unordered_map<std::string, std::int64_t> taken;
  for (const std::string& k : begun) ++taken[k];
  std::vector<std::string> out;
  for (const std::string& k : todo) {
    auto it = taken.find(k);
    if (it != taken.end() && it->second > 0) {
      --it->second;
      continue;
    }
    out.push_back(k);
  }
  return out;
}

std::string csv_field(const std::string& text) {
  std::string t = text;
  // A cell starting like a formula is shown as text, not evaluated.
  if (!t.empty() && (t[0] == '=' || t[0] == '+' || t[0] == '-' || t[0] == '@' || t[0] == '\t' || t[0] == '\r')) {
    bool number = t.size() > 1 && (t[0] == '-' || t[0] == '+');
    for (std::size_t i = 1; number && i < t.size(); ++i)
      number = (t[i] >= '0' && t[i] <= '9') || t[i] == '.';
    if (!number) t.insert(t.begin(), '\'');
  }
  if (t.find_first_of(",\"\r\n") == std::string::npos) return t;
  std::string out = "\"";
  out.reserve(t.size() + 2);
  for (char c : t) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
  return out;
}

std::string csv_line(const std::vector<std::string>& fields) {
  std::string line;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (i) line += ',';
    line += csv_field(fields[i]);
  }
  line += "\r\n";
  return line;
}

}  // namespace tools::journal
