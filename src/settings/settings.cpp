// Data-directory paths and whole-file texts, written atomically.

#include "settings/settings.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>

#include "settings/file_internal.h"

namespace settings {

namespace {

// Taken when the library is loaded, that is when the process starts: temporaries older
// than this were left by an earlier process.
const std::chrono::system_clock::time_point g_process_start = std::chrono::system_clock::now();

std::atomic<std::uint64_t> g_reads{0};
std::atomic<std::uint64_t> g_replaces{0};

// "." + NAME + ".tmp-" + the six letters or digits mkstemp puts in place of XXXXXX.
bool is_temporary_name(std::string_view n) {
  constexpr std::string_view kMark = ".tmp-";
  constexpr std::size_t kRandom = 6;
  if (n.size() < 1 + 1 + kMark.size() + kRandom || n.front() != '.') return false;
  const std::size_t mark = n.size() - kRandom - kMark.size();
  if (n.substr(mark, kMark.size()) != kMark) return false;
  for (char c : n.substr(n.size() - kRandom)) {
    const bool alnum = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    if (!alnum) return false;
  }
  return true;
}

std::chrono::system_clock::time_point modified(const struct stat& st) {
  return std::chrono::system_clock::time_point(
      std::chrono::duration_cast<std::chrono::system_clock::duration>(
          std::chrono::seconds(st.st_mtim.tv_sec) + std::chrono::nanoseconds(st.st_mtim.tv_nsec)));
}

}  // namespace

std::string portable_data_dir(std::string_view exe_dir) { return std::string(exe_dir) + "/data"; }

std::string data_path(std::string_view data_dir, std::string_view name) {
  return std::string(data_dir) + "/" + std::string(name);
}

bool make_directories(std::string_view dir) {
  std::string d(dir);
  while (d.size() > 1 && d.back() == '/') d.pop_back();
  if (d.empty()) return false;
  struct stat st {};
  if (::stat(d.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) return true;
    errno = ENOTDIR;
    return false;
  }
  const std::size_t slash = d.rfind('/');
  if (slash != std::string::npos && slash > 0 && !make_directories(d.substr(0, slash))) return false;
  if (::mkdir(d.c_str(), 0755) == 0) return true;
  // Made meanwhile by someone else is as good.
  return errno == EEXIST && ::stat(d.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool make_data_dir(std::string_view data_dir) {
  const std::string d(data_dir);
  const bool ok = make_directories(d);
  if (ok) {
    // The first use of a data directory in this process clears what killed saves of
    // earlier processes left there.
    static std::mutex mutex;
    static std::set<std::string> swept;
    std::lock_guard<std::mutex> lock(mutex);
    if (swept.insert(d).second) remove_stale_temporaries(d, g_process_start);
  }
  return ok;
}

std::size_t remove_stale_temporaries(const std::string& dir,
                                     std::chrono::system_clock::time_point cutoff) {
  DIR* listing = ::opendir(dir.c_str());
  if (!listing) return 0;
  const int dfd = ::dirfd(listing);
  std::size_t removed = 0;
  while (const dirent* e = ::readdir(listing)) {
    if (!is_temporary_name(e->d_name)) continue;
    struct stat st {};
    // Not followed: a link of that name is not one of ours.
    if (::fstatat(dfd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode)) continue;
    if (modified(st) >= cutoff) continue;
    if (::unlinkat(dfd, e->d_name, 0) == 0) ++removed;
  }
  ::closedir(listing);
  return removed;
}

namespace detail {

std::uint64_t read_count() { return g_reads.load(); }
std::uint64_t replace_count() { return g_replaces.load(); }

bool read_file(const std::string& path, std::string& out) {
  out.clear();
  // Without O_NONBLOCK the open of a FIFO waits for a writer; the check below turns
  // every file that is not a regular one away before any read.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return false;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return false;
  }
  ++g_reads;
  if (st.st_size > 0) out.reserve(static_cast<std::size_t>(st.st_size));
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
  ++g_replaces;
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
