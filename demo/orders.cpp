// The manual order list: orders waiting for the supplier, one check box each, the
// "Manual" control that reloads the list, and the batch treatment form (status radios,
// message, confirm) that the list's "btnBatch" opens for the ticked orders.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>

#include "backoffice.h"
#include "pages.h"

namespace demo {
namespace {

using Clock = std::chrono::steady_clock;

struct Order {
  std::string no;
  std::string product;
  std::string account;   // the account to recharge
  std::string amount;
  std::string at;
  std::string status = "待处理";
  std::string message;   // returned to the buyer
  bool ticked = false;   // shown ticked when the list opens
};

struct BatchTreatment {
  std::vector<std::string> orders;
  std::string radio;    // RadioButton1..3
  std::string status;   // its caption
  std::string message;
  std::string at;
};

std::string now_text() {
  std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &tm);
  return buf;
}

const char* kB64 = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string base64(const std::string& in) {
  std::string out;
  size_t i = 0;
  for (; i + 2 < in.size(); i += 3) {
    unsigned v = (static_cast<unsigned char>(in[i]) << 16) | (static_cast<unsigned char>(in[i + 1]) << 8) |
                 static_cast<unsigned char>(in[i + 2]);
    for (int k = 18; k >= 0; k -= 6) out += kB64[(v >> k) & 63];
  }
  if (i < in.size()) {
    unsigned v = static_cast<unsigned char>(in[i]) << 16;
    if (i + 1 < in.size()) v |= static_cast<unsigned char>(in[i + 1]) << 8;
    out += kB64[(v >> 18) & 63];
    out += kB64[(v >> 12) & 63];
    out += i + 1 < in.size() ? kB64[(v >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

// nullopt when the text is not base64.
std::optional<std::string> unbase64(const std::string& in) {
  std::string out;
  unsigned v = 0;
  int bits = 0;
  for (char ch : in) {
    if (ch == '=') break;
    const char* p = std::strchr(kB64, ch);
    if (!p || ch == '\0') return std::nullopt;
    v = (v << 6) | static_cast<unsigned>(p - kB64);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out += static_cast<char>((v >> bits) & 0xFF);
    }
  }
  return out;
}

// The WebForms furniture of a post-back form.
std::string form_start(const std::string& view_state) {
  return "<form name=\"form1\" method=\"post\" action=\"ManualOrderList.aspx\" id=\"form1\">\n" +
         viewstate_fields(view_state, "/wEWBgKM54rGBgLs0bLrBgKd6c3KDALw6YyRBAKn8qXmDgLk7bD0AQ==");
}

const char* const kRadios[3] = {"RadioButton1", "RadioButton2", "RadioButton3"};
const char* const kCaptions[3] = {"充值成功", "处理中", "取消充值"};

class OrdersFamily : public Family {
 public:
  explicit OrdersFamily(BackOffice& office) : office_(office) { reset(); }

  void install(Routes& routes) override {
    using httplib::Request;
    using httplib::Response;
    routes.get("/SelfProduct/ManualOrderList.aspx", [this](const Request& req, Response& res) {
      office_.store().visit(req.path, "手工订单列表");
      res.set_content(backoffice_page("手工订单列表", list_content()), kHtml);
    });
    routes.post("/SelfProduct/ManualOrderList.aspx",
                [this](const Request&, const FormData& form, Response& res) { list_post(form, res); });
    // Tests and people add orders: count, ticked (1: shown ticked), product.
    routes.public_post("/demo/orders/add", [this](const Request&, const FormData& form, Response& res) {
      const int count = std::clamp(std::atoi(form.get("count").c_str()), 1, 10000);
      std::lock_guard lock(mu_);
      for (int i = 0; i < count; ++i) {
        Order o = make_order();
        o.ticked = form.get("ticked") == "1";
        if (form.has("product")) o.product = form.get("product");
        orders_.push_back(std::move(o));
      }
      res.set_content("{\"orders\": " + std::to_string(orders_.size()) + "}\n", "application/json; charset=utf-8");
    });
  }

  std::string json() override {
    std::lock_guard lock(mu_);
    arrive();
    std::string j = "\"orders\": [";
    for (size_t i = 0; i < orders_.size(); ++i) {
      const Order& o = orders_[i];
      j += i ? ",\n    {" : "\n    {";
      j += "\"no\": " + json_escape(o.no) + ", \"product\": " + json_escape(o.product) +
           ", \"status\": " + json_escape(o.status) + ", \"message\": " + json_escape(o.message) +
           ", \"listed\": " + (listed(o) ? "true" : "false") + "}";
    }
    j += orders_.empty() ? "]" : "\n  ]";
    j += ",\n  \"order_treatments\": [";
    for (size_t i = 0; i < treatments_.size(); ++i) {
      const BatchTreatment& t = treatments_[i];
      j += i ? ",\n    {" : "\n    {";
      j += "\"orders\": [";
      for (size_t k = 0; k < t.orders.size(); ++k) j += (k ? ", " : "") + json_escape(t.orders[k]);
      j += "], \"radio\": " + json_escape(t.radio) + ", \"status\": " + json_escape(t.status) +
           ", \"message\": " + json_escape(t.message) + ", \"at\": " + json_escape(t.at) + "}";
    }
    j += treatments_.empty() ? "]" : "\n  ]";
    j += ",\n  \"order_list_loads\": " + std::to_string(list_loads_);
    j += ",\n  \"order_manual_reloads\": " + std::to_string(manual_reloads_);
    j += ",\n  \"order_batch_refusals\": " + std::to_string(refusals_);
    return j;
  }

  std::string state_html() override {
    std::lock_guard lock(mu_);
    arrive();
    int waiting = 0;
    for (const Order& o : orders_) waiting += listed(o);
    std::string h = "<div class=\"box\"><h2>手工订单（共" + std::to_string(orders_.size()) + "个，列表中" +
                    std::to_string(waiting) + "个）</h2>\n<p>批量处理记录：</p><table class=\"grid\"><tr><th>时间</th>"
                    "<th>订单</th><th>状态</th><th>返回信息</th></tr>\n";
    for (const BatchTreatment& t : treatments_) {
      std::string list;
      for (const auto& no : t.orders) list += no + " ";
      h += "<tr><td>" + html_escape(t.at) + "</td><td>" + html_escape(list) + "</td><td>" + html_escape(t.status) +
           " (" + t.radio + ")</td><td>" + html_escape(t.message) + "</td></tr>\n";
    }
    return h + "</table></div>\n";
  }

  void reset() override {
    std::lock_guard lock(mu_);
    orders_.clear();
    treatments_.clear();
    next_no_ = 1;
    list_loads_ = 0;
    manual_reloads_ = 0;
    refusals_ = 0;
    for (int i = 0; i < office_.options().orders; ++i) orders_.push_back(make_order());
    last_arrival_ = Clock::now();
  }

 private:
  BackOffice& office_;
  std::mutex mu_;
  std::vector<Order> orders_;
  std::vector<BatchTreatment> treatments_;
  int next_no_ = 1;
  int list_loads_ = 0;      // every list shown (opened, reloaded, after a treatment)
  int manual_reloads_ = 0;  // the list reloaded by its "Manual" control
  int refusals_ = 0;
  Clock::time_point last_arrival_ = Clock::now();

  static bool listed(const Order& o) { return o.status == "待处理" || o.status == "处理中"; }

  Order make_order() {
    static const char* const products[] = {"腾讯QQ币10元", "网易一卡通15元", "魔兽点卡30元", "移动话费50元"};
    static const char* const amounts[] = {"9.85", "14.20", "28.50", "49.30"};
    Order o;
    const int k = next_no_ % 4;
    o.no = "M" + std::to_string(20240000 + next_no_);
    o.product = products[k];
    o.amount = amounts[k];
    o.account = std::to_string(10000 + next_no_ * 37);
    o.at = now_text();
    ++next_no_;
    return o;
  }

  // New orders that arrived since the last look (one per --order-every milliseconds).
  void arrive() {
    const int every = office_.options().order_every_ms;
    if (every <= 0) return;
    const auto now = Clock::now();
    const auto step = std::chrono::milliseconds(every);
    int added = 0;
    while (now - last_arrival_ >= step && added < 1000) {
      orders_.push_back(make_order());
      last_arrival_ += step;
      ++added;
    }
    if (added == 1000) last_arrival_ = now;
  }

  Order* find(const std::string& no) {
    for (Order& o : orders_)
      if (o.no == no) return &o;
    return nullptr;
  }

  // With mu_ held.
  std::string list_body() {
    arrive();
    ++list_loads_;
    std::string c = "<div class=\"box\">\n<h2 id=\"pageTitle\">手工订单列表</h2>\n" + form_start(base64("list"));
    c += "<p><a id=\"Manual\" href=\"javascript:__doPostBack('Manual','')\">手工订单列表</a> | "
         "<a id=\"btnBatch\" href=\"javascript:__doPostBack('btnBatch','')\">批量处理</a></p>\n";
    std::string rows;
    int row = 2;
    for (const Order& o : orders_) {
      if (!listed(o)) continue;
      char ctl[16];
      std::snprintf(ctl, sizeof ctl, "ctl%02d", row++);
      const std::string id = "gvOrders_" + std::string(ctl) + "_chkSelect";
      rows += "<tr><td><input id=\"" + id + "\" type=\"checkbox\" name=\"gvOrders$" + ctl + "$chkSelect\" value=\"" +
              o.no + "\"" + (o.ticked ? " checked=\"checked\"" : "") + " /></td><td>" + o.no + "</td><td>" +
              html_escape(o.product) + "</td><td>" + o.account + "</td><td>" + o.amount + "</td><td>" + o.at +
              "</td><td>" + o.status + "</td><td>" + html_escape(o.message) + "</td></tr>\n";
    }
    if (rows.empty()) {
      c += "<p id=\"lblEmpty\">暂无需要手工处理的订单。</p>\n";
    } else {
      c += "<table id=\"gvOrders\" class=\"grid\"><tr><th>选择</th><th>订单号</th><th>商品名称</th><th>充值账号</th>"
           "<th>金额</th><th>下单时间</th><th>状态</th><th>返回信息</th></tr>\n" + rows + "</table>\n";
    }
    return c + "</form>\n</div>";
  }

  std::string list_content() {
    std::lock_guard lock(mu_);
    return list_body();
  }

  // With mu_ held: the batch form for the ticked orders; their numbers ride in the view state.
  std::string batch_body(const std::vector<std::string>& selected) {
    std::string joined;
    for (const auto& no : selected) joined += (joined.empty() ? "" : ",") + no;
    std::string c = "<div class=\"box\">\n<h2 id=\"pageTitle\">批量处理订单</h2>\n" + form_start(base64("batch:" + joined));
    c += "<p>已选择 <span id=\"lblCount\">" + std::to_string(selected.size()) + "</span> 个订单：" + joined + "</p>\n";
    c += "<table class=\"grid\" id=\"tblBatch\"><tr><td>处理状态：</td><td>";
    for (int i = 0; i < 3; ++i)
      c += "<input id=\"" + std::string(kRadios[i]) + "\" type=\"radio\" name=\"Status\" value=\"" + kRadios[i] +
           "\" /><label for=\"" + kRadios[i] + "\">" + kCaptions[i] + "</label> ";
    c += "</td></tr>\n<tr><td>返回信息：</td><td><input name=\"txtMsg\" type=\"text\" id=\"txtMsg\" size=\"60\" />"
         "</td></tr>\n<tr><td></td><td><input type=\"submit\" name=\"BtnCheck\" value=\"确定处理\" id=\"BtnCheck\" /> "
         "<a href=\"ManualOrderList.aspx\">返回列表</a></td></tr>\n</table>\n</form>\n</div>";
    return c;
  }

  void list_post(const FormData& form, httplib::Response& res) {
    if (form.longest_value() > office_.options().max_field) {
      error_page(res, 413, message_page("请求过大", "提交的内容过长，订单未处理。"));
      return;
    }
    const auto state = unbase64(form.get("__VIEWSTATE"));
    if (!state || (*state != "list" && state->rfind("batch:", 0) != 0)) {
      error_page(res, 500, message_page("服务器错误", "视图状态无效：页面已过期，请重新打开手工订单列表。"));
      return;
    }
    std::unique_lock lock(mu_);
    const std::string target = form.get("__EVENTTARGET");
    std::string content, message;
    if (*state != "list" && form.has("BtnCheck")) {
      std::vector<std::string> selected;
      const std::string joined = state->substr(6);
      for (size_t p = 0; p < joined.size();) {
        size_t e = joined.find(',', p);
        if (e == std::string::npos) e = joined.size();
        if (e > p) selected.push_back(joined.substr(p, e - p));
        p = e + 1;
      }
      const std::string radio = form.get("Status");
      int k = -1;
      for (int i = 0; i < 3; ++i)
        if (radio == kRadios[i]) k = i;
      if (k < 0) {
        ++refusals_;
        content = batch_body(selected);
        message = "请选择处理状态！";
      } else {
        BatchTreatment t{selected, radio, kCaptions[k], form.get("txtMsg"), now_text()};
        for (const auto& no : selected) {
          if (Order* o = find(no)) {
            o->status = kCaptions[k];
            o->message = t.message;
            o->ticked = false;
          }
        }
        treatments_.push_back(std::move(t));
        content = list_body();
        message = "批量处理成功！共处理" + std::to_string(selected.size()) + "个订单。";
      }
    } else if (*state == "list" && target == "btnBatch") {
      std::vector<std::string> selected;
      for (const auto& [name, value] : form.fields)
        if (name.rfind("gvOrders$", 0) == 0 && name.size() > 10 && name.compare(name.size() - 10, 10, "$chkSelect") == 0)
          selected.push_back(value);
      if (selected.empty()) {
        ++refusals_;
        content = list_body();
        message = "请先选择要处理的订单！";
      } else {
        content = batch_body(selected);
      }
    } else {
      // "Manual" and any other post-back: the list, read afresh.
      if (target == "Manual") ++manual_reloads_;
      content = list_body();
    }
    lock.unlock();
    res.set_content(backoffice_page("手工订单列表", content, message), kHtml);
  }
};

}  // namespace

std::unique_ptr<Family> make_orders_family(BackOffice& office) {
  return std::make_unique<OrdersFamily>(office);
}

}  // namespace demo
