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
#include "tools/common/page_load.h"
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

  // 2. Every page of the list.
  PagerWalkTargets targets;
  targets.status = [this](const QString& text) { set_status(text); };
  targets.link = [this](const std::string& link) { append_link(link); };
  if (pager_walk(run, snap, ctx.main_browser(), targets).arrival != Arrival::arrived) {
    if (!run.window_exists()) return;
    // The walk could not go on: nothing is offered for applying.
    c_.analyse->setEnabled(true);
    run.enable_browser_input();
    emit analysis_finished();
    return;
  }

  // 3.
  links_ = split_links(platform::to_gbk_crlf(c_.links->toPlainText()));

  if (links_.empty()) {
    // Nothing to show or to set: the browser is the user's again.
    set_status(QStringLiteral("状态:未找到商品"));
    // No template page to choose on, nothing to apply (also after an earlier analysis
    // that found some).
    for (QWidget* w : {static_cast<QWidget*>(c_.start), static_cast<QWidget*>(c_.types),
                       static_cast<QWidget*>(c_.vendors), static_cast<QWidget*>(c_.templates)})
      w->setEnabled(false);
    c_.analyse->setEnabled(true);
    run.enable_browser_input();
    emit analysis_finished();
    return;
  }

  // 4. A real template page, from which the lists are filled.
  ctx.navigate_main(template_address(ctx.address_text(), links_.front()));

  // 5.
  set_status(QStringLiteral("状态:分析完毕"));
  c_.start->setEnabled(true);
  c_.types->setEnabled(true);
  c_.analyse->setEnabled(true);
  QApplication::clipboard()->setText(platform::from_gbk(platform::to_gbk_crlf(c_.links->toPlainText())));
  run.keep_browser_disabled();
  emit analysis_finished();
}

// ---------------------------------------------------------------------------------
// Choosing

void TemplatesWindow::type_chosen(int index) {
  ToolContext& ctx = ctx_;
  ToolRun run(this);
  page::PageSnapshot& snap = ctx.pages().snapshot(page::PageObjects::kTemplates);

  radio_ = index + 1;
  const std::string r = std::to_string(radio_);
  c_.vendors->setEnabled(false);
  c_.templates->setEnabled(false);
  snap.attach_page(ctx.main_browser());
  snap.check_radio(r);
  const page::Element radio = snap.get_radio_element(radio_);
  if (!run.wait(kBeforeTypeClickMs)) return;
  snap.fire_element_event(radio, "onclick");
  if (index >= 2 && index <= 5) {
    if (!run.wait(kAfterTypeClickMs) || !wait_page_loaded(run, ctx.main_browser())) return;
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
  ToolRun run(this);
  page::PageSnapshot& snap = ctx.pages().snapshot(page::PageObjects::kTemplates);

  c_.templates->setEnabled(false);
  snap.attach_page(ctx.main_browser());
  snap.select_option("ddlGameCompany", index + 1);
  if (!run.wait(kAfterVendorSelectMs)) return;
  const page::Element list = snap.get_select_element(1);
  if (!run.wait(kBeforeVendorChangeMs)) return;
  snap.fire_element_event(list, "onchange");
  if (!run.wait(kAfterVendorChangeMs) || !wait_page_loaded(run, ctx.main_browser())) return;
  snap.attach_page(ctx.main_browser());
  fill_from_select(c_.templates, "ddlTemplate");
  c_.templates->setCurrentIndex(0);
  c_.templates->setEnabled(true);
  emit choice_finished();
}

void TemplatesWindow::template_chosen(int index) {
  page::PageSnapshot& snap = ctx_.pages().snapshot(page::PageObjects::kTemplates);
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
  journal::Run record(ctx.data_dir(), QStringLiteral("[完美]设类型模版"), ctx.main_browser(), run_settings(), keys);

  for (int n = 1; n <= total; ++n) {
    product_ = n;
    // 1-3. (The previous product's answer arrives within the first wait: its item is
    // still open.)
    if (!run.wait(kBeforeProductMs)) return;
    record.begin_item(keys[n - 1]);
    set_status(QStringLiteral("状态:共%1个正在设置第%2个商品的模版   ").arg(total).arg(n));
    ctx.navigate_main(template_address(ctx.address_text(), links[static_cast<std::size_t>(n - 1)]));
    if (!run.wait(kAfterNavigationMs) || !wait_page_loaded(run, ctx.main_browser())) return;

    // 4. The choice as the lists show it now.
    const ApplyPlan plan =
        plan_for(c_.types->currentIndex(), c_.vendors->currentIndex(), c_.templates->currentIndex());
    record.set_detail(choice_text());
    const std::string r = std::to_string(plan.radio);
    attach();
    snap.check_radio(r);
    if (!run.wait(kAfterFirstCheckMs)) return;
    if (!plan.type_chosen) continue;

    if (plan.top_up) {
      // 5.1 The radio's post-back shows the vendor and template lists.
      attach();
      snap.check_radio(r);
      page::Element element = snap.get_radio_element(plan.radio);
      if (!run.wait(kBeforeRadioClickMs)) return;
      snap.fire_element_event(element, "onclick");
      if (!run.wait(kAfterRadioClickMs) || !wait_page_loaded(run, ctx.main_browser())) return;
      // 5.2 The vendor; its change posts back and fills the template list.
      attach();
      snap.select_option("ddlGameCompany", plan.vendor_option);
      element = snap.get_select_element(1);
      if (!run.wait(kBeforeListChangeMs)) return;
      snap.fire_element_event(element, "onchange");
      if (!run.wait(kAfterVendorListChangeMs) || !wait_page_loaded(run, ctx.main_browser())) return;
      // 5.3 The template.
      attach();
      snap.select_option("ddlTemplate", plan.template_option);
      element = snap.get_select_element(2);
      if (!run.wait(kBeforeListChangeMs)) return;
      snap.fire_element_event(element, "onchange");
      if (!run.wait(kAfterTemplateChangeMs)) return;
      // 5.4
      snap.click_button("btnSubmit");
    } else {
      // 6. Card codes and number selection: the radio alone.
      attach();
      snap.check_radio(r);
      const page::Element element = snap.get_radio_element(plan.radio);
      if (!run.wait(kBeforeRadioClickMs)) return;
      snap.fire_element_event(element, "onclick");
      if (!run.wait(kBeforeSubmitMs) || !wait_page_loaded(run, ctx.main_browser())) return;
      // The radio's post-back has replaced the page by now (or is about to): submit on
      // the page that is there.
      attach();
      snap.click_button("btnSubmit");
    }
    if (!run.alive()) return;
  }

  record.end(journal::Ending::finished);
  c_.start->setEnabled(true);
  set_status(QStringLiteral("状态:商品模版设置完毕"));
  run.enable_browser_input();
  emit applying_finished();
}

}  // namespace tools::templates
