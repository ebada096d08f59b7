// The demo's card stock pages over plain HTTP: the inventory page, the stock management
// page with its deletion post-back, the card-import form with check and save.

#include <gtest/gtest.h>
#include <httplib.h>

#include <regex>
#include <string>

#include "demo_client.h"

namespace {

using demotest::Browser;
using testsupport::DemoProcess;
using demotest::count;
using demotest::enc;
using demotest::has;

// The card count of one product in the state JSON.
int stock(const std::string& json, int pid) {
  const std::string key = "{\"product\": " + std::to_string(pid) + ", \"cards\": [";
  size_t at = json.find(key);
  if (at == std::string::npos) return -1;
  const size_t end = json.find("]}", at);
  return count(json.substr(at, end - at), "{\"id\": ");
}

class Inventory : public demotest::ServerSuite {
 protected:
  static void SetUpTestSuite() {
    start_demo({"--captcha", "1234", "--products", "3", "--cards", "60", "--inventory-page-size", "2"});
  }
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(ServerSuite::SetUp());
    ASSERT_TRUE(client_.login());
  }
  std::string state() { return demo_->get("/demo/state.json"); }

  Browser client_{demo_ ? demo_->port() : 0, 20};
};

TEST_F(Inventory, PagesNeedALogin) {
  Browser anonymous(demo_->port());
  for (const char* path : {"/SelfProduct/SelfProductInventory.aspx", "/SelfProduct/ProductCardList.aspx?PID=1",
                           "/SelfProduct/ProductCardImport.aspx?PID=1"}) {
    auto r = anonymous.get(path);
    ASSERT_TRUE(r) << path;
    EXPECT_EQ(r->status, 302) << path;
  }
  auto r = anonymous.post("/SelfProduct/ProductCardList.aspx?PID=1", "__EVENTTARGET=Del&chkCard=1");
  ASSERT_TRUE(r);
  EXPECT_EQ(r->status, 302);
  EXPECT_EQ(stock(state(), 1), 60);
}

TEST_F(Inventory, TheInventoryPageListsProductsWithDialogAddressesAndManageLinksPageByPage) {
  auto r = client_.get("/SelfProduct/SelfProductInventory.aspx");
  ASSERT_TRUE(r);
  ASSERT_EQ(r->status, 200);
  const std::string& page1 = r->body;
  EXPECT_EQ(count(page1, "iframe:{src:'"), 2);
  EXPECT_TRUE(has(page1, "iframe:{src:'SelfProduct/ProductCardImport.aspx?PID=1'}"));
  EXPECT_TRUE(has(page1, "iframe:{src:'SelfProduct/ProductCardImport.aspx?PID=2'}"));
  EXPECT_TRUE(has(page1, "<a href=\"ProductCardList.aspx?PID=1\">管理</a>"));
  EXPECT_TRUE(has(page1, "<td>60张</td>"));
  EXPECT_TRUE(has(page1, "function showDialog("));
  const std::string page2 = client_.get("/SelfProduct/SelfProductInventory.aspx?page=2")->body;
  EXPECT_EQ(count(page2, "iframe:{src:'"), 1);
  EXPECT_TRUE(has(page2, "PID=3'}"));
  // Past the end: no product, so no import address.
  const std::string page9 = client_.get("/SelfProduct/SelfProductInventory.aspx?page=9")->body;
  EXPECT_EQ(count(page9, "iframe:{src:'"), 0);
  EXPECT_TRUE(has(page9, "暂无商品"));
}

TEST_F(Inventory, StockManagementShowsFiftyCardsAndDelDeletesTheTickedOnes) {
  const std::string page = client_.get("/SelfProduct/ProductCardList.aspx?PID=2")->body;
  EXPECT_EQ(count(page, "name=\"chkCard\""), 50);
  EXPECT_TRUE(has(page, "function SelectAll()"));
  EXPECT_TRUE(has(page, "id=\"Del\""));
  EXPECT_TRUE(has(page, "return confirm('确定要删除选中的卡密吗？');"));
  EXPECT_TRUE(has(page, "__doPostBack('Del','')"));
  EXPECT_TRUE(has(page, "name=\"__VIEWSTATE\""));
  // The ids of the boxes on the page.
  std::vector<std::string> ids;
  const std::regex box("name=\"chkCard\" value=\"(\\d+)\"");
  for (auto it = std::sregex_iterator(page.begin(), page.end(), box); it != std::sregex_iterator(); ++it)
    ids.push_back((*it)[1]);
  ASSERT_EQ(ids.size(), 50u);

  // Three ticked boxes, plus one of another product, which stays.
  const std::string other_product_card = "1";
  auto r = client_.post("/SelfProduct/ProductCardList.aspx?PID=2", "__EVENTTARGET=Del&__EVENTARGUMENT=&chkCard=" + ids[0] +
                                                                       "&chkCard=" + ids[1] + "&chkCard=" + ids[7] +
                                                                       "&chkCard=" + other_product_card);
  ASSERT_TRUE(r);
  EXPECT_TRUE(has(r->body, "alert(\"成功删除3张卡密！\")"));
  EXPECT_TRUE(has(r->body, "<span id=\"lblTotal\">57</span>"));
  std::string s = state();
  EXPECT_EQ(stock(s, 2), 57);
  EXPECT_EQ(stock(s, 1), 60);
  EXPECT_TRUE(has(s, "\"card_deletions\": [{\"product\": 2, \"count\": 3}]"));

  // All of a page, twice: 57 -> 7 -> 0; then nothing ticked.
  for (int pass = 0; pass < 3; ++pass) {
    const std::string p = client_.get("/SelfProduct/ProductCardList.aspx?PID=2")->body;
    std::string body = "__EVENTTARGET=Del&__EVENTARGUMENT=";
    for (auto it = std::sregex_iterator(p.begin(), p.end(), box); it != std::sregex_iterator(); ++it)
      body += "&chkCard=" + (*it)[1].str();
    r = client_.post("/SelfProduct/ProductCardList.aspx?PID=2", body);
    ASSERT_TRUE(r);
  }
  EXPECT_TRUE(has(r->body, "alert(\"请先选择要删除的卡密！\")"));
  EXPECT_TRUE(has(r->body, "暂无卡密"));
  s = state();
  EXPECT_EQ(stock(s, 2), 0);
  EXPECT_TRUE(has(s, "{\"product\": 2, \"count\": 50}, {\"product\": 2, \"count\": 7}, {\"product\": 2, \"count\": 0}"));
  // A post-back of another control deletes nothing.
  client_.post("/SelfProduct/ProductCardList.aspx?PID=1", "__EVENTTARGET=Other&chkCard=1");
  EXPECT_EQ(stock(state(), 1), 60);
}

TEST_F(Inventory, SubmitShowsTheCheckedImportAndSaveStoresIt) {
  const std::string form = client_.get("/SelfProduct/ProductCardImport.aspx?PID=3")->body;
  EXPECT_TRUE(has(form, "<textarea name=\"CardContent\" id=\"CardContent\""));
  EXPECT_TRUE(has(form, "<option value=\"1\">有卡号</option><option selected=\"selected\" value=\"0\">无卡号</option>"));
  EXPECT_TRUE(has(form, "name=\"EndTime\""));
  EXPECT_TRUE(has(form, "id=\"CheckImport1\" type=\"checkbox\" name=\"CheckImport1\" checked=\"checked\""));
  EXPECT_TRUE(has(form, "id=\"CheckImport\" type=\"checkbox\" name=\"CheckImport\" checked=\"checked\""));
  EXPECT_TRUE(has(form, "name=\"Submit\""));
  EXPECT_FALSE(has(form, "name=\"Save\""));

  std::string content;
  for (int i = 0; i < 200; ++i) content += "abc\r\n";
  auto r = client_.post("/SelfProduct/ProductCardImport.aspx?PID=3",
                        "CardContent=" + enc(content) + "&IfCardNO=0&EndTime=2099-11-21&Submit=x");
  ASSERT_TRUE(r);
  EXPECT_TRUE(has(r->body, "<span id=\"lblCount\">200</span>"));
  EXPECT_TRUE(has(r->body, "name=\"Save\""));
  std::smatch m;
  ASSERT_TRUE(std::regex_search(r->body, m, std::regex("name=\"hidImport\" id=\"hidImport\" value=\"(\\d+)\"")));
  std::string s = state();
  EXPECT_TRUE(has(s, "\"if_card_no\": \"0\", \"end_time\": \"2099-11-21\", \"check_import1\": false, "
                     "\"check_import\": false, \"lines\": 200, \"bytes\": 1000, \"first_line\": \"abc\", "
                     "\"same_lines\": true, \"state\": \"checked\""));
  EXPECT_EQ(stock(s, 3), 60);

  r = client_.post("/SelfProduct/ProductCardImport.aspx?PID=3", "hidImport=" + m[1].str() + "&Save=x");
  ASSERT_TRUE(r);
  EXPECT_TRUE(has(r->body, "alert(\"成功导入200张卡密！\")"));
  s = state();
  EXPECT_EQ(stock(s, 3), 260);
  EXPECT_TRUE(has(s, "\"state\": \"saved\", \"message\": \"成功导入200张卡密！\""));
  EXPECT_TRUE(has(s, "\"number\": \"\", \"secret\": \"abc\", \"end_time\": \"2099-11-21\""));
  // Saving twice stores nothing more.
  r = client_.post("/SelfProduct/ProductCardImport.aspx?PID=3", "hidImport=" + m[1].str() + "&Save=x");
  EXPECT_TRUE(has(r->body, "alert(\"请先检测卡密！\")"));
  EXPECT_EQ(stock(state(), 3), 260);
}

TEST_F(Inventory, CardNumbersTickedBoxesAndRefusedContent) {
  // With card numbers: "number secret" per line; the ticked boxes are recorded.
  auto r = client_.post("/SelfProduct/ProductCardImport.aspx?PID=1",
                        "CardContent=" + enc("N1 S1\r\nN2,S2\r\n") +
                            "&IfCardNO=1&EndTime=2030-01-01&CheckImport1=on&CheckImport=on&Submit=x");
  ASSERT_TRUE(r);
  EXPECT_TRUE(has(r->body, "name=\"Save\""));
  std::string s = state();
  EXPECT_TRUE(has(s, "\"if_card_no\": \"1\", \"end_time\": \"2030-01-01\", \"check_import1\": true, \"check_import\": true"));

  // A line without separator, an over-long line, an empty text: an alert, the form, no Save.
  struct Case {
    std::string body, alert;
  } cases[] = {
      {"CardContent=" + enc("only\r\n") + "&IfCardNO=1&Submit=x", "第1行缺少卡号或密码！"},
      {"CardContent=" + enc("ok\r\n" + std::string(201, 'k')) + "&IfCardNO=0&Submit=x", "第2行卡密过长（最多200个字节）！"},
      {"CardContent=&IfCardNO=0&Submit=x", "请输入卡密！"},
  };
  for (const auto& c : cases) {
    r = client_.post("/SelfProduct/ProductCardImport.aspx?PID=1", c.body);
    ASSERT_TRUE(r);
    EXPECT_TRUE(has(r->body, "alert(\"" + c.alert + "\")")) << c.alert;
    EXPECT_FALSE(has(r->body, "name=\"Save\"")) << c.alert;
  }
  s = state();
  EXPECT_EQ(count(s, "\"state\": \"rejected\""), 3);
  EXPECT_TRUE(has(s, "\"lines\": 0, \"bytes\": 0, \"first_line\": \"\""));
  // A refused import leaves nothing to save: the last good check is still waiting.
  r = client_.post("/SelfProduct/ProductCardImport.aspx?PID=1", "hidImport=4&Save=x");
  EXPECT_TRUE(has(r->body, "alert(\"请先检测卡密！\")"));
  r = client_.post("/SelfProduct/ProductCardImport.aspx?PID=1", "hidImport=1&Save=x");
  EXPECT_TRUE(has(r->body, "alert(\"成功导入2张卡密！\")"));
  s = state();
  EXPECT_EQ(stock(s, 1), 62);
  EXPECT_TRUE(has(s, "\"number\": \"N2\", \"secret\": \"S2\", \"end_time\": \"2030-01-01\""));
}

TEST_F(Inventory, UnknownProductsAnswerWithAMessageBox) {
  auto r = client_.get("/SelfProduct/ProductCardImport.aspx?PID=99");
  ASSERT_TRUE(r);
  EXPECT_TRUE(has(r->body, "alert(\"商品不存在！\")"));
  EXPECT_FALSE(has(r->body, "CardContent"));
  r = client_.post("/SelfProduct/ProductCardImport.aspx?PID=x", "CardContent=a&Submit=x");
  EXPECT_TRUE(has(r->body, "alert(\"商品不存在！\")"));
  r = client_.get("/SelfProduct/ProductCardList.aspx?PID=0");
  EXPECT_TRUE(has(r->body, "alert(\"商品不存在！\")"));
  EXPECT_FALSE(has(state(), "\"card_imports\": [\n"));
}

TEST_F(Inventory, ResetRestoresTheSampleCardsAndTheStatePageShowsTheRecords) {
  client_.post("/SelfProduct/ProductCardList.aspx?PID=1", "__EVENTTARGET=Del&chkCard=1&chkCard=2");
  EXPECT_EQ(stock(state(), 1), 58);
  const std::string html = demo_->get("/demo/");
  EXPECT_TRUE(has(html, "卡密库存"));
  EXPECT_TRUE(has(html, "删除记录（1次）"));
  demo_->post("/demo/reset", "");
  const std::string s = state();
  EXPECT_EQ(stock(s, 1), 60);
  EXPECT_TRUE(has(s, "\"card_deletions\": []"));
  EXPECT_TRUE(has(s, "\"secret\": \"P1-0001\""));
}

TEST(InventoryOptions, BadValuesAreRefused) {
  for (std::vector<std::string> args : {std::vector<std::string>{"--cards", "-1"},
                                        std::vector<std::string>{"--inventory-page-size", "0"}}) {
    DemoProcess d;
    EXPECT_FALSE(d.start(args)) << args[0];
  }
}

}  // namespace
