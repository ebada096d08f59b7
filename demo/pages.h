#pragma once
// HTML of the demo back office. Every page is UTF-8 and uses only relative links.

#include <string>
#include <vector>

#include "state.h"

namespace demo {

struct MenuEntry {
  int section;        // index into sections()
  std::string text;   // link text, exactly as the platform's menu writes it
  std::string path;   // page it leads to
};

// "网吧售卡中心", "经销商系统", "供货商系统", "一卡通代理".
const std::vector<std::string>& sections();
const std::vector<MenuEntry>& menu_entries();

struct Account {
  std::string user;
  std::string number = "10086";
  std::string level = "金牌供货商";
  std::string balance = "1234.56";
};

// A script that raises a message box; empty message gives "".
std::string alert_script(const std::string& message);

// The hidden fields and __doPostBack of a WebForms form (inside form1), with the given
// __VIEWSTATE value (and __EVENTVALIDATION, where a page has its own).
std::string viewstate_fields(const std::string& viewstate,
                             const std::string& event_validation = "/wEWBALo2sCyBQKvruq2CALSxeCRDwKM54rGBg==");
// ASP.NET's page for an unhandled exception (the answer goes with status 500).
std::string server_error_page(const std::string& message, const std::string& exception);

// A whole page: title, body and an optional script run at the end of the body.
std::string page(const std::string& title, const std::string& body, const std::string& tail_script = "");

std::string login_page(int theme, const std::string& message);
// The back-office frame: section tabs and menu links, then content.
std::string backoffice_page(const std::string& title, const std::string& content, const std::string& message = "");
std::string index_content(const Account& account, int section);
std::string menu_page_content(const std::string& title);
// The add-product form, empty.
std::string add_form_content();
std::string products_page(const std::vector<Product>& products);
std::string message_page(const std::string& title, const std::string& text);

// The maker's pages. notice_page is UTF-8 here; the server sends it as GBK.
std::string notice_page(const std::string& title, const std::string& link);
std::string maker_home_page();
std::string maker_letter_page();
std::string maker_help_page(const std::string& user, const std::string& password, int theme,
                            const std::string& fixed_captcha);
std::string maker_feedback_page(const std::string& message);
// The /demo/ page: links, then the families' sections.
std::string demo_index_page(const std::string& sections);

// The visible lines of the add form's first table, in order (what the browser's
// outer text of that table gives): 2 header lines, the catalogue, 15 notes.
std::vector<std::string> catalog_table_lines();

}  // namespace demo
