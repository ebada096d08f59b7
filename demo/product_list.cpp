// The supplier's product list: products that passed review or wait for it, a page at a
// time, with an AspNetPager-style pager that posts back.

#include <algorithm>
#include <chrono>
#include <mutex>
#include <thread>

#include "backoffice.h"
#include "pages.h"

namespace demo {
namespace {

constexpr const char* kPath = "/SelfProduct/SelfProductList.aspx";
constexpr const char* kTitle = "供货商品管理";
constexpr size_t kMaxRecorded = 20000;

// What the list page keeps between post-backs (in __VIEWSTATE, as WebForms does).
struct ListView {
  bool unreviewed = false;
  int page = 1;
};

std::string encode_view(const ListView& v) {
  return "/wEPDwUKLTk1NjQ4MjMzMQ" + base64_encode(std::string("list|") + (v.unreviewed ? "u" : "r") + "|" +
                                                   std::to_string(v.page));
}

std::optional<ListView> decode_view(const std::string& text) {
  const std::string prefix = "/wEPDwUKLTk1NjQ4MjMzMQ";
  if (text.rfind(prefix, 0) != 0) return std::nullopt;
  auto raw = base64_decode(text.substr(prefix.size()));
  if (!raw || raw->rfind("list|", 0) != 0 || raw->size() < 8) return std::nullopt;
  ListView v;
  const char kind = (*raw)[5];
  if ((kind != 'u' && kind != 'r') || (*raw)[6] != '|') return std::nullopt;
  v.unreviewed = kind == 'u';
  try {
    v.page = std::stoi(raw->substr(7));
  } catch (...) {
    return std::nullopt;
  }
  return v;
}

int to_page(const std::string& s) {
  if (s.empty() || s.size() > 9 || s.find_first_not_of("0123456789") != std::string::npos) return 1;
  return std::max(1, std::stoi(s));
}

std::string status_text(const std::string& status) {
  if (status == "0") return "<span style=\"color:#2e7d32\">销售中</span>";
  if (status == "1") return "<span style=\"color:#b26a00\">已暂停</span>";
  if (status == "2") return "<span style=\"color:#c00\">禁售</span>";
  return "未设置";
}

// The platform's dialog call: the template page opens in a frame over the list.
const char* kDialogScript =
    "<script type=\"text/javascript\">\n"
    "function openDialog(o) {\n"
    "  var old = document.getElementById('dialogMask'); if (old) old.parentNode.removeChild(old);\n"
    "  var mask = document.createElement('div'); mask.id = 'dialogMask';\n"
    "  mask.style.cssText = 'position:fixed;left:0;top:0;right:0;bottom:0;background:rgba(0,0,0,.35)';\n"
    "  var box = document.createElement('div');\n"
    "  box.style.cssText = 'background:#fff;margin:60px auto;padding:8px;width:' + (o.width || 560) + 'px';\n"
    "  var bar = document.createElement('div'); bar.textContent = o.title + '  ';\n"
    "  var close = document.createElement('a'); close.href = 'javascript:void(0)'; close.textContent = '关闭';\n"
    "  close.onclick = function () { mask.parentNode.removeChild(mask); return false; };\n"
    "  bar.appendChild(close); box.appendChild(bar);\n"
    "  var frame = document.createElement('iframe'); frame.src = '/' + o.iframe.src;\n"
    "  frame.style.cssText = 'width:100%;border:0;height:' + (o.height || 380) + 'px';\n"
    "  box.appendChild(frame); mask.appendChild(box); document.body.appendChild(mask);\n"
    "}\n"
    "</script>\n";

class ProductListFamily : public Family {
 public:
  explicit ProductListFamily(BackOffice& office)
      : office_(office), page_size_(office.options().page_size), pager_(office.options().pager) {}

  void install(Routes& routes) override {
    using httplib::Request;
    using httplib::Response;
    routes.get(kPath, [this](const Request& req, Response& res) {
      office_.store().visit(req.path, kTitle);
      ListView v;
      record("GET", "", "", v);
      res.set_content(render(v), kHtml);
    });
    routes.post(kPath, [this](const Request&, const FormData& form, Response& res) { post_back(form, res); });
    // Shapes the demo for a test or a show: any of products, unreviewed, page_size,
    // pager (1 shown, 0 none), delay (milliseconds a post-back of the list takes); then
    // everything is reset.
    routes.public_post("/demo/product-list", [this](const Request&, const FormData& form, Response& res) {
      configure(form, res);
    });
  }

  std::string json() override {
    std::lock_guard lock(mu_);
    std::string j = "\"product_list\": {\"page_size\": " + std::to_string(page_size_) +
                    ", \"pager\": " + (pager_ ? "true" : "false") + ", \"delay_ms\": " + std::to_string(delay_ms_) +
                    ", \"requests\": [";
    for (size_t i = 0; i < requests_.size(); ++i) {
      const Request& r = requests_[i];
      j += i ? ",\n    " : "\n    ";
      j += "{\"method\": " + json_escape(r.method) + ", \"target\": " + json_escape(r.target) +
           ", \"argument\": " + json_escape(r.argument) + ", \"list\": " +
           json_escape(r.unreviewed ? "unreviewed" : "reviewed") + ", \"page\": " + std::to_string(r.page) + "}";
    }
    j += requests_.empty() ? "]}" : "\n  ]}";
    return j;
  }

  std::string state_html() override {
    std::lock_guard lock(mu_);
    std::string h = "<div class=\"box\"><h2>供货商品管理（商品列表）</h2><p>每页 " + std::to_string(page_size_) +
                    " 个商品，分页控件：" + (pager_ ? "有" : "无") + "。列表请求 " +
                    std::to_string(requests_.size()) + " 次，最近的在前：</p>\n";
    h += "<table class=\"grid\"><tr><th>方式</th><th>__EVENTTARGET</th><th>__EVENTARGUMENT</th><th>列表</th>"
         "<th>显示页</th></tr>\n";
    size_t shown = 0;
    for (auto it = requests_.rbegin(); it != requests_.rend() && shown < 50; ++it, ++shown)
      h += "<tr><td>" + it->method + "</td><td>" + html_escape(it->target) + "</td><td>" +
           html_escape(it->argument) + "</td><td>" + (it->unreviewed ? "未审核通过" : "审核通过") + "</td><td>" +
           std::to_string(it->page) + "</td></tr>\n";
    return h + "</table></div>\n";
  }

  void reset() override {
    std::lock_guard lock(mu_);
    requests_.clear();
  }

 private:
  struct Request {
    std::string method;
    std::string target;
    std::string argument;
    bool unreviewed = false;
    int page = 1;  // the page answered
  };

  BackOffice& office_;
  std::mutex mu_;
  int page_size_;
  bool pager_;
  int delay_ms_ = 0;  // a slow platform: every post-back of the list takes this long
  std::vector<Request> requests_;

  void record(const std::string& method, const std::string& target, const std::string& argument,
              const ListView& shown) {
    std::lock_guard lock(mu_);
    if (requests_.size() >= kMaxRecorded) requests_.erase(requests_.begin());
    requests_.push_back({method, target, argument, shown.unreviewed, shown.page});
  }

  void post_back(const FormData& form, httplib::Response& res) {
    auto view = decode_view(form.get("__VIEWSTATE"));
    if (!view) {
      error_page(res, 500, server_error_page("验证视图状态 MAC 失败。", "System.Web.HttpException"));
      return;
    }
    const std::string target = form.get("__EVENTTARGET");
    const std::string argument = form.get("__EVENTARGUMENT");
    ListView v = *view;
    if (target == "AspNetPager1") {
      v.page = to_page(argument);
    } else if (target == "lbtn22") {
      v = ListView{true, 1};
    } else if (target == "lbtn11") {
      v = ListView{false, 1};
    } else if (form.has("btnSearch")) {
      v.page = 1;
    }
    v.page = std::min(v.page, page_count(v.unreviewed));
    int delay = 0;
    {
      std::lock_guard lock(mu_);
      delay = delay_ms_;
    }
    if (delay > 0) std::this_thread::sleep_for(std::chrono::milliseconds(delay));
    record("POST", target, argument, v);
    res.set_content(render(v), kHtml);
  }

  int page_count(bool unreviewed) {
    const int size = page_size();
    const int n = office_.store().with_products([&](std::vector<Product>& ps) {
      return static_cast<int>(std::count_if(ps.begin(), ps.end(), [&](const Product& p) { return p.reviewed != unreviewed; }));
    });
    return std::max(1, (n + size - 1) / size);
  }

  int page_size() {
    std::lock_guard lock(mu_);
    return page_size_;
  }
  bool has_pager() {
    std::lock_guard lock(mu_);
    return pager_;
  }

  void configure(const FormData& form, httplib::Response& res) {
    auto number = [&](const char* name, int min, int max, int& out) {
      if (!form.has(name)) return true;
      const std::string s = form.get(name);
      if (s.empty() || s.size() > 7 || s.find_first_not_of("0123456789") != std::string::npos) return false;
      const int v = std::stoi(s);
      if (v < min || v > max) return false;
      out = v;
      return true;
    };
    int products = office_.store().with_products([](std::vector<Product>& ps) {
      return static_cast<int>(std::count_if(ps.begin(), ps.end(), [](const Product& p) { return p.reviewed; }));
    });
    int unreviewed = office_.store().with_products([](std::vector<Product>& ps) {
      return static_cast<int>(std::count_if(ps.begin(), ps.end(), [](const Product& p) { return !p.reviewed; }));
    });
    int size = page_size();
    int pager = has_pager() ? 1 : 0;
    int delay = 0;
    {
      std::lock_guard lock(mu_);
      delay = delay_ms_;
    }
    if (!number("products", 0, 1000000, products) || !number("unreviewed", 0, 1000000, unreviewed) ||
        !number("page_size", 1, 1000, size) || !number("pager", 0, 1, pager) || !number("delay", 0, 60000, delay)) {
      error_page(res, 400,
                 message_page("请求无效", "products、unreviewed 为 0-1000000，page_size 为 1-1000，pager 为 0 或 1，"
                                          "delay 为 0-60000。"));
      return;
    }
    {
      std::lock_guard lock(mu_);
      page_size_ = size;
      pager_ = pager == 1;
      delay_ms_ = delay;
    }
    office_.store().set_sample_products(products, unreviewed);
    office_.reset();
    res.set_content("{\"products\": " + std::to_string(products) + ", \"unreviewed\": " + std::to_string(unreviewed) +
                        ", \"page_size\": " + std::to_string(size) + ", \"pager\": " + (pager ? "true" : "false") +
                        "}\n",
                    "application/json; charset=utf-8");
  }

  // The operation links of a product's row. Pages that act on single products (the
  // template dialog, stock, prices) add their links here.
  static std::string row_operations(const Product& p, bool unreviewed) {
    const std::string id = std::to_string(p.id);
    return "<a href=\"javascript:void(0)\" onclick=\"openDialog({title:'类型/模板', iframe:{src:'SelfProduct/"
           "ProductTemplate.aspx?PID=" +
           id + "'}, width:560, height:380}); return false;\">类型/模板</a>" + pricing_row_links(p, unreviewed);
  }

  std::string render(const ListView& v) {
    const int size = page_size();
    const bool pager = has_pager();
    std::vector<Product> rows;
    int total = 0;
    office_.store().with_products([&](std::vector<Product>& ps) {
      const size_t first = static_cast<size_t>(v.page - 1) * static_cast<size_t>(size);
      for (const Product& p : ps) {
        if (p.reviewed == v.unreviewed) continue;
        const size_t at = static_cast<size_t>(total++);
        if (at >= first && at < first + static_cast<size_t>(size)) rows.push_back(p);
      }
    });
    const int pages = std::max(1, (total + size - 1) / size);

    std::string c = "<div class=\"box\">\n<h2 id=\"pageTitle\">" + std::string(kTitle) + "</h2>\n";
    c += "<form name=\"form1\" method=\"post\" action=\"SelfProductList.aspx\" id=\"form1\">\n";
    c += viewstate_fields(encode_view(v));
    c += "<p><a id=\"lbtn11\" href=\"javascript:__doPostBack('lbtn11','')\"" +
         std::string(v.unreviewed ? "" : " style=\"font-weight:bold\"") + ">审核通过的商品</a> | " +
         "<a id=\"lbtn22\" href=\"javascript:__doPostBack('lbtn22','')\"" +
         std::string(v.unreviewed ? " style=\"font-weight:bold\"" : "") + ">未审核通过的商品</a></p>\n";
    // Three filter and sort lists come before the pager's list (the pager's is the
    // page's fourth select).
    c += "<p>商品目录：<select name=\"ddlCatalog\" id=\"ddlCatalog\"><option value=\"\">全部目录</option>";
    for (const auto& e : catalog()) c += "<option value=\"" + e.id + "\">" + e.name + "</option>";
    c += "</select> 状态：<select name=\"ddlStatus\" id=\"ddlStatus\"><option value=\"\">全部状态</option>"
         "<option value=\"0\">销售中</option><option value=\"1\">已暂停</option><option value=\"2\">禁售</option>"
         "</select> 排序：<select name=\"ddlOrder\" id=\"ddlOrder\"><option value=\"id\">按编号</option>"
         "<option value=\"name\">按名称</option><option value=\"price\">按面值</option></select> "
         "<input type=\"submit\" name=\"btnSearch\" value=\"查询\" id=\"btnSearch\" /></p>\n";
    c += "<table class=\"grid\" id=\"gvProduct\">\n<tr><th>编号</th><th>商品名称</th><th>面值</th><th>状态</th>"
         "<th>审核</th><th>操作</th></tr>\n";
    if (rows.empty()) c += "<tr><td colspan=\"6\">没有找到商品。</td></tr>\n";
    for (const Product& p : rows) {
      c += "<tr><td>" + std::to_string(p.id) + "</td><td>" + html_escape(p.name) + "</td><td>" +
           html_escape(p.parvalue) + "</td><td>" + status_text(p.status) + "</td><td>" +
           (p.reviewed ? "审核通过" : "等待审核") + "</td><td>" + row_operations(p, v.unreviewed) + "</td></tr>\n";
    }
    c += "</table>\n";
    if (pager) c += pager_html(v.page, pages, total);
    c += "</form>\n</div>\n";
    c += kDialogScript;
    return backoffice_page(kTitle, c);
  }

  static std::string pager_html(int page, int pages, int total) {
    auto go = [](int n) { return "javascript:__doPostBack('AspNetPager1','" + std::to_string(n) + "')"; };
    std::string h = "<div id=\"AspNetPager1\" class=\"pager\">共 " + std::to_string(total) + " 条记录 第 " +
                    std::to_string(page) + "/" + std::to_string(pages) + " 页 ";
    h += "<a href=\"" + go(1) + "\">首页</a> ";
    h += "<a href=\"" + go(std::max(1, page - 1)) + "\">上一页</a> ";
    h += "<a href=\"" + go(std::min(pages, page + 1)) + "\">下一页</a> ";
    h += "<a href=\"" + go(pages) + "\">尾页</a> 转到 ";
    h += "<select name=\"AspNetPager1_input\" id=\"AspNetPager1_input\" "
         "onchange=\"__doPostBack('AspNetPager1',this.options[this.selectedIndex].value)\">";
    for (int i = 1; i <= pages; ++i) {
      const std::string n = std::to_string(i);
      h += "<option value=\"" + n + "\"" + (i == page ? " selected=\"selected\"" : "") + ">" + n + "</option>";
    }
    return h + "</select> 页</div>\n";
  }
};

}  // namespace

std::unique_ptr<Family> make_product_list_family(BackOffice& office) {
  return std::make_unique<ProductListFamily>(office);
}

}  // namespace demo
