// The demo's sub-customer list and registration form over plain HTTP: the form, the
// platform's answers, its limit of 10 registrations per 10 minutes per session.

#include <gtest/gtest.h>
#include <httplib.h>

#include <regex>
#include <string>

#include "demo_client.h"

namespace {

using demotest::alert_of;
using demotest::Browser;
using demotest::count;
using demotest::enc;

// A registration as the page sends it: the boxes, the typed trade passwords in their
// hidden fields.
std::string form(const std::string& name, const std::string& trade = "36915wmks",
                 const std::string& check_trade = "36915wmks", const std::string& password = "258147369") {
  return "__EVENTTARGET=&__VIEWSTATE=x&CustomerName=" + enc(name) + "&Password=" + password +
         "&CheckPassword=" + password + "&ddlLevel=1&ddlGroup=0&hidTradePassword=" + enc(trade) +
         "&hidCheckTradePassword=" + enc(check_trade) + "&ContactName=" + enc("王晓明") +
         "&IdentityCard=110105199003071239&ComanyName=" + enc("晓明网络") +
         "&Mobile=12345678901&QQ=526813947&Phone=021-12345678&Email=a%40b.com&Address=" + enc("上海") +
         "&Sumit=" + enc("注 册");
}

class SubaccountDemo : public demotest::ServerSuite {
 protected:
  static void SetUpTestSuite() { start_demo({"--captcha", "1234"}); }
};

TEST_F(SubaccountDemo, TheListNeedsALoginAndCarriesTheLinkAndTheFormInItsTabOrder) {
  Browser anonymous(demo_->port());
  auto r = anonymous.get("/SubCustomerList.aspx");
  ASSERT_TRUE(r);
  EXPECT_EQ(r->status, 302);
  EXPECT_EQ(r->get_header_value("Location"), "/Login.aspx");
  EXPECT_EQ(anonymous.post("/SubCustomerList.aspx", form("A"))->status, 302);

  Browser s(demo_->port());
  ASSERT_TRUE(s.login(1, "1234"));
  const std::string page = s.get("/SubCustomerList.aspx")->body;
  EXPECT_NE(page.find(">新建下级</a>"), std::string::npos);
  EXPECT_NE(page.find("id=\"pnlAdd\" style=\"display:none\""), std::string::npos);
  EXPECT_NE(page.find("name=\"__VIEWSTATE\""), std::string::npos);
  for (const char* id : {"CustomerName", "Password", "CheckPassword", "ContactName", "IdentityCard", "ComanyName",
                         "Mobile", "QQ", "Phone", "Email", "Address"})
    EXPECT_NE(page.find(std::string("<input name=\"") + id + "\""), std::string::npos) << id;
  // The trade passwords are no input elements (a security control takes typed keys only).
  EXPECT_EQ(page.find("<input name=\"TradePassword\""), std::string::npos);
  EXPECT_NE(page.find("<span id=\"TradePassword\" class=\"pwdctl\" role=\"textbox\" tabindex=\"7\""),
            std::string::npos);
  EXPECT_NE(page.find("<span id=\"CheckTradePassword\" class=\"pwdctl\" role=\"textbox\" tabindex=\"8\""),
            std::string::npos);
  EXPECT_NE(page.find("id=\"Sumit\""), std::string::npos);
  // Tab stops 1 to 6 come before the trade password, each exactly once.
  for (int i = 1; i <= 8; ++i)
    EXPECT_EQ(count(page, "tabindex=\"" + std::to_string(i) + "\""), 1) << i;
  EXPECT_EQ(count(page, "tabindex=\""), 17);
}

TEST_F(SubaccountDemo, ARegistrationIsRecordedWithTheTypedTradePasswordsAndAnsweredByAMessageBox) {
  Browser s(demo_->port());
  ASSERT_TRUE(s.login(1, "1234"));
  auto r = s.post("/SubCustomerList.aspx", form("12345AB0812345112345C123"));
  ASSERT_TRUE(r);
  EXPECT_EQ(r->status, 200);
  EXPECT_EQ(alert_of(r->body), "注册成功！");
  EXPECT_NE(r->body.find("<td>12345AB0812345112345C123</td>"), std::string::npos);  // in the list now
  const std::string state = demo_->get("/demo/state.json");
  EXPECT_NE(state.find("\"CustomerName\": \"12345AB0812345112345C123\""), std::string::npos);
  EXPECT_NE(state.find("\"TradePassword\": \"36915wmks\", \"CheckTradePassword\": \"36915wmks\""),
            std::string::npos);
  EXPECT_NE(state.find("\"parent\": \"demo\""), std::string::npos);
  EXPECT_NE(state.find("\"accepted\": true, \"answer\": \"注册成功！\""), std::string::npos);
  EXPECT_NE(demo_->get("/demo/").find("下级注册（1次提交）"), std::string::npos);
}

TEST_F(SubaccountDemo, APlatformWhoseLinkPostsBackShowsTheFormOnlyInTheAnswerToThatPostBack) {
  EXPECT_NE(demo_->post("/demo/subaccounts", "form=postback").find("\"subaccount_form\": \"postback\""),
            std::string::npos);
  EXPECT_NE(demo_->get("/demo/").find("回发后显示注册表单"), std::string::npos);
  Browser s(demo_->port());
  ASSERT_TRUE(s.login(1, "1234"));
  // The list: a link button that posts back, no form.
  std::string page = s.get("/SubCustomerList.aspx")->body;
  EXPECT_NE(page.find("<a id=\"lnkAdd\" href=\"javascript:__doPostBack('lnkAdd','')\">新建下级</a>"), std::string::npos);
  EXPECT_EQ(page.find("<input name=\"CustomerName\""), std::string::npos);
  EXPECT_EQ(page.find("id=\"pnlAdd\""), std::string::npos);
  // Its post-back: the list again with the form shown, in the same tab order; nothing registered.
  page = s.post("/SubCustomerList.aspx", "__EVENTTARGET=lnkAdd&__EVENTARGUMENT=&__VIEWSTATE=x")->body;
  EXPECT_NE(page.find("<div id=\"pnlAdd\">"), std::string::npos);
  EXPECT_NE(page.find("<input name=\"CustomerName\""), std::string::npos);
  EXPECT_NE(page.find(">新建下级</a>"), std::string::npos);
  EXPECT_EQ(count(page, "tabindex=\""), 17);
  EXPECT_EQ(alert_of(page), "");
  EXPECT_EQ(demo_->get("/demo/state.json").find("\"seq\""), std::string::npos);
  // The form's submission registers and answers with the list without the form.
  page = s.post("/SubCustomerList.aspx", form("P1"))->body;
  EXPECT_EQ(alert_of(page), "注册成功！");
  EXPECT_EQ(page.find("<input name=\"CustomerName\""), std::string::npos);
  // A wrong choice is refused; a reset goes back to the form shown in place.
  Browser raw(demo_->port());
  EXPECT_EQ(raw.post("/demo/subaccounts", "form=popup")->status, 400);
  demo_->post("/demo/reset", "");
  EXPECT_NE(s.get("/SubCustomerList.aspx")->body.find("id=\"pnlAdd\" style=\"display:none\""), std::string::npos);
}

TEST_F(SubaccountDemo, MissingOrDifferentPasswordsAndATakenNameAreRefused) {
  Browser s(demo_->port());
  ASSERT_TRUE(s.login(1, "1234"));
  EXPECT_EQ(alert_of(s.post("/SubCustomerList.aspx", form("N1", ""))->body), "请填写交易密码！");
  EXPECT_EQ(alert_of(s.post("/SubCustomerList.aspx", form("N1", "abc", "abd"))->body), "两次输入的交易密码不一致！");
  EXPECT_EQ(alert_of(s.post("/SubCustomerList.aspx", form("", "a", "a"))->body), "请填写账户用户名！");
  EXPECT_EQ(alert_of(s.post("/SubCustomerList.aspx", form("N1"))->body), "注册成功！");
  EXPECT_EQ(alert_of(s.post("/SubCustomerList.aspx", form("N1"))->body), "该用户名已被注册！");
  const std::string state = demo_->get("/demo/state.json");
  EXPECT_EQ(count(state, "\"seq\": "), 5);
  EXPECT_EQ(count(state, "\"accepted\": true"), 1);
}

TEST_F(SubaccountDemo, TenRegistrationsPerSessionThenTheLimitUntilAReset) {
  Browser s(demo_->port());
  ASSERT_TRUE(s.login(1, "1234"));
  // Refused attempts do not count.
  EXPECT_NE(alert_of(s.post("/SubCustomerList.aspx", form("X", "1", "2"))->body), "注册成功！");
  for (int i = 0; i < 10; ++i)
    EXPECT_EQ(alert_of(s.post("/SubCustomerList.aspx", form("U" + std::to_string(i)))->body), "注册成功！") << i;
  const std::string limit = alert_of(s.post("/SubCustomerList.aspx", form("U10"))->body);
  EXPECT_EQ(limit, "注册过于频繁：每10分钟最多只能注册10个下级，请10分钟后再试！");
  EXPECT_EQ(alert_of(s.post("/SubCustomerList.aspx", form("U11"))->body), limit);
  // Another session has its own ten.
  Browser other(demo_->port());
  ASSERT_TRUE(other.login(1, "1234"));
  EXPECT_EQ(alert_of(other.post("/SubCustomerList.aspx", form("V0"))->body), "注册成功！");
  const std::string state = demo_->get("/demo/state.json");
  EXPECT_EQ(count(state, "\"seq\": "), 14);
  EXPECT_EQ(count(state, "每10分钟最多只能注册10个下级"), 2);

  demo_->post("/demo/reset", "");
  EXPECT_EQ(demo_->get("/demo/state.json").find("\"seq\""), std::string::npos);
  EXPECT_EQ(alert_of(s.post("/SubCustomerList.aspx", form("U12"))->body), "注册成功！");
}

TEST_F(SubaccountDemo, LongAndOddValuesAreKeptShortAndEscaped) {
  Browser s(demo_->port());
  ASSERT_TRUE(s.login(1, "1234"));
  const std::string long_name(5000, 'A');
  auto r = s.post("/SubCustomerList.aspx", form(long_name + "<script>"));
  ASSERT_TRUE(r);
  EXPECT_EQ(r->status, 200);
  const std::string state = demo_->get("/demo/state.json");
  EXPECT_NE(state.find("\"CustomerName\": \"" + std::string(256, 'A') + "\""), std::string::npos);
  r = s.post("/SubCustomerList.aspx", form("<b>x</b>\"'"));
  EXPECT_EQ(r->body.find("<b>x</b>"), std::string::npos);
  EXPECT_NE(r->body.find("&lt;b&gt;x&lt;/b&gt;"), std::string::npos);
  EXPECT_EQ(s.post("/SubCustomerList.aspx", "CustomerName=%ZZ")->status, 400);
}

}  // namespace
