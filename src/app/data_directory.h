#pragma once
// Where the data directory is: decided once at start-up, before any file is written.
//  - portable (the build tree, an unpacked folder): the folder "data" beside the executable;
//  - installed (the install rules put a marker file beside the executable's folder, see
//    installed_marker()): the per-user data location, user_data_dir();
//  - --data-dir DIR: DIR (made absolute), whatever the executable's folder.
// A portable folder that cannot be written falls back to the per-user location with a
// one-line notice. Nothing is ever written beside an installed executable.

#include <string>

namespace app {

// The marker of an installed tree, relative to the executable's directory
// ("../share/tessaro/installed" for the usual bin/ and share/ of the install rules).
const char* installed_marker();

enum class DataDirMode {
  portable,   // data/ beside the executable
  installed,  // the per-user location, as the marker says
  option,     // --data-dir
  fallback,   // the per-user location, because the portable folder cannot be written
};

struct DataDirRequest {
  std::string exe_dir;      // without a trailing separator
  std::string option;       // --data-dir as given; empty: not given
  std::string user_dir;     // the per-user data location; empty: not known (no home directory)
  std::string working_dir;  // what a relative --data-dir is relative to
};

struct DataDirChoice {
  std::string dir;      // absolute, without a trailing separator; empty when none can be used
  DataDirMode mode = DataDirMode::portable;
  std::string notice;   // one line to tell the user (the fallback), UTF-8
  std::string problem;  // why no data directory can be used (dir empty), UTF-8
};

// True when the marker file of an installed tree is found relative to exe_dir.
bool installed_beside(const std::string& exe_dir);

// The per-user data location: the generic data location (XDG_DATA_HOME, else
// ~/.local/share) followed by "/tessaro/data". Without HOME the home directory comes from
// the password database; empty when no home directory is known at all.
std::string user_data_dir();

// Sets HOME from the password database when it is unset or empty, so that everything
// that derives a per-user path (the browser profile too) finds the user's home.
void ensure_home();

// Decides the data directory and creates it (with missing parents) when needed. The
// chosen directory is a directory this process may write, or dir is empty and problem
// says why.
DataDirChoice choose_data_dir(const DataDirRequest& request);

}  // namespace app
