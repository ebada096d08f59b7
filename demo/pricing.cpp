// Regional stock and level prices of a product, in two steps that open in a dialog over
// the product list: "确认添加" adds the stock, then the price form takes the purchase price
// and fills the level prices from one of three rules (Set11, Set22, Set33) before it is
// submitted with btnSubmit. The dialog closes after a successful submission, so the list
// comes back on the page it showed.

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>

#include "backoffice.h"
#include "pages.h"

namespace demo {
namespace {

// The form's __VIEWSTATE (the pages keep nothing in it).
constexpr const char* kViewState = "/wEPDwUKMTc1NDU0MzI3MmRkYXJlYXN0b2Nr";

constexpr const char* kStockPath = "/SelfProduct/ProductAreaStock.aspx";
constexpr const char* kPricePath = "/SelfProduct/ProductPrice.aspx";
constexpr size_t kMaxRecorded = 20000;
constexpr int kLevels = 5;
const char* const kLevelNames[kLevels] = {"钻石会员", "金牌会员", "银牌会员", "普通会员", "零售价"};
const char* const kAreas[] = {"全国", "华东地区", "华南地区", "华北地区", "西部地区"};

constexpr const char* kStockAdded = "地区库存添加成功！";
constexpr const char* kPriceSaved = "价格设置成功！";

struct StockAdd {
  int product = 0;
  std::string area;
};

struct PriceSet {
  int product = 0;
  std::string purchase;              // txtPurchase as posted
  std::string level[3];              // txtLevelPrice1..3 as posted
  std::string set;                   // the Set button clicked last: "11", "22", "33" or ""
  std::string prices[kLevels];       // the level prices posted
  bool accepted = false;
  std::string answer;
};

// The price form's rules, run by the page: level k (1-5) of the purchase price p gets
// Set11: p + k * a; Set22: p * (1 + k * d / 100); Set33: face value * (1 + k * d / 100).
const char* kPriceScript =
    "function num(id) { var v = document.getElementById(id).value; return v === '' || isNaN(v) ? NaN : Number(v); }\n"
    "function setLevels(kind) {\n"
    "  var p = num('txtPurchase');\n"
    "  var x = num(kind == '11' ? 'txtLevelPrice1' : kind == '22' ? 'txtLevelPrice2' : 'txtLevelPrice3');\n"
    "  var face = Number(document.getElementById('hidParvalue').value) || 0;\n"
    "  if (isNaN(p) || isNaN(x)) { alert('请输入正确的数字！'); return false; }\n"
    "  for (var k = 1; k <= 5; k++) {\n"
    "    var v = kind == '11' ? p + k * x : kind == '22' ? p * (1 + k * x / 100) : face * (1 + k * x / 100);\n"
    "    document.getElementById('LevelPrice' + k).value = v.toFixed(2);\n"
    "  }\n"
    "  document.getElementById('hidSet').value = kind;\n"
    "  return false;\n"
    "}\n";

// Closes the list page's dialog from inside its frame.
const char* kCloseDialog =
    "var m = window.parent && window.parent.document.getElementById('dialogMask');"
    "if (m && m.parentNode) m.parentNode.removeChild(m);";

int to_id(const std::string& s) {
  if (s.empty() || s.size() > 9 || s.find_first_not_of("0123456789") != std::string::npos) return 0;
  return std::atoi(s.c_str());
}

std::string cut(std::string s) {
  if (s.size() > 64) s.resize(64);
  return s;
}

class PricingFamily : public Family {
 public:
  explicit PricingFamily(BackOffice& office) : office_(office) {}

  void install(Routes& routes) override {
    using httplib::Request;
    using httplib::Response;
    routes.get(kStockPath, [this](const Request& req, Response& res) {
      const Product* p = nullptr;
      Product copy;
      if (find(req, copy)) p = &copy;
      res.set_content(stock_page(p, ""), kHtml);
    });
    routes.post(kStockPath, [this](const Request& req, const FormData& form, Response& res) {
      Product p;
      if (!find(req, p)) {
        res.set_content(stock_page(nullptr, "商品不存在！"), kHtml);
        return;
      }
      std::string area = form.get("ddlArea");
      bool known = false;
      for (const char* a : kAreas) known = known || area == a;
      if (!known) {
        res.set_content(stock_page(&p, "请选择地区！"), kHtml);
        return;
      }
      {
        std::lock_guard lock(mu_);
        if (stock_.size() < kMaxRecorded) stock_.push_back({p.id, area});
      }
      res.set_content(price_page(p, kStockAdded), kHtml);
    });
    routes.post(kPricePath, [this](const Request& req, const FormData& form, Response& res) {
      Product p;
      if (!find(req, p)) {
        res.set_content(frame_page("设置价格", "<p>商品不存在。</p>", alert_script("商品不存在！")), kHtml);
        return;
      }
      PriceSet s = read_prices(p, form);
      {
        std::lock_guard lock(mu_);
        if (prices_.size() < kMaxRecorded) prices_.push_back(s);
      }
      if (s.accepted)
        res.set_content(frame_page("设置价格", "<p>价格已保存。</p>", alert_script(s.answer) + kCloseDialog), kHtml);
      else
        res.set_content(price_page(p, s.answer), kHtml);
    });
  }

  std::string json() override {
    std::lock_guard lock(mu_);
    std::string j = "\"area_stock\": [";
    for (size_t i = 0; i < stock_.size(); ++i)
      j += (i ? ", " : "") + std::string("{\"product\": ") + std::to_string(stock_[i].product) +
           ", \"area\": " + json_escape(stock_[i].area) + "}";
    j += "],\n  \"price_sets\": [";
    for (size_t i = 0; i < prices_.size(); ++i) {
      const PriceSet& s = prices_[i];
      j += i ? ",\n    {" : "\n    {";
      j += "\"product\": " + std::to_string(s.product) + ", \"txtPurchase\": " + json_escape(s.purchase);
      for (int k = 0; k < 3; ++k)
        j += ", \"txtLevelPrice" + std::to_string(k + 1) + "\": " + json_escape(s.level[k]);
      j += ", \"set\": " + json_escape(s.set) + ", \"prices\": [";
      for (int k = 0; k < kLevels; ++k) j += (k ? ", " : "") + json_escape(s.prices[k]);
      j += std::string("], \"accepted\": ") + (s.accepted ? "true" : "false") +
           ", \"answer\": " + json_escape(s.answer) + "}";
    }
    j += prices_.empty() ? "]" : "\n  ]";
    return j;
  }

  std::string state_html() override {
    std::lock_guard lock(mu_);
    std::string h = "<div class=\"box\"><h2>地区库存与级别价格（库存 " + std::to_string(stock_.size()) + " 次，价格 " +
                    std::to_string(prices_.size()) + " 次，最近的在前）</h2>\n<table class=\"grid\"><tr><th>商品</th>"
                    "<th>进价</th><th>累加</th><th>进价折扣</th><th>面值折扣</th><th>规则</th><th>级别价格</th>"
                    "<th>结果</th></tr>\n";
    size_t shown = 0;
    for (auto it = prices_.rbegin(); it != prices_.rend() && shown < 50; ++it, ++shown) {
      std::string levels;
      for (int k = 0; k < kLevels; ++k) levels += (k ? " / " : "") + html_escape(it->prices[k]);
      h += "<tr><td>" + std::to_string(it->product) + "</td><td>" + html_escape(it->purchase) + "</td><td>" +
           html_escape(it->level[0]) + "</td><td>" + html_escape(it->level[1]) + "</td><td>" +
           html_escape(it->level[2]) + "</td><td>" + html_escape(it->set.empty() ? "" : "Set" + it->set) +
           "</td><td>" + levels + "</td><td>" + html_escape(it->answer) + "</td></tr>\n";
    }
    return h + "</table></div>\n";
  }

  void reset() override {
    std::lock_guard lock(mu_);
    stock_.clear();
    prices_.clear();
  }

 private:
  BackOffice& office_;
  std::mutex mu_;
  std::vector<StockAdd> stock_;
  std::vector<PriceSet> prices_;

  bool find(const httplib::Request& req, Product& out) {
    const int id = to_id(req.has_param("PID") ? req.get_param_value("PID") : "");
    return office_.store().with_products([&](std::vector<Product>& ps) {
      for (const Product& p : ps)
        if (p.id == id) {
          out = p;
          return true;
        }
      return false;
    });
  }

  static PriceSet read_prices(const Product& p, const FormData& form) {
    PriceSet s;
    s.product = p.id;
    s.purchase = cut(form.get("txtPurchase"));
    for (int k = 0; k < 3; ++k) s.level[k] = cut(form.get("txtLevelPrice" + std::to_string(k + 1)));
    s.set = cut(form.get("hidSet"));
    bool complete = true;
    for (int k = 0; k < kLevels; ++k) {
      s.prices[k] = cut(form.get("LevelPrice" + std::to_string(k + 1)));
      complete = complete && !trim(s.prices[k]).empty();
    }
    char* end = nullptr;
    const std::string purchase = trim(s.purchase);
    const double value = std::strtod(purchase.c_str(), &end);
    if (purchase.empty() || *end != '\0' || !std::isfinite(value) || value < 0)
      s.answer = "请输入正确的进价！";
    else if (!complete)
      s.answer = "请先设置级别价格！";
    else
      s.answer = kPriceSaved;
    s.accepted = s.answer == kPriceSaved;
    return s;
  }

  // A page inside the list's dialog frame.
  static std::string frame_page(const std::string& title, const std::string& body, const std::string& script) {
    return page(title, "<div class=\"box\">" + body + "</div>", script);
  }

  static std::string stock_page(const Product* p, const std::string& message) {
    if (!p) return frame_page("增加地区库存", "<p>商品不存在。</p>", alert_script(message));
    const std::string id = std::to_string(p->id);
    std::string b = "<h3>增加地区库存：" + html_escape(p->name) + "</h3>\n";
    b += "<form name=\"form1\" method=\"post\" action=\"ProductAreaStock.aspx?PID=" + id + "\" id=\"form1\">\n";
    b += viewstate_fields(kViewState);
    b += "<p>地区：<select name=\"ddlArea\" id=\"ddlArea\">";
    for (const char* a : kAreas) b += std::string("<option value=\"") + a + "\">" + a + "</option>";
    b += "</select></p>\n<p><input type=\"submit\" name=\"btnAdd\" value=\"确认添加\" id=\"btnAdd\" /></p>\n</form>";
    return frame_page("增加地区库存", b, alert_script(message));
  }

  static std::string price_page(const Product& p, const std::string& message) {
    const std::string id = std::to_string(p.id);
    std::string b = "<h3>设置价格：" + html_escape(p.name) + "（面值 " + html_escape(p.parvalue) + "）</h3>\n";
    b += "<form name=\"form1\" method=\"post\" action=\"ProductPrice.aspx?PID=" + id + "\" id=\"form1\">\n";
    b += viewstate_fields(kViewState);
    b += "<input type=\"hidden\" name=\"hidParvalue\" id=\"hidParvalue\" value=\"" + html_escape(p.parvalue) + "\" />";
    b += "<input type=\"hidden\" name=\"hidSet\" id=\"hidSet\" value=\"\" />\n";
    b += "<table class=\"grid\">\n";
    b += "<tr><td>进价：</td><td><input name=\"txtPurchase\" type=\"text\" id=\"txtPurchase\" size=\"8\" /> 元</td></tr>\n";
    const char* rules[3] = {"按直接累加递增", "按进价折扣递增", "按面值折扣递增"};
    const char* units[3] = {"元", "%", "%"};
    for (int k = 0; k < 3; ++k) {
      const std::string n = std::to_string(k + 1);
      const std::string set = n + n;
      b += std::string("<tr><td>") + rules[k] + "：</td><td><input name=\"txtLevelPrice" + n +
           "\" type=\"text\" id=\"txtLevelPrice" + n + "\" size=\"6\" /> " + units[k] +
           " <input type=\"button\" name=\"Set" + set + "\" id=\"Set" + set + "\" value=\"设置\" onclick=\"return setLevels('" +
           set + "');\" /></td></tr>\n";
    }
    for (int k = 0; k < kLevels; ++k) {
      const std::string n = std::to_string(k + 1);
      b += std::string("<tr><td>") + kLevelNames[k] + "：</td><td><input name=\"LevelPrice" + n +
           "\" type=\"text\" id=\"LevelPrice" + n + "\" size=\"8\" /> 元</td></tr>\n";
    }
    b += "<tr><td></td><td><input type=\"submit\" name=\"btnSubmit\" value=\"保存价格\" id=\"btnSubmit\" /></td></tr>\n";
    b += "</table>\n</form>\n<script type=\"text/javascript\">" + std::string(kPriceScript) + "</script>";
    return frame_page("设置价格", b, alert_script(message));
  }
};

}  // namespace

std::string pricing_row_links(const Product& p, bool unreviewed) {
  if (!unreviewed) return {};
  return " <a href=\"javascript:void(0)\" title=\"增加地区库存\" onclick=\"openDialog({title:'增加地区库存', "
         "iframe:{src:'SelfProduct/ProductAreaStock.aspx?PID=" +
         std::to_string(p.id) + "'}, width:560, height:420}); return false;\">库存/价格</a>";
}

std::unique_ptr<Family> make_pricing_family(BackOffice& office) {
  return std::make_unique<PricingFamily>(office);
}

}  // namespace demo
