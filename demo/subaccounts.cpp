// The sub-customer list with its "新建下级" registration form.
//
// The form shows on the list page when "新建下级" is clicked (no round trip) and posts
// back to the list. Platforms whose "新建下级" is a server-side link button post back for
// it instead and answer with the list page that holds the form (--subaccount-form
// postback, or POST /demo/subaccounts form=postback). Its two trade-password fields
// imitate the platform's security control: they are no input elements, they take typed
// keys only, and the page copies what was typed into hidden fields when the form is sent.
// The platform allows 10 registrations per 10 minutes per session and answers an 11th
// with a message box.

#include <chrono>
#include <deque>
#include <map>
#include <mutex>

#include "backoffice.h"
#include "pages.h"

namespace demo {
namespace {

// The form's __VIEWSTATE (the pages keep nothing in it).
constexpr const char* kViewState = "/wEPDwUKMTI4NTk2MzQ1OWRkc3ViY3VzdG9tZXJz";

using Clock = std::chrono::steady_clock;

constexpr int kLimit = 10;
constexpr auto kLimitWindow = std::chrono::minutes(10);

constexpr const char* kTitle = "下级客户档案管理";
constexpr const char* kOk = "注册成功！";
constexpr const char* kLimitMessage = "注册过于频繁：每10分钟最多只能注册10个下级，请10分钟后再试！";

// The form's fields in the order the page lists them (and their tab order).
struct Field {
  const char* id;
  const char* label;
  bool required;
  bool trade;  // security-control field
};
const Field kFields[] = {
    {"CustomerName", "*账户用户名：", true, false},
    {"Password", "*登录密码：", true, false},
    {"CheckPassword", "*确认登录密码：", true, false},
    {"TradePassword", "*交易密码：", true, true},
    {"CheckTradePassword", "*确认交易密码：", true, true},
    {"ContactName", "*联系人姓名：", true, false},
    {"IdentityCard", "*身份证号：", true, false},
    {"ComanyName", "*公司或单位：", true, false},
    {"Mobile", "*手机号码：", true, false},
    {"QQ", "*联系QQ：", true, false},
    {"Phone", "联系电话：", false, false},
    {"Email", "电子信箱：", false, false},
    {"Address", "联系地址：", false, false},
};

struct Attempt {
  int seq = 0;
  std::string parent;  // the logged-in supplier
  std::map<std::string, std::string> values;  // field id -> value (trade fields: what was typed)
  bool accepted = false;
  std::string answer;  // the message box text
};

// Tab order of the form: six stops before the trade password (name, its check button,
// both login passwords, level and group), then the two trade-password fields.
int tab_index(const std::string& id) {
  static const std::map<std::string, int> order = {
      {"CustomerName", 1},   {"btnCheckName", 2}, {"Password", 3},      {"CheckPassword", 4},
      {"ddlLevel", 5},       {"ddlGroup", 6},     {"TradePassword", 7}, {"CheckTradePassword", 8},
      {"ContactName", 9},    {"IdentityCard", 10}, {"ComanyName", 11},  {"Mobile", 12},
      {"QQ", 13},            {"Phone", 14},       {"Email", 15},        {"Address", 16},
      {"Sumit", 17},
  };
  auto it = order.find(id);
  return it == order.end() ? 0 : it->second;
}

const char* kScript =
    "var pwd = {TradePassword: '', CheckTradePassword: ''};\n"
    "function showPwd(id) { document.getElementById(id).textContent = pwd[id].replace(/./g, '\\u25cf'); }\n"
    "function pwdKey(e) {\n"
    "  var id = this.id;\n"
    "  if (e.key === 'Tab') return;\n"
    "  if (e.key === 'Backspace') { pwd[id] = pwd[id].slice(0, -1); }\n"
    "  else if (e.key && e.key.length === 1 && /[0-9A-Za-z]/.test(e.key)) { pwd[id] += e.key; }\n"
    "  else return;\n"
    "  e.preventDefault(); showPwd(id);\n"
    "}\n"
    "function showAdd() {\n"
    "  var f = document.getElementById('form1');\n"
    "  f.reset();\n"
    "  pwd.TradePassword = ''; pwd.CheckTradePassword = '';\n"
    "  showPwd('TradePassword'); showPwd('CheckTradePassword');\n"
    "  document.getElementById('pnlAdd').style.display = '';\n"
    "  return false;\n"
    "}\n"
    "function sendPwd() {\n"
    "  ['TradePassword', 'CheckTradePassword'].forEach(function (id) {\n"
    "    var h = document.getElementById('hid' + id);\n"
    "    if (h) h.value = pwd[id];\n"
    "  });\n"
    "  return true;\n"
    "}\n"
    "function checkName() {\n"
    "  var n = document.getElementById('CustomerName').value;\n"
    "  alert(n ? '用户名可以使用' : '请输入用户名');\n"
    "}\n"
    "['TradePassword', 'CheckTradePassword'].forEach(function (id) {\n"
    "  var e = document.getElementById(id);\n"
    "  if (e) e.addEventListener('keydown', pwdKey);\n"
    "});\n";

class SubaccountFamily : public Family {
 public:
  explicit SubaccountFamily(BackOffice& office)
      : office_(office), postback_(office.options().subaccount_postback) {}

  void install(Routes& routes) override {
    using httplib::Request;
    using httplib::Response;
    routes.get("/SubCustomerList.aspx", [this](const Request& req, Response& res) {
      office_.store().visit(req.path, kTitle);
      res.set_content(list_page("", false), kHtml);
    });
    routes.post("/SubCustomerList.aspx", [this](const Request& req, const FormData& form, Response& res) {
      // The link button's post-back opens the form; any other post registers.
      if (form.get("__EVENTTARGET") == "lnkAdd") {
        res.set_content(list_page("", true), kHtml);
        return;
      }
      res.set_content(list_page(register_post(req, form), false), kHtml);
    });
    // How "新建下级" opens the form: form=inline (in place) or form=postback (a post-back);
    // a reset goes back to the start option.
    routes.public_post("/demo/subaccounts", [this](const Request&, const FormData& form, Response& res) {
      const std::string mode = form.get("form");
      if (mode != "inline" && mode != "postback") {
        res.status = 400;
        res.set_content("form needs inline or postback\n", "text/plain; charset=utf-8");
        return;
      }
      {
        std::lock_guard lock(mu_);
        postback_ = mode == "postback";
      }
      res.set_content("{" + json() + "}", "application/json; charset=utf-8");
    });
  }

  std::string json() override {
    std::lock_guard lock(mu_);
    std::string j = std::string("\"subaccount_form\": \"") + (postback_ ? "postback" : "inline") + "\",\n  ";
    j += "\"registrations\": [";
    for (size_t i = 0; i < attempts_.size(); ++i) {
      const Attempt& a = attempts_[i];
      j += i ? ",\n    {" : "\n    {";
      j += "\"seq\": " + std::to_string(a.seq);
      j += ", \"parent\": " + json_escape(a.parent);
      for (const Field& f : kFields) {
        auto it = a.values.find(f.id);
        j += ", " + json_escape(f.id) + ": " + json_escape(it == a.values.end() ? "" : it->second);
      }
      j += std::string(", \"accepted\": ") + (a.accepted ? "true" : "false");
      j += ", \"answer\": " + json_escape(a.answer) + "}";
    }
    j += attempts_.empty() ? "]" : "\n  ]";
    return j;
  }

  std::string state_html() override {
    std::lock_guard lock(mu_);
    std::string h = "<div class=\"box\"><h2>下级注册（" + std::to_string(attempts_.size()) +
                    "次提交）</h2>\n<p>“新建下级”：" + (postback_ ? "回发后显示注册表单" : "在本页显示注册表单") +
                    "</p>\n<table class=\"grid\"><tr><th>#</th><th>用户名</th><th>登录密码</th>"
                    "<th>交易密码</th><th>确认交易密码</th><th>联系人</th><th>手机</th><th>结果</th></tr>\n";
    for (const Attempt& a : attempts_) {
      auto v = [&a](const char* id) {
        auto it = a.values.find(id);
        return html_escape(it == a.values.end() ? "" : it->second);
      };
      h += "<tr><td>" + std::to_string(a.seq) + "</td><td>" + v("CustomerName") + "</td><td>" + v("Password") +
           "</td><td>" + v("TradePassword") + "</td><td>" + v("CheckTradePassword") + "</td><td>" +
           v("ContactName") + "</td><td>" + v("Mobile") + "</td><td>" + html_escape(a.answer) + "</td></tr>\n";
    }
    return h + "</table></div>\n";
  }

  void reset() override {
    std::lock_guard lock(mu_);
    attempts_.clear();
    recent_.clear();
    postback_ = office_.options().subaccount_postback;
  }

 private:
  BackOffice& office_;
  std::mutex mu_;
  std::vector<Attempt> attempts_;
  // Times of accepted registrations per session, for the 10-per-10-minutes limit.
  std::map<std::string, std::deque<Clock::time_point>> recent_;
  bool postback_;  // "新建下级" posts back for the form

  // Records the attempt and returns the platform's answer.
  std::string register_post(const httplib::Request& req, const FormData& form) {
    Attempt a;
    a.parent = office_.user(req);
    for (const Field& f : kFields) {
      std::string value = f.trade ? form.get(std::string("hid") + f.id) : form.get(f.id);
      if (value.size() > 256) value.resize(256);
      a.values[f.id] = value;
    }
    const std::string session = office_.session_id(req);
    std::lock_guard lock(mu_);
    auto& times = recent_[session];
    const auto now = Clock::now();
    while (!times.empty() && now - times.front() >= kLimitWindow) times.pop_front();
    a.answer = check(a, times.size());
    a.accepted = a.answer == kOk;
    if (a.accepted) times.push_back(now);
    a.seq = static_cast<int>(attempts_.size()) + 1;
    attempts_.push_back(a);
    return a.answer;
  }

  // The platform's answer to a registration (with mu_ held).
  std::string check(const Attempt& a, size_t recent) const {
    if (recent >= static_cast<size_t>(kLimit)) return kLimitMessage;
    auto v = [&a](const char* id) { return a.values.at(id); };
    for (const Field& f : kFields) {
      if (f.required && trim(v(f.id)).empty()) {
        std::string label = f.label + 1;  // without the "*"
        if (label.size() >= 3 && label.compare(label.size() - 3, 3, "：") == 0) label.resize(label.size() - 3);
        return "请填写" + label + "！";
      }
    }
    if (v("Password") != v("CheckPassword")) return "两次输入的登录密码不一致！";
    if (v("TradePassword") != v("CheckTradePassword")) return "两次输入的交易密码不一致！";
    for (const Attempt& other : attempts_)
      if (other.accepted && other.values.at("CustomerName") == v("CustomerName")) return "该用户名已被注册！";
    return kOk;
  }

  // The list page; with_form: the answer to the link button's post-back, with the form shown.
  std::string list_page(const std::string& message, bool with_form) {
    bool postback = false;
    {
      std::lock_guard lock(mu_);
      postback = postback_;
    }
    std::string c = "<div class=\"box\">\n<h2 id=\"pageTitle\">" + std::string(kTitle) + "</h2>\n";
    c += "<form name=\"form1\" method=\"post\" action=\"SubCustomerList.aspx\" id=\"form1\" "
         "onsubmit=\"return sendPwd();\">\n";
    c += viewstate_fields(kViewState);
    if (postback)
      c += "<p><a id=\"lnkAdd\" href=\"javascript:__doPostBack('lnkAdd','')\">新建下级</a></p>\n";
    else
      c += "<p><a id=\"lnkAdd\" href=\"#\" onclick=\"return showAdd();\">新建下级</a></p>\n";
    // A server-side panel renders only when shown; the in-place one is always there, hidden.
    if (postback && !with_form) {
      c += "</form>\n" + list_table() + "</div>";
      return backoffice_page(kTitle, c, message);
    }
    c += std::string("<div id=\"pnlAdd\"") + (with_form ? "" : " style=\"display:none\"") +
         ">\n<table class=\"grid\" id=\"tblAdd\">\n";
    for (const Field& f : kFields) {
      const std::string id = f.id;
      c += "<tr><td>" + std::string(f.label) + "</td><td>";
      if (f.trade) {
        c += "<span id=\"" + id + "\" class=\"pwdctl\" role=\"textbox\" tabindex=\"" +
             std::to_string(tab_index(id)) +
             "\" style=\"display:inline-block;width:160px;height:18px;border:1px solid #889;background:#ffe\">"
             "</span><input type=\"hidden\" name=\"hid" + id + "\" id=\"hid" + id +
             "\" value=\"\" /> <span class=\"note\">安全控件：请用键盘输入</span>";
      } else {
        const bool password = id == "Password" || id == "CheckPassword";
        c += "<input name=\"" + id + "\" type=\"" + (password ? "password" : "text") + "\" id=\"" + id +
             "\" tabindex=\"" + std::to_string(tab_index(id)) + "\" />";
        if (id == "CustomerName")
          c += " <input type=\"button\" id=\"btnCheckName\" value=\"检测用户名\" tabindex=\"2\" "
               "onclick=\"checkName();\" />";
      }
      c += "</td></tr>\n";
      if (id == "CheckPassword") {
        c += "<tr><td>下级级别：</td><td><select name=\"ddlLevel\" id=\"ddlLevel\" tabindex=\"5\">"
             "<option value=\"1\">普通会员</option><option value=\"2\">银牌会员</option>"
             "<option value=\"3\">金牌会员</option></select></td></tr>\n";
        c += "<tr><td>客户分组：</td><td><select name=\"ddlGroup\" id=\"ddlGroup\" tabindex=\"6\">"
             "<option value=\"0\">默认分组</option><option value=\"1\">网吧客户</option></select></td></tr>\n";
      }
    }
    c += "<tr><td></td><td><input type=\"submit\" name=\"Sumit\" value=\"注 册\" id=\"Sumit\" tabindex=\"17\" />"
         "</td></tr>\n</table>\n</div>\n</form>\n";
    c += list_table();
    c += "</div>";
    return backoffice_page(kTitle, c, message);
  }

  std::string list_table() {
    std::lock_guard lock(mu_);
    std::string t = "<table class=\"grid\" id=\"tblSubCustomers\"><tr><th>用户名</th><th>联系人</th>"
                    "<th>手机号码</th><th>QQ</th></tr>\n";
    for (const Attempt& a : attempts_) {
      if (!a.accepted) continue;
      t += "<tr><td>" + html_escape(a.values.at("CustomerName")) + "</td><td>" +
           html_escape(a.values.at("ContactName")) + "</td><td>" + html_escape(a.values.at("Mobile")) +
           "</td><td>" + html_escape(a.values.at("QQ")) + "</td></tr>\n";
    }
    return t + "</table>\n<script type=\"text/javascript\">" + kScript + "</script>\n";
  }
};

}  // namespace

std::unique_ptr<Family> make_subaccount_family(BackOffice& office) {
  return std::make_unique<SubaccountFamily>(office);
}

}  // namespace demo
