#pragma once
// What the benchmarks of the tool windows share: the demo back office started before the
// QApplication with its host name mapped for the browser, a TestContext logged into it
// with a fresh executable directory, and the wall time of a run against the waits it
// prescribes.

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "demo_process.h"
#include "tool_harness.h"

namespace bench {

class DemoBench {
 public:
  // Starts the demo with the login's captcha 1234 and demo_args, then the application,
  // and logs in; ready() tells whether all of it worked (and why not, on stderr).
  DemoBench(int& argc, char** argv, std::vector<std::string> demo_args = {})
      : started_(start_demo(demo_, std::move(demo_args))), app_(argc, argv) {
    if (!started_) return;
    ctx_ = std::make_unique<harness::TestContext>();
    ctx_->set_exe_dir(dir_.path().toStdString());
    logged_in_ = harness::log_in(ctx_->main_browser(), harness::kDemoRoot);
    if (!logged_in_) std::fprintf(stderr, "login failed\n");
    ctx_->set_address_text(harness::kDemoRoot);
  }

  bool ready() const { return started_ && logged_in_; }
  testsupport::DemoProcess& demo() { return demo_; }
  harness::TestContext& ctx() { return *ctx_; }

 private:
  static bool start_demo(testsupport::DemoProcess& demo, std::vector<std::string> args) {
    setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
    args.insert(args.begin(), {"--captcha", "1234"});
    if (!demo.start(args)) {
      std::fprintf(stderr, "demo did not start\n");
      return false;
    }
    const std::string flags = "--disable-gpu --no-sandbox " + demo.host_rule();
    setenv("QTWEBENGINE_CHROMIUM_FLAGS", flags.c_str(), 1);
    return true;
  }

  testsupport::DemoProcess demo_;
  bool started_;
  QApplication app_;
  QTemporaryDir dir_;
  std::unique_ptr<harness::TestContext> ctx_;
  bool logged_in_ = false;
};

// Seconds from a click on button (from the event loop) until sender emitted signal, or
// until timeout_ms passed.
template <class Sender, class Signal>
double timed_run(QAbstractButton* button, Sender* sender, Signal signal, int timeout_ms) {
  QSignalSpy finished(sender, signal);
  QElapsedTimer clock;
  QTimer::singleShot(0, [&] {
    clock.start();
    button->click();
  });
  harness::wait_until([&] { return finished.count() > 0; }, timeout_ms);
  return clock.elapsed() / 1000.0;
}

// "wall W s, prescribed waits P s, ratio R (+X%)", with the time the platform's message
// boxes stayed open when boxes_s is given.
inline void print_ratio(double wall, double prescribed, double boxes_s = -1) {
  std::printf("wall %.2f s, prescribed waits %.2f s, ratio %.4f (+%.2f%%)", wall, prescribed, wall / prescribed,
              (wall / prescribed - 1) * 100);
  if (boxes_s >= 0) std::printf("; message boxes open %.2f s", boxes_s);
  std::printf("\n");
}

// Takes "NAME VALUE" out of argv (before the application sees it): the value as a whole
// number, or fallback when absent or not a number.
inline int take_option(int& argc, char** argv, const char* name, int fallback) {
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::string(argv[i]) != name) continue;
    char* end = nullptr;
    const long v = std::strtol(argv[i + 1], &end, 10);
    for (int k = i; k + 2 <= argc; ++k) argv[k] = argv[k + 2];
    argc -= 2;
    return end && *end == '\0' && v >= 0 && v <= 600000 ? static_cast<int>(v) : fallback;
  }
  return fallback;
}

// Takes the flag NAME out of argv; whether it was there.
inline bool take_flag(int& argc, char** argv, const char* name) {
  for (int i = 1; i < argc; ++i) {
    if (std::string(argv[i]) != name) continue;
    for (int k = i; k + 1 <= argc; ++k) argv[k] = argv[k + 1];
    --argc;
    return true;
  }
  return false;
}

// On a slow line: the wall time against the prescribed waits plus one latency per page
// load the run asks for.
inline void print_slow_ratio(double wall, double prescribed, int loads, double latency_s) {
  const double expected = prescribed + loads * latency_s;
  std::printf("wall %.2f s, prescribed waits %.2f s + %d page loads x %.2f s = %.2f s, ratio %.4f (%+.2f%%)\n", wall,
              prescribed, loads, latency_s, expected, wall / expected, (wall / expected - 1) * 100);
}

}  // namespace bench
