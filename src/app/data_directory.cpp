#include "app/data_directory.h"

#include <QStandardPaths>
#include <QString>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "settings/settings.h"

namespace app {

namespace {

std::string without_trailing_separator(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

// The home directory of the password database ("" when there is no entry).
std::string home_from_password_database() {
  long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(static_cast<std::size_t>(size > 0 ? size : 16384));
  passwd entry {};
  passwd* found = nullptr;
  if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found || !found->pw_dir)
    return {};
  return found->pw_dir;
}

bool is_directory(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool exists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

bool writable_directory(const std::string& path) {
  return is_directory(path) && ::access(path.c_str(), W_OK | X_OK) == 0;
}

// Creates dir when needed and checks that it can be written; "" or why not.
std::string prepare(const std::string& dir, const char* what) {
  if (exists(dir) && !is_directory(dir)) return std::string(what) + " " + dir + " 不是文件夹";
  if (!settings::make_directories(dir))
    return std::string("无法创建") + what + " " + dir + "：" + std::strerror(errno);
  if (!writable_directory(dir)) return std::string(what) + " " + dir + " 不可写";
  return {};
}

DataDirChoice use(std::string dir, DataDirMode mode, const char* what) {
  DataDirChoice c;
  c.mode = mode;
  c.problem = prepare(dir, what);
  if (c.problem.empty()) c.dir = std::move(dir);
  return c;
}

DataDirChoice per_user(const DataDirRequest& r, DataDirMode mode) {
  if (r.user_dir.empty()) {
    DataDirChoice c;
    c.mode = mode;
    c.problem = "找不到用户主目录，无法确定用户数据目录；请用 --data-dir 指定数据目录";
    return c;
  }
  DataDirChoice c = use(without_trailing_separator(r.user_dir), mode, "用户数据目录");
  if (!c.problem.empty()) c.problem += "；可用 --data-dir 指定数据目录";
  return c;
}

}  // namespace

const char* installed_marker() {
#ifdef TESSARO_INSTALLED_MARKER
  return TESSARO_INSTALLED_MARKER;
#else
  return "../share/tessaro/installed";
#endif
}

bool installed_beside(const std::string& exe_dir) {
  struct stat st {};
  return ::stat((exe_dir + "/" + installed_marker()).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string user_data_dir() {
  const char* xdg = std::getenv("XDG_DATA_HOME");
  const char* home = std::getenv("HOME");
  std::string base;
  if ((xdg && *xdg == '/') || (home && *home)) {
    base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation).toStdString();
  } else {
    const std::string h = home_from_password_database();
    if (!h.empty()) base = without_trailing_separator(h) + "/.local/share";
  }
  if (base.empty()) return {};
  return without_trailing_separator(base) + "/tessaro/data";
}

void ensure_home() {
  const char* home = std::getenv("HOME");
  if (home && *home) return;
  const std::string h = home_from_password_database();
  if (!h.empty()) ::setenv("HOME", h.c_str(), 1);
}

DataDirChoice choose_data_dir(const DataDirRequest& r) {
  namespace fs = std::filesystem;
  if (!r.option.empty()) {
    fs::path p(r.option);
    if (p.is_relative()) p = fs::path(r.working_dir) / p;
    return use(without_trailing_separator(p.lexically_normal().string()), DataDirMode::option, "数据目录");
  }
  if (installed_beside(r.exe_dir)) return per_user(r, DataDirMode::installed);

  // Portable: data/ beside the executable, when it is (or can be made) a folder we may write.
  const std::string portable = settings::portable_data_dir(r.exe_dir);
  const bool usable = is_directory(portable) ? writable_directory(portable)
                                             : !exists(portable) && writable_directory(r.exe_dir);
  if (usable) {
    DataDirChoice c = use(portable, DataDirMode::portable, "数据目录");
    if (c.problem.empty()) return c;
  }
  DataDirChoice c = per_user(r, DataDirMode::fallback);
  if (c.problem.empty()) c.notice = "数据目录 " + portable + " 不可写，改用 " + c.dir;
  return c;
}

}  // namespace app
