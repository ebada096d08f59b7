#pragma once
// The run journal of the tools: every bulk run, its items, and the platform's script
// message boxes that arrived while an item was in progress. It only watches: no step of a
// run waits on it or changes because of it.

#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class QWidget;

namespace tools::journal {

class Store;

enum class Ending { finished, stopped, window_closed, application_ended, login_expired, page_not_ready };

// "finished", "stopped", "window_closed", "application_ended", "login_expired",
// "page_not_ready" (the run ended because a page it needed did not come) (as stored).
const char* ending_name(Ending how);

// One recorded run. Records into journal.db of the data directory; when the journal cannot be used
// (not a database, a newer format, read-only, disk full) the run goes on unrecorded and
// problem() says why in one line.
class Run {
 public:
  // tool: the tool's name as its main-window button shows it (e.g. "自动上架商品");
  // browser: the browser whose script message boxes belong to this run (may be null);
  // settings: what the run runs with; items: its whole list of items to do (keys), may be
  // empty when a tool cannot know it in advance.
  Run(const std::string& data_dir, const QString& tool, QWidget* browser, const QJsonObject& settings,
      const QStringList& items);
  ~Run();  // a run not ended yet ends as window_closed
  Run(const Run&) = delete;
  Run& operator=(const Run&) = delete;

  bool recording() const;
  QString problem() const;
  // Begins the next item (ending the one in progress).
  void begin_item(const QString& key, const QString& detail = {});
  void set_detail(const QString& detail);  // e.g. the card count sent, the reply sent
  void end_item();
  // The item in progress was not done, for why (it still ends when the next one begins).
  void item_not_done(const QString& why);
  // The item in progress is like the one before it (the same detail, the same texts of
  // the platform's boxes, neither marked as not done): it is counted there instead of kept
  // as an item of its own (its boxes go with it), and that item is in progress again.
  // False (nothing changed) when it is not alike. For example the quiet cycles of the
  // order watch: a day without orders is one item.
  bool fold_into_previous();
  // Called once, with "运行记录已停止：reason", if recording stops during the run.
  void on_recording_stopped(std::function<void(const QString&)> tell);
  // Ends the item in progress and the run; later calls do nothing.
  void end(Ending how);

  // The run's id in the journal (0 when not recording).
  std::int64_t id() const;

  struct State;

 private:
  std::unique_ptr<State> s_;
};

// Ends every run still open as application_ended (the main window calls it before the
// process ends).
void end_open_runs();

// The journal file of a data directory: <data_dir>/journal.db.
std::string journal_file(const std::string& data_dir);
// The open journal of data_dir for recording, shared by every run and the viewer of this
// process (null with *problem when it cannot be used; tried again on the next call).
std::shared_ptr<Store> shared_store(const std::string& data_dir, QString* problem);

// True while the run is open in this process. Only one process uses a data directory at a
// time (its lock, app/instance_lock.h), so a run that never ended and is not open here was
// cut off: its process was killed.
bool run_is_open(std::int64_t run_id, const std::string& path);

// At start-up, with the data directory's lock held: every run the journal still shows open
// belongs to a process that is gone; each is closed as application_ended with its end time
// unknown. A missing journal stays missing. Returns how many were closed (-1 when the
// journal could not be used).
std::int64_t close_cut_off_runs(const std::string& data_dir);

}  // namespace tools::journal
