// The demo's regional-stock step and price form over plain HTTP.

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
using demotest::has;

class PricingDemo : public demotest::ServerSuite {
 protected:
  static void SetUpTestSuite() { start_demo({"--captcha", "1234", "--unreviewed", "3"}); }
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(ServerSuite::SetUp());
    session_ = std::make_unique<Browser>(demo_->port());
    ASSERT_TRUE(session_->login(1, "1234"));
  }
  std::unique_ptr<Browser> session_;
};

TEST_F(PricingDemo, EveryRowOfTheUnreviewedListCarriesTheStockLinkIntoTheListsDialog) {
  demo_->post("/demo/product-list", "products=2&unreviewed=3");
  ASSERT_TRUE(session_->login(1, "1234"));
  const std::string reviewed = session_->get("/SelfProduct/SelfProductList.aspx")->body;
  EXPECT_EQ(count(reviewed, "title=\"增加地区库存\""), 0);
  std::smatch m;
  ASSERT_TRUE(std::regex_search(reviewed, m, std::regex("id=\"__VIEWSTATE\" value=\"([^\"]*)\"")));
  const std::string unreviewed =
      session_->post("/SelfProduct/SelfProductList.aspx", "__EVENTTARGET=lbtn22&__EVENTARGUMENT=&__VIEWSTATE=" + enc(m[1]))
          ->body;
  EXPECT_EQ(count(unreviewed, "title=\"增加地区库存\""), 3);
  EXPECT_TRUE(has(unreviewed, "iframe:{src:'SelfProduct/ProductAreaStock.aspx?PID=3'}"));
}

const char* kPrices =
    "LevelPrice1=1&LevelPrice2=2&LevelPrice3=3&LevelPrice4=4&LevelPrice5=5";

TEST_F(PricingDemo, TheStockStepLeadsToThePriceFormWithItsFieldsAndButtons) {
  Browser anonymous(demo_->port());
  EXPECT_EQ(anonymous.get("/SelfProduct/ProductAreaStock.aspx?PID=1")->status, 302);

  auto step = session_->get("/SelfProduct/ProductAreaStock.aspx?PID=2");
  ASSERT_TRUE(step);
  EXPECT_TRUE(has(step->body, "value=\"确认添加\""));
  EXPECT_TRUE(has(step->body, "name=\"ddlArea\""));
  EXPECT_EQ(alert_of(step->body), "");

  auto form = session_->post("/SelfProduct/ProductAreaStock.aspx?PID=2", "ddlArea=%E5%85%A8%E5%9B%BD&btnAdd=x");
  ASSERT_TRUE(form);
  EXPECT_EQ(alert_of(form->body), "地区库存添加成功！");
  for (const char* id : {"txtPurchase", "txtLevelPrice1", "txtLevelPrice2", "txtLevelPrice3", "btnSubmit"})
    EXPECT_TRUE(has(form->body, std::string("id=\"") + id + "\"")) << id;
  for (const char* set : {"Set11", "Set22", "Set33"})
    EXPECT_TRUE(has(form->body, std::string("type=\"button\" name=\"") + set + "\"")) << set;
  EXPECT_TRUE(has(form->body, "action=\"ProductPrice.aspx?PID=2\""));
  EXPECT_TRUE(has(demo_->get("/demo/state.json"), "\"area_stock\": [{\"product\": 2, \"area\": \"全国\"}]"));

  // No area chosen, or an unknown product: refused, nothing kept.
  EXPECT_EQ(alert_of(session_->post("/SelfProduct/ProductAreaStock.aspx?PID=2", "ddlArea=x")->body), "请选择地区！");
  EXPECT_EQ(alert_of(session_->post("/SelfProduct/ProductAreaStock.aspx?PID=99", "ddlArea=x")->body), "商品不存在！");
  EXPECT_EQ(alert_of(session_->get("/SelfProduct/ProductAreaStock.aspx?PID=abc")->body), "");
  EXPECT_TRUE(has(demo_->get("/demo/state.json"), "\"area_stock\": [{\"product\": 2, \"area\": \"全国\"}]"));
}

TEST_F(PricingDemo, APriceSubmissionIsRecordedAsPostedAndClosesTheDialog) {
  auto r = session_->post("/SelfProduct/ProductPrice.aspx?PID=3",
                          std::string("txtPurchase=10&txtLevelPrice1=&txtLevelPrice2=95&txtLevelPrice3=&hidSet=22&") +
                              kPrices);
  ASSERT_TRUE(r);
  EXPECT_EQ(alert_of(r->body), "价格设置成功！");
  EXPECT_TRUE(has(r->body, "getElementById('dialogMask')"));
  const std::string state = demo_->get("/demo/state.json");
  EXPECT_TRUE(has(state, "{\"product\": 3, \"txtPurchase\": \"10\", \"txtLevelPrice1\": \"\", \"txtLevelPrice2\": \"95\", "
                         "\"txtLevelPrice3\": \"\", \"set\": \"22\", \"prices\": [\"1\", \"2\", \"3\", \"4\", \"5\"], "
                         "\"accepted\": true, \"answer\": \"价格设置成功！\"}"))
      << state;
  EXPECT_TRUE(has(demo_->get("/demo/"), "地区库存与级别价格"));
}

TEST_F(PricingDemo, WrongPurchasePricesAndMissingLevelPricesAreRefusedWithTheFormAgain) {
  auto r = session_->post("/SelfProduct/ProductPrice.aspx?PID=1", std::string("txtPurchase=abc&") + kPrices);
  EXPECT_EQ(alert_of(r->body), "请输入正确的进价！");
  EXPECT_TRUE(has(r->body, "id=\"txtPurchase\""));
  EXPECT_FALSE(has(r->body, "getElementById('dialogMask')"));
  r = session_->post("/SelfProduct/ProductPrice.aspx?PID=1", "txtPurchase=10&LevelPrice1=1");
  EXPECT_EQ(alert_of(r->body), "请先设置级别价格！");
  r = session_->post("/SelfProduct/ProductPrice.aspx?PID=1", std::string("txtPurchase=") + std::string(500, '9') + "&" + kPrices);
  EXPECT_EQ(alert_of(r->body), "价格设置成功！");
  const std::string state = demo_->get("/demo/state.json");
  EXPECT_TRUE(has(state, "\"txtPurchase\": \"" + std::string(64, '9') + "\""));
  EXPECT_FALSE(has(state, std::string(65, '9')));
  EXPECT_EQ(session_->post("/SelfProduct/ProductPrice.aspx?PID=1", "txtPurchase=%G0")->status, 400);
}

}  // namespace
