#pragma once
// Helpers of the shell's end-to-end tests: temporary executable directories, waits,
// message-box answering and X11 window lookup for child processes.

#include <QString>
#include <QStringList>

#include <functional>
#include <string>

class QTimer;

namespace app { class MainWindow; }
namespace platform { class BrowserView; }

namespace e2e {

// A fresh directory standing in for the executable directory (removed at exit).
std::string fresh_exe_dir(const std::string& name);
// A file of the portable data directory of exe_dir (exe_dir/data/name).
std::string data_file(const std::string& exe_dir, const char* name);
// Writes key (UTF-8, stored GBK) = value (UTF-8) into exe_dir/data/configure.ini.
void write_config(const std::string& exe_dir, const char* key_utf8, const std::string& value_utf8);
std::string read_config(const std::string& exe_dir, const char* key_utf8);  // UTF-8

bool wait_for(const std::function<bool()>& pred, int timeout_ms = 10000);
// Waits until view shows a completely loaded page whose address starts with prefix.
bool wait_loaded(platform::BrowserView* view, const QString& prefix, int timeout_ms = 15000);

// Answers the next visible message box titled title by clicking the button whose
// text is button (polls for up to timeout_ms). *seen gets the box's text.
void answer_box(const QString& title, const QString& button, QString* seen = nullptr,
                int timeout_ms = 15000);

// Records every message box that becomes visible while it lives (title and text) and
// closes it with its escape button, so that a start-up that asks nothing can be told
// from one that asks.
class BoxWatch {
 public:
  BoxWatch();
  ~BoxWatch();
  QStringList seen() const { return seen_; }

 private:
  QStringList seen_;
  QTimer* timer_;
};

// X11 (separate display connection): a top-level window whose _NET_WM_NAME equals
// title exists; sends it WM_DELETE_WINDOW as a window manager's close button does.
bool x_window_exists(const QString& title);
int x_window_count(const QString& title);
bool x_close_window(const QString& title);

}  // namespace e2e
