#pragma once
// The data directory's files: key files in the private-profile format (every value in
// a section named like its key) and whole-file texts. GBK bytes throughout.

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace settings {

// A read uses a 10240-byte buffer including the terminating zero.
inline constexpr std::size_t kReadBuffer = 10240;

// Paths are in the file system's own encoding (UTF-8 here); file contents are GBK.
// Directories have no trailing separator. Where the data directory is comes from the
// start-up (app/data_directory.h); a portable folder keeps it beside the executable.
std::string portable_data_dir(std::string_view exe_dir);                   // exe_dir + "/data"
std::string data_path(std::string_view data_dir, std::string_view name);  // data_dir + "/" + name
// Creates the data directory (and missing parents) when missing (failure ignored by
// callers). The first call for a directory in a process also removes the temporaries
// older than the process (remove_stale_temporaries).
bool make_data_dir(std::string_view data_dir);
// Creates dir and its missing parents (mode 0755); true when dir is a directory afterwards,
// else errno says why.
bool make_directories(std::string_view dir);

// Removes what killed saves left in dir: regular files named "." + NAME + ".tmp-" and six
// letters or digits (the temporaries of the atomic writes below) last modified before
// cutoff. Nothing else is touched. Returns how many were removed.
std::size_t remove_stale_temporaries(const std::string& dir,
                                     std::chrono::system_clock::time_point cutoff);

// File names of the data directory (GBK where they are not ASCII).
inline constexpr const char* kConfigure = "configure.ini";
inline constexpr const char* kProductNames = "productname.ini";
inline constexpr const char* kIntroduct = "Introduct.ini";
inline constexpr const char* kProductNotice = "ProductNotice.ini";
inline constexpr const char* kComplaint = "Complaint.txt";
inline constexpr const char* kWebHistory = "web.txt";
inline constexpr const char* kSetcolor = "Setcolor.htm";
inline constexpr const char* kRgb = "rgb.html";

// Only regular files (or links to them) are read or written: a FIFO, a device or a
// directory in a file's place reads as empty at once and is never written over.

// Value of key in section key; empty when the file, section or key is missing.
// Section and key names match without regard to ASCII case, blanks around names and
// values are ignored, the first of duplicate sections (and keys) counts; a UTF-8
// byte-order mark and LF-only line ends are read too. The value ends at a NUL byte
// and is cut to 10239 bytes (at a character boundary, so never half a character).
std::string read_key(const std::string& file, std::string_view key);
// General form (section and key differ).
std::string read_profile(const std::string& file, std::string_view section, std::string_view key);
// True when the file holds key in section key (even with an empty value).
bool has_key(const std::string& file, std::string_view key);

// Sets key in section key ("key=value", CR LF; a new section goes at the end), creating
// file and section as needed; everything else of the file is kept byte for byte. The
// value is cut at its first CR, LF or NUL (a value is one line). Writes atomically
// (temporary file in the same folder, fsync, rename); skips the write when nothing
// would change. Key files are owner-only (0600). Returns false on failure (callers
// ignore it); an unreadable existing file is never replaced.
bool write_key(const std::string& file, std::string_view key, std::string_view value);
bool write_profile(const std::string& file, std::string_view section, std::string_view key,
                   std::string_view value);
// Several keys (each in its own section) in one read and one atomic write, as the
// main window's periodic save needs; nothing is written when a name is invalid.
bool write_keys(const std::string& file,
                const std::vector<std::pair<std::string, std::string>>& keys_values);

// The main window's periodic save: its keys in one write_keys, but only when a value
// differs from what this saver last wrote or the file changed since that write (size,
// modification or change time, identity). A save with nothing new costs one stat of
// the file, whatever its size.
class KeySaver {
 public:
  using KeyValues = std::vector<std::pair<std::string, std::string>>;
  // True when the file holds the values afterwards (written now or earlier).
  bool save(const std::string& file, const KeyValues& keys_values);

 private:
  struct Stamp {
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = -1;
    long long mtime_ns = 0;
    long long ctime_ns = 0;
    bool operator==(const Stamp&) const = default;
  };
  static bool stamp_of(const std::string& file, Stamp& out);

  std::string file_;
  KeyValues last_;
  Stamp stamp_;
  bool known_ = false;  // file_ held last_ when stamp_ was taken
};

// Whole-file texts. A missing file reads as empty.
std::string read_whole_file(const std::string& path);
// Atomic replace as above, skipped when unchanged; an existing file keeps its mode, a
// new one gets 0644 (configure.ini: 0600). A symbolic link is written through.
bool write_whole_file(const std::string& path, std::string_view bytes);
// True when the file is gone afterwards (also when it never existed).
bool delete_file(const std::string& path);

}  // namespace settings
