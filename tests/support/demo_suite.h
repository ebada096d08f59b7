#pragma once
// What the end-to-end tests of the tool windows share: the test binary's demo back office
// (started before the QApplication, its host name mapped for the browser), readers of
// what it recorded, and a fixture logged into it once per suite.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "demo_process.h"
#include "page/confirmer.h"
#include "platform/dialogs.h"
#include "platform/waits.h"
#include "tool_harness.h"
#include "tools/common/journal.h"
#include "tools/common/journal_store.h"
#include "tools/common/run_mode.h"

namespace harness {

inline std::unique_ptr<testsupport::DemoProcess>& demo_holder() {
  static std::unique_ptr<testsupport::DemoProcess> demo;
  return demo;
}

// The test binary's demo back office (start_demo has run).
inline testsupport::DemoProcess& demo() { return *demo_holder(); }

// From tessaro_test_before_app: starts the demo with the login's captcha 1234 and args,
// and maps its host name for the browser; extra_rules are further Chromium host rules
// ("MAP host 127.0.0.1:PORT"). A demo that does not start fails every test's set-up.
inline void start_demo(std::vector<std::string>& chromium_args, std::vector<std::string> args = {},
                       const std::string& extra_rules = {}) {
  auto& demo = demo_holder();
  demo = std::make_unique<testsupport::DemoProcess>();
  args.insert(args.begin(), {"--captcha", "1234"});
  if (!demo->start(args)) {
    std::fprintf(stderr, "demo back office did not start\n");
    return;
  }
  chromium_args.push_back(demo->host_rule(extra_rules));
}

// From tessaro_test_after_all: stops the demo.
inline void stop_demo() { demo_holder().reset(); }

inline bool demo_running() { return demo_holder() && demo_holder()->port() > 0; }

// What the binary's demo recorded, and one of its lists.
inline QJsonObject demo_state() { return demo_state(demo()); }
inline QJsonArray recorded(const QString& key) { return demo_state().value(key).toArray(); }
inline QList<QJsonObject> recorded_objects(const QString& key) {
  QList<QJsonObject> out;
  for (const QJsonValue& v : recorded(key)) out << v.toObject();
  return out;
}

// Cards in stock of a product; when_missing when the demo has no entry for it.
inline int cards_in_stock(int product, int when_missing = -1) {
  for (const QJsonValue& v : recorded("cards"))
    if (v.toObject().value("product").toInt() == product) return v.toObject().value("cards").toArray().size();
  return when_missing;
}

// What the demo recorded of the tools' work, without what differs between two runs of the
// same work: times ("at"), the line's conditions, the logins and the last page seen, and the
// keys of drop (for example a generated user name).
inline QJsonValue without_times(const QJsonValue& v, const QStringList& drop) {
  if (v.isArray()) {
    QJsonArray out;
    for (const QJsonValue& e : v.toArray()) out.append(without_times(e, drop));
    return out;
  }
  if (!v.isObject()) return v;
  QJsonObject out;
  const QJsonObject o = v.toObject();
  for (auto it = o.begin(); it != o.end(); ++it)
    if (it.key() != QLatin1String("at") && !drop.contains(it.key())) out.insert(it.key(), without_times(it.value(), drop));
  return out;
}
// Lets the requests a closed window's browser still had under way reach the demo and be
// answered before the next test resets it: waits until every page request is answered and
// none came for 100 ms (at most 3 s; a hanging answer ends with the next reset).
inline void settle_demo() {
  auto seen = [] {
    const QJsonObject c = demo_state().value("conditions").toObject();
    return std::pair{c.value("requests_seen").toInteger(-1), c.value("requests_open").toInteger(0)};
  };
  auto before = seen();
  for (int i = 0; i < 30; ++i) {
    QEventLoop loop;
    QTimer::singleShot(100, &loop, &QEventLoop::quit);
    loop.exec();
    const auto now = seen();
    if (now == before && now.second == 0) return;
    before = now;
  }
}
inline QJsonObject demo_records(const QStringList& drop = {}) {
  QJsonObject s = demo_state();
  for (const char* k : {"conditions", "logins", "last_page"}) s.remove(QLatin1String(k));
  return without_times(s, drop).toObject();
}

// One run of a case's work in one mode: what the demo recorded of it (demo_records), how
// long the work took, and whether every run of the mode's journal says fast mode.
struct ModeRun {
  bool fast = false;
  QJsonObject records;
  qint64 ms = 0;
  int journal_runs = 0;
  int journal_fast = 0;  // runs whose settings hold "fast_mode": true
};

// The keys of a and b whose values differ, each with both values (for a failure message).
inline std::string record_differences(const QJsonObject& a, const QJsonObject& b) {
  std::string out;
  QStringList keys = a.keys() + b.keys();
  keys.removeDuplicates();
  for (const QString& k : keys) {
    if (a.value(k) == b.value(k)) continue;
    auto text = [](const QJsonValue& v) {
      const QJsonArray wrapped{v};
      return QJsonDocument(wrapped).toJson(QJsonDocument::Compact).left(3000).toStdString();
    };
    out += "\n" + k.toStdString() + ":\n  paced " + text(a.value(k)) + "\n  fast  " + text(b.value(k));
  }
  return out;
}

// The same work paced, then in fast mode: the demo recorded the same and each journal run
// says its mode (the times are printed; the benches compare them).
inline void expect_same_results(const std::vector<ModeRun>& runs) {
  if (runs.size() < 2) return;
  const ModeRun& paced = runs[0];
  const ModeRun& fast = runs[1];
  ASSERT_FALSE(paced.fast);
  ASSERT_TRUE(fast.fast);
  std::printf("paced %lld ms, fast mode %lld ms\n", static_cast<long long>(paced.ms), static_cast<long long>(fast.ms));
  EXPECT_TRUE(paced.records == fast.records) << record_differences(paced.records, fast.records);
  EXPECT_GE(paced.journal_runs, 1);
  EXPECT_EQ(paced.journal_fast, 0);
  EXPECT_GE(fast.journal_runs, 1);
  EXPECT_EQ(fast.journal_fast, fast.journal_runs);
}

// A fixture logged into the demo once per suite through a TestContext. Each test gets a
// fresh executable directory, the address box set, what the demo recorded forgotten and
// the waits scaled (Options); afterwards every top-level window of the types Windows is
// closed and gone, and the waits are whole again. A fixture that needs more set-up calls
// these first: ASSERT_NO_FATAL_FAILURE(DemoSuite::SetUp()).
template <class... Windows>
class DemoSuite : public ::testing::Test {
 protected:
  struct Options {
    double wait_scale = 1.0;
    std::string address = kDemoRoot;
    bool reset = true;  // false: the test shapes the demo itself
    // A slow line: every answer of the demo's pages is delayed latency_ms ± jitter_ms.
    int latency_ms = 0;
    int jitter_ms = 0;
  };
  DemoSuite() = default;
  explicit DemoSuite(Options options) : options_(std::move(options)) {}

  static void SetUpTestSuite() {
    ctx_ = new TestContext;
    logged_in_ = log_in(ctx_->main_browser(), kDemoRoot);
  }
  static void TearDownTestSuite() {
    delete ctx_;
    ctx_ = nullptr;
  }

  void SetUp() override {
    ASSERT_TRUE(demo_running());
    ASSERT_TRUE(logged_in_);
    ASSERT_TRUE(dir_.isValid());
    ctx_->set_exe_dir(exe_dir());
    ctx_->set_address_text(options_.address);
    if (options_.reset) demo().post("/demo/reset", "");
    set_latency(options_.latency_ms, options_.jitter_ms);
    platform::set_wait_scale(options_.wait_scale);
  }

  void TearDown() override {
    EXPECT_TRUE(close_windows<Windows...>());
    settle_demo();
    platform::set_wait_scale(1.0);
    set_latency(0, 0);
    tools::RunMode::set_fast(false);
    mode_dir_.clear();
  }

  // ---- The same work paced and in fast mode
  // Before the work in a mode: fast mode on or off, a data directory of the mode's own (each
  // mode's journal stands alone), the clock started. The case shapes (resets) the demo.
  void begin_mode(bool fast) {
    tools::RunMode::set_fast(fast);
    mode_dir_ = fast ? "/fast" : "";
    QDir().mkpath(QString::fromStdString(exe_dir()));
    ctx_->set_exe_dir(exe_dir());
    mode_clock_.start();
  }
  // After it: what the demo recorded (demo_records(drop)), the time since begin_mode
  // (or ms when given) and the mode of each run in the mode's journal.
  ModeRun end_mode(const QStringList& drop = {}, qint64 ms = -1) {
    ModeRun r;
    r.fast = tools::RunMode::fast();
    r.ms = ms >= 0 ? ms : mode_clock_.elapsed();
    r.records = demo_records(drop);
    if (auto store = journal())
      for (const auto& run : store->runs(0, 100)) {
        ++r.journal_runs;
        const QJsonObject settings = QJsonDocument::fromJson(QByteArray::fromStdString(run.settings_json)).object();
        if (settings.value("fast_mode").toBool()) ++r.journal_fast;
      }
    return r;
  }

  // Does work paced and, when both, again in fast mode: before each, the windows of the last
  // are closed, the demo reset (work shapes it) and the wait scale set; afterwards the demo
  // must have recorded the same of both (drop: keys that differ by nature).
  template <class Work>
  void paced_and_fast(bool both, double wait_scale, Work&& work, const QStringList& drop = {}) {
    std::vector<ModeRun> done;
    for (const bool fast : both ? std::vector<bool>{false, true} : std::vector<bool>{false}) {
      SCOPED_TRACE(fast ? "fast mode" : "paced");
      if (fast) {
        ASSERT_TRUE(close_windows<Windows...>());
        settle_demo();
        demo().post("/demo/reset", "");
      }
      platform::set_wait_scale(wait_scale);
      begin_mode(fast);
      work();
      if (::testing::Test::HasFatalFailure()) return;
      done.push_back(end_mode(drop));
    }
    expect_same_results(done);
  }

  // Delays every answer of the demo's pages (not /demo/) by ms ± jitter from now on.
  static void set_latency(int ms, int jitter = 0) {
    demo().post("/demo/latency", "latency=" + std::to_string(ms) + "&jitter=" + std::to_string(jitter));
  }

  std::string exe_dir() const { return dir_.path().toStdString() + mode_dir_; }
  // Its data directory: the portable one, data/ beside the (stand-in) executable.
  std::string data_dir() const { return settings::portable_data_dir(exe_dir()); }

  // The journal of the test's data directory, open for reading.
  std::shared_ptr<tools::journal::Store> journal() const {
    std::string why;
    auto store = tools::journal::Store::open_for_reading(tools::journal::journal_file(data_dir()), &why);
    EXPECT_TRUE(store) << why;
    return store;
  }
  // Its runs, newest first; store_ stays open for their items.
  std::vector<tools::journal::RunRow> journal_runs() {
    store_ = journal();
    return store_ ? store_->runs(0, 10) : std::vector<tools::journal::RunRow>{};
  }
  std::vector<tools::journal::ItemRow> journal_items(const tools::journal::RunRow& run) {
    return store_ ? store_->items(run.id, {}, 0, 100) : std::vector<tools::journal::ItemRow>{};
  }
  // The newest run and, into items, its items.
  std::optional<tools::journal::RunRow> last_run(std::vector<tools::journal::ItemRow>* items = nullptr) const {
    auto store = journal();
    if (!store) return std::nullopt;
    auto runs = store->runs(0, 1);
    if (runs.empty()) return std::nullopt;
    if (items) *items = store->items(runs[0].id, {}, 0, 1000);
    return runs[0];
  }

  static inline TestContext* ctx_ = nullptr;
  static inline bool logged_in_ = false;
  QTemporaryDir dir_;
  std::shared_ptr<tools::journal::Store> store_;
  std::string mode_dir_;  // the fast mode's own, below dir_
  QElapsedTimer mode_clock_;

 private:
  Options options_;
};

// The same with the main window's confirmer of the platform's message boxes running on
// the main browser (every 100 ms) for the whole suite.
template <class... Windows>
class ConfirmedDemoSuite : public DemoSuite<Windows...> {
  using Base = DemoSuite<Windows...>;

 protected:
  using Base::Base;

  static void SetUpTestSuite() {
    Base::SetUpTestSuite();
    page::confirm_web_dialogs(Base::ctx_->main_browser(), platform::kWebMessageTitle, platform::kOkCaption, false,
                              100);
  }
  static void TearDownTestSuite() {
    page::confirm_web_dialogs(Base::ctx_->main_browser(), QString(), QString(), true);
    Base::TearDownTestSuite();
  }
};

}  // namespace harness
