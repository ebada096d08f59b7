#include "tools/templates/templates_window.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QGridLayout>
#include <QJsonObject>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>
#include <QTimer>

#include "page/page_objects.h"
#include "page/page_snapshot.h"
#include "platform/browser_view.h"
#include "platform/gbk.h"
#include "tools/common/journal.h"
#include "tools/common/pager_walk.h"
#include "tools/common/tool_context.h"
#include "tools/templates/templates_core.h"
#include "tools/templates/tutorial_viewer.h"

namespace tools::templates {

namespace {

constexpr int kColourTickMs = 100;

// Choosing.
constexpr int kBeforeTypeClickMs = 700;
constexpr int kAfterTypeClickMs = 1000;
constexpr int kAfterVendorSelectMs = 200;
constexpr int kBeforeVendorChangeMs = 900;
constexpr int kAfterVendorChangeMs = 500;

// Applying, per product.
constexpr int kBeforeProductMs = 700;
constexpr int kAfterNavigationMs = 1000;
constexpr int kAfterFirstCheckMs = 500;
constexpr int kBeforeRadioClickMs = 700;
constexpr int kAfterRadioClickMs = 1000;
constexpr int kBeforeListChangeMs = 300;
constexpr int kAfterVendorListChangeMs = 1000;
constexpr int kAfterTemplateChangeMs = 100;
constexpr int kBeforeSubmitMs = 200;

// What the journal calls the tool and the analysis's one item.
const QString kToolName = QStringLiteral("[完美]设类型模版");
const QString kListItem = QStringLiteral("商品列表");

// Product n's template page at address (its path and PID), holding the elements the next
// step uses.
Expect template_page(int n, const QString& address, std::vector<std::string> elements) {
  return Expect::at(QStringLiteral("第%1个商品的模版页").arg(n), address, std::move(elements));
}

// The same after a fired event that may post back.
Expect after_event(int n, const QString& address, std::vector<std::string> elements) {
  Expect e = template_page(n, address, std::move(elements));
  e.since = Expect::Since::load_if_any;
  return e;
}

// The platform's answer to product n's submission: its template page (where the form
// posts) loaded after the click.
Expect saved_page(int n, const QString& address) {
  return Expect::at(QStringLiteral("第%1个商品保存后的页面").arg(n), address);
}

// Any product's template page holding elements (what a choice acts on).
Expect shown_template_page(std::vector<std::string> elements, Expect::Since since = Expect::Since::any) {
  Expect e = Expect::holding(QStringLiteral("商品的模版页"), std::move(elements), since);
  e.path = QString::fromLatin1(kTemplatePath);
  return e;
}

QLabel* caption_for(QWidget* control, const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setBuddy(control);
  control->setAccessibleName(text);
  return label;
}

}  // namespace

TemplatesWindow::TemplatesWindow(ToolContext& ctx)
    : ToolWindow(ctx), ctx_(ctx), random_(std::random_device{}()) {
  build();
  // Window opened.
  setWindowTitle(ctx_.main_title() + QStringLiteral("-自动设置类型模版"));
  ctx_.navigate_main(ctx_.backoffice_address(kListPath));
  for (const char* item : type_items()) c_.types->addItem(QString::fromUtf8(item));
  c_.types->setCurrentIndex(0);
  ctx_.ensure_data_dir();
  colour_timer_->start(kColourTickMs);
}

TemplatesWindow::~TemplatesWindow() { shut_down(); }

void TemplatesWindow::build() {
  auto* grid = new QGridLayout(this);
  c_.types = new QComboBox(this);
  c_.vendors = new QComboBox(this);
  c_.templates = new QComboBox(this);
  int row = 0;
  for (auto [list, text] : {std::pair{c_.types, QStringLiteral("类型")},
                            std::pair{c_.vendors, QStringLiteral("厂商系统")},
                            std::pair{c_.templates, QStringLiteral("充值模版")}}) {
    list->setEnabled(false);
    list->setMinimumWidth(260);
    grid->addWidget(caption_for(list, text, this), row, 0, Qt::AlignRight);
    grid->addWidget(list, row++, 1, 1, 2);
  }

  c_.analyse = new QPushButton(QStringLiteral("1.分析"), this);
  c_.start = new QPushButton(QStringLiteral("2.开始"), this);
  c_.start->setEnabled(false);
  for (QPushButton* b : {c_.analyse, c_.start}) {
    b->setAccessibleName(b->text());
    b->setMinimumHeight(34);
  }
  grid->addWidget(c_.analyse, row, 1);
  grid->addWidget(c_.start, row++, 2);

  // The status shows its current text to assistive tools (no fixed name).
  c_.status = new QLabel(QStringLiteral("状态:等待用户执行"), this);
  c_.status->setTextInteractionFlags(Qt::TextSelectableByMouse);
  // Long texts (a page that did not come) wrap instead of widening the window.
  c_.status->setWordWrap(true);
  grid->addWidget(c_.status, row++, 0, 1, 3);

  c_.tutorial = new QPushButton(QStringLiteral("使用教程【必看】"), this);
  c_.tutorial->setAccessibleName(c_.tutorial->text());
  c_.tutorial->setAutoFillBackground(true);
  grid->addWidget(c_.tutorial, row++, 0, 1, 3);

  c_.links = new QPlainTextEdit(this);
  c_.links->setAccessibleName(QStringLiteral("链接列表"));
  c_.links->setReadOnly(true);
  c_.links->hide();
  grid->addWidget(c_.links, row++, 0, 1, 3);
  grid->setColumnStretch(1, 1);
  grid->setColumnStretch(2, 1);

  colour_timer_ = new QTimer(this);
  connect(colour_timer_, &QTimer::timeout, this, &TemplatesWindow::new_tutorial_colour);
  connect(c_.analyse, &QPushButton::clicked, this, &TemplatesWindow::analyse);
  connect(c_.start, &QPushButton::clicked, this, &TemplatesWindow::start_applying);
  // Only a choice the user makes runs the choosing steps; a selection made by code
  // (setCurrentIndex) does not.
  connect(c_.types, &QComboBox::activated, this, &TemplatesWindow::type_chosen);
  connect(c_.vendors, &QComboBox::activated, this, &TemplatesWindow::vendor_chosen);
  connect(c_.templates, &QComboBox::activated, this, &TemplatesWindow::template_chosen);
  connect(c_.tutorial, &QPushButton::clicked, this, &TemplatesWindow::open_tutorial);
  resize(420, 230);
}

void TemplatesWindow::on_closing() { colour_timer_->stop(); }

void TemplatesWindow::set_status(const QString& text) {
  c_.status->setText(text);
  emit status_text_changed(text);
}

void TemplatesWindow::append_link(const std::string& link) {
  QTextCursor end(c_.links->document());
  end.movePosition(QTextCursor::End);
  end.insertText(platform::from_gbk(link) + QLatin1Char('\n'));
}

void TemplatesWindow::new_tutorial_colour() {
  std::uniform_int_distribution<int> channel(0, 255);
  QPalette p = c_.tutorial->palette();
  const QColor colour(channel(random_), channel(random_), channel(random_));
  p.setColor(QPalette::Button, colour);
  c_.tutorial->setPalette(p);
}

void TemplatesWindow::open_tutorial() {
  auto* viewer = new TutorialViewer(ctx_.main_title());
  viewer->show();
}

void TemplatesWindow::fill_from_select(QComboBox* list, const char* key) {
  page::PageSnapshot& snap = ctx_.pages().snapshot(page::PageObjects::kTemplates);
  list->clear();
  const int n = snap.count_options(key);
  for (int j = 1; j <= n; ++j) list->addItem(platform::from_gbk(snap.get_option_text(key, j)));
}

// ---------------------------------------------------------------------------------
// "1.分析"

void TemplatesWindow::analyse() {
  ToolContext& ctx = ctx_;
  ToolRun run(this, ctx.main_browser());
  page::PageSnapshot& snap = ctx.pages().snapshot(page::PageObjects::kTemplates);

  // 1. The browser stays off for the user until applying ends or the window closes.
  run.disable_browser_input();
  links_.clear();
  c_.links->clear();
  c_.analyse->setEnabled(false);
  // Nothing to apply while the list is rebuilt: "2.开始" comes back with the analysis's end.
  c_.start->setEnabled(false);
  product_ = 0;
  set_status(QStringLiteral("状态:正在计算页数，请勿操作"));
  // The journal: the analysis as one item, with what it found or why it stopped.
  journal::Run record(ctx.data_dir(), kToolName, ctx.main_browser(), QJsonObject{{"step", "1.分析"}}, {kListItem});
  run.report_to(&record, [this](const QString& text) { set_status(text); });
  record.begin_item(kListItem);

  // How an analysis ends that offers nothing to apply: the lists off, the browser given
  // back. A window that was closed is left alone.
  auto offer_nothing = [&](journal::Ending how, const QString& text) {
    if (!run.alive()) return;
    record.end(how);
    links_.clear();
    c_.links->clear();
    for (QWidget* w : {static_cast<QWidget*>(c_.start), static_cast<QWidget*>(c_.types),
                       static_cast<QWidget*>(c_.vendors), static_cast<QWidget*>(c_.templates)})
      w->setEnabled(false);
    c_.analyse->setEnabled(true);
    if (!text.isEmpty()) set_status(text);
    run.enable_browser_input();
    emit analysis_finished();
  };
  // A page that did not come: the runner has recorded it (and told an expired login).
  auto stop_at = [&](Arrival arrival, const QString& text) {
    if (arrival == Arrival::login_expired) return offer_nothing(journal::Ending::login_expired, {});
    // The browser went with the main window (a step then finds nothing to act on).
    if (arrival == Arrival::ended || !ctx.main_browser())
      return offer_nothing(journal::Ending::application_ended, {});
    offer_nothing(journal::Ending::page_not_ready, text);
  };

  // 2. Every page of the list; a page turn that does not come ends the walk.
  PagerWalkTargets targets;
  targets.status = [this](const QString& text) { set_status(text); };
  targets.link = [this](const std::string& link) { append_link(link); };
  const PagerWalkResult walk = pager_walk(run, snap, ctx.main_browser(), targets);
  if (walk.arrival != Arrival::arrived)
    return stop_at(walk.arrival, QStringLiteral("状态:商品列表翻页未就绪，分析已停止（详见运行记录）"));

  // 3.
  links_ = split_links(platform::to_gbk_crlf(c_.links->toPlainText()));
  record.set_detail(QStringLiteral("共%1页，%2个链接").arg(walk.pages).arg(links_.size()));

  if (links_.empty()) {
    // Nothing to show or to set (also after an earlier analysis that found some).
    offer_nothing(journal::Ending::finished, QStringLiteral("状态:未找到商品"));
    return;
  }

  // 4. A real template page, from which the lists are filled: the first product's.
  const std::string first = template_address(ctx.address_text(), links_.front());
  const PageMark mark = run.mark();
  ctx.navigate_main(first);
  const Arrival shown = run.wait_for(0, mark, template_page(1, platform::from_gbk(first), {"btnSubmit"}));
  if (shown != Arrival::arrived)
    return stop_at(shown, QStringLiteral("状态:第一个商品的模版页未就绪，分析已停止（详见运行记录）"));

  // 5.
  record.end(journal::Ending::finished);
  set_status(QStringLiteral("状态:分析完毕"));
  c_.start->setEnabled(true);
  c_.types->setEnabled(true);
  c_.analyse->setEnabled(true);
  QApplication::clipboard()->setText(platform::from_gbk(platform::to_gbk_crlf(c_.links->toPlainText())));
  run.keep_browser_disabled();
  emit analysis_finished();
}

// ---------------------------------------------------------------------------------
// Choosing: each handler acts only on a template page that holds what it uses.

bool TemplatesWindow::choice_goes_on(ToolRun& run, Arrival arrival) {
  if (arrival == Arrival::arrived) return true;
  // A closed window is left alone; otherwise the choice ends here with the lists as they
  // are (the miss or the expired login is told in the status).
  if (run.alive()) emit choice_finished();
  return false;
}

void TemplatesWindow::type_chosen(int index) {
  ToolContext& ctx = ctx_;
  ToolRun run(this, ctx.main_browser());
  run.report_to(nullptr, [this](const QString& text) { set_status(text); });
  page::PageSnapshot& snap = ctx.pages().snapshot(page::PageObjects::kTemplates);

  radio_ = index + 1;
  const std::string r = std::to_string(radio_);
  c_.vendors->setEnabled(false);
  c_.templates->setEnabled(false);
  if (!choice_goes_on(run, run.wait_for(0, {}, shown_template_page({"btnSubmit"})))) return;
  snap.attach_page(ctx.main_browser());
  snap.check_radio(r);
  const page::Element radio = snap.get_radio_element(radio_);
  if (!radio) {
    run.nothing_to_act_on(QStringLiteral("第%1个类型单选按钮").arg(radio_));
    return void(choice_goes_on(run, Arrival::missing));
  }
  if (!run.wait(kBeforeTypeClickMs)) return;
  const PageMark mark = run.mark();
  snap.fire_element_event(radio, "onclick");
  if (index >= 2 && index <= 5) {
    // The radio's post-back shows the vendor list.
    const Expect vendors = shown_template_page({"ddlGameCompany"}, Expect::Since::load_if_any);
    if (!choice_goes_on(run, run.wait_for(kAfterTypeClickMs, mark, vendors))) return;
    c_.vendors->clear();
    snap.attach_page(ctx.main_browser());
    fill_from_select(c_.vendors, "ddlGameCompany");
    c_.vendors->setCurrentIndex(0);
    c_.vendors->setEnabled(true);
  }
  emit choice_finished();
}

void TemplatesWindow::vendor_chosen(int index) {
  ToolContext& ctx = ctx_;
  ToolRun run(this, ctx.main_browser());
  run.report_to(nullptr, [this](const QString& text) { set_status(text); });
  page::PageSnapshot& snap = ctx.pages().snapshot(page::PageObjects::kTemplates);

  c_.templates->setEnabled(false);
  if (!choice_goes_on(run, run.wait_for(0, {}, shown_template_page({"ddlGameCompany"})))) return;
  snap.attach_page(ctx.main_browser());
  snap.select_option("ddlGameCompany", index + 1);
  if (!run.wait(kAfterVendorSelectMs)) return;
  const page::Element list = snap.get_select_element(1);
  if (!run.wait(kBeforeVendorChangeMs)) return;
  const PageMark mark = run.mark();
  snap.fire_element_event(list, "onchange");
  // The vendor's post-back refills the template list.
  const Expect templates = shown_template_page({"ddlTemplate"}, Expect::Since::load_if_any);
  if (!choice_goes_on(run, run.wait_for(kAfterVendorChangeMs, mark, templates))) return;
  snap.attach_page(ctx.main_browser());
  fill_from_select(c_.templates, "ddlTemplate");
  c_.templates->setCurrentIndex(0);
  c_.templates->setEnabled(true);
  emit choice_finished();
}

void TemplatesWindow::template_chosen(int index) {
  ToolRun run(this, ctx_.main_browser());
  run.report_to(nullptr, [this](const QString& text) { set_status(text); });
  page::PageSnapshot& snap = ctx_.pages().snapshot(page::PageObjects::kTemplates);
  if (!choice_goes_on(run, run.wait_for(0, {}, shown_template_page({"ddlTemplate"})))) return;
  snap.attach_page(ctx_.main_browser());
  snap.select_option("ddlTemplate", index + 1);
  emit choice_finished();
}

// ---------------------------------------------------------------------------------
// "2.开始"

QString TemplatesWindow::choice_text() const {
  QString text = c_.types->currentText();
  if (c_.types->currentIndex() >= 2)
    text += QStringLiteral(" / ") + c_.vendors->currentText() + QStringLiteral(" / ") + c_.templates->currentText();
  return text;
}

QJsonObject TemplatesWindow::run_settings() const {
  return QJsonObject{
      {"type", c_.types->currentText()},
      {"radio", c_.types->currentIndex() + 1},
      {"vendor", c_.vendors->currentText()},
      {"vendor_option", c_.vendors->currentIndex() + 1},
      {"template", c_.templates->currentText()},
      {"template_option", c_.templates->currentIndex() + 1},
  };
}

void TemplatesWindow::start_applying() {
  ToolContext& ctx = ctx_;
  ToolRun run(this, ctx.main_browser());
  page::PageSnapshot& snap = ctx.pages().snapshot(page::PageObjects::kTemplates);
  auto attach = [&] { snap.attach_page(ctx.main_browser()); };

  run.disable_browser_input();
  c_.start->setEnabled(false);
  const int total = static_cast<int>(links_.size());
  const std::vector<std::string> links = links_;  // a new analysis may replace the list
  // The journal: one item per product, keyed by its template link, with the choice it
  // got.
  QStringList keys;
  keys.reserve(total);
  for (const std::string& l : links) keys << platform::from_gbk(l);
  journal::Run record(ctx.data_dir(), kToolName, ctx.main_browser(), run_settings(), keys);
  run.report_to(&record, [this](const QString& text) { set_status(text); });
  int not_done = 0;

  // How the run ends. A closed window is left alone.
  auto finish = [&](journal::Ending how, const QString& text) {
    if (!run.alive()) return;
    record.end(how);
    c_.start->setEnabled(true);
    if (!text.isEmpty()) set_status(text);
    run.enable_browser_input();
    emit applying_finished();
  };
  // An arrival that ends the run: an expired login (recorded and told by the runner), or
  // the browser gone with the main window.
  auto ends_run = [&](Arrival a) { return a == Arrival::login_expired || a == Arrival::ended; };
  auto end_at = [&](Arrival a) {
    finish(a == Arrival::login_expired ? journal::Ending::login_expired : journal::Ending::application_ended, {});
  };

  // The platform's answer to a product's submission must be there before the next
  // navigation, which would cancel it: it is awaited within the wait that follows.
  PageMark submitted;
  QString answer_at;  // where the submission goes: the product's template page
  int answer_of = 0;  // the product whose answer is awaited (0: none)
  auto answer_within = [&](int ms) {
    if (answer_of == 0) return run.wait(ms) ? Arrival::arrived : Arrival::ended;
    const int n = answer_of;
    answer_of = 0;
    return run.wait_for(ms, submitted, saved_page(n, answer_at));
  };

  // Steps 3 to 6 for product n: arrived once submitted (or with no type, after step 4);
  // missing when a page did not come or an element was not there (recorded).
  auto set_product = [&](int n) -> Arrival {
    const std::string address = template_address(ctx.address_text(), links[static_cast<std::size_t>(n - 1)]);
    const QString at = platform::from_gbk(address);
    auto nothing = [&](const QString& what) {
      if (!run.alive()) return Arrival::ended;
      run.nothing_to_act_on(what);
      return Arrival::missing;
    };
    // 3. Product n's own template page.
    PageMark mark = run.mark();
    ctx.navigate_main(address);
    Arrival a = run.wait_for(kAfterNavigationMs, mark, template_page(n, at, {"btnSubmit"}));
    if (a != Arrival::arrived) return a;

    // 4. The choice as the lists show it now.
    const ApplyPlan plan =
        plan_for(c_.types->currentIndex(), c_.vendors->currentIndex(), c_.templates->currentIndex());
    record.set_detail(choice_text());
    const std::string r = std::to_string(plan.radio);
    attach();
    if (plan.type_chosen && !snap.check_radio(r)) return nothing(QStringLiteral("第%1个类型单选按钮").arg(plan.radio));
    if (!run.wait(kAfterFirstCheckMs)) return Arrival::ended;
    if (!plan.type_chosen) return Arrival::arrived;

    if (plan.top_up) {
      // 5.1 The radio's post-back shows the vendor and template lists.
      attach();
      snap.check_radio(r);
      page::Element element = snap.get_radio_element(plan.radio);
      if (!element) return nothing(QStringLiteral("第%1个类型单选按钮").arg(plan.radio));
      if (!run.wait(kBeforeRadioClickMs)) return Arrival::ended;
      mark = run.mark();
      snap.fire_element_event(element, "onclick");
      a = run.wait_for(kAfterRadioClickMs, mark, after_event(n, at, {"ddlGameCompany", "ddlTemplate"}));
      if (a != Arrival::arrived) return a;
      // 5.2 The vendor; its change posts back and fills the template list.
      attach();
      snap.select_option("ddlGameCompany", plan.vendor_option);
      element = snap.get_select_element(1);
      if (!element) return nothing(QStringLiteral("厂商系统列表 ddlGameCompany"));
      if (!run.wait(kBeforeListChangeMs)) return Arrival::ended;
      mark = run.mark();
      snap.fire_element_event(element, "onchange");
      a = run.wait_for(kAfterVendorListChangeMs, mark, after_event(n, at, {"ddlTemplate"}));
      if (a != Arrival::arrived) return a;
      // 5.3 The template.
      attach();
      snap.select_option("ddlTemplate", plan.template_option);
      element = snap.get_select_element(2);
      if (!element) return nothing(QStringLiteral("充值模版列表 ddlTemplate"));
      if (!run.wait(kBeforeListChangeMs)) return Arrival::ended;
      mark = run.mark();
      snap.fire_element_event(element, "onchange");
      a = run.wait_for(kAfterTemplateChangeMs, mark, after_event(n, at, {"btnSubmit"}));
      if (a != Arrival::arrived) return a;
    } else {
      // 6. Card codes and number selection: the radio alone.
      attach();
      snap.check_radio(r);
      const page::Element element = snap.get_radio_element(plan.radio);
      if (!element) return nothing(QStringLiteral("第%1个类型单选按钮").arg(plan.radio));
      if (!run.wait(kBeforeRadioClickMs)) return Arrival::ended;
      mark = run.mark();
      snap.fire_element_event(element, "onclick");
      a = run.wait_for(kBeforeSubmitMs, mark, after_event(n, at, {"btnSubmit"}));
      if (a != Arrival::arrived) return a;
    }
    // 5.4 / 6. On the page the last step left.
    attach();
    submitted = run.mark();
    if (!snap.click_button("btnSubmit")) return nothing(QStringLiteral("保存按钮 btnSubmit"));
    answer_of = n;
    answer_at = at;
    return Arrival::arrived;
  };

  for (int n = 1; n <= total; ++n) {
    product_ = n;
    // 1. (The previous product's answer arrives within this wait: its item is still open.)
    Arrival a = answer_within(kBeforeProductMs);
    if (a == Arrival::missing) ++not_done;
    else if (ends_run(a)) return end_at(a);
    // 2.
    record.begin_item(keys[n - 1]);
    set_status(QStringLiteral("状态:共%1个正在设置第%2个商品的模版   ").arg(total).arg(n));
    a = set_product(n);
    if (a == Arrival::missing) ++not_done;
    else if (ends_run(a)) return end_at(a);
  }
  // The last product's answer.
  const Arrival a = answer_within(0);
  if (a == Arrival::missing) ++not_done;
  else if (ends_run(a)) return end_at(a);

  finish(journal::Ending::finished,
         not_done == 0 ? QStringLiteral("状态:商品模版设置完毕")
                       : QStringLiteral("状态:设置结束，%1个商品中有%2个未完成（详见运行记录）").arg(total).arg(not_done));
}

}  // namespace tools::templates
