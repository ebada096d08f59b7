#include "app/account_panel.h"

#include "text/text.h"

namespace app {

AccountDetails read_account_details(std::string_view html) {
  static const std::string number_marker = text::utf8_to_gbk("编 号");
  static const std::string level_marker = text::utf8_to_gbk("级 别");
  AccountDetails d;
  d.user_name = text::text_between(html, "<SPAN id=lblUserName>", "</SPAN>");
  d.number = text::text_between(html, number_marker, "<");
  d.level = text::text_between(html, level_marker, "<");
  d.balance = text::text_between(html, "Balance class=yue>", "</span>");
  return d;
}

std::string account_panel_text(const AccountDetails& d) {
  static const std::string number = text::utf8_to_gbk(" 编号");
  static const std::string level = text::utf8_to_gbk("  级别");
  static const std::string balance = text::utf8_to_gbk("  余额：");
  static const std::string yuan = text::utf8_to_gbk("元");
  return d.user_name + number + d.number + level + d.level + balance + d.balance + yuan;
}

}  // namespace app
