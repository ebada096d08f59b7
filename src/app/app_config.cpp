#include "app/app_config.h"

#include "platform/gbk.h"
#include "settings/settings.h"
#include "text/text.h"

namespace app {

QString main_title() { return QStringLiteral("Quillory-TessaroV4.3正式版"); }

QString browser_title() { return main_title() + QStringLiteral("-网页浏览框"); }

bool refused_exe_dir(std::string_view exe_dir) {
  return exe_dir.find("Temp") != std::string_view::npos;
}

QIcon app_icon() {
  QIcon icon;
  for (int n : {16, 24, 32, 48, 64, 128, 256})
    icon.addFile(QStringLiteral(":/tessaro/icons/%1.png").arg(n), QSize(n, n));
  return icon;
}

std::string gbk(std::string_view utf8) { return text::utf8_to_gbk(utf8); }

std::string maker_site(const std::string& data_dir) {
  const std::string file = settings::data_path(data_dir, settings::kConfigure);
  const std::string key = gbk(kMakerSiteKeyUtf8);
  std::string site = text::trim_spaces(settings::read_key(file, key));
  while (!site.empty() && site.back() == '/') site.pop_back();
  return site;
}

std::string maker_page(const std::string& site, std::string_view path) {
  if (site.empty()) return {};
  return site + std::string(path);
}

QString home_page_address(const std::string& site) {
  if (site.empty()) return QString::fromLatin1(kStartPageUrl);
  return platform::from_gbk(maker_page(site, kHomePath));
}

}  // namespace app
