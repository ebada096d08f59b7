#include "e2e_support.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <filesystem>
#include <vector>

#include "platform/browser_view.h"
#include "settings/settings.h"
#include "text/text.h"

namespace e2e {

namespace {
struct DirCleanup {
  std::vector<std::string> dirs;
  ~DirCleanup() {
    std::error_code ec;
    for (const auto& d : dirs) std::filesystem::remove_all(d, ec);
  }
};
DirCleanup& cleanup() {
  static DirCleanup c;
  return c;
}
}  // namespace

std::string fresh_exe_dir(const std::string& name) {
  static int counter = 0;
  auto base = std::filesystem::temp_directory_path() /
              ("tessaro-app-e2e-" + std::to_string(::getpid()) + "-" + std::to_string(++counter));
  auto dir = base / name;
  std::filesystem::remove_all(base);
  std::filesystem::create_directories(dir);
  cleanup().dirs.push_back(base.string());
  return dir.string();
}

std::string data_file(const std::string& exe_dir, const char* name) {
  return settings::data_path(settings::portable_data_dir(exe_dir), name);
}

void write_config(const std::string& exe_dir, const char* key_utf8, const std::string& value_utf8) {
  settings::make_data_dir(settings::portable_data_dir(exe_dir));
  settings::write_key(data_file(exe_dir, settings::kConfigure), text::utf8_to_gbk(key_utf8),
                      text::utf8_to_gbk(value_utf8));
}

std::string read_config(const std::string& exe_dir, const char* key_utf8) {
  return text::gbk_to_utf8(
      settings::read_key(data_file(exe_dir, settings::kConfigure), text::utf8_to_gbk(key_utf8)));
}

bool wait_for(const std::function<bool()>& pred, int timeout_ms) {
  QElapsedTimer t;
  t.start();
  while (!pred()) {
    if (t.elapsed() > timeout_ms) return false;
    QTest::qWait(20);
  }
  return true;
}

bool wait_loaded(platform::BrowserView* view, const QString& prefix, int timeout_ms) {
  bool ok = wait_for(
      [&] { return view->ready_state() == 4 && view->url().toString().startsWith(prefix); }, timeout_ms);
  QTest::qWait(50);
  return ok;
}

void answer_box(const QString& title, const QString& button, QString* seen, int timeout_ms) {
  auto* timer = new QTimer;
  auto* elapsed = new QElapsedTimer;
  elapsed->start();
  timer->setInterval(50);
  QObject::connect(timer, &QTimer::timeout, [=] {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      auto* box = qobject_cast<QMessageBox*>(w);
      if (!box || !box->isVisible() || box->windowTitle() != title) continue;
      for (QAbstractButton* b : box->buttons()) {
        if (b->text() == button) {
          if (seen) *seen = box->text();
          timer->stop();
          b->click();
          timer->deleteLater();
          delete elapsed;
          return;
        }
      }
    }
    if (elapsed->elapsed() > timeout_ms) {
      timer->stop();
      timer->deleteLater();
      delete elapsed;
    }
  });
  timer->start();
}

BoxWatch::BoxWatch() : timer_(new QTimer) {
  timer_->setInterval(20);
  QObject::connect(timer_, &QTimer::timeout, [this] {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      auto* box = qobject_cast<QMessageBox*>(w);
      if (!box || !box->isVisible()) continue;
      seen_ << box->windowTitle() + QStringLiteral(": ") + box->text();
      if (QAbstractButton* esc = box->escapeButton()) esc->click();
      else box->reject();
    }
  });
  timer_->start();
}

BoxWatch::~BoxWatch() { delete timer_; }

namespace {

QString window_name(Display* d, Window w) {
  Atom net_wm_name = XInternAtom(d, "_NET_WM_NAME", False);
  Atom utf8 = XInternAtom(d, "UTF8_STRING", False);
  Atom type;
  int format;
  unsigned long n, after;
  unsigned char* data = nullptr;
  QString name;
  if (XGetWindowProperty(d, w, net_wm_name, 0, 1024, False, utf8, &type, &format, &n, &after, &data) ==
          Success &&
      data) {
    name = QString::fromUtf8(reinterpret_cast<char*>(data), static_cast<qsizetype>(n));
    XFree(data);
  }
  return name;
}

Window find_window(Display* d, Window w, const QString& title, int depth) {
  if (window_name(d, w) == title) return w;
  if (depth == 0) return 0;
  Window root, parent, *children = nullptr;
  unsigned int n = 0;
  if (!XQueryTree(d, w, &root, &parent, &children, &n)) return 0;
  Window found = 0;
  for (unsigned int i = 0; i < n && !found; ++i) found = find_window(d, children[i], title, depth - 1);
  if (children) XFree(children);
  return found;
}

void count_windows(Display* d, Window w, const QString& title, int depth, int* n) {
  if (window_name(d, w) == title) ++*n;
  if (depth == 0) return;
  Window root, parent, *children = nullptr;
  unsigned int count = 0;
  if (!XQueryTree(d, w, &root, &parent, &children, &count)) return;
  for (unsigned int i = 0; i < count; ++i) count_windows(d, children[i], title, depth - 1, n);
  if (children) XFree(children);
}

}  // namespace

int x_window_count(const QString& title) {
  Display* d = XOpenDisplay(nullptr);
  if (!d) return 0;
  int n = 0;
  count_windows(d, DefaultRootWindow(d), title, 3, &n);
  XCloseDisplay(d);
  return n;
}

bool x_window_exists(const QString& title) {
  Display* d = XOpenDisplay(nullptr);
  if (!d) return false;
  Window w = find_window(d, DefaultRootWindow(d), title, 3);
  XCloseDisplay(d);
  return w != 0;
}

bool x_close_window(const QString& title) {
  Display* d = XOpenDisplay(nullptr);
  if (!d) return false;
  Window w = find_window(d, DefaultRootWindow(d), title, 3);
  if (w) {
    XEvent ev{};
    ev.xclient.type = ClientMessage;
    ev.xclient.window = w;
    ev.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
    ev.xclient.format = 32;
    ev.xclient.data.l[0] = static_cast<long>(XInternAtom(d, "WM_DELETE_WINDOW", False));
    ev.xclient.data.l[1] = CurrentTime;
    XSendEvent(d, w, False, NoEventMask, &ev);
    XFlush(d);
  }
  XCloseDisplay(d);
  return w != 0;
}

}  // namespace e2e
