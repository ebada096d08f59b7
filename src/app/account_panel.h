#pragma once
// The account details read from the page shown after a login.

#include <string>
#include <string_view>

namespace app {

struct AccountDetails {
  std::string user_name, number, level, balance;  // GBK
};

AccountDetails read_account_details(std::string_view html);
// user name + " 编号" + number + "  级别" + level + "  余额：" + balance + "元" (GBK)
std::string account_panel_text(const AccountDetails& d);

}  // namespace app
