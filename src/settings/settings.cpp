// Data-directory paths and whole-file texts, written atomically.

#include "settings/settings.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "settings/file_internal.h"

namespace settings {

std::string data_dir(std::string_view exe_dir) { return std::string(exe_dir) + "/data"; }

std::string data_file(std::string_view exe_dir, std::string_view name) {
  return data_dir(exe_dir) + "/" + std::string(name);
}

bool ensure_data_dir(std::string_view exe_dir) {
  const std::string d = data_dir(exe_dir);
  if (::mkdir(d.c_str(), 0755) == 0) return true;
  struct stat st {};
  return errno == EEXIST && ::stat(d.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

namespace detail {

bool read_file(const std::string& path, std::string& out) {
  out.clear();
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0)
    out.reserve(static_cast<std::size_t>(st.st_size));
  char buf[65536];
  bool ok = true;
  while (true) {
    const ssize_t r = ::read(fd, buf, sizeof buf);
    if (r > 0) {
      out.append(buf, static_cast<std::size_t>(r));
    } else if (r == 0) {
      break;
    } else if (errno != EINTR) {
      ok = false;
      break;
    }
  }
  ::close(fd);
  if (!ok) out.clear();
  return ok;
}

namespace {

bool write_all(int fd, std::string_view bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t w = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (w < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<std::size_t>(w);
  }
  return true;
}

std::string base_name(const std::string& path) {
  const std::size_t s = path.rfind('/');
  return s == std::string::npos ? path : path.substr(s + 1);
}

}  // namespace

bool replace_file(const std::string& path_in, std::string_view bytes, FileKind kind) {
  // Write through a symbolic link to the file it names, so the link survives.
  std::string path = path_in;
  struct stat lst {};
  if (::lstat(path.c_str(), &lst) == 0 && S_ISLNK(lst.st_mode)) {
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved)) path = resolved;
  }

  struct stat st {};
  const bool exists = ::stat(path.c_str(), &st) == 0;
  if (exists && !S_ISREG(st.st_mode)) return false;
  if (exists) {
    std::string current;
    if (static_cast<std::size_t>(st.st_size) == bytes.size() && read_file(path, current) &&
        current == bytes)
      return true;  // nothing would change: leave the file alone
  }

  const bool owner_only = kind == FileKind::key || base_name(path) == kConfigure;
  mode_t mode;
  if (exists)
    mode = st.st_mode & 07777;
  else
    mode = owner_only ? 0600 : 0644;
  if (owner_only) mode &= 0700;  // settings with the platform password: owner only

  const std::size_t slash = path.rfind('/');
  const std::string dir = slash == std::string::npos ? "." : path.substr(0, slash);
  std::string tmpl = (slash == std::string::npos ? std::string() : dir + "/") + "." +
                     base_name(path) + ".tmp-XXXXXX";
  const int fd = ::mkstemp(tmpl.data());
  if (fd < 0) return false;
  bool ok = ::fchmod(fd, mode) == 0 && write_all(fd, bytes) && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  if (ok) ok = ::rename(tmpl.c_str(), path.c_str()) == 0;
  if (!ok) {
    ::unlink(tmpl.c_str());
    return false;
  }
  // No fsync of the folder: after a crash the name holds the old or the new content,
  // both complete, and the periodic save repeats the newest values anyway.
  return true;
}

}  // namespace detail

std::string read_whole_file(const std::string& path) {
  std::string out;
  detail::read_file(path, out);
  return out;
}

bool write_whole_file(const std::string& path, std::string_view bytes) {
  return detail::replace_file(path, bytes, detail::FileKind::whole);
}

bool delete_file(const std::string& path) { return ::unlink(path.c_str()) == 0 || errno == ENOENT; }

}  // namespace settings
