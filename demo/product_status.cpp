// The sale status of a list of products: "SetProductStatus.aspx?PID=,1,2,3&Status=1"
// shows what is asked, "确定" (btnSubmit) applies it. Status 1 sells, 0 pauses, -1
// forbids the sale.

#include <map>
#include <mutex>

#include "backoffice.h"
#include "pages.h"

namespace demo {
namespace {

constexpr const char* kPath = "/SelfProduct/SetProductStatus.aspx";
constexpr size_t kMaxRecorded = 20000;

// The product's status field as the add form writes it: "0" on sale, "1" paused,
// "2" forbidden; "" for a code the page does not know.
std::string product_status(const std::string& code) {
  if (code == "1") return "0";
  if (code == "0") return "1";
  if (code == "-1") return "2";
  return {};
}

std::string status_name(const std::string& code) {
  if (code == "1") return "销售";
  if (code == "0") return "暂停";
  if (code == "-1") return "禁售";
  return "未知状态（" + code + "）";
}

// The ids of PID as sent: split at commas, empty pieces skipped, duplicates kept.
std::vector<std::string> ids_of(const std::string& pid) {
  std::vector<std::string> ids;
  size_t from = 0;
  while (from <= pid.size()) {
    size_t comma = pid.find(',', from);
    if (comma == std::string::npos) comma = pid.size();
    std::string piece = trim(pid.substr(from, comma - from));
    if (!piece.empty()) ids.push_back(piece);
    from = comma + 1;
  }
  return ids;
}

class ProductStatusFamily : public Family {
 public:
  explicit ProductStatusFamily(BackOffice& office) : office_(office) {}

  void install(Routes& routes) override {
    using httplib::Request;
    using httplib::Response;
    routes.get(kPath, [this](const Request& req, Response& res) {
      {
        std::lock_guard lock(mu_);
        ++views_;
      }
      res.set_content(render(req.get_param_value("PID"), req.get_param_value("Status"), ""), kHtml);
    });
    routes.post(kPath, [this](const Request& req, const FormData& form, Response& res) {
      apply(req.get_param_value("PID"), req.get_param_value("Status"), form, res);
    });
  }

  std::string json() override {
    std::lock_guard lock(mu_);
    std::string j = "\"status_pages\": " + std::to_string(views_) + ",\n  \"status_requests\": [";
    for (size_t i = 0; i < requests_.size(); ++i) {
      const Applied& a = requests_[i];
      j += i ? ",\n    " : "\n    ";
      j += "{\"pid\": " + json_escape(a.pid) + ", \"status\": " + json_escape(a.status) + ", \"ids\": [";
      for (size_t k = 0; k < a.ids.size(); ++k) j += (k ? ", " : "") + json_escape(a.ids[k]);
      j += "], \"applied\": " + std::to_string(a.applied) + ", \"message\": " + json_escape(a.message) + "}";
    }
    return j + (requests_.empty() ? "]" : "\n  ]");
  }

  std::string state_html() override {
    std::lock_guard lock(mu_);
    std::string h = "<div class=\"box\"><h2>商品状态设置</h2><p>状态页打开 " + std::to_string(views_) +
                    " 次，提交 " + std::to_string(requests_.size()) + " 次：</p>\n";
    h += "<table class=\"grid\"><tr><th>#</th><th>状态</th><th>商品编号（PID）</th><th>生效</th></tr>\n";
    for (size_t i = 0; i < requests_.size() && i < 200; ++i) {
      const Applied& a = requests_[i];
      h += "<tr><td>" + std::to_string(i + 1) + "</td><td>" + html_escape(a.status) + " " +
           html_escape(status_name(a.status)) + "</td><td>" + html_escape(a.pid) + "</td><td>" +
           std::to_string(a.applied) + "</td></tr>\n";
    }
    return h + "</table></div>\n";
  }

  void reset() override {
    std::lock_guard lock(mu_);
    requests_.clear();
    views_ = 0;
  }

 private:
  struct Applied {
    std::string pid;     // the PID parameter as sent
    std::string status;  // the Status parameter as sent
    std::vector<std::string> ids;
    int applied = 0;  // products whose status changed to the one asked
    std::string message;
  };

  BackOffice& office_;
  std::mutex mu_;
  std::vector<Applied> requests_;
  int views_ = 0;

  void apply(const std::string& pid, const std::string& status, const FormData& form, httplib::Response& res) {
    if (!form.has("btnSubmit")) {
      res.set_content(render(pid, status, ""), kHtml);
      return;
    }
    Applied a;
    a.pid = pid;
    a.status = status;
    a.ids = ids_of(pid);
    const std::string value = product_status(status);
    if (value.empty()) {
      a.message = "状态参数错误，没有商品被修改！";
    } else {
      office_.store().with_products([&](std::vector<Product>& ps) {
        std::map<std::string, Product*> by_id;
        for (Product& p : ps) by_id[std::to_string(p.id)] = &p;
        for (const std::string& id : a.ids) {
          auto it = by_id.find(id);
          if (it == by_id.end()) continue;
          it->second->status = value;
          ++a.applied;
        }
      });
      a.message = "操作成功！已将 " + std::to_string(a.applied) + " 个商品设为" + status_name(status) + "。";
    }
    const std::string message = a.message;
    {
      std::lock_guard lock(mu_);
      if (requests_.size() >= kMaxRecorded) requests_.erase(requests_.begin());
      requests_.push_back(std::move(a));
    }
    res.set_content(render(pid, status, message), kHtml);
  }

  static std::string render(const std::string& pid, const std::string& status, const std::string& message) {
    const std::vector<std::string> ids = ids_of(pid);
    std::string b = "<div class=\"box\" style=\"margin:8px\">\n";
    b += "<form name=\"form1\" method=\"post\" action=\"SetProductStatus.aspx?PID=" + html_escape(pid) +
         "&amp;Status=" + html_escape(status) + "\" id=\"form1\">\n";
    b += viewstate_fields("/wEPDwUKMTQ0NjM2MzM5MmRk");
    b += "<p>将以下 <b id=\"lblCount\">" + std::to_string(ids.size()) + "</b> 个商品设为：<b id=\"lblStatus\">" +
         html_escape(status_name(status)) + "</b></p>\n";
    b += "<p id=\"lblIds\" class=\"note\">" + html_escape(pid) + "</p>\n";
    b += "<p><input type=\"submit\" name=\"btnSubmit\" value=\"确定\" id=\"btnSubmit\" /> "
         "<span id=\"lblMessage\" style=\"color:#c00\">" + html_escape(message) + "</span></p>\n";
    b += "</form>\n</div>";
    return page("设置商品状态", b);
  }
};

}  // namespace

std::unique_ptr<Family> make_product_status_family(BackOffice& office) {
  return std::make_unique<ProductStatusFamily>(office);
}

}  // namespace demo
