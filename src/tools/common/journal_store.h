#pragma once
// The run journal's database: runs, their items and the script message boxes raised while
// they ran, in an SQLite file written in WAL mode (a kill at any moment loses at most the
// write in progress). Plain C++ over UTF-8 text; the Qt side is journal.h.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace tools::journal {

// Format of the database this program writes (PRAGMA user_version). Format 1 (no item
// problems, no repeats) is read as it is and brought up to date when opened for recording.
inline constexpr int kSchemaVersion = 2;
// PRAGMA application_id of a journal ("TSJR").
inline constexpr int kApplicationId = 0x54534A52;
// How long a write waits for another process that holds the file.
inline constexpr int kBusyTimeoutMs = 3000;
// Joins the texts of several boxes of one item into its answer.
inline constexpr const char* kAnswerSeparator = " / ";

// How a run ended, as stored ("finished", "stopped", "window_closed", "application_ended",
// "login_expired", "page_not_ready"); empty while it has not ended (still running, or its
// process was killed and no start has closed it yet). A run of a killed process is closed
// at the next start as "application_ended" without an end time (ended_ms -1: the moment is
// not known).
struct RunRow {
  std::int64_t id = 0;
  std::string tool;
  std::int64_t started_ms = 0;   // milliseconds since the epoch
  std::int64_t ended_ms = -1;    // -1: not ended
  std::int64_t last_ms = -1;     // latest moment recorded for the run (start, item, box, end)
  std::string ending;
  std::string settings_json;     // object
  std::string items_json;        // array of the keys to do
  std::int64_t pid = 0;          // process that recorded it
  std::int64_t items_todo = 0;   // length of the list to do
  std::int64_t items_begun = 0;
  std::optional<std::string> gap;  // why its recording stopped before it ended (none: complete)
};

struct BoxRow {
  std::int64_t id = 0;
  std::int64_t ordinal = 0;      // 0: raised while no item was in progress
  std::int64_t at_ms = 0;
  std::string kind;              // "alert", "confirm", "prompt"
  std::string text;
  std::string button;            // caption of the button that answered it; empty: none
  bool answered = false;         // false while open (or the process died with it open)
  bool by_confirmer = false;
};

struct ItemRow {
  std::int64_t ordinal = 0;      // 1-based, in the order begun
  std::string key;
  std::string detail;
  std::int64_t began_ms = 0;
  std::int64_t ended_ms = -1;    // -1: not ended
  std::optional<std::string> answer;  // texts of its boxes joined; none: no box
  std::optional<std::string> problem; // why it was not done; none: nothing went wrong
  std::int64_t repeats = 1;           // like items in a row recorded as this one
  std::vector<BoxRow> boxes;
};

// Which items of a run to list.
struct ItemFilter {
  enum class Mode { all, without_answer, with_answer, not_done } mode = Mode::all;
  std::string answer;  // for with_answer
};

struct AnswerGroup {
  std::optional<std::string> answer;  // none: the items without any box
  std::int64_t count = 0;
};

class Store {
 public:
  // Opens the journal at path for recording, creating it (and nothing else) when the file
  // does not exist or is empty. Null with *problem (one line) when it cannot be used: not a
  // database, a database of something else, a newer format, read-only, no space. A file
  // that is refused is never written to.
  static std::shared_ptr<Store> open(const std::string& path, std::string* problem);
  // Opens an existing journal for reading only (the viewer of a read-only file).
  static std::shared_ptr<Store> open_for_reading(const std::string& path, std::string* problem);
  ~Store();
  Store(const Store&) = delete;
  Store& operator=(const Store&) = delete;

  const std::string& path() const { return path_; }
  // One line about the last failed operation (empty when none failed).
  const std::string& problem() const { return problem_; }

  // Writes; each is one transaction and returns false on failure (see problem()).
  bool begin_run(const std::string& tool, std::int64_t at_ms, const std::string& settings_json,
                 const std::string& items_json, std::int64_t items_todo, std::int64_t pid,
                 std::int64_t* run_id);
  bool end_run(std::int64_t run_id, const std::string& ending, std::int64_t at_ms);
  bool begin_item(std::int64_t run_id, std::int64_t ordinal, const std::string& key,
                  const std::string& detail, std::int64_t at_ms);
  bool set_detail(std::int64_t run_id, std::int64_t ordinal, const std::string& detail);
  bool end_item(std::int64_t run_id, std::int64_t ordinal, std::int64_t at_ms);
  // The item was not done, for why (a later call replaces the reason).
  bool set_problem(std::int64_t run_id, std::int64_t ordinal, const std::string& why);
  // Item ordinal (the last begun) is counted as one more repeat of the item before it,
  // whose end moves to at_ms, and is removed with its boxes.
  bool fold_item(std::int64_t run_id, std::int64_t ordinal, std::int64_t at_ms);
  // The run's recording stopped for why: what is stored of it is not all of it.
  bool set_gap(std::int64_t run_id, const std::string& why);
  // Folds the log back into the database and empties it (when a run ends).
  void checkpoint();
  // ordinal 0: the run's own box. Adds its text to the item's answer.
  bool add_box(std::int64_t run_id, std::int64_t ordinal, const std::string& kind,
               const std::string& text, std::int64_t at_ms, std::int64_t* box_id);
  bool answer_box(std::int64_t box_id, const std::string& button, bool by_confirmer,
                  std::int64_t at_ms);
  // Ends every run that has not ended as ending, leaving its end time unknown (runs of a
  // process that is gone). *closed gets how many.
  bool close_open_runs(const std::string& ending, std::int64_t* closed);

  // Reads (empty results on failure).
  std::int64_t run_count();
  // Newest first.
  std::vector<RunRow> runs(std::int64_t offset, std::int64_t limit);
  std::optional<RunRow> run(std::int64_t run_id);
  std::int64_t item_count(std::int64_t run_id, const ItemFilter& filter);
  // Items in ordinal order with their boxes.
  std::vector<ItemRow> items(std::int64_t run_id, const ItemFilter& filter, std::int64_t offset,
                             std::int64_t limit);
  // Keys of the items begun, in ordinal order (done_only: without the items not done).
  std::vector<std::string> begun_keys(std::int64_t run_id, bool done_only = false);
  // Boxes raised while no item was in progress.
  std::vector<BoxRow> run_boxes(std::int64_t run_id);
  // Items grouped by answer, largest group first (ties: first answer seen first).
  std::vector<AnswerGroup> summary(std::int64_t run_id);

 private:
  Store(sqlite3* db, std::string path);
  sqlite3_stmt* statement(int index, const char* sql);
  bool fail(const char* what);
  bool exec_step(sqlite3_stmt* st, const char* what);

  sqlite3* db_ = nullptr;
  std::string path_;
  std::string problem_;
  std::vector<sqlite3_stmt*> statements_;
  int version_ = kSchemaVersion;  // of the file (an older one is read as it is)
};

// ---- Helpers of the viewer and of "continue", plain functions over text.

// The keys of todo not begun yet: each begun key takes away its first remaining occurrence
// in todo; the rest keeps its order.
std::vector<std::string> not_begun(const std::vector<std::string>& todo,
                                   const std::vector<std::string>& begun);

// One CSV field (RFC 4180 quoting; a text that a spreadsheet would take for a formula
// gets a leading apostrophe) and one line ending in CR LF.
std::string csv_field(const std::string& text);
std::string csv_line(const std::vector<std::string>& fields);
// Byte-order mark that starts the exported file.
inline constexpr const char* kUtf8Bom = "\xEF\xBB\xBF";

}  // namespace tools::journal
