// The demo's product list, template pages and status page through plain HTTP.

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "demo_client.h"

namespace {

using demotest::Browser;
using demotest::count;
using demotest::enc;
using demotest::view_state;

const char* kList = "/SelfProduct/SelfProductList.aspx";

// The PIDs of the page's template links, in order.
std::vector<int> template_ids(const std::string& page) {
  std::vector<int> ids;
  const std::string marker = "类型/模板', iframe:{src:'SelfProduct/ProductTemplate.aspx?PID=";
  for (size_t p = page.find(marker); p != std::string::npos; p = page.find(marker, p + 1)) {
    const size_t from = p + marker.size();
    const size_t end = page.find("'}", from);
    if (end == std::string::npos) break;
    ids.push_back(std::stoi(page.substr(from, end - from)));
  }
  return ids;
}

std::vector<int> range(int first, int last) {
  std::vector<int> v;
  for (int i = first; i <= last; ++i) v.push_back(i);
  return v;
}

// The n-th <select ...> opening tag of the page (1-based), "" when there is none.
std::string select_tag(const std::string& page, int n) {
  size_t p = 0;
  for (int i = 0; i < n; ++i) {
    p = page.find("<select", i ? p + 1 : 0);
    if (p == std::string::npos) return {};
  }
  return page.substr(p, page.find('>', p) - p + 1);
}

class DemoProductList : public demotest::ServerSuite {
 protected:
  static void SetUpTestSuite() { start_demo({"--captcha", "1234"}); }
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(ServerSuite::SetUp());
    ASSERT_EQ(demo_->post("/demo/product-list", "products=25&unreviewed=4&page_size=10&pager=1"),
              "{\"products\": 25, \"unreviewed\": 4, \"page_size\": 10, \"pager\": true}\n");
    ASSERT_TRUE(b_.login(1, "1234"));
  }

  // A post-back of the list page shown last.
  std::string post_back(const std::string& page, const std::string& target, const std::string& argument) {
    auto r = b_.post(kList, "__EVENTTARGET=" + enc(target) + "&__EVENTARGUMENT=" + enc(argument) +
                                "&__VIEWSTATE=" + enc(view_state(page)) + "&AspNetPager1_input=1");
    return r && r->status == 200 ? r->body : std::string();
  }

  Browser b_{demo_ ? demo_->port() : 0};
};

TEST_F(DemoProductList, FirstPageLinksPagerAsTheFourthSelectAndTheReviewSwitch) {
  const std::string page = b_.get(kList)->body;
  EXPECT_EQ(template_ids(page), range(1, 10));
  // The platform's dialog call, as the tools look for it.
  EXPECT_NE(page.find("onclick=\"openDialog({title:'类型/模板', iframe:{src:'SelfProduct/ProductTemplate.aspx?PID=3'}"),
            std::string::npos);
  EXPECT_NE(select_tag(page, 4).find("id=\"AspNetPager1_input\""), std::string::npos) << select_tag(page, 4);
  EXPECT_NE(select_tag(page, 4).find("onchange=\"__doPostBack('AspNetPager1',"), std::string::npos);
  EXPECT_EQ(select_tag(page, 5), "");
  EXPECT_EQ(count(page, "<option value=\"1\" selected=\"selected\">1</option>"), 1);
  EXPECT_NE(page.find("<option value=\"3\">3</option></select>"), std::string::npos);  // 3 pages
  EXPECT_NE(page.find("id=\"lbtn22\" href=\"javascript:__doPostBack('lbtn22','')\""), std::string::npos);
  EXPECT_NE(page.find("function __doPostBack(eventTarget, eventArgument)"), std::string::npos);
  EXPECT_NE(page.find("id=\"__EVENTVALIDATION\""), std::string::npos);
}

TEST_F(DemoProductList, PagerPostBacksAndThePageBeyondTheEnd) {
  const std::string first = b_.get(kList)->body;
  const std::string second = post_back(first, "AspNetPager1", "2");
  EXPECT_EQ(template_ids(second), range(11, 20));
  EXPECT_NE(second.find("<option value=\"2\" selected=\"selected\">2</option>"), std::string::npos);
  const std::string third = post_back(second, "AspNetPager1", "3");
  EXPECT_EQ(template_ids(third), range(21, 25));
  // A request past the end gets the last page again.
  EXPECT_EQ(template_ids(post_back(third, "AspNetPager1", "4")), range(21, 25));
  EXPECT_EQ(template_ids(post_back(third, "AspNetPager1", "999")), range(21, 25));
  const std::string state = demo_->get("/demo/state.json");
  EXPECT_NE(state.find("{\"method\": \"GET\", \"target\": \"\", \"argument\": \"\", \"list\": \"reviewed\", \"page\": 1}"),
            std::string::npos);
  EXPECT_NE(state.find("{\"method\": \"POST\", \"target\": \"AspNetPager1\", \"argument\": \"4\", \"list\": "
                       "\"reviewed\", \"page\": 3}"),
            std::string::npos)
      << state;
  EXPECT_EQ(count(state, "\"target\": \"AspNetPager1\""), 4);
  // A view state that is not the page's own fails as ASP.NET does.
  auto bad = b_.post(kList, "__EVENTTARGET=AspNetPager1&__EVENTARGUMENT=2&__VIEWSTATE=abc");
  ASSERT_TRUE(bad);
  EXPECT_EQ(bad->status, 500);
  EXPECT_NE(bad->body.find("验证视图状态 MAC 失败"), std::string::npos);
}

TEST_F(DemoProductList, TheReviewSwitchShowsTheUnreviewedProductsAndThePagerKeepsToThem) {
  const std::string first = b_.get(kList)->body;
  const std::string unreviewed = post_back(first, "lbtn22", "");
  EXPECT_EQ(template_ids(unreviewed), range(26, 29));
  EXPECT_NE(unreviewed.find("等待审核"), std::string::npos);
  EXPECT_EQ(template_ids(post_back(unreviewed, "AspNetPager1", "2")), range(26, 29));  // one page only
  EXPECT_EQ(template_ids(post_back(unreviewed, "lbtn11", "")), range(1, 10));
  EXPECT_NE(demo_->get("/demo/state.json").find("\"target\": \"lbtn22\", \"argument\": \"\", \"list\": \"unreviewed\""),
            std::string::npos);
}

TEST_F(DemoProductList, ShapeOptionsPageSizeNoPagerAndNoProducts) {
  demo_->post("/demo/product-list", "page_size=4&pager=0");
  std::string page = b_.get(kList)->body;
  EXPECT_EQ(template_ids(page), range(1, 4));
  EXPECT_EQ(page.find("AspNetPager1_input"), std::string::npos);
  EXPECT_EQ(select_tag(page, 4), "");

  demo_->post("/demo/product-list", "products=0&unreviewed=0&pager=1");
  page = b_.get(kList)->body;
  EXPECT_TRUE(template_ids(page).empty());
  EXPECT_NE(page.find("没有找到商品"), std::string::npos);
  EXPECT_NE(page.find("<option value=\"1\" selected=\"selected\">1</option></select>"), std::string::npos);

  auto bad = b_.post("/demo/product-list", "page_size=0");
  ASSERT_TRUE(bad);
  EXPECT_EQ(bad->status, 400);
  // The list is for logged-in sessions only.
  Browser stranger(demo_->port());
  EXPECT_EQ(stranger.get(kList)->status, 302);
}

// ---------------------------------------------------------------------------------
// Template pages

class DemoTemplates : public DemoProductList {
 protected:
  std::string post(int pid, const std::string& page, const std::string& fields) {
    auto r = b_.post("/SelfProduct/ProductTemplate.aspx?PID=" + std::to_string(pid),
                     "__VIEWSTATE=" + enc(view_state(page)) + "&" + fields);
    return r && r->status == 200 ? r->body : std::string();
  }
};

TEST_F(DemoTemplates, AProductThatDoesNotExistFailsAsThePlatformDoes) {
  for (const char* pid : {"999", "abc", ""}) {
    auto r = b_.get(std::string("/SelfProduct/ProductTemplate.aspx?PID=") + pid);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status, 500) << pid;
    EXPECT_NE(r->body.find("应用程序中的服务器错误"), std::string::npos);
    EXPECT_EQ(r->body.find("btnSubmit"), std::string::npos);
  }
}

TEST_F(DemoTemplates, TypeAndVendorPostBacksRefillTheListsAndSaveRecordsTheChoice) {
  const std::string fresh = b_.get("/SelfProduct/ProductTemplate.aspx?PID=7")->body;
  EXPECT_EQ(count(fresh, "type=\"radio\" name=\"rblType\""), 6);
  EXPECT_NE(fresh.find("id=\"rblType_5\" type=\"radio\" name=\"rblType\" value=\"6\" "
                       "onclick=\"javascript:setTimeout('__doPostBack(\\'rblType$5\\',\\'\\')', 0)\""),
            std::string::npos);
  EXPECT_EQ(fresh.find("<select"), std::string::npos);  // no type yet: no lists
  EXPECT_NE(fresh.find("id=\"btnSubmit\""), std::string::npos);

  // "接口直冲" (6th radio) posts back: the vendor list is the first select, the
  // template list the second.
  const std::string typed = post(7, fresh, "__EVENTTARGET=rblType%245&__EVENTARGUMENT=&rblType=6");
  EXPECT_NE(select_tag(typed, 1).find("id=\"ddlGameCompany\""), std::string::npos);
  EXPECT_NE(select_tag(typed, 1).find("__doPostBack(\\'ddlGameCompany\\'"), std::string::npos);
  EXPECT_NE(select_tag(typed, 2).find("id=\"ddlTemplate\""), std::string::npos);
  EXPECT_NE(typed.find("value=\"6\" checked=\"checked\""), std::string::npos);
  EXPECT_NE(typed.find("完美世界-接口直冲模版A"), std::string::npos);

  // The 4th vendor: the template list holds that vendor's templates.
  const std::string vendor =
      post(7, typed, "__EVENTTARGET=ddlGameCompany&__EVENTARGUMENT=&rblType=6&ddlGameCompany=1004&ddlTemplate=T6V0N1");
  EXPECT_NE(vendor.find("<option value=\"1004\" selected=\"selected\">腾讯游戏</option>"), std::string::npos);
  EXPECT_NE(vendor.find("腾讯游戏-接口直冲模版B"), std::string::npos);
  EXPECT_EQ(vendor.find("完美世界-接口直冲模版A"), std::string::npos);

  // Saved with the 2nd template; the button wins over a post-back target left in the form.
  const std::string saved = post(7, vendor,
                                 "__EVENTTARGET=rblType%245&__EVENTARGUMENT=&rblType=6&ddlGameCompany=1004&"
                                 "ddlTemplate=T6V3N2&btnSubmit=%E4%BF%9D%E5%AD%98");
  EXPECT_NE(saved.find("设置成功！"), std::string::npos);
  const std::string state = demo_->get("/demo/state.json");
  EXPECT_NE(state.find("{\"product\": 7, \"radio\": 6, \"type\": \"接口直冲\", \"vendor_option\": 4, \"vendor\": "
                       "\"腾讯游戏\", \"template_option\": 2, \"template\": \"腾讯游戏-接口直冲模版B\"}"),
            std::string::npos)
      << state;
  EXPECT_NE(state.find("{\"product\": 7, \"target\": \"rblType$5\"}, {\"product\": 7, \"target\": \"ddlGameCompany\"}"),
            std::string::npos);
  // The page opens again with the saved choice.
  const std::string again = b_.get("/SelfProduct/ProductTemplate.aspx?PID=7")->body;
  EXPECT_NE(again.find("<option value=\"T6V3N2\" selected=\"selected\">"), std::string::npos);
}

TEST_F(DemoTemplates, NumberSelectionNeedsNoListsAndSavingWithoutATypeIsRefused) {
  const std::string fresh = b_.get("/SelfProduct/ProductTemplate.aspx?PID=2")->body;
  const std::string none = post(2, fresh, "btnSubmit=save");
  EXPECT_NE(none.find("请选择商品类型！"), std::string::npos);
  const std::string saved = post(2, fresh, "rblType=2&btnSubmit=save");
  EXPECT_NE(saved.find("设置成功！"), std::string::npos);
  EXPECT_EQ(saved.find("<select"), std::string::npos);
  const std::string state = demo_->get("/demo/state.json");
  EXPECT_NE(state.find("{\"product\": 2, \"radio\": 2, \"type\": \"选号\", \"vendor_option\": 0"), std::string::npos);
  EXPECT_NE(state.find("{\"product\": 2, \"saved\": false, \"radio\": 0"), std::string::npos);
}

// ---------------------------------------------------------------------------------
// The status page

TEST_F(DemoProductList, StatusPostAppliesToTheListedIdsAndRecordsTheRequestAsSent) {
  const std::string path = "/SelfProduct/SetProductStatus.aspx?PID=,3,4,3,999&Status=0";
  const std::string page = b_.get(path)->body;
  EXPECT_NE(page.find("id=\"btnSubmit\""), std::string::npos);
  EXPECT_NE(page.find("action=\"SetProductStatus.aspx?PID=,3,4,3,999&amp;Status=0\""), std::string::npos);
  auto r = b_.post(path, "__VIEWSTATE=" + enc(view_state(page)) + "&btnSubmit=%E7%A1%AE%E5%AE%9A");
  ASSERT_TRUE(r);
  EXPECT_NE(r->body.find("操作成功！"), std::string::npos);
  std::string state = demo_->get("/demo/state.json");
  EXPECT_NE(state.find("{\"pid\": \",3,4,3,999\", \"status\": \"0\", \"ids\": [\"3\", \"4\", \"3\", \"999\"], "
                       "\"applied\": 3"),
            std::string::npos)
      << state;
  // Paused is "1" in the product's status; the others keep theirs.
  EXPECT_EQ(count(state, "\"status\": \"1\", \"title_color\""), 2);

  for (const auto& [code, value] : {std::pair{"1", "0"}, std::pair{"-1", "2"}}) {
    b_.post("/SelfProduct/SetProductStatus.aspx?PID=,1,2,3,4,5&Status=" + std::string(code), "btnSubmit=x");
    state = demo_->get("/demo/state.json");
    EXPECT_EQ(count(state, "\"status\": \"" + std::string(value) + "\", \"title_color\""), value == std::string("0") ? 29 : 5)
        << code;
  }
  // An unknown code changes nothing; a GET alone changes nothing either.
  b_.post("/SelfProduct/SetProductStatus.aspx?PID=,1&Status=7", "btnSubmit=x");
  b_.get("/SelfProduct/SetProductStatus.aspx?PID=,2&Status=1");
  state = demo_->get("/demo/state.json");
  EXPECT_NE(state.find("\"status\": \"7\", \"ids\": [\"1\"], \"applied\": 0"), std::string::npos);
  EXPECT_EQ(count(state, "\"status\": \"2\", \"title_color\""), 5);
  EXPECT_EQ(count(state, "{\"pid\": "), 4);
  EXPECT_NE(state.find("\"status_pages\": 2"), std::string::npos);
}

}  // namespace
