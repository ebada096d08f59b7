// The demo's complaint and manual-order families through plain HTTP: lists, post-backs
// with their view state, message boxes, what the state JSON records, arrivals over time.

#include <gtest/gtest.h>
#include <httplib.h>

#include <regex>
#include <thread>

#include "demo_client.h"

namespace {

using demotest::all;
using demotest::Browser;
using testsupport::DemoProcess;
using demotest::count;
using demotest::enc;
using demotest::view_state;

class Customers : public demotest::ServerSuite {
 protected:
  static void SetUpTestSuite() {
    start_demo({"--captcha", "1234", "--complaints", "2", "--orders", "3", "--order-every", "0"});
  }
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(ServerSuite::SetUp());
    client_ = std::make_unique<Browser>(demo_->port());
    ASSERT_TRUE(client_->login());
  }
  std::unique_ptr<Browser> client_;
};

TEST_F(Customers, PagesNeedTheLogin) {
  Browser anon(demo_->port());
  for (const char* path : {"/SelfProduct/ComplaintList.aspx", "/SelfProduct/OnlineServiceTreat.aspx?ID=1001",
                           "/SelfProduct/ManualOrderList.aspx", "/SelfProduct/SaleOrderDetail.aspx?OrderNO=x"})
    EXPECT_EQ(anon.get(path)->status, 302) << path;
  EXPECT_EQ(anon.post("/SelfProduct/ManualOrderList.aspx", "__EVENTTARGET=Manual")->status, 302);
}

TEST_F(Customers, TheComplaintListLinksEveryOpenComplaintAndATreatedOneLeavesIt) {
  std::string list = client_->get("/SelfProduct/ComplaintList.aspx")->body;
  EXPECT_EQ(all(list, "href=\"(OnlineServiceTreat[^\"]*)\""),
            (std::vector<std::string>{"OnlineServiceTreat.aspx?ID=1001", "OnlineServiceTreat.aspx?ID=1002"}));
  const std::string page = client_->get("/SelfProduct/OnlineServiceTreat.aspx?ID=1001")->body;
  for (const char* id : {"CustomerID", "ComplaintDate", "ComplaintTitle", "SaleOrderNO", "Complaint"})
    EXPECT_EQ(count(page, std::string("<span id=\"") + id + "\">"), 1) << id;
  for (const char* id : {"TreatStatus_0", "TreatStatus_1", "TreatStatus_2", "ReplayContent", "treat_btn"})
    EXPECT_NE(page.find(std::string("id=\"") + id + "\""), std::string::npos) << id;
  const auto src = all(page, "src:'([^']*)'\\}");
  ASSERT_EQ(src.size(), 1u);
  EXPECT_EQ(src[0].rfind("SelfProduct/SaleOrderDetail.aspx?OrderNO=", 0), 0u);
  EXPECT_NE(client_->get("/" + src[0])->body.find("id=\"lblOrderNO\""), std::string::npos);

  // "处理中" keeps it on the list, "已处理" takes it off; both are recorded with the reply.
  const std::string vs = enc(view_state(page));
  auto r = client_->post("/SelfProduct/OnlineServiceTreat.aspx?ID=1001",
                         "__VIEWSTATE=" + vs + "&TreatStatus=1&ReplayContent=" + enc("稍等") + "&treat_btn=x");
  EXPECT_NE(r->body.find("alert(\"处理成功！\")"), std::string::npos);
  EXPECT_EQ(count(client_->get("/SelfProduct/ComplaintList.aspx")->body, "OnlineServiceTreat"), 2);
  r = client_->post("/SelfProduct/OnlineServiceTreat.aspx?ID=1001",
                    "__VIEWSTATE=" + vs + "&TreatStatus=2&ReplayContent=" + enc("已补发\r\n第二行") + "&treat_btn=x");
  EXPECT_NE(r->body.find("alert(\"处理成功！\")"), std::string::npos);
  list = client_->get("/SelfProduct/ComplaintList.aspx")->body;
  EXPECT_EQ(all(list, "href=\"(OnlineServiceTreat[^\"]*)\""),
            (std::vector<std::string>{"OnlineServiceTreat.aspx?ID=1002"}));
  const std::string json = demo_->get("/demo/state.json");
  EXPECT_NE(json.find("\"status\": \"1\", \"reply\": \"稍等\""), std::string::npos) << json;
  EXPECT_NE(json.find("\"status\": \"2\", \"reply\": \"已补发\\r\\n第二行\""), std::string::npos) << json;
  EXPECT_NE(demo_->get("/demo/").find("已补发"), std::string::npos);
}

TEST_F(Customers, BadComplaintPostsAreRefusedWithoutRecording) {
  const std::string vs = enc(view_state(client_->get("/SelfProduct/OnlineServiceTreat.aspx?ID=1002")->body));
  auto r = client_->post("/SelfProduct/OnlineServiceTreat.aspx?ID=1002",
                         "__VIEWSTATE=" + vs + "&TreatStatus=2&ReplayContent=+&treat_btn=x");
  EXPECT_NE(r->body.find("alert(\"请填写回复内容！\")"), std::string::npos);
  r = client_->post("/SelfProduct/OnlineServiceTreat.aspx?ID=1002", "__VIEWSTATE=x&TreatStatus=2&ReplayContent=a&treat_btn=x");
  EXPECT_EQ(r->status, 500);
  r = client_->post("/SelfProduct/OnlineServiceTreat.aspx?ID=77", "__VIEWSTATE=" + vs + "&TreatStatus=2&ReplayContent=a&treat_btn=x");
  EXPECT_EQ(r->status, 404);
  EXPECT_EQ(client_->get("/SelfProduct/OnlineServiceTreat.aspx?ID=77")->status, 404);
  EXPECT_EQ(demo_->get("/demo/state.json").find("\"reply\""), std::string::npos);
}

TEST_F(Customers, ComplaintsAddedForTestsIncludingOneWhosePageStalls) {
  demo_->post("/demo/complaints/add", "count=2&customer=c9&text=" + enc("很长的投诉"));
  demo_->post("/demo/complaints/add", "hang=1");
  const std::string list = client_->get("/SelfProduct/ComplaintList.aspx")->body;
  EXPECT_EQ(count(list, "OnlineServiceTreat"), 5);
  EXPECT_NE(client_->get("/SelfProduct/OnlineServiceTreat.aspx?ID=1003")->body.find(">很长的投诉</span>"),
            std::string::npos);
  // The stalled page sends its start (the spans) and never its form's end.
  const std::string start = client_->partial("/SelfProduct/OnlineServiceTreat.aspx?ID=1005", 1);
  EXPECT_NE(start.find("<span id=\"CustomerID\">"), std::string::npos);
  EXPECT_NE(start.find("<span id=\"Complaint\">"), std::string::npos);
  EXPECT_EQ(start.find("treat_btn"), std::string::npos);
  EXPECT_EQ(start.find("</html>"), std::string::npos);
}

TEST_F(Customers, TheManualListPostsBackAndTheBatchFormRecordsTheTickedOrders) {
  std::string list = client_->get("/SelfProduct/ManualOrderList.aspx")->body;
  EXPECT_NE(list.find("id=\"Manual\" href=\"javascript:__doPostBack('Manual','')\""), std::string::npos);
  EXPECT_NE(list.find("id=\"btnBatch\""), std::string::npos);
  EXPECT_EQ(count(list, "type=\"checkbox\""), 3);
  const std::string vs = enc(view_state(list));
  // Manual: the list again.
  auto r = client_->post("/SelfProduct/ManualOrderList.aspx", "__VIEWSTATE=" + vs + "&__EVENTTARGET=Manual");
  EXPECT_EQ(count(r->body, "type=\"checkbox\""), 3);
  // Nothing ticked: the platform refuses.
  r = client_->post("/SelfProduct/ManualOrderList.aspx", "__VIEWSTATE=" + vs + "&__EVENTTARGET=btnBatch");
  EXPECT_NE(r->body.find("alert(\"请先选择要处理的订单！\")"), std::string::npos);
  // Two ticked: the batch form carries them in its view state.
  r = client_->post("/SelfProduct/ManualOrderList.aspx", "__VIEWSTATE=" + vs +
                        "&__EVENTTARGET=btnBatch&gvOrders%24ctl02%24chkSelect=M20240001&gvOrders%24ctl04%24chkSelect=M20240003");
  for (const char* id : {"RadioButton1", "RadioButton2", "RadioButton3", "txtMsg", "BtnCheck"})
    EXPECT_NE(r->body.find(std::string("id=\"") + id + "\""), std::string::npos) << id;
  EXPECT_EQ(r->body.find("checked"), std::string::npos);
  const std::string batch_vs = enc(view_state(r->body));
  r = client_->post("/SelfProduct/ManualOrderList.aspx", "__VIEWSTATE=" + batch_vs + "&txtMsg=x&BtnCheck=y");
  EXPECT_NE(r->body.find("alert(\"请选择处理状态！\")"), std::string::npos);
  r = client_->post("/SelfProduct/ManualOrderList.aspx",
                    "__VIEWSTATE=" + batch_vs + "&Status=RadioButton1&txtMsg=" + enc("已到账") + "&BtnCheck=y");
  EXPECT_NE(r->body.find("alert(\"批量处理成功！共处理2个订单。\")"), std::string::npos);
  // Succeeded orders leave the list.
  EXPECT_EQ(count(r->body, "type=\"checkbox\""), 1);
  const std::string json = demo_->get("/demo/state.json");
  EXPECT_NE(json.find("\"orders\": [\"M20240001\", \"M20240003\"], \"radio\": \"RadioButton1\", \"status\": \"充值成功\", "
                      "\"message\": \"已到账\""),
            std::string::npos)
      << json;
  EXPECT_NE(json.find("\"order_batch_refusals\": 2"), std::string::npos);
  EXPECT_NE(json.find("\"order_manual_reloads\": 1"), std::string::npos);  // only the Manual post-back
  // A forged view state is an error page, nothing recorded.
  r = client_->post("/SelfProduct/ManualOrderList.aspx", "__VIEWSTATE=%21%21&Status=RadioButton3&BtnCheck=y");
  EXPECT_EQ(r->status, 500);
}

TEST_F(Customers, ProcessingOrdersStayListedAndTickedOnesShowTicked) {
  demo_->post("/demo/orders/add", "count=2&ticked=1");
  std::string list = client_->get("/SelfProduct/ManualOrderList.aspx")->body;
  EXPECT_EQ(count(list, "type=\"checkbox\""), 5);
  EXPECT_EQ(count(list, "checked=\"checked\""), 2);
  const std::string vs = enc(view_state(list));
  auto r = client_->post("/SelfProduct/ManualOrderList.aspx",
                         "__VIEWSTATE=" + vs + "&__EVENTTARGET=btnBatch&gvOrders%24ctl02%24chkSelect=M20240001");
  r = client_->post("/SelfProduct/ManualOrderList.aspx",
                    "__VIEWSTATE=" + enc(view_state(r->body)) + "&Status=RadioButton2&txtMsg=wait&BtnCheck=y");
  EXPECT_EQ(count(r->body, "type=\"checkbox\""), 5);
  EXPECT_NE(r->body.find("处理中"), std::string::npos);
}

TEST(CustomersArrivals, NewOrdersArriveAtTheGivenRate) {
  DemoProcess d;
  ASSERT_TRUE(d.start({"--captcha", "1234", "--orders", "0", "--order-every", "100"}));
  std::this_thread::sleep_for(std::chrono::milliseconds(550));
  const std::string json = d.get("/demo/state.json");
  const int orders = count(json, "\"no\": \"M");
  EXPECT_GE(orders, 4);
  EXPECT_LE(orders, 7);
  DemoProcess none;
  ASSERT_TRUE(none.start({"--orders", "0", "--order-every", "0", "--complaints", "0"}));
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_NE(none.get("/demo/state.json").find("\"orders\": []"), std::string::npos);
  EXPECT_NE(none.get("/demo/state.json").find("\"complaints\": []"), std::string::npos);
}

TEST(CustomersArrivals, BadOptionsAreRefused) {
  for (std::vector<std::string> args : {std::vector<std::string>{"--orders", "-1"}, {"--complaints", "x"},
                                        {"--order-every", "99999999999"}}) {
    DemoProcess d;
    EXPECT_FALSE(d.start(args)) << args[0];
  }
}

}  // namespace
