#pragma once
// Fixed texts of the shell and the maker's site addresses.

#include <QIcon>
#include <QString>

#include <string>
#include <string_view>

namespace app {

// "Quillory-TessaroV4.3正式版"
QString main_title();
// main_title() + "-网页浏览框"
QString browser_title();

// True when the executable directory must not be run from: it holds "Temp"
// (case-sensitive, anywhere in the path).
bool refused_exe_dir(std::string_view exe_dir);

// configure.ini key of the maker's site (UTF-8; stored as GBK).
inline constexpr const char* kMakerSiteKeyUtf8 = "作者网站";

// The maker's site (GBK, trimmed, no trailing slash): the "作者网站" value of
// configure.ini. A missing key (a fresh install) or an empty value means no maker's
// site: nothing of it is fetched or opened, and the built-in start page stands in for
// its home page.
std::string maker_site(const std::string& data_dir);

// The start page built into the executable (a Qt resource), shown where the maker's
// home page would be when no maker's site is configured.
inline constexpr const char* kStartPageUrl = "qrc:/tessaro/start.html";

// site + path, or empty when site is empty.
std::string maker_page(const std::string& site, std::string_view path);
inline constexpr const char* kNoticePath = "/xzrj.htm";
inline constexpr const char* kHomePath = "/maker/index.htm";
inline constexpr const char* kLetterPath = "/maker/letter.htm";
inline constexpr const char* kHelpPath = "/maker/help.htm";
inline constexpr const char* kFeedbackPath = "/maker/feedback.htm";

// The browser's home page ("主页", and the browser window's first page): the maker's
// home page, or the start page when no maker's site is configured.
QString home_page_address(const std::string& site);

// configure.ini keys of the main window (UTF-8; stored as GBK).
inline constexpr const char* kKeyPasswordUtf8 = "保存帐";  // holds the password
inline constexpr const char* kKeyAccountUtf8 = "保存密";   // holds the account
inline constexpr const char* kKeyCheck1Utf8 = "选择框1";
inline constexpr const char* kKeyAddressUtf8 = "网页地址";
// Fast mode ("1" on, anything else off), in a section of its own.
inline constexpr const char* kKeyFastModeUtf8 = "快速模式";

// The application's icon (the installed theme icon's artwork, built in).
QIcon app_icon();

// GBK form of a UTF-8 literal.
std::string gbk(std::string_view utf8);

}  // namespace app
