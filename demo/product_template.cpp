// A product's type and recharge template: the page the list's "类型/模板" dialog shows.
// Six type radios that post back; for the top-up types the vendor list (whose change
// posts back and refills the template list) and the template list; "保存".

#include <cstdio>
#include <map>
#include <mutex>

#include "backoffice.h"
#include "pages.h"

namespace demo {
namespace {

constexpr const char* kPath = "/SelfProduct/ProductTemplate.aspx";
constexpr size_t kMaxRecorded = 20000;

const char* const kTypes[6] = {"卡密", "选号", "人工代充", "账号直充", "卡密直充", "接口直冲"};
const char* const kVendors[6] = {"完美世界", "盛大游戏", "网易游戏", "腾讯游戏", "巨人网络", "金山软件"};

// Radios 3 to 6 are top-up types, which need a vendor and a template.
bool top_up(int radio) { return radio >= 3 && radio <= 6; }

std::string vendor_value(int v) { return std::to_string(1001 + v); }

struct TemplateEntry {
  std::string value;
  std::string name;
};

// The templates of a vendor for a top-up type (2 to 4 of them).
std::vector<TemplateEntry> templates_of(int radio, int vendor) {
  std::vector<TemplateEntry> out;
  const int n = 2 + (vendor + radio) % 3;
  for (int i = 0; i < n; ++i) {
    out.push_back({"T" + std::to_string(radio) + "V" + std::to_string(vendor) + "N" + std::to_string(i + 1),
                   std::string(kVendors[vendor]) + "-" + kTypes[radio - 1] + "模版" + static_cast<char>('A' + i)});
  }
  return out;
}

int vendor_index(const std::string& value) {
  for (int v = 0; v < 6; ++v)
    if (vendor_value(v) == value) return v;
  return -1;
}

int template_index(int radio, int vendor, const std::string& value) {
  const auto list = templates_of(radio, vendor);
  for (size_t i = 0; i < list.size(); ++i)
    if (list[i].value == value) return static_cast<int>(i);
  return -1;
}

// The page's state between post-backs: type radio (0 none), vendor and template
// positions (0-based) of the lists shown.
struct TemplateView {
  int radio = 0;
  int vendor = 0;
  int templ = 0;
};

const char* kViewPrefix = "/wEPDwULLTEyNjM4NzE0NTQP";

std::string encode_view(int pid, const TemplateView& v) {
  return kViewPrefix + base64_encode("tpl|" + std::to_string(pid) + "|" + std::to_string(v.radio) + "|" +
                                     std::to_string(v.vendor) + "|" + std::to_string(v.templ));
}

std::optional<TemplateView> decode_view(int pid, const std::string& text) {
  const std::string prefix = kViewPrefix;
  if (text.rfind(prefix, 0) != 0) return std::nullopt;
  auto raw = base64_decode(text.substr(prefix.size()));
  if (!raw) return std::nullopt;
  int p = 0;
  TemplateView v;
  if (std::sscanf(raw->c_str(), "tpl|%d|%d|%d|%d", &p, &v.radio, &v.vendor, &v.templ) != 4 || p != pid)
    return std::nullopt;
  if (v.radio < 0 || v.radio > 6 || v.vendor < 0 || v.vendor > 5 || v.templ < 0) return std::nullopt;
  if (top_up(v.radio) && static_cast<size_t>(v.templ) >= templates_of(v.radio, v.vendor).size()) return std::nullopt;
  return v;
}

std::optional<int> product_id(const std::string& text) {
  if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos)
    return std::nullopt;
  return std::stoi(text);
}

class ProductTemplateFamily : public Family {
 public:
  explicit ProductTemplateFamily(BackOffice& office) : office_(office) {}

  void install(Routes& routes) override {
    using httplib::Request;
    using httplib::Response;
    routes.get(kPath, [this](const Request& req, Response& res) {
      std::string name;
      auto pid = find(req, res, name);
      if (!pid) return;
      TemplateView v;
      {
        std::lock_guard lock(mu_);
        ++views_;
        auto it = settings_.find(*pid);
        if (it != settings_.end()) v = it->second.view;
      }
      res.set_content(render(*pid, name, v, ""), kHtml);
    });
    routes.post(kPath, [this](const Request& req, const FormData& form, Response& res) {
      std::string name;
      auto pid = find(req, res, name);
      if (!pid) return;
      post(*pid, name, form, res);
    });
  }

  std::string json() override {
    std::lock_guard lock(mu_);
    std::string j = "\"templates\": {\"views\": " + std::to_string(views_) + ", \"settings\": [";
    bool first = true;
    for (const auto& [pid, s] : settings_) {
      j += first ? "\n    " : ",\n    ";
      first = false;
      j += setting_json(pid, s);
    }
    j += first ? "]" : "\n  ]";
    j += ", \"submissions\": [";
    for (size_t i = 0; i < submissions_.size(); ++i) {
      const Submission& s = submissions_[i];
      j += i ? ",\n    " : "\n    ";
      j += "{\"product\": " + std::to_string(s.pid) + ", \"saved\": " + (s.saved ? "true" : "false") +
           ", \"radio\": " + std::to_string(s.radio) + ", \"vendor_option\": " + std::to_string(s.vendor_option) +
           ", \"template_option\": " + std::to_string(s.template_option) + ", \"message\": " +
           json_escape(s.message) + "}";
    }
    j += submissions_.empty() ? "]" : "\n  ]";
    j += ", \"postbacks\": [";
    for (size_t i = 0; i < postbacks_.size(); ++i) {
      j += i ? ", " : "";
      j += "{\"product\": " + std::to_string(postbacks_[i].first) + ", \"target\": " +
           json_escape(postbacks_[i].second) + "}";
    }
    return j + "]}";
  }

  std::string state_html() override {
    std::lock_guard lock(mu_);
    std::string h = "<div class=\"box\"><h2>商品类型/模板</h2><p>模板页打开 " + std::to_string(views_) +
                    " 次，回发 " + std::to_string(postbacks_.size()) + " 次，保存 " +
                    std::to_string(submissions_.size()) + " 次。已设置的商品：</p>\n";
    h += "<table class=\"grid\"><tr><th>商品</th><th>类型（第几个单选）</th><th>厂商系统（第几项）</th>"
         "<th>充值模版（第几项）</th></tr>\n";
    for (const auto& [pid, s] : settings_) {
      h += "<tr><td>" + std::to_string(pid) + "</td><td>" + kTypes[s.view.radio - 1] + "（" +
           std::to_string(s.view.radio) + "）</td>";
      if (top_up(s.view.radio))
        h += "<td>" + std::string(kVendors[s.view.vendor]) + "（" + std::to_string(s.view.vendor + 1) + "）</td><td>" +
             html_escape(templates_of(s.view.radio, s.view.vendor)[s.view.templ].name) + "（" +
             std::to_string(s.view.templ + 1) + "）</td>";
      else
        h += "<td>-</td><td>-</td>";
      h += "</tr>\n";
    }
    return h + "</table></div>\n";
  }

  void reset() override {
    std::lock_guard lock(mu_);
    settings_.clear();
    submissions_.clear();
    postbacks_.clear();
    views_ = 0;
  }

 private:
  struct Setting {
    TemplateView view;  // radio 1-6; vendor and template only for the top-up types
  };
  struct Submission {
    int pid = 0;
    bool saved = false;
    int radio = 0;
    int vendor_option = 0;    // 1-based position of the posted ddlGameCompany value, 0 none
    int template_option = 0;  // 1-based position of the posted ddlTemplate value, 0 none
    std::string message;
  };

  BackOffice& office_;
  std::mutex mu_;
  std::map<int, Setting> settings_;
  std::vector<Submission> submissions_;
  std::vector<std::pair<int, std::string>> postbacks_;
  int views_ = 0;

  static std::string setting_json(int pid, const Setting& s) {
    std::string j = "{\"product\": " + std::to_string(pid) + ", \"radio\": " + std::to_string(s.view.radio) +
                    ", \"type\": " + json_escape(kTypes[s.view.radio - 1]);
    if (top_up(s.view.radio)) {
      j += ", \"vendor_option\": " + std::to_string(s.view.vendor + 1) + ", \"vendor\": " +
           json_escape(kVendors[s.view.vendor]) + ", \"template_option\": " + std::to_string(s.view.templ + 1) +
           ", \"template\": " + json_escape(templates_of(s.view.radio, s.view.vendor)[s.view.templ].name);
    } else {
      j += ", \"vendor_option\": 0, \"vendor\": \"\", \"template_option\": 0, \"template\": \"\"";
    }
    return j + "}";
  }

  // The product of the request's PID; a PID that names no product fails as the
  // platform's page does (an unhandled exception).
  std::optional<int> find(const httplib::Request& req, httplib::Response& res, std::string& name) {
    auto pid = product_id(req.get_param_value("PID"));
    if (!pid) {
      error_page(res, 500, server_error_page("输入字符串的格式不正确。", "System.FormatException"));
      return std::nullopt;
    }
    const bool found = office_.store().with_products([&](std::vector<Product>& ps) {
      for (const Product& p : ps)
        if (p.id == *pid) {
          name = p.name;
          return true;
        }
      return false;
    });
    if (!found) {
      error_page(res, 500, server_error_page("未将对象引用设置到对象的实例。", "System.NullReferenceException"));
      return std::nullopt;
    }
    return pid;
  }

  void post(int pid, const std::string& name, const FormData& form, httplib::Response& res) {
    auto view = decode_view(pid, form.get("__VIEWSTATE"));
    if (!view) {
      error_page(res, 500, server_error_page("验证视图状态 MAC 失败。", "System.Web.HttpException"));
      return;
    }
    // As WebForms does: the posted values first (a list whose source changed is bound
    // again and starts at its first item), then the event.
    TemplateView v = *view;
    const std::string target = form.get("__EVENTTARGET");
    const std::string posted_type = form.get("rblType");
    bool rebound = false;
    if (posted_type.size() == 1 && posted_type[0] >= '1' && posted_type[0] <= '6' && posted_type[0] - '0' != v.radio) {
      v = TemplateView{posted_type[0] - '0', 0, 0};
      rebound = true;
    }
    const int posted_vendor = top_up(v.radio) ? vendor_index(form.get("ddlGameCompany")) : -1;
    if (!rebound && posted_vendor >= 0 && posted_vendor != v.vendor) {
      v = TemplateView{v.radio, posted_vendor, 0};
      rebound = true;
    }
    const int posted_template =
        top_up(v.radio) && posted_vendor >= 0 ? template_index(v.radio, posted_vendor, form.get("ddlTemplate")) : -1;
    if (!rebound && posted_template >= 0) v.templ = posted_template;

    // A submit button in the post is the event, whatever __EVENTTARGET holds (a
    // post-back script may have set it just before the button was clicked).
    if (!form.has("btnSubmit")) {
      if (!target.empty()) {
        // rblType$n or ddlGameCompany: the page shows the new choice; nothing is saved.
        std::lock_guard lock(mu_);
        if (postbacks_.size() >= kMaxRecorded) postbacks_.erase(postbacks_.begin());
        postbacks_.emplace_back(pid, target);
      }
      res.set_content(render(pid, name, v, ""), kHtml);
      return;
    }
    Submission s;
    s.pid = pid;
    s.radio = v.radio;
    s.vendor_option = posted_vendor + 1;
    s.template_option = posted_template + 1;
    if (v.radio == 0) {
      s.message = "请选择商品类型！";
    } else {
      if (!top_up(v.radio)) v = TemplateView{v.radio, 0, 0};
      s.saved = true;
      s.message = "设置成功！";
    }
    {
      std::lock_guard lock(mu_);
      if (s.saved) settings_[pid] = Setting{v};
      if (submissions_.size() >= kMaxRecorded) submissions_.erase(submissions_.begin());
      submissions_.push_back(s);
    }
    res.set_content(render(pid, name, v, s.message), kHtml);
  }

  static std::string render(int pid, const std::string& name, const TemplateView& v, const std::string& message) {
    const std::string id = std::to_string(pid);
    std::string b = "<div class=\"box\" style=\"margin:8px\">\n";
    b += "<form name=\"form1\" method=\"post\" action=\"ProductTemplate.aspx?PID=" + id + "\" id=\"form1\">\n";
    b += viewstate_fields(encode_view(pid, v));
    b += "<p>商品：<b id=\"lblProductName\">" + html_escape(name) + "</b>（编号 " + id + "）</p>\n";
    b += "<table id=\"rblType\" class=\"grid\"><tr><th>类型：</th>";
    for (int i = 0; i < 6; ++i) {
      const std::string n = std::to_string(i);
      b += "<td><input id=\"rblType_" + n + "\" type=\"radio\" name=\"rblType\" value=\"" + std::to_string(i + 1) +
           "\"" + (v.radio == i + 1 ? " checked=\"checked\"" : "") +
           " onclick=\"javascript:setTimeout('__doPostBack(\\'rblType$" + n + "\\',\\'\\')', 0)\" /><label for=\"rblType_" +
           n + "\">" + kTypes[i] + "</label></td>";
    }
    b += "</tr></table>\n";
    if (top_up(v.radio)) {
      b += "<p id=\"pnlTemplate\"><label for=\"ddlGameCompany\">厂商系统：</label>"
           "<select name=\"ddlGameCompany\" id=\"ddlGameCompany\" "
           "onchange=\"javascript:setTimeout('__doPostBack(\\'ddlGameCompany\\',\\'\\')', 0)\">";
      for (int i = 0; i < 6; ++i)
        b += "<option value=\"" + vendor_value(i) + "\"" + (v.vendor == i ? " selected=\"selected\"" : "") + ">" +
             kVendors[i] + "</option>";
      b += "</select> <label for=\"ddlTemplate\">充值模版：</label><select name=\"ddlTemplate\" id=\"ddlTemplate\">";
      const auto list = templates_of(v.radio, v.vendor);
      for (size_t i = 0; i < list.size(); ++i)
        b += "<option value=\"" + list[i].value + "\"" +
             (static_cast<int>(i) == v.templ ? " selected=\"selected\"" : "") + ">" + html_escape(list[i].name) +
             "</option>";
      b += "</select></p>\n";
    } else if (v.radio != 0) {
      b += "<p class=\"note\">" + std::string(kTypes[v.radio - 1]) + "商品不需要厂商系统和充值模版。</p>\n";
    }
    b += "<p><input type=\"submit\" name=\"btnSubmit\" value=\"保存\" id=\"btnSubmit\" /> "
         "<span id=\"lblMessage\" style=\"color:#c00\">" + html_escape(message) + "</span></p>\n";
    b += "</form>\n</div>";
    return page("类型/模板", b);
  }
};

}  // namespace

std::unique_ptr<Family> make_product_template_family(BackOffice& office) {
  return std::make_unique<ProductTemplateFamily>(office);
}

}  // namespace demo
