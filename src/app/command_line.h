#pragma once
// The command line: --version, --help, --data-dir DIR. Qt's own options (-platform,
// -style, …) pass; Qt WebEngine's switches come after --webEngineArgs and are not looked
// at. Parsed before any application object exists, so --version and --help need no display.

#include <QStringList>

#include <string>

namespace app {

// The application id (desktop file, metainfo, icon name).
inline constexpr const char* kAppId = "io.github.tessaro.Tessaro";

struct CommandLine {
  enum class Action {
    run,   // start the application
    show,  // print text on standard output, end with exit code 0
    fail,  // print text on standard error, end with exit_code
  };
  Action action = Action::run;
  std::string data_dir;  // --data-dir as given; empty: not given
  std::string text;
  int exit_code = 0;
};

// The version text: "Tessaro 4.3.1" and the Qt version, one line each.
std::string version_text();
std::string help_text();

// args: the program's arguments, the program itself first.
CommandLine parse_command_line(const QStringList& args);

}  // namespace app
