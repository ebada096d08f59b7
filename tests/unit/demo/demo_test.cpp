// The demo back office through plain HTTP: login, sessions, the add form, the maker's pages.

#include <gtest/gtest.h>
#include <httplib.h>
#include <sys/wait.h>

#include <atomic>
#include <cstdlib>
#include <regex>
#include <thread>

#include "demo_client.h"
#include "pages.h"
#include "state.h"
#include "util.h"

namespace {

using demotest::Browser;
using demotest::count;
using demotest::enc;
using testsupport::DemoProcess;

class Demo : public demotest::ServerSuite {
 protected:
  static void SetUpTestSuite() { start_demo({"--captcha", "4321", "--seed", "11"}); }
};

TEST(DemoLogin, RandomCaptchaPictureAndWrongCodes) {
  DemoProcess d;
  ASSERT_TRUE(d.start({"--seed", "3"}));
  Browser b(d.port());
  auto page = b.get("/");
  ASSERT_TRUE(page);
  EXPECT_NE(page->get_header_value("Set-Cookie").find("ASP.NET_SessionId="), std::string::npos);
  auto pic = b.get("/Handler.ashx");
  ASSERT_TRUE(pic);
  EXPECT_EQ(pic->get_header_value("Content-Type"), "image/png");
  ASSERT_GT(pic->body.size(), 100u);
  EXPECT_EQ(pic->body.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
  EXPECT_NE(b.get("/Handler.ashx")->body, pic->body);  // a new code and picture per request

  // Four digits cannot be guessed by a letter code; the answer is a message box and the form.
  auto r = b.post("/Login.aspx", "UserName=demo&Password2=demo123&Theme1%24txtCheckCode=abcd");
  ASSERT_TRUE(r);
  EXPECT_EQ(r->status, 200);
  EXPECT_NE(r->body.find("alert(\"验证码错误！\")"), std::string::npos);
  EXPECT_NE(r->body.find("name=\"Theme1$txtCheckCode\""), std::string::npos);
  EXPECT_EQ(b.get("/Index.aspx")->status, 302);
  EXPECT_NE(d.get("/demo/state.json").find("\"failed\": 1"), std::string::npos);
}

TEST(DemoLogin, EachThemeHasItsOwnFieldNames) {
  for (int theme = 1; theme <= 4; ++theme) {
    SCOPED_TRACE(theme);
    DemoProcess d;
    ASSERT_TRUE(d.start({"--theme", std::to_string(theme), "--captcha", "1234"}));
    std::string page = d.get("/Login.aspx");
    std::string t = "Theme" + std::to_string(theme);
    EXPECT_NE(page.find("name=\"" + t + "$txtCheckCode\" type=\"text\" maxlength=\"4\" id=\"" + t + "_txtCheckCode\""),
              std::string::npos);
    EXPECT_NE(page.find("name=\"" + t + "$btnLogin\""), std::string::npos);
    EXPECT_NE(page.find("name=\"UserName\" type=\"text\" id=\"UserName\""), std::string::npos);
    EXPECT_NE(page.find("name=\"Password2\" type=\"password\" id=\"Password2\""), std::string::npos);
    EXPECT_NE(page.find("id=\"inside\""), std::string::npos);
    EXPECT_NE(page.find("src=\"/Handler.ashx\""), std::string::npos);
    for (int other = 1; other <= 4; ++other) {
      if (other != theme) {
        EXPECT_EQ(page.find("Theme" + std::to_string(other) + "$"), std::string::npos);
      }
    }
    // Another theme's field does not count; the right one logs in.
    Browser wrong(d.port());
    EXPECT_FALSE(wrong.login(theme % 4 + 1, "1234"));
    Browser right(d.port());
    EXPECT_TRUE(right.login(theme, "1234"));
    EXPECT_EQ(right.get("/Index.aspx")->status, 200);
  }
}

TEST_F(Demo, WrongPasswordAndRightLogin) {
  Browser b(demo_->port());
  EXPECT_FALSE(b.login(1, "4321", "demo", "nope"));
  auto r = b.post("/Login.aspx", "UserName=demo&Password2=x&Theme1%24txtCheckCode=4321");
  EXPECT_NE(r->body.find("alert(\"用户名或密码错误！\")"), std::string::npos);
  EXPECT_TRUE(b.login(1, "4321"));
  std::string state = demo_->get("/demo/state.json");
  EXPECT_NE(state.find("\"logins\": {\"ok\": 1, \"failed\": 2, \"last_user\": \"demo\"}"), std::string::npos) << state;
}

TEST_F(Demo, BackOfficePagesNeedTheSession) {
  Browser anon(demo_->port());
  std::vector<std::string> guarded = {"/Index.aspx", "/Index.aspx?tab=1", "/SelfProduct/SelfProductAdd.aspx"};
  for (const auto& m : demo::menu_entries()) guarded.push_back(m.path);
  for (const auto& p : guarded) {
    auto r = anon.get(p);
    ASSERT_TRUE(r) << p;
    EXPECT_EQ(r->status, 302) << p;
    EXPECT_EQ(r->get_header_value("Location"), "/Login.aspx") << p;
  }
  EXPECT_EQ(anon.post("/SelfProduct/SelfProductAdd.aspx", "ProductName=x")->status, 302);
  for (const char* p : {"/", "/Login.aspx", "/Handler.ashx", "/xzrj.htm", "/maker/index.htm", "/maker/letter.htm",
                        "/maker/help.htm", "/maker/feedback.htm", "/demo/products", "/demo/state.json", "/demo/"})
    EXPECT_EQ(anon.get(p)->status, 200) << p;
  EXPECT_NE(demo_->get("/demo/state.json").find("\"products\": []"), std::string::npos);

  Browser b(demo_->port());
  ASSERT_TRUE(b.login(1, "4321"));
  for (const auto& p : guarded) EXPECT_EQ(b.get(p)->status, 200) << p;
  b.get("/Logout.aspx");
  EXPECT_EQ(b.get("/Index.aspx")->status, 302);
  // A forged cookie is no session.
  anon.cookie = "ASP.NET_SessionId=abcdefabcdefabcdefabcdef";
  EXPECT_EQ(anon.get("/Index.aspx")->status, 302);
}

TEST_F(Demo, IndexAccountDetailsAndMenuLinks) {
  Browser b(demo_->port());
  ASSERT_TRUE(b.login(1, "4321"));
  std::string home = b.get("/Index.aspx")->body;
  EXPECT_NE(home.find("<span id=\"lblUserName\">demo</span>"), std::string::npos);
  EXPECT_NE(home.find("编 号：10086<"), std::string::npos);
  EXPECT_NE(home.find("级 别：金牌供货商<"), std::string::npos);
  EXPECT_NE(home.find("<span id=\"Balance\" class=\"yue\">1234.56</span>"), std::string::npos);
  EXPECT_EQ(count(home, "编 号"), 1);
  EXPECT_EQ(count(home, "级 别"), 1);
  for (const char* s : {"网吧售卡中心", "经销商系统", "供货商系统", "一卡通代理"})
    EXPECT_EQ(count(home, std::string(">") + s + "</a>"), 1) << s;
  const char* links[] = {"查看商品目录", "销售记录查询", "账户资金明细", "下级客户档案管理", "下级销售提成明细",
                         "发布供货商品", "供货商品管理", "直充商品库存管理", "卡密商品库存管理", "供货收入转至余额",
                         "一卡通明细查询"};
  for (const char* s : links) {
    std::regex link("<a href=\"([^\"]+)\">" + std::string(s) + "</a>");
    std::smatch m;
    ASSERT_TRUE(std::regex_search(home, m, link)) << s;
    std::string target = m[1];
    auto r = b.get(target);
    ASSERT_EQ(r->status, 200) << target;
    EXPECT_NE(r->body.find(std::string("<title>") + s + "</title>"), std::string::npos) << s;
    std::string state = demo_->get("/demo/state.json");
    EXPECT_NE(state.find("\"last_page\": {\"path\": \"" + target + "\", \"title\": \"" + s + "\"}"),
              std::string::npos)
        << state;
  }
  b.get("/Index.aspx?tab=2");
  EXPECT_NE(demo_->get("/demo/state.json").find("\"/Index.aspx?tab=2\""), std::string::npos);
}

// The first table's rows as the browser's outer text gives them: one line per row.
std::vector<std::string> first_table_lines(const std::string& html) {
  size_t b = html.find("<table"), e = html.find("</table>");
  std::string table = html.substr(b, e - b);
  EXPECT_EQ(table.find("<table", 1), std::string::npos);  // nothing nested
  for (const char* block : {"<br", "<p", "<div", "<ul", "<li", "\n<td", "<td>\n"})
    EXPECT_EQ(table.find(block), std::string::npos) << block;
  std::vector<std::string> lines;
  std::regex row("<tr>(.*?)</tr>");
  for (auto it = std::sregex_iterator(table.begin(), table.end(), row); it != std::sregex_iterator(); ++it) {
    std::string text = std::regex_replace((*it)[1].str(), std::regex("<[^>]*>"), "");
    EXPECT_EQ(count((*it)[1].str(), "<td") + count((*it)[1].str(), "<th"), 1);  // one cell: no tabs
    lines.push_back(text);
  }
  return lines;
}

TEST_F(Demo, AddFormShapeForTheLookupAndTheCheckBoxNumbers) {
  Browser b(demo_->port());
  ASSERT_TRUE(b.login(1, "4321"));
  std::string form = b.get("/SelfProduct/SelfProductAdd.aspx")->body;
  const auto& cat = demo::catalog();
  std::vector<std::string> lines = first_table_lines(form);
  ASSERT_EQ(lines.size(), 2 + cat.size() + 15);
  for (const auto& l : lines) EXPECT_FALSE(l.empty());
  // The lookup numbers line j (1-based) as j - 1: entry i (0-based) is line i + 3,
  // numbered i + 2, which is its position among the page's check boxes.
  std::vector<std::string> boxes;
  std::regex checkbox("<input id=\"([^\"]+)\" type=\"checkbox\"");
  for (auto it = std::sregex_iterator(form.begin(), form.end(), checkbox); it != std::sregex_iterator(); ++it)
    boxes.push_back((*it)[1]);
  ASSERT_EQ(boxes.size(), cat.size() + 1);
  EXPECT_EQ(boxes[0], "chkTitleBold");
  for (size_t i = 0; i < cat.size(); ++i) {
    EXPECT_EQ(lines[i + 2], cat[i].name);
    EXPECT_EQ(boxes[i + 1], "cblCatalog_" + std::to_string(i));  // check box number i + 2
  }
  EXPECT_LT(form.find("id=\"chkTitleBold\""), form.find("<table"));
  EXPECT_NE(form.find("id=\"chkTitleBold\" type=\"checkbox\" name=\"chkTitleBold\" checked=\"checked\""),
            std::string::npos);
  // Every element the publishing run fills, in document order.
  const char* ids[] = {"ProductName", "TitleColor", "chkTitleBold", "cblCatalog_0", "radlSalesBound_0",
                       "radlSalesBound_1", "ProductUnit", "Parvalue", "txtValidDate", "Status_0", "Status_1",
                       "Status_2", "Introduct", "ProductNotice", "ChargeWay", "SavingUrl", "ProductService",
                       "btnSubmit"};
  size_t last = 0;
  for (const char* id : ids) {
    size_t p = form.find(std::string("id=\"") + id + "\"");
    ASSERT_NE(p, std::string::npos) << id;
    EXPECT_GT(p, last) << id;
    last = p;
  }
}

TEST_F(Demo, AddProductStoresEveryFieldAndShowsTheFormAgain) {
  Browser b(demo_->port());
  ASSERT_TRUE(b.login(1, "4321"));
  std::string body = "ProductName=" + enc("腾讯QQ币 10元 \"直充\"") + "&TitleColor=%23ff33ff" +
                     "&cblCatalog%240=1001&cblCatalog%244=1005&radlSalesBound=1&ProductUnit=" + enc("张") +
                     "&Parvalue=10.5&txtValidDate=30&Status=2&Introduct=" + enc("第一行\r\n\r\n第三行 <b>&") +
                     "&ProductNotice=" + enc("注意：自动发货") + "&ChargeWay=" + enc("按次") +
                     "&SavingUrl=" + enc("http://pay.example.com/a?b=1&c=2") + "&ProductService=" +
                     enc("qq(123456,234567)") + "&btnSubmit=x";
  auto r = b.post("/SelfProduct/SelfProductAdd.aspx", body);
  ASSERT_EQ(r->status, 200);
  EXPECT_NE(r->body.find("alert(\"商品发布成功！\")"), std::string::npos);
  EXPECT_NE(r->body.find("<form name=\"form1\" method=\"post\" action=\"SelfProductAdd.aspx\""), std::string::npos);
  EXPECT_NE(r->body.find("id=\"ProductName\" size=\"50\" />"), std::string::npos);  // empty again
  b.post("/SelfProduct/SelfProductAdd.aspx", "ProductName=B&chkTitleBold=on");

  std::string state = demo_->get("/demo/state.json");
  const char* expected =
      "{\"id\": 1, \"name\": \"腾讯QQ币 10元 \\\"直充\\\"\", \"catalog\": [\"1001\", \"1005\"], "
      "\"sales_bound\": \"1\", \"unit\": \"张\", \"parvalue\": \"10.5\", \"valid_date\": \"30\", "
      "\"status\": \"2\", \"title_color\": \"#ff33ff\", \"bold\": false, "
      "\"introduct\": \"第一行\\r\\n\\r\\n第三行 <b>&\", \"notice\": \"注意：自动发货\", \"charge_way\": \"按次\", "
      "\"saving_url\": \"http://pay.example.com/a?b=1&c=2\", \"service\": \"qq(123456,234567)\", "
      "\"reviewed\": false}";
  EXPECT_NE(state.find(expected), std::string::npos) << state;
  EXPECT_NE(state.find("{\"id\": 2, \"name\": \"B\", \"catalog\": [], "), std::string::npos);
  EXPECT_NE(state.find("\"bold\": true"), std::string::npos);
  EXPECT_NE(state.find("\"reviewed\": true}"), std::string::npos);  // not "面向所有客户(需审核)"
  std::string listing = demo_->get("/demo/products");
  EXPECT_NE(listing.find("第三行 &lt;b&gt;&amp;"), std::string::npos);  // escaped for people
  EXPECT_NE(listing.find("1005 盛大点卡"), std::string::npos);
}

TEST_F(Demo, ANameThatExistsIsRefusedAndStoresNothing) {
  Browser b(demo_->port());
  ASSERT_TRUE(b.login(1, "4321"));
  ASSERT_NE(b.post("/SelfProduct/SelfProductAdd.aspx", "ProductName=" + enc("点卡A") + "&Parvalue=1")
                ->body.find("alert(\"商品发布成功！\")"),
            std::string::npos);
  auto again = b.post("/SelfProduct/SelfProductAdd.aspx", "ProductName=" + enc("点卡A") + "&Parvalue=2");
  EXPECT_EQ(again->status, 200);
  EXPECT_NE(again->body.find("alert(\"商品名称已存在\")"), std::string::npos);
  EXPECT_NE(again->body.find("id=\"btnSubmit\""), std::string::npos);  // the form again
  // A name that differs only by a space is another name.
  EXPECT_NE(b.post("/SelfProduct/SelfProductAdd.aspx", "ProductName=" + enc("点卡A ") + "&Parvalue=3")
                ->body.find("商品发布成功"),
            std::string::npos);
  const std::string state = demo_->get("/demo/state.json");
  EXPECT_NE(state.find("\"parvalue\": \"1\""), std::string::npos);
  EXPECT_EQ(state.find("\"parvalue\": \"2\""), std::string::npos) << state;
  EXPECT_NE(state.find("{\"id\": 2, \"name\": \"点卡A \""), std::string::npos) << state;
}

TEST_F(Demo, BadSubmissionsAreRefused) {
  Browser b(demo_->port());
  ASSERT_TRUE(b.login(1, "4321"));
  auto empty = b.post("/SelfProduct/SelfProductAdd.aspx", "ProductName=+%20&Parvalue=1");
  EXPECT_EQ(empty->status, 200);
  EXPECT_NE(empty->body.find("alert(\"商品名称不能为空！\")"), std::string::npos);
  EXPECT_NE(empty->body.find("id=\"btnSubmit\""), std::string::npos);

  auto big = b.post("/SelfProduct/SelfProductAdd.aspx", "ProductName=x&Introduct=" + std::string(70000, 'a'));
  EXPECT_EQ(big->status, 413);
  EXPECT_NE(big->body.find("Introduct 超过 65536 字节"), std::string::npos);
  auto huge = b.post("/SelfProduct/SelfProductAdd.aspx", "ProductName=x&Introduct=" + std::string(9 << 20, 'a'));
  ASSERT_TRUE(huge);
  EXPECT_EQ(huge->status, 413);

  for (const char* bad : {"ProductName=%zz", "ProductName=%E4%B8", "ProductName=a%2", "=v&ProductName=a"})
    EXPECT_EQ(b.post("/SelfProduct/SelfProductAdd.aspx", bad)->status, 400) << bad;
  EXPECT_EQ(b.post("/SelfProduct/SelfProductAdd.aspx", "ProductName=a", "text/plain")->status, 400);
  EXPECT_EQ(b.post("/Login.aspx", "UserName=%G0")->status, 400);

  auto missing = b.get("/SelfProduct/NoSuchPage.aspx");
  EXPECT_EQ(missing->status, 404);
  EXPECT_NE(missing->body.find("404"), std::string::npos);
  EXPECT_EQ(b.get("/Index.aspx")->status, 200);  // still serving
  EXPECT_NE(demo_->get("/demo/state.json").find("\"products\": []"), std::string::npos);
}

TEST_F(Demo, NoticePageIsGbkWithTheMarkers) {
  httplib::Client c("127.0.0.1", demo_->port());
  auto r = c.Get("/xzrj.htm");
  ASSERT_TRUE(r);
  EXPECT_EQ(r->get_header_value("Content-Type"), "text/html; charset=gbk");
  std::string link = "http://demo.example.com:" + std::to_string(demo_->port()) + "/";
  EXPECT_NE(r->body.find(demo::utf8_to_gbk("[友情标题1]卡盟演示后台[/友情标题1]")), std::string::npos);
  EXPECT_NE(r->body.find(demo::utf8_to_gbk("[友情1]") + link + demo::utf8_to_gbk("[/友情1]")), std::string::npos);
  // GBK bytes of 卡盟 are BF A8 C3 CB.
  EXPECT_NE(r->body.find("\xBF\xA8\xC3\xCB"), std::string::npos);
  EXPECT_FALSE(demo::valid_utf8(r->body));

  DemoProcess other;
  ASSERT_TRUE(other.start({"--maker-link", "http://maker.example.com/"}));
  EXPECT_NE(other.get("/xzrj.htm").find("http://maker.example.com/"), std::string::npos);
}

TEST_F(Demo, ManyParallelRequests) {
  std::atomic<int> ok{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 40; ++t)
    threads.emplace_back([&] {
      Browser b(demo_->port());
      for (int i = 0; i < 10; ++i) {
        auto r = b.get(i % 2 ? "/Handler.ashx" : "/Login.aspx");
        if (r && r->status == 200) ++ok;
      }
    });
  for (auto& t : threads) t.join();
  EXPECT_EQ(ok.load(), 400);
}

TEST(DemoCommandLine, TakenPortAndBadOptions) {
  DemoProcess d;
  ASSERT_TRUE(d.start());
  std::string cmd = testsupport::demo_binary() + " --port " + std::to_string(d.port()) + " 2>/dev/null >/dev/null";
  int st = std::system(cmd.c_str());
  ASSERT_TRUE(WIFEXITED(st));
  EXPECT_EQ(WEXITSTATUS(st), 2);
  EXPECT_FALSE(d.get("/").empty());  // the first one goes on
  for (const char* bad : {" --theme 5", " --port x", " --captcha ab", " --bogus 1", " --theme"}) {
    st = std::system((testsupport::demo_binary() + bad + " 2>/dev/null >/dev/null").c_str());
    EXPECT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == 1) << bad;
  }
  st = std::system((testsupport::demo_binary() + " --help >/dev/null").c_str());
  EXPECT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == 0);
}

}  // namespace

TEST(DemoSamples, SampleProductsArePresentFromTheStartAndAfterEveryReset) {
  DemoProcess d;
  ASSERT_TRUE(d.start({"--products", "3", "--unreviewed", "2", "--captcha", "1"}));
  auto check = [&] {
    std::string state = d.get("/demo/state.json");
    EXPECT_EQ(count(state, "\"reviewed\": true"), 3) << state;
    EXPECT_EQ(count(state, "\"reviewed\": false"), 2) << state;
    EXPECT_NE(state.find("{\"id\": 5, "), std::string::npos);
    EXPECT_EQ(state.find("{\"id\": 6, "), std::string::npos);
  };
  check();
  Browser b(d.port());
  ASSERT_TRUE(b.login(1, "1"));
  b.post("/SelfProduct/SelfProductAdd.aspx", "ProductName=extra");
  EXPECT_NE(d.get("/demo/state.json").find("{\"id\": 6, \"name\": \"extra\""), std::string::npos);
  d.post("/demo/reset", "");
  check();
}
