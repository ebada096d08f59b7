#include "tools/common/journal.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPointer>
#include <QWidget>

#include <algorithm>
#include <functional>
#include <map>
#include <unordered_map>
#include <vector>

#include <unistd.h>

#include "platform/script_boxes.h"
#include "settings/settings.h"
#include "tools/common/journal_store.h"
#include "tools/common/run_mode.h"

namespace tools::journal {

struct Run::State {
  std::shared_ptr<Store> store;  // null: not recording
  std::string path;              // of the journal
  QString problem;
  QPointer<QWidget> browser;
  bool has_browser = false;
  std::int64_t run_id = 0;
  std::int64_t ordinal = 0;      // the last item begun
  bool item_open = false;
  bool ended = false;
  // What like items are told by: their detail, the texts of their boxes, and no problem
  // (for the item in progress and the one before it).
  struct Shape {
    QString detail;
    QStringList answer;
    bool not_done = false;
  } current, previous;
  bool previous_folds = false;   // the item before may take a like one
  std::shared_ptr<Store> lost;   // the journal whose writes failed: told at the run's end
  std::function<void(const QString&)> on_loss;

  // A write that failed is tried once more (the file may have been held longer than the
  // busy time-out); failing again, the run goes on unrecorded from here, and says so once.
  template <class Op>
  bool write(Op op) {
    if (!store) return false;
    if (op(*store) || op(*store)) return true;
    problem = QStringLiteral("运行记录已停止：") + QString::fromStdString(store->problem());
    lost = std::move(store);
    store.reset();
    if (on_loss) on_loss(problem);
    return false;
  }
  // The end of the run: recorded, or, after a loss, marked as incomplete where that works.
  void close(Ending how) {
    const std::int64_t at = now();
    if (store) {
      write([&](Store& st) { return st.end_run(run_id, ending_name(how), at); });
      if (store) store->checkpoint();
    } else if (lost) {
      lost->set_gap(run_id, problem.toStdString());
      lost->end_run(run_id, ending_name(how), at);
      lost.reset();
    }
  }
  static std::int64_t now();
};

std::int64_t Run::State::now() { return QDateTime::currentMSecsSinceEpoch(); }

namespace {

std::int64_t now_ms() { return QDateTime::currentMSecsSinceEpoch(); }

// Open runs of this process, oldest first.
std::vector<Run::State*>& open_runs() {
  static std::vector<Run::State*> runs;
  return runs;
}

// Boxes open right now that belong to a recording run: serial -> where they were stored.
struct OpenBox {
  std::weak_ptr<Store> store;
  std::int64_t box_id = 0;
};
std::unordered_map<quint64, OpenBox>& open_boxes() {
  static std::unordered_map<quint64, OpenBox> boxes;
  return boxes;
}

std::map<std::string, std::weak_ptr<Store>>& stores() {
  static std::map<std::string, std::weak_ptr<Store>> s;
  return s;
}

void box_opened(quint64 serial, QWidget* browser, platform::ScriptBoxKind kind, const QString& text) {
  if (!browser) return;
  // The newest open run of that browser: its item in progress, or the run itself.
  auto& runs = open_runs();
  for (auto it = runs.rbegin(); it != runs.rend(); ++it) {
    Run::State* s = *it;
    if (s->ended || !s->has_browser || s->browser.data() != browser) continue;
    if (!s->store) return;
    std::int64_t box_id = 0;
    const std::int64_t ordinal = s->item_open ? s->ordinal : 0;
    if (s->item_open) s->current.answer << text;
    if (s->write([&](Store& st) {
          return st.add_box(s->run_id, ordinal, platform::script_box_kind_name(kind), text.toStdString(), now_ms(),
                            &box_id);
        }))
      open_boxes()[serial] = OpenBox{s->store, box_id};
    return;
  }
}

void box_answered(quint64 serial, const QString& button, bool by_confirmer) {
  auto it = open_boxes().find(serial);
  if (it == open_boxes().end()) return;
  const OpenBox box = it->second;
  open_boxes().erase(it);
  if (auto store = box.store.lock()) store->answer_box(box.box_id, button.toStdString(), by_confirmer, now_ms());
}

void watch_boxes() {
  static QPointer<platform::ScriptBoxes> watched;
  platform::ScriptBoxes* reporter = platform::ScriptBoxes::instance();
  if (watched == reporter) return;
  watched = reporter;
  QObject::connect(reporter, &platform::ScriptBoxes::opened, reporter, &box_opened);
  QObject::connect(reporter, &platform::ScriptBoxes::answered, reporter, &box_answered);
}

}  // namespace

const char* ending_name(Ending how) {
  switch (how) {
    case Ending::finished: return "finished";
    case Ending::stopped: return "stopped";
    case Ending::window_closed: return "window_closed";
    case Ending::application_ended: return "application_ended";
    case Ending::login_expired: return "login_expired";
    case Ending::page_not_ready: return "page_not_ready";
  }
  return "finished";
}

std::string journal_file(const std::string& data_dir) { return settings::data_path(data_dir, "journal.db"); }

std::shared_ptr<Store> shared_store(const std::string& data_dir, QString* problem) {
  const std::string path = journal_file(data_dir);
  if (auto s = stores()[path].lock()) return s;
  settings::make_data_dir(data_dir);
  std::string why;
  std::shared_ptr<Store> s = Store::open(path, &why);
  if (!s) {
    if (problem) *problem = QString::fromStdString(why);
    return nullptr;
  }
  stores()[path] = s;
  return s;
}

bool run_is_open(std::int64_t run_id, const std::string& path) {
  for (const Run::State* s : open_runs())
    if (!s->ended && s->run_id == run_id && s->path == path) return true;
  return false;
}

std::int64_t close_cut_off_runs(const std::string& data_dir) {
  if (!QFileInfo::exists(QString::fromStdString(journal_file(data_dir)))) return 0;
  QString why;
  std::shared_ptr<Store> store = shared_store(data_dir, &why);
  std::int64_t closed = 0;
  if (!store || !store->close_open_runs(ending_name(Ending::application_ended), &closed)) return -1;
  return closed;
}

Run::Run(const std::string& data_dir, const QString& tool, QWidget* browser, const QJsonObject& settings,
         const QStringList& items)
    : s_(std::make_unique<State>()) {
  s_->browser = browser;
  s_->has_browser = browser != nullptr;
  watch_boxes();
  s_->path = journal_file(data_dir);
  QString why;
  s_->store = shared_store(data_dir, &why);
  if (!s_->store) {
    s_->problem = QStringLiteral("本次运行未记录：") + why;
  } else {
    QJsonObject with_mode = settings;
    if (RunMode::fast()) with_mode.insert(QStringLiteral("fast_mode"), true);
    const std::string settings_json = QJsonDocument(with_mode).toJson(QJsonDocument::Compact).toStdString();
    const std::string items_json =
        QJsonDocument(QJsonArray::fromStringList(items)).toJson(QJsonDocument::Compact).toStdString();
    if (!s_->store->begin_run(tool.toStdString(), now_ms(), settings_json, items_json, items.size(),
                              static_cast<std::int64_t>(::getpid()), &s_->run_id)) {
      s_->problem = QStringLiteral("本次运行未记录：") + QString::fromStdString(s_->store->problem());
      s_->store.reset();
    }
  }
  open_runs().push_back(s_.get());
}

Run::~Run() {
  end(Ending::window_closed);
  auto& runs = open_runs();
  runs.erase(std::remove(runs.begin(), runs.end(), s_.get()), runs.end());
}

bool Run::recording() const { return s_->store != nullptr; }

QString Run::problem() const { return s_->problem; }

std::int64_t Run::id() const { return s_->store ? s_->run_id : 0; }

void Run::begin_item(const QString& key, const QString& detail) {
  if (s_->ended) return;
  end_item();
  ++s_->ordinal;
  s_->item_open = true;
  s_->previous = s_->current;
  s_->previous_folds = s_->ordinal > 1;
  s_->current = State::Shape{detail, {}, false};
  const std::int64_t at = now_ms();
  s_->write([&](Store& st) { return st.begin_item(s_->run_id, s_->ordinal, key.toStdString(), detail.toStdString(), at); });
}

void Run::set_detail(const QString& detail) {
  if (s_->ended || !s_->item_open) return;
  s_->current.detail = detail;
  if (!s_->store) return;
  s_->write([&](Store& st) { return st.set_detail(s_->run_id, s_->ordinal, detail.toStdString()); });
}

void Run::item_not_done(const QString& why) {
  if (s_->ended || !s_->item_open) return;
  s_->current.not_done = true;
  if (!s_->store) return;
  s_->write([&](Store& st) { return st.set_problem(s_->run_id, s_->ordinal, why.toStdString()); });
}

bool Run::fold_into_previous() {
  State& s = *s_;
  if (s.ended || !s.item_open || !s.previous_folds || s.current.not_done || s.previous.not_done ||
      s.current.detail != s.previous.detail || s.current.answer != s.previous.answer)
    return false;
  const std::int64_t at = now_ms();
  if (s.store && !s.write([&](Store& st) { return st.fold_item(s.run_id, s.ordinal, at); })) return false;
  // The item before is the one in progress again, and stays open for what comes.
  --s.ordinal;
  s.current = s.previous;
  s.previous_folds = false;
  return true;
}

void Run::on_recording_stopped(std::function<void(const QString&)> tell) { s_->on_loss = std::move(tell); }

void Run::end_item() {
  if (s_->ended || !s_->item_open) return;
  s_->item_open = false;
  const std::int64_t at = now_ms();
  s_->write([&](Store& st) { return st.end_item(s_->run_id, s_->ordinal, at); });
}

void Run::end(Ending how) {
  if (s_->ended) return;
  end_item();
  s_->ended = true;
  s_->close(how);
}

void end_open_runs() {
  // A copy: ending a run does not remove it, but be safe against re-entry.
  const std::vector<Run::State*> runs = open_runs();
  for (Run::State* s : runs) {
    if (s->ended) continue;
    const std::int64_t at = now_ms();
    if (s->item_open) s->write([&](Store& st) { return st.end_item(s->run_id, s->ordinal, at); });
    s->item_open = false;
    s->ended = true;
    s->close(Ending::application_ended);
  }
}

}  // namespace tools::journal
