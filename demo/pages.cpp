#include "pages.h"

#include "util.h"

namespace demo {

const std::vector<std::string>& sections() {
  static const std::vector<std::string> s = {"网吧售卡中心", "经销商系统", "供货商系统", "一卡通代理"};
  return s;
}

const std::vector<MenuEntry>& menu_entries() {
  static const std::vector<MenuEntry> m = {
      {0, "查看商品目录", "/Catalog/ProductCatalog.aspx"},
      {0, "销售记录查询", "/Sale/SaleRecord.aspx"},
      {0, "账户资金明细", "/Account/FundDetail.aspx"},
      {1, "下级客户档案管理", "/SubCustomerList.aspx"},
      {1, "下级销售提成明细", "/Agent/CommissionDetail.aspx"},
      {2, "发布供货商品", "/SelfProduct/SelfProductAdd.aspx"},
      {2, "供货商品管理", "/SelfProduct/SelfProductList.aspx"},
      {2, "直充商品库存管理", "/SelfProduct/DirectStock.aspx"},
      {2, "卡密商品库存管理", "/SelfProduct/SelfProductInventory.aspx"},
      {2, "供货收入转至余额", "/SelfProduct/IncomeToBalance.aspx"},
      {2, "投诉处理", "/SelfProduct/ComplaintList.aspx"},
      {2, "手工订单列表", "/SelfProduct/ManualOrderList.aspx"},
      {3, "一卡通明细查询", "/Card/CardDetail.aspx"},
  };
  return m;
}

std::string alert_script(const std::string& message) {
  if (message.empty()) return {};
  return "alert(" + json_escape(message) + ");";
}

namespace {

const char* kStyle =
    "body{font:13px/1.6 'Noto Sans CJK SC',sans-serif;margin:0;background:#f3f5f8;color:#222}"
    "#top{background:#1d4f91;color:#fff;padding:6px 12px}"
    "#top a{color:#fff;margin-right:18px;text-decoration:none;font-weight:bold}"
    "#top a.cur{color:#ffd34d}"
    "#menu{float:left;width:170px;background:#fff;border-right:1px solid #ccd;min-height:600px;padding:8px}"
    "#menu b{display:block;margin-top:8px;color:#1d4f91}"
    "#menu a{display:block;color:#333;padding:1px 0 1px 10px}"
    "#main{margin-left:200px;padding:12px}"
    ".box{background:#fff;border:1px solid #ccd;padding:12px;margin-bottom:12px}"
    "table.grid{border-collapse:collapse}table.grid td,table.grid th{border:1px solid #ccd;padding:3px 6px;"
    "vertical-align:top;text-align:left}"
    ".yue{color:#c00;font-weight:bold}.note{color:#666}"
    "pre{white-space:pre-wrap;margin:0}";

const char* kDefaultViewState = "/wEPDwUKMTY3NzE5MjIyMGRkZGVtb2JhY2tvZmZpY2U=";

const char* kViewStateHead =
    "<div><input type=\"hidden\" name=\"__EVENTTARGET\" id=\"__EVENTTARGET\" value=\"\" />"
    "<input type=\"hidden\" name=\"__EVENTARGUMENT\" id=\"__EVENTARGUMENT\" value=\"\" />"
    "<input type=\"hidden\" name=\"__VIEWSTATE\" id=\"__VIEWSTATE\" value=\"";

const char* kViewStateTail =
    "\" /></div>\n"
    "<script type=\"text/javascript\">\n"
    "var theForm = document.forms['form1'];\n"
    "function __doPostBack(eventTarget, eventArgument) {\n"
    "  if (!theForm.onsubmit || (theForm.onsubmit() != false)) {\n"
    "    theForm.__EVENTTARGET.value = eventTarget;\n"
    "    theForm.__EVENTARGUMENT.value = eventArgument;\n"
    "    theForm.submit();\n"
    "  }\n"
    "}\n"
    "</script>\n"
    "<div><input type=\"hidden\" name=\"__EVENTVALIDATION\" id=\"__EVENTVALIDATION\" "
    "value=\"";

std::string radio(const std::string& name, int index, const std::string& value, const std::string& label,
                  bool checked) {
  std::string id = name + "_" + std::to_string(index);
  return "<input id=\"" + id + "\" type=\"radio\" name=\"" + name + "\" value=\"" + value + "\"" +
         (checked ? " checked=\"checked\"" : "") + " /><label for=\"" + id + "\">" + label + "</label>";
}

const std::vector<std::string>& catalog_notes() {
  static const std::vector<std::string> notes = [] {
    std::vector<std::string> n = {
        "目录说明：",
        "1. 每个商品可同时勾选多个目录。",
        "2. 目录决定商品在前台的分类位置。",
        "3. 点卡类商品请选择对应的游戏目录。",
        "4. 话费类商品请选择运营商目录。",
        "5. 会员类商品请选择对应的会员目录。",
        "6. 找不到合适的目录时请选择“其他卡类”。",
        "7. 目录勾选后可在“供货商品管理”中修改。",
        "8. 本页的复选框按页面顺序编号：第1个复选框是“粗体”(chkTitleBold)。",
        "9. 第2个起依次是上面的目录：目录第n项是本页第n+1个复选框。",
        "10. 目录复选框的值(value)是目录编号，如“" + catalog().front().name + "”为" + catalog().front().id +
            "。",
        "11. 目录共" + std::to_string(catalog().size()) + "项，编号" + catalog().front().id + "至" +
            catalog().back().id + "。",
        "12. 销售范围、面值等其余项目在下方填写。",
        "13. 带*号的项目为必填项。",
        "14. 提交后页面提示“商品发布成功！”并回到空白的发布表单。",
    };
    return n;
  }();
  return notes;
}

}  // namespace

std::string viewstate_fields(const std::string& viewstate, const std::string& event_validation) {
  return kViewStateHead + html_escape(viewstate) + kViewStateTail + html_escape(event_validation) +
         "\" /></div>\n";
}

std::string server_error_page(const std::string& message, const std::string& exception) {
  std::string b = "<div style=\"font-family:Verdana,sans-serif;padding:12px\">";
  b += "<h1 style=\"color:#c00;font-weight:normal\">“/”应用程序中的服务器错误。</h1>";
  b += "<h2><i>" + html_escape(message) + "</i></h2>";
  b += "<p><b>说明:</b> 执行当前 Web 请求期间，出现未经处理的异常。请检查堆栈跟踪信息，以了解有关该错误以及代码中导致错误的出处的详细信息。</p>";
  b += "<p><b>异常详细信息:</b> " + html_escape(exception) + ": " + html_escape(message) + "</p>";
  b += "<hr /><p class=\"note\">版本信息: Microsoft .NET Framework 版本:4.0.30319; ASP.NET 版本:4.0.30319.42000</p></div>";
  return page(message, b);
}

std::vector<std::string> catalog_table_lines() {
  std::vector<std::string> lines = {"*商品目录：", "请勾选商品所属目录（可多选）"};
  for (const auto& e : catalog()) lines.push_back(e.name);
  for (const auto& n : catalog_notes()) lines.push_back(n);
  return lines;
}

std::string page(const std::string& title, const std::string& body, const std::string& tail_script) {
  std::string h =
      "<!DOCTYPE html>\n<html>\n<head>\n"
      "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\" />\n"
      "<title>" + html_escape(title) + "</title>\n<style>" + kStyle + "</style>\n</head>\n<body>\n" + body;
  if (!tail_script.empty()) h += "\n<script type=\"text/javascript\">" + tail_script + "</script>";
  h += "\n</body>\n</html>\n";
  return h;
}

std::string login_page(int theme, const std::string& message) {
  const std::string t = "Theme" + std::to_string(theme);
  static const char* colours[] = {"#1d4f91", "#2e7d32", "#8e2424", "#5b3c88"};
  std::string b;
  b += "<div class=\"box\" style=\"width:360px;margin:60px auto;border-top:4px solid " +
       std::string(colours[(theme - 1) & 3]) + "\">\n";
  b += "<h2>供货商后台登录</h2>\n";
  b += "<form name=\"form1\" method=\"post\" action=\"Login.aspx\" id=\"form1\" "
       "onsubmit=\"window.__submitting = true;\">\n";
  b += viewstate_fields(kDefaultViewState);
  b += "<p><label for=\"UserName\">用户名：</label><input name=\"UserName\" type=\"text\" id=\"UserName\" "
       "maxlength=\"50\" /></p>\n";
  b += "<p><label for=\"Password2\">密　码：</label><input name=\"Password2\" type=\"password\" "
       "id=\"Password2\" maxlength=\"50\" /></p>\n";
  b += "<p><label for=\"" + t + "_txtCheckCode\">验证码：</label><input name=\"" + t +
       "$txtCheckCode\" type=\"text\" maxlength=\"4\" id=\"" + t + "_txtCheckCode\" size=\"6\" /> ";
  b += "<img id=\"" + t + "_imgCheckCode\" src=\"/Handler.ashx\" alt=\"验证码\" title=\"看不清？点击换一张\" "
       "style=\"cursor:pointer;vertical-align:middle\" "
       "onclick=\"this.src='/Handler.ashx?'+Math.random()\" /></p>\n";
  // The theme's login button submits; "inside" is the second login button some
  // platforms show. It posts back too, unless a submission is already on its way.
  b += "<p><input type=\"submit\" name=\"" + t + "$btnLogin\" value=\"登 录\" id=\"" + t + "_btnLogin\" /> ";
  b += "<input type=\"button\" name=\"inside\" value=\"内部登录\" id=\"inside\" "
       "onclick=\"if (!window.__submitting) { __doPostBack('inside', ''); }\" /></p>\n";
  b += "</form>\n";
  b += "<p class=\"note\">演示后台，主题 " + std::to_string(theme) +
       "。<a href=\"/maker/help.htm\">使用帮助</a></p>\n</div>\n";
  return page("供货商后台登录", b, alert_script(message));
}

std::string backoffice_page(const std::string& title, const std::string& content, const std::string& message) {
  std::string b = "<div id=\"top\">";
  for (size_t i = 0; i < sections().size(); ++i)
    b += "<a href=\"/Index.aspx?tab=" + std::to_string(i) + "\">" + sections()[i] + "</a>";
  b += "<span style=\"float:right\"><a href=\"/Logout.aspx\">退出</a></span></div>\n<div id=\"menu\">";
  for (size_t s = 0; s < sections().size(); ++s) {
    b += "<b>" + sections()[s] + "</b>";
    for (const auto& m : menu_entries())
      if (m.section == static_cast<int>(s)) b += "<a href=\"" + m.path + "\">" + m.text + "</a>";
  }
  b += "</div>\n<div id=\"main\">\n" + content + "\n</div>";
  return page(title, b, alert_script(message));
}

std::string index_content(const Account& a, int section) {
  std::string c = "<div class=\"box\">\n";
  c += "<p>欢迎您，<span id=\"lblUserName\">" + html_escape(a.user) + "</span></p>\n";
  c += "<table class=\"grid\"><tr><td>编 号：" + html_escape(a.number) + "</td><td>级 别：" +
       html_escape(a.level) + "</td><td>余 额：<span id=\"Balance\" class=\"yue\">" + html_escape(a.balance) +
       "</span> 元</td></tr></table>\n</div>\n";
  if (section >= 0 && section < static_cast<int>(sections().size())) {
    c += "<div class=\"box\"><h2 id=\"pageTitle\">" + sections()[section] + "</h2><p>";
    for (const auto& m : menu_entries())
      if (m.section == section) c += "· " + m.text + "　";
    c += "</p></div>\n";
  } else {
    c += "<div class=\"box\"><h2 id=\"pageTitle\">后台首页</h2><p>请从左侧菜单选择功能。</p></div>\n";
  }
  return c;
}

std::string menu_page_content(const std::string& title) {
  return "<div class=\"box\"><h2 id=\"pageTitle\">" + html_escape(title) +
         "</h2><p>演示后台的“" + html_escape(title) + "”页面。</p></div>";
}

std::string add_form_content() {
  std::string c = "<div class=\"box\">\n<h2 id=\"pageTitle\">发布供货商品</h2>\n";
  c += "<form name=\"form1\" method=\"post\" action=\"SelfProductAdd.aspx\" id=\"form1\">\n";
  c += viewstate_fields(kDefaultViewState);
  // Title, colour and bold come first and outside any table: the catalogue
  // table below must be the page's first table, and chkTitleBold its first
  // check box, so check box n (n >= 2) is catalogue entry n - 1.
  c += "<p><label for=\"ProductName\">*商品名称：</label><input name=\"ProductName\" type=\"text\" "
       "id=\"ProductName\" size=\"50\" /> ";
  c += "<label for=\"TitleColor\">商品颜色：</label><input name=\"TitleColor\" type=\"text\" id=\"TitleColor\" "
       "size=\"8\" value=\"\" /> ";
  c += "<input id=\"chkTitleBold\" type=\"checkbox\" name=\"chkTitleBold\" checked=\"checked\" />"
       "<label for=\"chkTitleBold\">粗体</label></p>\n";
  c += "<table id=\"tblCatalog\" class=\"grid\">\n";
  std::vector<std::string> lines = catalog_table_lines();
  c += "<tr><th>" + lines[0] + "</th></tr>\n<tr><td class=\"note\">" + lines[1] + "</td></tr>\n";
  const auto& cat = catalog();
  for (size_t i = 0; i < cat.size(); ++i) {
    std::string id = "cblCatalog_" + std::to_string(i);
    c += "<tr><td><input id=\"" + id + "\" type=\"checkbox\" name=\"cblCatalog$" + std::to_string(i) +
         "\" value=\"" + cat[i].id + "\" /><label for=\"" + id + "\">" + cat[i].name + "</label></td></tr>\n";
  }
  for (size_t i = 2 + cat.size(); i < lines.size(); ++i)
    c += "<tr><td class=\"note\">" + html_escape(lines[i]) + "</td></tr>\n";
  c += "</table>\n";

  c += "<table class=\"grid\" id=\"tblFields\">\n";
  c += "<tr><td>*销售范围：</td><td><span id=\"radlSalesBound\">" +
       radio("radlSalesBound", 0, "0", "面向下级客户", true) +
       radio("radlSalesBound", 1, "1", "面向所有客户(需审核)", false) + "</span></td></tr>\n";
  c += "<tr><td>数量单位名称：</td><td><input name=\"ProductUnit\" type=\"text\" id=\"ProductUnit\" /></td></tr>\n";
  c += "<tr><td>*商品面值：</td><td><input name=\"Parvalue\" type=\"text\" id=\"Parvalue\" /></td></tr>\n";
  c += "<tr><td>有效售后天数：</td><td><input name=\"txtValidDate\" type=\"text\" id=\"txtValidDate\" size=\"6\" />"
       " 天 0-1000之间 0表示无限制，部分退单以此计算退款金额。</td></tr>\n";
  c += "<tr><td>是否允许销售：</td><td><span id=\"Status\">" + radio("Status", 0, "0", "销售状态", true) +
       radio("Status", 1, "1", "暂停状态", false) + radio("Status", 2, "2", "禁售状态", false) +
       "</span></td></tr>\n";
  c += "<tr><td>商品简介：</td><td><textarea name=\"Introduct\" id=\"Introduct\" rows=\"5\" cols=\"60\">"
       "</textarea></td></tr>\n";
  c += "<tr><td>注意事项：</td><td><textarea name=\"ProductNotice\" id=\"ProductNotice\" rows=\"5\" cols=\"60\">"
       "</textarea></td></tr>\n";
  c += "<tr><td>计费方式：</td><td><input name=\"ChargeWay\" type=\"text\" id=\"ChargeWay\" /></td></tr>\n";
  c += "<tr><td>充值网址：</td><td><input name=\"SavingUrl\" type=\"text\" id=\"SavingUrl\" size=\"50\" /></td></tr>\n";
  c += "<tr><td>客服联系方式：</td><td><input name=\"ProductService\" type=\"text\" id=\"ProductService\" "
       "size=\"50\" /></td></tr>\n";
  c += "<tr><td>商品图片上传：</td><td class=\"note\">暂不支持</td></tr>\n";
  c += "<tr><td></td><td><input type=\"submit\" name=\"btnSubmit\" value=\"发布商品\" id=\"btnSubmit\" />"
       "</td></tr>\n</table>\n</form>\n</div>";
  return c;
}

std::string products_page(const std::vector<Product>& products) {
  std::string b = "<div class=\"box\"><h2>演示后台现有商品（" + std::to_string(products.size()) +
                  "个）</h2><p><a href=\"/demo/state.json\">state.json</a> · <a href=\"/demo/\">演示页面</a></p>\n";
  b += "<table class=\"grid\"><tr><th>编号</th><th>商品名称</th><th>目录</th><th>销售范围</th><th>单位</th>"
       "<th>面值</th><th>售后天数</th><th>状态</th><th>颜色</th><th>粗体</th><th>简介</th><th>注意事项</th>"
       "<th>计费方式</th><th>充值网址</th><th>客服联系方式</th></tr>\n";
  auto cell = [](const std::string& s) { return "<td><pre>" + html_escape(s) + "</pre></td>"; };
  for (const auto& p : products) {
    std::string cats;
    for (const auto& id : p.catalog_ids) {
      std::string name;
      for (const auto& e : catalog())
        if (e.id == id) name = e.name;
      cats += (cats.empty() ? "" : "\n") + id + (name.empty() ? "" : " " + name);
    }
    std::string sales = p.sales_bound == "0" ? "0 面向下级客户" : p.sales_bound == "1" ? "1 面向所有客户" : p.sales_bound;
    std::string status = p.status == "0"   ? "0 销售"
                         : p.status == "1" ? "1 暂停"
                         : p.status == "2" ? "2 禁售"
                                           : p.status;
    b += "<tr>" + cell(std::to_string(p.id)) + cell(p.name) + cell(cats) + cell(sales) + cell(p.unit) +
         cell(p.parvalue) + cell(p.valid_date) + cell(status) + "<td><pre style=\"color:" +
         html_escape(p.title_color) + "\">" + html_escape(p.title_color) + "</pre></td>" + cell(p.bold ? "是" : "否") +
         cell(p.introduct) + cell(p.notice) + cell(p.charge_way) + cell(p.saving_url) + cell(p.service) + "</tr>\n";
  }
  b += "</table></div>";
  return page("演示后台商品", b);
}

std::string message_page(const std::string& title, const std::string& text) {
  return page(title, "<div class=\"box\"><h2>" + html_escape(title) + "</h2><p>" + html_escape(text) +
                         "</p><p><a href=\"/\">返回登录页</a></p></div>");
}

std::string notice_page(const std::string& title, const std::string& link) {
  return "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=gbk\" />"
         "<title>公告</title></head><body>\n[友情标题1]" +
         title + "[/友情标题1]\n[友情1]" + link + "[/友情1]\n</body></html>\n";
}

std::string maker_home_page() {
  return page("卡盟助手", "<div class=\"box\"><h2>卡盟助手</h2><p>欢迎使用卡盟助手。</p><ul>"
                          "<li><a href=\"/maker/letter.htm\">致所有在网络上奋斗的年轻人的一封信</a></li>"
                          "<li><a href=\"/maker/help.htm\">相关教程</a></li>"
                          "<li><a href=\"/maker/feedback.htm\">意见反馈</a></li>"
                          "<li><a href=\"/\">演示后台登录</a></li></ul></div>");
}

std::string maker_letter_page() {
  return page("致所有在网络上奋斗的年轻人的一封信",
              "<div class=\"box\"><h2>致所有在网络上奋斗的年轻人的一封信</h2>"
              "<p>每一个在网络上奋斗的年轻人：你们的每一份努力都不会白费。</p>"
              "<p>坚持下去，认真对待每一位客户，踏实做好每一件小事。</p>"
              "<p><a href=\"/maker/index.htm\">返回首页</a></p></div>");
}

std::string maker_help_page(const std::string& user, const std::string& password, int theme,
                            const std::string& fixed_captcha) {
  std::string b = "<div class=\"box\"><h2>相关教程</h2>";
  b += "<p>演示后台的帐号：<b>" + html_escape(user) + "</b>，密码：<b>" + html_escape(password) + "</b>。</p>";
  b += "<p>验证码为4位数字" +
       (fixed_captcha.empty() ? std::string("，每次刷新图片都会变。") : "，本次固定为 " + html_escape(fixed_captcha) + "。") +
       "</p>";
  b += "<p>登录页使用主题 " + std::to_string(theme) + "（验证码框 Theme" + std::to_string(theme) +
       "$txtCheckCode）。</p>";
  b += "<p>发布商品页：/SelfProduct/SelfProductAdd.aspx；第1个复选框是“粗体”，第2个起是商品目录。</p>";
  b += "<p>已发布的商品见 <a href=\"/demo/products\">/demo/products</a>。</p>";
  b += "<p><a href=\"/maker/index.htm\">返回首页</a></p></div>";
  return page("相关教程", b);
}

std::string maker_feedback_page(const std::string& message) {
  return page("意见反馈",
              "<div class=\"box\"><h2>意见反馈</h2><form method=\"post\" action=\"feedback.htm\">"
              "<textarea name=\"content\" id=\"content\" rows=\"6\" cols=\"60\"></textarea><br />"
              "<input type=\"submit\" name=\"submit\" id=\"submit\" value=\"提交\" /></form>"
              "<p><a href=\"/maker/index.htm\">返回首页</a></p></div>",
              alert_script(message));
}

std::string demo_index_page(const std::string& sections) {
  return page("演示后台", "<div class=\"box\"><h2>演示后台</h2><ul>"
                          "<li><a href=\"/\">登录页</a></li>"
                          "<li><a href=\"/demo/products\">现有商品</a></li>"
                          "<li><a href=\"/demo/state.json\">state.json</a></li>"
                          "<li><a href=\"/maker/index.htm\">卡盟助手主页</a></li></ul></div>\n" +
                              sections);
}

}  // namespace demo
