// Card stock: the inventory page with each product's card-import dialog link and its
// "管理" link, the stock management page (select all, delete the ticked cards), and the
// card-import form (check, then save). Cards are kept per product id.

#include <algorithm>
#include <cstdio>
#include <map>
#include <mutex>

#include "backoffice.h"
#include "pages.h"

namespace demo {
namespace {

constexpr const char* kInventoryPath = "/SelfProduct/SelfProductInventory.aspx";
constexpr const char* kManagePath = "/SelfProduct/ProductCardList.aspx";
constexpr const char* kImportPath = "/SelfProduct/ProductCardImport.aspx";
// Cards shown (and so deleted at most) per stock management page.
constexpr size_t kCardsPerPage = 50;
// Longest card line the import accepts, in bytes.
constexpr size_t kMaxCardLine = 200;
// Longest first line kept in the import record.
constexpr size_t kRecordedLine = 200;

struct Card {
  int id = 0;
  std::string number;  // empty for cards without card number
  std::string secret;
  std::string end_time;
  int import_id = 0;  // 0: a sample card
};

struct Import {
  int id = 0;
  int product = 0;
  std::string if_card_no;  // posted value: "1" with card numbers, "0" without
  std::string end_time;
  bool check_import1 = false;
  bool check_import = false;
  size_t lines = 0;        // card lines of CardContent (empty lines not counted)
  size_t bytes = 0;        // size of CardContent as posted
  std::string first_line;  // cut to kRecordedLine bytes
  bool same_lines = true;  // every card line equal to the first
  std::string state;       // "checked", "saved" or "rejected"
  std::string message;     // the platform's answer
  std::vector<Card> pending;
};

struct Deletion {
  int product = 0;
  std::vector<int> ids;  // the cards deleted (empty: nothing was ticked)
};

std::string form_state() {
  return viewstate_fields("/wEPDwULLTE2NDk3MzQ5NjFkZGNhcmRzdG9jaw==", "/wEWAwKM54rGBgLr7cDMBQLtuNTVCg==");
}

// The platform's dialog: the import form in a frame over the page.
const char* kDialogScript =
    "function showDialog(o) {\n"
    "  var old = document.getElementById('dlgMask'); if (old) old.parentNode.removeChild(old);\n"
    "  var m = document.createElement('div'); m.id = 'dlgMask';\n"
    "  m.style.cssText = 'position:fixed;left:0;top:0;right:0;bottom:0;background:rgba(0,0,0,.35)';\n"
    "  var b = document.createElement('div');\n"
    "  b.style.cssText = 'background:#fff;margin:40px auto;padding:6px;width:' + (o.width || 600) + 'px';\n"
    "  var t = document.createElement('div'); t.style.cssText = 'font-weight:bold;padding:4px';\n"
    "  t.appendChild(document.createTextNode(o.title || ''));\n"
    "  var x = document.createElement('a'); x.href = 'javascript:void(0)'; x.style.cssText = 'float:right';\n"
    "  x.appendChild(document.createTextNode('关闭')); x.onclick = function () { m.parentNode.removeChild(m); };\n"
    "  t.appendChild(x); b.appendChild(t);\n"
    "  var f = document.createElement('iframe'); f.src = '/' + o.iframe.src;\n"
    "  f.style.cssText = 'width:100%;border:0;height:' + (o.height || 480) + 'px';\n"
    "  b.appendChild(f); m.appendChild(b); document.body.appendChild(m);\n"
    "}\n";

const char* kSelectAllScript =
    "function SelectAll() {\n"
    "  var boxes = document.getElementsByName('chkCard');\n"
    "  for (var i = 0; i < boxes.length; i++) boxes[i].checked = true;\n"
    "}\n";

std::string pid_text(const httplib::Request& req) {
  return req.has_param("PID") ? req.get_param_value("PID") : std::string();
}

// A whole positive number, or 0.
int to_id(const std::string& s) {
  if (s.empty() || s.size() > 9 || s.find_first_not_of("0123456789") != std::string::npos) return 0;
  return std::stoi(s);
}

// Card lines of a posted text area: CR LF or LF ends a line; empty lines are skipped.
std::vector<std::string> card_lines(const std::string& content) {
  std::vector<std::string> lines;
  size_t pos = 0;
  while (pos <= content.size()) {
    size_t end = content.find('\n', pos);
    if (end == std::string::npos) end = content.size();
    std::string line = content.substr(pos, end - pos);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!trim(line).empty()) lines.push_back(line);
    pos = end + 1;
  }
  return lines;
}

class InventoryFamily : public Family {
 public:
  explicit InventoryFamily(BackOffice& office) : office_(office) { add_samples(); }

  void install(Routes& routes) override {
    using httplib::Request;
    using httplib::Response;
    routes.get(kInventoryPath, [this](const Request& req, Response& res) { inventory_page(req, res); });
    routes.get(kManagePath, [this](const Request& req, Response& res) {
      office_.store().visit(req.path, "卡密管理");
      res.set_content(manage_page(to_id(pid_text(req)), ""), kHtml);
    });
    routes.post(kManagePath, [this](const Request& req, const FormData& form, Response& res) {
      manage_post(to_id(pid_text(req)), form, res);
    });
    routes.get(kImportPath, [this](const Request& req, Response& res) {
      office_.store().visit(req.path, "导入卡密");
      const int pid = to_id(pid_text(req));
      res.set_content(product_name(pid).empty() ? no_product_page(pid) : import_form(pid, ""), kHtml);
    });
    routes.post(kImportPath, [this](const Request& req, const FormData& form, Response& res) {
      import_post(req, to_id(pid_text(req)), form, res);
    });
  }

  std::string json() override {
    std::lock_guard lock(mu_);
    std::string j = "\"cards\": [";
    bool first = true;
    for (const auto& [pid, cards] : cards_) {
      j += first ? "\n    " : ",\n    ";
      first = false;
      j += "{\"product\": " + std::to_string(pid) + ", \"cards\": [";
      for (size_t i = 0; i < cards.size(); ++i) {
        const Card& c = cards[i];
        j += (i ? ", " : "") + std::string("{\"id\": ") + std::to_string(c.id) + ", \"number\": " +
             json_escape(c.number) + ", \"secret\": " + json_escape(c.secret) + ", \"end_time\": " +
             json_escape(c.end_time) + ", \"import\": " + std::to_string(c.import_id) + "}";
      }
      j += "]}";
    }
    j += first ? "],\n" : "\n  ],\n";
    j += "  \"card_imports\": [";
    for (size_t i = 0; i < imports_.size(); ++i) {
      const Import& m = imports_[i];
      j += (i ? ",\n    " : "\n    ") + std::string("{\"id\": ") + std::to_string(m.id) +
           ", \"product\": " + std::to_string(m.product) + ", \"if_card_no\": " + json_escape(m.if_card_no) +
           ", \"end_time\": " + json_escape(m.end_time) +
           ", \"check_import1\": " + (m.check_import1 ? "true" : "false") +
           ", \"check_import\": " + (m.check_import ? "true" : "false") + ", \"lines\": " +
           std::to_string(m.lines) + ", \"bytes\": " + std::to_string(m.bytes) +
           ", \"first_line\": " + json_escape(m.first_line) +
           ", \"same_lines\": " + (m.same_lines ? "true" : "false") + ", \"state\": " + json_escape(m.state) +
           ", \"message\": " + json_escape(m.message) + "}";
    }
    j += imports_.empty() ? "],\n" : "\n  ],\n";
    j += "  \"card_deletions\": [";
    for (size_t i = 0; i < deletions_.size(); ++i) {
      j += (i ? ", " : "") + std::string("{\"product\": ") + std::to_string(deletions_[i].product) +
           ", \"count\": " + std::to_string(deletions_[i].ids.size()) + "}";
    }
    return j + "]";
  }

  std::string state_html() override {
    std::lock_guard lock(mu_);
    std::string h = "<div class=\"box\"><h2>卡密库存</h2><table class=\"grid\"><tr><th>商品</th><th>库存</th>"
                    "<th>前几张卡密</th></tr>\n";
    for (const auto& [pid, cards] : cards_) {
      std::string sample;
      for (size_t i = 0; i < cards.size() && i < 3; ++i)
        sample += (i ? "\n" : "") + (cards[i].number.empty() ? "" : cards[i].number + " ") + cards[i].secret;
      h += "<tr><td>" + std::to_string(pid) + "</td><td>" + std::to_string(cards.size()) + "</td><td><pre>" +
           html_escape(sample) + "</pre></td></tr>\n";
    }
    h += "</table>\n<h3>导卡记录（" + std::to_string(imports_.size()) + "次）</h3><table class=\"grid\"><tr>"
         "<th>次序</th><th>商品</th><th>IfCardNO</th><th>EndTime</th><th>CheckImport1</th><th>CheckImport</th>"
         "<th>行数</th><th>第一行</th><th>状态</th><th>平台提示</th></tr>\n";
    for (const Import& m : imports_) {
      h += "<tr><td>" + std::to_string(m.id) + "</td><td>" + std::to_string(m.product) + "</td><td>" +
           html_escape(m.if_card_no) + "</td><td>" + html_escape(m.end_time) + "</td><td>" +
           (m.check_import1 ? "是" : "否") + "</td><td>" + (m.check_import ? "是" : "否") + "</td><td>" +
           std::to_string(m.lines) + "</td><td><pre>" + html_escape(m.first_line) + "</pre></td><td>" +
           html_escape(m.state) + "</td><td>" + html_escape(m.message) + "</td></tr>\n";
    }
    h += "</table>\n<h3>删除记录（" + std::to_string(deletions_.size()) + "次）</h3><p>";
    for (const Deletion& d : deletions_)
      h += "商品" + std::to_string(d.product) + "：" + std::to_string(d.ids.size()) + "张　";
    return h + "</p></div>\n";
  }

  void reset() override {
    std::lock_guard lock(mu_);
    cards_.clear();
    imports_.clear();
    deletions_.clear();
    pending_.clear();
    next_card_id_ = 1;
    add_samples_locked();
  }

 private:
  BackOffice& office_;
  std::mutex mu_;
  std::map<int, std::vector<Card>> cards_;
  std::vector<Import> imports_;
  std::vector<Deletion> deletions_;
  std::map<std::string, int> pending_;  // session id -> import id waiting for "Save"
  int next_card_id_ = 1;

  void add_samples() {
    std::lock_guard lock(mu_);
    add_samples_locked();
  }

  // --cards sample cards for every product the store holds.
  void add_samples_locked() {
    const int per_product = office_.options().cards;
    if (per_product <= 0) return;
    std::vector<int> ids = office_.store().with_products([](std::vector<Product>& ps) {
      std::vector<int> v;
      for (const auto& p : ps) v.push_back(p.id);
      return v;
    });
    for (int pid : ids) {
      auto& list = cards_[pid];
      for (int i = 1; i <= per_product; ++i) {
        Card c;
        c.id = next_card_id_++;
        char secret[32];
        std::snprintf(secret, sizeof secret, "P%d-%04d", pid, i);
        c.secret = secret;
        c.end_time = "2099-12-31";
        list.push_back(std::move(c));
      }
    }
  }

  std::string product_name(int pid) {
    return office_.store().with_products([pid](std::vector<Product>& ps) {
      for (const auto& p : ps)
        if (p.id == pid) return p.name;
      return std::string();
    });
  }

  size_t stock(int pid) {
    std::lock_guard lock(mu_);
    auto it = cards_.find(pid);
    return it == cards_.end() ? 0 : it->second.size();
  }

  static std::string no_product_page(int pid) {
    return backoffice_page("导入卡密", "<div class=\"box\"><h2 id=\"pageTitle\">导入卡密</h2><p>找不到编号为" +
                                         std::to_string(pid) + "的商品。</p></div>",
                           "商品不存在！");
  }

  // ------------------------------------------------------------------------------
  // The inventory page

  void inventory_page(const httplib::Request& req, httplib::Response& res) {
    office_.store().visit(req.path, "卡密商品库存管理");
    const std::vector<Product> products = office_.store().products();
    const size_t per_page = static_cast<size_t>(std::max(1, office_.options().inventory_page_size));
    const size_t pages = std::max<size_t>(1, (products.size() + per_page - 1) / per_page);
    size_t page_no = 1;
    if (req.has_param("page")) page_no = static_cast<size_t>(std::max(1, to_id(req.get_param_value("page"))));
    std::string c = "<div class=\"box\">\n<h2 id=\"pageTitle\">卡密商品库存管理</h2>\n";
    c += "<table class=\"grid\" id=\"tblInventory\"><tr><th>编号</th><th>商品名称</th><th>面值</th><th>库存</th>"
         "<th>操作</th></tr>\n";
    size_t shown = 0;
    for (size_t i = (page_no - 1) * per_page; i < products.size() && i < page_no * per_page; ++i) {
      const Product& p = products[i];
      const std::string id = std::to_string(p.id);
      c += "<tr><td>" + id + "</td><td>" + html_escape(p.name) + "</td><td>" + html_escape(p.parvalue) +
           "</td><td>" + std::to_string(stock(p.id)) + "张</td><td>";
      c += "<a href=\"javascript:void(0)\" onclick=\"showDialog({title:'导入卡密', iframe:{src:'" +
           std::string(kImportPath + 1) + "?PID=" + id + "'}, width:640, height:540})\">导卡</a> ";
      c += "<a href=\"ProductCardList.aspx?PID=" + id + "\">管理</a></td></tr>\n";
      ++shown;
    }
    if (shown == 0) c += "<tr><td colspan=\"5\">暂无商品</td></tr>\n";
    c += "</table>\n<p id=\"pager\">第" + std::to_string(page_no) + "/" + std::to_string(pages) + "页 ";
    if (page_no > 1) c += "<a href=\"SelfProductInventory.aspx?page=" + std::to_string(page_no - 1) + "\">上一页</a> ";
    if (page_no < pages)
      c += "<a href=\"SelfProductInventory.aspx?page=" + std::to_string(page_no + 1) + "\">下一页</a>";
    c += "</p>\n</div>\n<script type=\"text/javascript\">" + std::string(kDialogScript) + "</script>";
    res.set_content(backoffice_page("卡密商品库存管理", c), kHtml);
  }

  // ------------------------------------------------------------------------------
  // The stock management page of one product

  std::string manage_page(int pid, const std::string& message) {
    const std::string name = product_name(pid);
    if (name.empty()) return backoffice_page("卡密管理", "<div class=\"box\"><p>找不到商品。</p></div>", "商品不存在！");
    std::vector<Card> cards;
    size_t total = 0;
    {
      std::lock_guard lock(mu_);
      auto it = cards_.find(pid);
      if (it != cards_.end()) {
        total = it->second.size();
        for (size_t i = 0; i < total && i < kCardsPerPage; ++i) cards.push_back(it->second[i]);
      }
    }
    const std::string id = std::to_string(pid);
    std::string c = "<div class=\"box\">\n<h2 id=\"pageTitle\">卡密管理：" + html_escape(name) + "</h2>\n";
    c += "<form name=\"form1\" method=\"post\" action=\"ProductCardList.aspx?PID=" + id + "\" id=\"form1\">\n";
    c += form_state();
    c += "<p>库存：<span id=\"lblTotal\">" + std::to_string(total) + "</span>张，本页显示" +
         std::to_string(cards.size()) + "张。 <a href=\"javascript:SelectAll()\">全选</a> "
         "<a onclick=\"return confirm('确定要删除选中的卡密吗？');\" id=\"Del\" "
         "href=\"javascript:__doPostBack('Del','')\">删除选中</a> "
         "<a href=\"SelfProductInventory.aspx\">返回库存列表</a></p>\n";
    c += "<table class=\"grid\" id=\"tblCards\"><tr><th>选择</th><th>卡号</th><th>卡密</th><th>有效期</th></tr>\n";
    for (size_t i = 0; i < cards.size(); ++i) {
      const Card& k = cards[i];
      c += "<tr><td><input id=\"chkCard_" + std::to_string(i) + "\" type=\"checkbox\" name=\"chkCard\" value=\"" +
           std::to_string(k.id) + "\" /></td><td>" + html_escape(k.number) + "</td><td>" + html_escape(k.secret) +
           "</td><td>" + html_escape(k.end_time) + "</td></tr>\n";
    }
    if (cards.empty()) c += "<tr><td colspan=\"4\">暂无卡密</td></tr>\n";
    c += "</table>\n</form>\n</div>\n<script type=\"text/javascript\">" + std::string(kSelectAllScript) + "</script>";
    return backoffice_page("卡密管理", c, message);
  }

  void manage_post(int pid, const FormData& form, httplib::Response& res) {
    std::string message;
    if (form.get("__EVENTTARGET") == "Del" && !product_name(pid).empty()) {
      std::lock_guard lock(mu_);
      Deletion d;
      d.product = pid;
      auto& list = cards_[pid];
      for (const std::string& v : form.all("chkCard")) {
        const int id = to_id(v);
        auto it = std::find_if(list.begin(), list.end(), [id](const Card& k) { return k.id == id; });
        if (it == list.end()) continue;
        d.ids.push_back(id);
        list.erase(it);
      }
      message = d.ids.empty() ? "请先选择要删除的卡密！" : "成功删除" + std::to_string(d.ids.size()) + "张卡密！";
      deletions_.push_back(std::move(d));
    }
    res.set_content(manage_page(pid, message), kHtml);
  }

  // ------------------------------------------------------------------------------
  // The card-import form: "Submit" checks the cards and shows them, "Save" stores them.

  std::string import_form(int pid, const std::string& message) {
    const std::string id = std::to_string(pid);
    std::string c = "<div class=\"box\">\n<h2 id=\"pageTitle\">导入卡密：" + html_escape(product_name(pid)) + "</h2>\n";
    c += "<form name=\"form1\" method=\"post\" action=\"ProductCardImport.aspx?PID=" + id + "\" id=\"form1\">\n";
    c += form_state();
    c += "<table class=\"grid\">\n";
    c += "<tr><td>卡密内容：</td><td><textarea name=\"CardContent\" id=\"CardContent\" rows=\"12\" cols=\"60\">"
         "</textarea><br /><span class=\"note\">一行一张卡；有卡号时每行为“卡号 密码”。</span></td></tr>\n";
    c += "<tr><td>卡号：</td><td><select name=\"IfCardNO\" id=\"IfCardNO\"><option value=\"1\">有卡号</option>"
         "<option selected=\"selected\" value=\"0\">无卡号</option></select></td></tr>\n";
    c += "<tr><td>有效期：</td><td><input name=\"EndTime\" type=\"text\" value=\"2030-12-31\" id=\"EndTime\" /></td></tr>\n";
    c += "<tr><td>选项：</td><td><input id=\"CheckImport1\" type=\"checkbox\" name=\"CheckImport1\" checked=\"checked\" />"
         "<label for=\"CheckImport1\">检查重复卡密</label> "
         "<input id=\"CheckImport\" type=\"checkbox\" name=\"CheckImport\" checked=\"checked\" />"
         "<label for=\"CheckImport\">导入后自动上架</label></td></tr>\n";
    c += "<tr><td></td><td><input type=\"submit\" name=\"Submit\" value=\"检测卡密\" id=\"Submit\" /></td></tr>\n";
    c += "</table>\n</form>\n</div>";
    return backoffice_page("导入卡密", c, message);
  }

  std::string check_page(int pid, const Import& m) {
    const std::string id = std::to_string(pid);
    std::string c = "<div class=\"box\">\n<h2 id=\"pageTitle\">确认导入：" + html_escape(product_name(pid)) + "</h2>\n";
    c += "<form name=\"form1\" method=\"post\" action=\"ProductCardImport.aspx?PID=" + id + "\" id=\"form1\">\n";
    c += form_state();
    c += "<input type=\"hidden\" name=\"hidImport\" id=\"hidImport\" value=\"" + std::to_string(m.id) + "\" />\n";
    c += "<p>共<span id=\"lblCount\">" + std::to_string(m.pending.size()) + "</span>张卡密，" +
         (m.if_card_no == "1" ? "有卡号" : "无卡号") + "，有效期至" + html_escape(m.end_time) + "，检查重复：" +
         (m.check_import1 ? "是" : "否") + "，自动上架：" + (m.check_import ? "是" : "否") + "。</p>\n";
    c += "<table class=\"grid\"><tr><th>卡号</th><th>卡密</th></tr>\n";
    for (size_t i = 0; i < m.pending.size() && i < 10; ++i)
      c += "<tr><td>" + html_escape(m.pending[i].number) + "</td><td>" + html_escape(m.pending[i].secret) +
           "</td></tr>\n";
    c += "</table>\n<p><input type=\"submit\" name=\"Save\" value=\"确认保存\" id=\"Save\" /> "
         "<a href=\"ProductCardImport.aspx?PID=" + id + "\">返回修改</a></p>\n</form>\n</div>";
    return backoffice_page("确认导入", c);
  }

  void import_post(const httplib::Request& req, int pid, const FormData& form, httplib::Response& res) {
    if (product_name(pid).empty()) {
      res.set_content(no_product_page(pid), kHtml);
      return;
    }
    const std::string session = office_.session_id(req);
    if (form.has("Save")) {
      std::string message;
      {
        std::lock_guard lock(mu_);
        auto p = pending_.find(session);
        const int import_id = to_id(form.get("hidImport"));
        Import* m = nullptr;
        if (p != pending_.end() && p->second == import_id)
          for (Import& x : imports_)
            if (x.id == import_id && x.product == pid && x.state == "checked") m = &x;
        if (!m) {
          message = "请先检测卡密！";
        } else {
          auto& list = cards_[pid];
          for (Card& k : m->pending) {
            k.id = next_card_id_++;
            list.push_back(std::move(k));
          }
          m->state = "saved";
          m->message = "成功导入" + std::to_string(m->pending.size()) + "张卡密！";
          message = m->message;
          m->pending.clear();
          m->pending.shrink_to_fit();
          pending_.erase(p);
        }
      }
      res.set_content(import_form(pid, message), kHtml);
      return;
    }

    Import m;
    m.product = pid;
    m.if_card_no = form.get("IfCardNO");
    m.end_time = form.get("EndTime");
    m.check_import1 = form.has("CheckImport1");
    m.check_import = form.has("CheckImport");
    const std::string content = form.get("CardContent");
    m.bytes = content.size();
    const std::vector<std::string> lines = card_lines(content);
    m.lines = lines.size();
    if (!lines.empty()) m.first_line = lines.front().substr(0, kRecordedLine);
    for (const std::string& l : lines)
      if (l != lines.front()) m.same_lines = false;
    if (lines.empty()) m.message = "请输入卡密！";
    for (size_t i = 0; i < lines.size() && m.message.empty(); ++i) {
      if (lines[i].size() > kMaxCardLine) {
        m.message = "第" + std::to_string(i + 1) + "行卡密过长（最多" + std::to_string(kMaxCardLine) + "个字节）！";
        break;
      }
      Card k;
      k.end_time = m.end_time;
      if (m.if_card_no == "1") {
        const size_t sep = lines[i].find_first_of(" \t,");
        if (sep == std::string::npos) {
          m.message = "第" + std::to_string(i + 1) + "行缺少卡号或密码！";
          break;
        }
        k.number = lines[i].substr(0, sep);
        k.secret = trim(lines[i].substr(sep + 1));
      } else {
        k.secret = trim(lines[i]);
      }
      m.pending.push_back(std::move(k));
    }
    std::lock_guard lock(mu_);
    m.id = static_cast<int>(imports_.size()) + 1;
    if (!m.message.empty()) {
      m.state = "rejected";
      m.pending.clear();
      imports_.push_back(std::move(m));
      res.set_content(import_form(pid, imports_.back().message), kHtml);
      return;
    }
    m.state = "checked";
    for (Card& k : m.pending) k.import_id = m.id;
    pending_[session] = m.id;
    imports_.push_back(std::move(m));
    res.set_content(check_page(pid, imports_.back()), kHtml);
  }
};

}  // namespace

std::unique_ptr<Family> make_inventory_family(BackOffice& office) {
  return std::make_unique<InventoryFamily>(office);
}

}  // namespace demo
