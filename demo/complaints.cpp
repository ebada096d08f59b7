// Customer complaints: the complaint list, one treatment page per complaint (status
// radios, reply box, submit) with its order-details link, and the order page.

#include <chrono>
#include <ctime>
#include <mutex>
#include <thread>

#include "backoffice.h"
#include "pages.h"

namespace demo {
namespace {

struct Treatment {
  std::string status;  // TreatStatus as posted: "0" open, "1" in progress, "2" treated
  std::string reply;   // ReplayContent as posted
  std::string at;
};

struct Complaint {
  int id = 0;
  std::string customer;
  std::string date;
  std::string title;
  std::string order_no;
  std::string text;
  std::string status = "0";
  std::vector<Treatment> treatments;
  bool hang = false;  // its page never finishes loading
};

const char* status_text(const std::string& s) {
  return s == "2" ? "已处理" : s == "1" ? "处理中" : "未处理";
}

std::string now_text() {
  std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &tm);
  return buf;
}

// The WebForms furniture of a post-back form.
std::string form_start(const std::string& action, const std::string& view_state) {
  return "<form name=\"form1\" method=\"post\" action=\"" + html_escape(action) + "\" id=\"form1\">\n" +
         viewstate_fields(view_state, "/wEWBQKn8qXmDgLk7bD0AQKs+cTnCwKd6c3KDALw6YyRBA==");
}

// At most n bytes of a UTF-8 text, never half a character.
std::string cut(const std::string& s, size_t n) {
  if (s.size() <= n) return s;
  while (n > 0 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80) --n;
  return s.substr(0, n) + "…";
}

const char* kViewState = "/wEPDwUKLTQ2MDc1NjA0Mw9kFgICAw9kFgICAQ8PFgIeBFRleHQFBuaKleiviWRkZA==";

class ComplaintsFamily : public Family {
 public:
  explicit ComplaintsFamily(BackOffice& office) : office_(office) { reset(); }

  void install(Routes& routes) override {
    using httplib::Request;
    using httplib::Response;
    routes.get("/SelfProduct/ComplaintList.aspx", [this](const Request& req, Response& res) {
      office_.store().visit(req.path, "投诉处理");
      res.set_content(backoffice_page("投诉处理", list_content()), kHtml);
    });
    routes.get("/SelfProduct/OnlineServiceTreat.aspx", [this](const Request& req, Response& res) {
      const int id = id_of(req);
      office_.store().visit(req.path + "?ID=" + std::to_string(id), "投诉处理");
      std::unique_lock lock(mu_);
      Complaint* c = find(id);
      if (!c) {
        lock.unlock();
        error_page(res, 404, backoffice_page("投诉处理", missing_content(), "该投诉不存在或已被删除！"));
        return;
      }
      std::string html = backoffice_page("投诉处理", treat_content(*c));
      if (c->hang) {
        lock.unlock();
        hang(res, html);
        return;
      }
      res.set_content(html, kHtml);
    });
    routes.post("/SelfProduct/OnlineServiceTreat.aspx",
                [this](const Request& req, const FormData& form, Response& res) { treat_post(id_of(req), form, res); });
    routes.get("/SelfProduct/SaleOrderDetail.aspx", [this](const Request& req, Response& res) {
      const std::string no = req.get_param_value("OrderNO");
      office_.store().visit(req.path + "?OrderNO=" + no, "订单详情");
      res.set_content(backoffice_page("订单详情", order_content(no)), kHtml);
    });
    // Tests and people add complaints: count, customer, title, order, text, date, hang.
    routes.public_post("/demo/complaints/add", [this](const Request&, const FormData& form, Response& res) {
      int count = std::max(1, std::atoi(form.get("count").c_str()));
      count = std::min(count, 10000);
      std::lock_guard lock(mu_);
      for (int i = 0; i < count; ++i) {
        Complaint c = sample(next_id_);
        if (form.has("customer")) c.customer = form.get("customer");
        if (form.has("title")) c.title = form.get("title");
        if (form.has("order")) c.order_no = form.get("order");
        if (form.has("text")) c.text = form.get("text");
        if (form.has("date")) c.date = form.get("date");
        c.hang = form.get("hang") == "1";
        c.id = next_id_++;
        complaints_.push_back(std::move(c));
      }
      res.set_content("{\"complaints\": " + std::to_string(complaints_.size()) + "}\n",
                      "application/json; charset=utf-8");
    });
  }

  std::string json() override {
    std::lock_guard lock(mu_);
    std::string j = "\"complaints\": [";
    for (size_t i = 0; i < complaints_.size(); ++i) {
      const Complaint& c = complaints_[i];
      j += i ? ",\n    {" : "\n    {";
      j += "\"id\": " + std::to_string(c.id) + ", \"customer\": " + json_escape(c.customer) +
           ", \"title\": " + json_escape(c.title) + ", \"order_no\": " + json_escape(c.order_no) +
           ", \"status\": " + json_escape(c.status) + ", \"open\": " + (open(c) ? "true" : "false") +
           ", \"treatments\": [";
      for (size_t k = 0; k < c.treatments.size(); ++k) {
        const Treatment& t = c.treatments[k];
        j += (k ? ", " : "") + std::string("{\"status\": ") + json_escape(t.status) +
             ", \"reply\": " + json_escape(t.reply) + ", \"at\": " + json_escape(t.at) + "}";
      }
      j += "]}";
    }
    j += complaints_.empty() ? "]" : "\n  ]";
    return j;
  }

  std::string state_html() override {
    std::lock_guard lock(mu_);
    std::string h = "<div class=\"box\"><h2>投诉（" + std::to_string(complaints_.size()) +
                    "个）</h2>\n<table class=\"grid\"><tr><th>编号</th><th>客户</th><th>主题</th><th>订单号</th>"
                    "<th>状态</th><th>处理记录</th></tr>\n";
    for (const Complaint& c : complaints_) {
      std::string log;
      for (const Treatment& t : c.treatments)
        log += html_escape(t.at) + " " + status_text(t.status) + "：" + html_escape(t.reply) + "\n";
      h += "<tr><td>" + std::to_string(c.id) + "</td><td>" + html_escape(c.customer) + "</td><td>" +
           html_escape(cut(c.title, 200)) + "</td><td>" + html_escape(c.order_no) + "</td><td>" +
           status_text(c.status) + "</td><td><pre>" + log + "</pre></td></tr>\n";
    }
    return h + "</table></div>\n";
  }

  void reset() override {
    std::lock_guard lock(mu_);
    complaints_.clear();
    next_id_ = 1001;
    for (int i = 0; i < office_.options().complaints; ++i) {
      Complaint c = sample(next_id_);
      c.id = next_id_++;
      complaints_.push_back(std::move(c));
    }
  }

 private:
  BackOffice& office_;
  std::mutex mu_;
  std::vector<Complaint> complaints_;
  int next_id_ = 1001;

  static bool open(const Complaint& c) { return c.status != "2"; }

  static int id_of(const httplib::Request& req) { return std::atoi(req.get_param_value("ID").c_str()); }

  Complaint* find(int id) {
    for (Complaint& c : complaints_)
      if (c.id == id) return &c;
    return nullptr;
  }

  static Complaint sample(int id) {
    static const char* const customers[] = {"wangxiaoer", "lisi2008", "zhang_san", "chenmo", "liuyang88"};
    static const char* const titles[] = {"充值未到账", "卡密无效", "到账金额不对", "重复扣款", "长时间未处理"};
    static const char* const texts[] = {
        "下单半小时了还没有到账，请尽快处理。", "提示卡密已被使用，请核实。", "充了10元只到账5元。",
        "同一个订单被扣了两次钱。", "订单一直显示处理中，麻烦看一下。"};
    Complaint c;
    const int k = id % 5;
    c.customer = customers[k];
    c.title = titles[k];
    c.text = texts[k];
    c.order_no = "S2024" + std::to_string(100000 + id * 7);
    c.date = "2024-05-0" + std::to_string(1 + k) + " 1" + std::to_string(k) + ":2" + std::to_string(k) + ":00";
    return c;
  }

  std::string list_content() {
    std::lock_guard lock(mu_);
    std::string c = "<div class=\"box\">\n<h2 id=\"pageTitle\">投诉处理</h2>\n" + form_start("ComplaintList.aspx", kViewState);
    int shown = 0;
    std::string rows;
    for (const Complaint& x : complaints_) {
      if (!open(x)) continue;
      ++shown;
      rows += "<tr><td>" + std::to_string(x.id) + "</td><td>" + html_escape(x.customer) + "</td><td>" +
              html_escape(cut(x.title, 120)) + "</td><td>" + html_escape(x.order_no) + "</td><td>" +
              html_escape(x.date) + "</td><td>" + status_text(x.status) +
              "</td><td><a class=\"treat\" href=\"OnlineServiceTreat.aspx?ID=" + std::to_string(x.id) +
              "\">处理</a></td></tr>\n";
    }
    if (shown == 0) {
      c += "<p id=\"lblEmpty\">暂无投诉记录。</p>\n";
    } else {
      c += "<table id=\"gvComplaint\" class=\"grid\"><tr><th>编号</th><th>投诉客户</th><th>投诉主题</th>"
           "<th>订单号</th><th>投诉时间</th><th>状态</th><th>操作</th></tr>\n" + rows + "</table>\n";
    }
    return c + "</form>\n</div>";
  }

  static std::string missing_content() {
    return "<div class=\"box\"><h2 id=\"pageTitle\">投诉处理</h2><p>该投诉不存在。</p>"
           "<p><a href=\"ComplaintList.aspx\">返回投诉列表</a></p></div>";
  }

  static std::string treat_content(const Complaint& x) {
    const std::string id = std::to_string(x.id);
    std::string c = "<div class=\"box\">\n<h2 id=\"pageTitle\">投诉处理</h2>\n" +
                    form_start("OnlineServiceTreat.aspx?ID=" + id, kViewState);
    c += "<script type=\"text/javascript\">\n"
         "function showDialog(o) {\n"
         "  var d = document.getElementById('dlgOrder');\n"
         "  d.style.display = 'block';\n"
         "  document.getElementById('dlgOrderTitle').innerHTML = o.title;\n"
         "  document.getElementById('dlgOrderFrame').src = '/' + o.iframe.src;\n"
         "}\n</script>\n";
    c += "<table class=\"grid\">\n";
    c += "<tr><td>投诉客户：</td><td><span id=\"CustomerID\">" + html_escape(x.customer) + "</span></td></tr>\n";
    c += "<tr><td>投诉时间：</td><td><span id=\"ComplaintDate\">" + html_escape(x.date) + "</span></td></tr>\n";
    c += "<tr><td>投诉主题：</td><td><span id=\"ComplaintTitle\">" + html_escape(x.title) + "</span></td></tr>\n";
    c += "<tr><td>订单号：</td><td><span id=\"SaleOrderNO\">" + html_escape(x.order_no) +
         "</span> <a href=\"javascript:void(0)\" onclick=\"showDialog({title:'订单详情', width:700, iframe:{src:'"
         "SelfProduct/SaleOrderDetail.aspx?OrderNO=" + html_escape(x.order_no) + "'}})\">查看订单详情</a></td></tr>\n";
    c += "<tr><td>投诉内容：</td><td><span id=\"Complaint\">" + html_escape(x.text) + "</span></td></tr>\n";
    c += "<tr><td>当前状态：</td><td><span id=\"lblStatus\">" + std::string(status_text(x.status)) +
         "</span></td></tr>\n";
    c += "<tr><td>处理状态：</td><td><table id=\"TreatStatus\"><tr>";
    static const char* const labels[] = {"未处理", "处理中", "已处理"};
    for (int i = 0; i < 3; ++i) {
      const std::string v = std::to_string(i);
      c += "<td><input id=\"TreatStatus_" + v + "\" type=\"radio\" name=\"TreatStatus\" value=\"" + v + "\"" +
           (x.status == v ? " checked=\"checked\"" : "") + " /><label for=\"TreatStatus_" + v + "\">" + labels[i] +
           "</label></td>";
    }
    c += "</tr></table></td></tr>\n";
    c += "<tr><td>回复内容：</td><td><textarea name=\"ReplayContent\" rows=\"6\" cols=\"60\" id=\"ReplayContent\">"
         "</textarea></td></tr>\n";
    c += "<tr><td></td><td><input type=\"submit\" name=\"treat_btn\" value=\"提交处理\" id=\"treat_btn\" /> "
         "<a href=\"ComplaintList.aspx\">返回投诉列表</a></td></tr>\n</table>\n";
    if (!x.treatments.empty()) {
      c += "<h3>处理记录</h3><table id=\"tblLog\" class=\"grid\">";
      for (const Treatment& t : x.treatments)
        c += "<tr><td>" + html_escape(t.at) + "</td><td>" + status_text(t.status) + "</td><td><pre>" +
             html_escape(t.reply) + "</pre></td></tr>";
      c += "</table>\n";
    }
    c += "</form>\n<div id=\"dlgOrder\" style=\"display:none;border:1px solid #889;padding:6px;margin-top:8px\">"
         "<b id=\"dlgOrderTitle\"></b><br /><iframe id=\"dlgOrderFrame\" width=\"700\" height=\"300\"></iframe>"
         "</div>\n</div>";
    return c;
  }

  std::string order_content(const std::string& no) {
    std::lock_guard lock(mu_);
    const Complaint* x = nullptr;
    for (const Complaint& c : complaints_)
      if (c.order_no == no) x = &c;
    std::string c = "<div class=\"box\">\n<h2 id=\"pageTitle\">订单详情</h2>\n";
    if (!x) return c + "<p id=\"lblMessage\">找不到订单 " + html_escape(no) + "。</p></div>";
    c += "<table id=\"tblOrder\" class=\"grid\">";
    c += "<tr><td>订单号：</td><td><span id=\"lblOrderNO\">" + html_escape(x->order_no) + "</span></td></tr>";
    c += "<tr><td>购买客户：</td><td>" + html_escape(x->customer) + "</td></tr>";
    c += "<tr><td>商品名称：</td><td>腾讯QQ币10元</td></tr>";
    c += "<tr><td>购买数量：</td><td>1</td></tr><tr><td>订单金额：</td><td>9.85 元</td></tr>";
    c += "<tr><td>下单时间：</td><td>" + html_escape(x->date) + "</td></tr>";
    c += "<tr><td>订单状态：</td><td>充值中</td></tr></table>\n</div>";
    return c;
  }

  void treat_post(int id, const FormData& form, httplib::Response& res) {
    if (form.get("__VIEWSTATE") != kViewState) {
      error_page(res, 500, message_page("服务器错误", "视图状态无效：页面已过期，请重新打开投诉页面。"));
      return;
    }
    if (form.longest_value() > office_.options().max_field) {
      error_page(res, 413, message_page("请求过大", "回复内容过长，投诉未处理。"));
      return;
    }
    std::unique_lock lock(mu_);
    Complaint* c = find(id);
    if (!c) {
      lock.unlock();
      error_page(res, 404, backoffice_page("投诉处理", missing_content(), "该投诉不存在或已被删除！"));
      return;
    }
    std::string message;
    if (!form.has("treat_btn")) {
      // Another post-back: the page as it was.
    } else if (!form.has("TreatStatus")) {
      message = "请选择处理状态！";
    } else if (trim(form.get("ReplayContent")).empty()) {
      message = "请填写回复内容！";
    } else {
      c->status = form.get("TreatStatus");
      if (c->status != "0" && c->status != "1" && c->status != "2") c->status = "0";
      c->treatments.push_back({c->status, form.get("ReplayContent"), now_text()});
      message = "处理成功！";
    }
    std::string html = backoffice_page("投诉处理", treat_content(*c), message);
    lock.unlock();
    res.set_content(html, kHtml);
  }

  // Sends the page's first half and then nothing more for a minute (or until the
  // browser goes away).
  static void hang(httplib::Response& res, const std::string& html) {
    const std::string head = html.substr(0, html.find("<textarea"));
    res.set_chunked_content_provider(kHtml, [head](size_t offset, httplib::DataSink& sink) {
      if (offset == 0) return sink.write(head.data(), head.size());
      for (int i = 0; i < 600; ++i) {
        if (!sink.is_writable()) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
      }
      sink.done();
      return true;
    });
  }
};

}  // namespace

std::unique_ptr<Family> make_complaints_family(BackOffice& office) {
  return std::make_unique<ComplaintsFamily>(office);
}

}  // namespace demo
