#include "app/command_line.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QtGlobal>

namespace app {

namespace {

#ifndef TESSARO_VERSION
#define TESSARO_VERSION "0"
#endif

// QGuiApplication's and QApplication's own options: QApplication takes them out of the
// arguments itself.
const char* const kQtValueOptions[] = {"platform", "platformpluginpath", "platformtheme", "plugin",
                                       "qwindowgeometry", "qwindowicon", "qwindowtitle", "session",
                                       "style", "stylesheet", "display", "geometry", "title", "name",
                                       "visual", "ncols", "cmap", "qmljsdebugger"};
const char* const kQtFlagOptions[] = {"reverse", "widgetcount", "nograb", "dograb", "sync"};

QString q(const char* utf8) { return QString::fromUtf8(utf8); }

CommandLine failure(const QString& what) {
  CommandLine c;
  c.action = CommandLine::Action::fail;
  c.exit_code = 2;
  c.text = (q("tessaro：") + what + q("\n用 tessaro --help 查看可用的选项。\n")).toStdString();
  return c;
}

}  // namespace

std::string version_text() {
  return std::string("Tessaro ") + TESSARO_VERSION + "\nQt " + qVersion() + "\n";
}

std::string help_text() {
  return "用法：tessaro [选项]\n"
         "Tessaro：卡盟平台供货商后台的批量助手。\n"
         "\n"
         "选项：\n"
         "  --data-dir <文件夹>  使用该数据目录（不存在时创建）\n"
         "  -h, --help           显示本说明\n"
         "  -v, --version        显示版本\n"
         "\n"
         "数据目录：可执行文件旁的 data 文件夹；安装版在 $XDG_DATA_HOME/tessaro/data\n"
         "（通常是 ~/.local/share/tessaro/data）。同一数据目录只能运行一个 Tessaro。\n"
         "Qt 的选项（如 -platform、-style）照常可用；Qt WebEngine 的 Chromium 参数写在\n"
         "--webEngineArgs 之后。\n";
}

CommandLine parse_command_line(const QStringList& args) {
  // Everything from --webEngineArgs on belongs to the engine.
  QStringList own;
  for (const QString& a : args) {
    if (a == QLatin1String("--webEngineArgs")) break;
    own << a;
  }
  if (own.isEmpty()) own << QStringLiteral("tessaro");

  QCommandLineParser parser;
  // "-platform xcb" as Qt spells its options.
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
  const QCommandLineOption version(QStringList{QStringLiteral("v"), QStringLiteral("version")});
  const QCommandLineOption data_dir(QStringLiteral("data-dir"), QString(), QStringLiteral("dir"));
  parser.addOption(help);
  parser.addOption(version);
  parser.addOption(data_dir);
  for (const char* name : kQtValueOptions)
    parser.addOption(QCommandLineOption(QString::fromLatin1(name), QString(), QStringLiteral("value")));
  for (const char* name : kQtFlagOptions) parser.addOption(QCommandLineOption(QString::fromLatin1(name)));

  const bool parsed = parser.parse(own);
  if (!parser.unknownOptionNames().isEmpty()) {
    const QString name = parser.unknownOptionNames().constFirst();
    return failure(q("未知选项 ") + (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name);
  }
  if (!parsed) {
    // A value is missing: the only other failure of parse().
    const bool dir_missing = own.contains(QStringLiteral("--data-dir")) || own.contains(QStringLiteral("-data-dir"));
    return failure(dir_missing ? q("--data-dir 后面缺少文件夹") : parser.errorText());
  }
  if (!parser.positionalArguments().isEmpty())
    return failure(q("多余的参数 ") + parser.positionalArguments().constFirst());

  CommandLine c;
  if (parser.isSet(help)) {
    c.action = CommandLine::Action::show;
    c.text = help_text();
    return c;
  }
  if (parser.isSet(version)) {
    c.action = CommandLine::Action::show;
    c.text = version_text();
    return c;
  }
  if (parser.isSet(data_dir)) {
    const QString dir = parser.value(data_dir);
    if (dir.isEmpty()) return failure(q("--data-dir 后面缺少文件夹"));
    c.data_dir = dir.toStdString();
  }
  return c;
}

}  // namespace app
