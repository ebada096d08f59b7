#include "tools/publishing/publishing_window.h"

#include <QButtonGroup>
#include <QJsonArray>
#include <QJsonObject>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QVBoxLayout>

#include <vector>

#include "page/confirmer.h"
#include "page/page_objects.h"
#include "page/page_snapshot.h"
#include "platform/browser_view.h"
#include "platform/dialogs.h"
#include "platform/gbk.h"
#include "platform/waits.h"
#include "settings/settings.h"
#include "text/text.h"
#include "tools/common/journal.h"
#include "tools/common/tool_context.h"
#include "tools/publishing/catalogue_window.h"
#include "tools/publishing/colour_picker.h"
#include "tools/publishing/completion_notice.h"
#include "tools/publishing/publishing_core.h"

namespace tools::publishing {

namespace {

constexpr int kFillWaitMs = 3000;
constexpr int kBetweenProductsMs = 6000;
constexpr int kAfterLastMs = 3000;
constexpr int kConfirmPeriodMs = 700;

// configure.ini keys (GBK), one per setting.
struct Keys {
  std::string catalogue1 = text::utf8_to_gbk("商品目录1");
  std::string catalogue2 = text::utf8_to_gbk("目录编号2");
  std::string catalogue3 = text::utf8_to_gbk("目录编号3");
  std::string sales_range = text::utf8_to_gbk("销售范围");
  std::string unit = text::utf8_to_gbk("数量单位名称");
  std::string face_value = text::utf8_to_gbk("商品面值");
  std::string face_value_again = text::utf8_to_gbk("商品的面值");
  std::string days = text::utf8_to_gbk("有效售后天数");
  std::string sale_status = text::utf8_to_gbk("是否允许销售");
  std::string charging = text::utf8_to_gbk("计费方式");
  std::string recharge = text::utf8_to_gbk("充值网址");
  std::string contact = text::utf8_to_gbk("客服联系方式");
};
const Keys& keys() {
  static const Keys k;
  return k;
}

// Whole-file texts arrive with CR LF; the edit boxes work with LF.
QString from_file_text(const std::string& gbk) {
  QString s = platform::from_gbk(gbk);
  s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return s;
}

std::string edit_text(const QLineEdit* e) { return platform::to_gbk(e->text()); }
std::string edit_text(const QPlainTextEdit* e) { return platform::to_gbk_crlf(e->toPlainText()); }

QLabel* caption(const QString& text, QWidget* parent) { return new QLabel(text, parent); }

QLineEdit* line_edit(const QString& name, QWidget* parent) {
  auto* e = new QLineEdit(parent);
  e->setAccessibleName(name);
  return e;
}

QPlainTextEdit* text_box(const QString& name, QWidget* parent) {
  auto* e = new QPlainTextEdit(parent);
  e->setAccessibleName(name);
  e->setTabChangesFocus(true);
  return e;
}

}  // namespace

PublishingWindow::PublishingWindow(ToolContext& ctx)
    : ToolWindow(ctx), ctx_(ctx), random_(std::random_device{}()) {
  build();
  // Window opened.
  ctx_.ensure_data_dir();
  setWindowTitle(ctx_.main_title() + QStringLiteral("-全自动上架商品(前台版)"));
  c_.catalogue[0]->setPlaceholderText(
      QStringLiteral("按顺序填写，如第一个目录就填写0 第二个目录就填写1,以此类型。"));
  c_.contact->setPlaceholderText(QStringLiteral("可以填写联系方式，如添加QQ，格式qq(123456,234567)"));
  c_.face_value->setPlaceholderText(QStringLiteral("必须为纯数值)"));
  c_.introduction->setPlaceholderText(QStringLiteral("填写您的商品简介，可空行)"));
  c_.notice->setPlaceholderText(QStringLiteral("填写您的注意事项，可空行)"));
  c_.charging->setPlaceholderText(QStringLiteral("默认为空即可)"));
  c_.names->setPlaceholderText(QStringLiteral("一行即为一个商品名称，输入多个商品时，记得换行)"));
  load_settings();
  QFont f = c_.names->font();
  f.setBold(c_.bold->isChecked());
  c_.names->setFont(f);
  set_text_colour(QColor(0, 0, 255));
}

PublishingWindow::~PublishingWindow() { shut_down(); }

void PublishingWindow::build() {
  auto* outer = new QVBoxLayout(this);
  auto* group = new QGroupBox(QStringLiteral("全自动发布商品（前台版）"), this);
  outer->addWidget(group);
  auto* grid = new QGridLayout(group);
  int row = 0;

  grid->addWidget(caption(QStringLiteral("*商品名称："), group), row, 0, Qt::AlignTop | Qt::AlignRight);
  c_.names = text_box(QStringLiteral("*商品名称："), group);
  c_.names->setMinimumHeight(120);
  grid->addWidget(c_.names, row++, 1, 1, 4);

  grid->addWidget(caption(QStringLiteral("*商品目录编号："), group), row, 0, Qt::AlignRight);
  {
    auto* line = new QHBoxLayout;
    for (int i = 0; i < 3; ++i) {
      const QString name = QStringLiteral("目录%1").arg(i + 1);
      line->addWidget(caption(name, group));
      c_.catalogue[i] = line_edit(name, group);
      line->addWidget(c_.catalogue[i], i == 0 ? 3 : 1);
    }
    grid->addLayout(line, row++, 1, 1, 4);
  }
  {
    auto* line = new QHBoxLayout;
    line->addWidget(caption(QStringLiteral("商品目录可同时选择3个，不填则空"), group));
    c_.catalogue_lookup = new QPushButton(QStringLiteral("点击→获取商品目录编号"), group);
    c_.catalogue_lookup->setAccessibleName(c_.catalogue_lookup->text());
    line->addWidget(c_.catalogue_lookup);
    line->addStretch();
    grid->addLayout(line, row++, 1, 1, 4);
  }

  grid->addWidget(caption(QStringLiteral("*销售范围："), group), row, 0, Qt::AlignRight);
  {
    auto* line = new QHBoxLayout;
    sales_group_ = new QButtonGroup(this);
    c_.sales_sub = new QRadioButton(QStringLiteral("面向下级客户"), group);
    c_.sales_all = new QRadioButton(QStringLiteral("面向所有客户(需审核)"), group);
    for (auto* r : {c_.sales_sub, c_.sales_all}) {
      r->setAccessibleName(r->text());
      sales_group_->addButton(r);
      line->addWidget(r);
    }
    c_.tip_link = new QLabel(QStringLiteral("<a href=\"tip\">小提示</a>"), group);
    c_.tip_link->setAccessibleName(QStringLiteral("小提示"));
    c_.tip_link->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    line->addWidget(c_.tip_link);
    line->addStretch();
    grid->addLayout(line, row++, 1, 1, 4);
  }

  grid->addWidget(caption(QStringLiteral("数量单位名称："), group), row, 0, Qt::AlignRight);
  c_.unit = line_edit(QStringLiteral("数量单位名称："), group);
  grid->addWidget(c_.unit, row, 1);
  grid->addWidget(caption(QStringLiteral("*商品面值："), group), row, 2, Qt::AlignRight);
  c_.face_value = line_edit(QStringLiteral("*商品面值："), group);
  grid->addWidget(c_.face_value, row++, 3, 1, 2);

  grid->addWidget(caption(QStringLiteral("有效售后天数："), group), row, 0, Qt::AlignRight);
  c_.days = line_edit(QStringLiteral("有效售后天数："), group);
  grid->addWidget(c_.days, row, 1);
  grid->addWidget(caption(QStringLiteral("天 0-1000之间 0表示无限制，部分退单以此计算退款金额。"), group), row++,
                  2, 1, 3);

  grid->addWidget(caption(QStringLiteral("是否允许销售："), group), row, 0, Qt::AlignRight);
  {
    auto* line = new QHBoxLayout;
    status_group_ = new QButtonGroup(this);
    const QString names[3] = {QStringLiteral("销售状态"), QStringLiteral("暂停状态"), QStringLiteral("禁售状态")};
    for (int i = 0; i < 3; ++i) {
      c_.status[i] = new QRadioButton(names[i], group);
      c_.status[i]->setAccessibleName(names[i]);
      status_group_->addButton(c_.status[i]);
      line->addWidget(c_.status[i]);
    }
    line->addStretch();
    grid->addLayout(line, row++, 1, 1, 4);
  }

  grid->addWidget(caption(QStringLiteral("商品颜色："), group), row, 0, Qt::AlignRight);
  {
    auto* line = new QHBoxLayout;
    c_.colour = line_edit(QStringLiteral("商品颜色："), group);
    c_.colour->setText(QStringLiteral("#0000FF"));
    line->addWidget(c_.colour);
    c_.colour_lookup = new QPushButton(QStringLiteral("查询颜色代码"), group);
    c_.colour_lookup->setAccessibleName(c_.colour_lookup->text());
    line->addWidget(c_.colour_lookup);
    c_.random_colour = new QCheckBox(QStringLiteral("随机选择"), group);
    c_.random_colour->setAccessibleName(c_.random_colour->text());
    line->addWidget(c_.random_colour);
    c_.bold = new QCheckBox(QStringLiteral("粗体"), group);
    c_.bold->setAccessibleName(c_.bold->text());
    line->addWidget(c_.bold);
    line->addStretch();
    grid->addLayout(line, row++, 1, 1, 4);
  }

  grid->addWidget(caption(QStringLiteral("商品简介："), group), row, 0, Qt::AlignTop | Qt::AlignRight);
  c_.introduction = text_box(QStringLiteral("商品简介："), group);
  grid->addWidget(c_.introduction, row++, 1, 1, 4);
  grid->addWidget(caption(QStringLiteral("注意事项："), group), row, 0, Qt::AlignTop | Qt::AlignRight);
  c_.notice = text_box(QStringLiteral("注意事项："), group);
  grid->addWidget(c_.notice, row++, 1, 1, 4);
  for (auto* box : {c_.introduction, c_.notice}) box->setMinimumHeight(70);

  grid->addWidget(caption(QStringLiteral("计费方式："), group), row, 0, Qt::AlignRight);
  c_.charging = line_edit(QStringLiteral("计费方式："), group);
  grid->addWidget(c_.charging, row, 1);
  grid->addWidget(caption(QStringLiteral("充值网址："), group), row, 2, Qt::AlignRight);
  c_.recharge = line_edit(QStringLiteral("充值网址："), group);
  c_.recharge->setText(QStringLiteral("http://www.example.com/recharge.aspx"));
  grid->addWidget(c_.recharge, row++, 3, 1, 2);

  grid->addWidget(caption(QStringLiteral("客服联系方式："), group), row, 0, Qt::AlignRight);
  c_.contact = line_edit(QStringLiteral("客服联系方式："), group);
  grid->addWidget(c_.contact, row++, 1, 1, 4);

  grid->addWidget(caption(QStringLiteral("商品图片上传："), group), row, 0, Qt::AlignRight);
  grid->addWidget(caption(QStringLiteral("暂无法支持"), group), row++, 1, 1, 4);

  {
    auto* line = new QHBoxLayout;
    c_.start = new QPushButton(QStringLiteral("开始发布"), group);
    c_.stop = new QPushButton(QStringLiteral("停止发布"), group);
    c_.disk_tool = new QPushButton(QStringLiteral("永硕E盘\n商品获取"), group);
    c_.start->setAccessibleName(c_.start->text());
    c_.stop->setAccessibleName(c_.stop->text());
    c_.disk_tool->setAccessibleName(QStringLiteral("永硕E盘\r\n商品获取"));
    c_.stop->setEnabled(false);
    for (auto* b : {c_.start, c_.stop}) b->setMinimumHeight(36);
    line->addStretch();
    line->addWidget(c_.start);
    line->addWidget(c_.stop);
    line->addWidget(c_.disk_tool);
    grid->addLayout(line, row++, 0, 1, 5);
  }
  grid->setColumnStretch(1, 1);
  grid->setColumnStretch(3, 1);

  auto* bar = new QStatusBar(this);
  bar->setSizeGripEnabled(false);
  c_.status_text = new QLabel(bar);
  c_.progress = new QProgressBar(bar);
  c_.progress->setAccessibleName(QStringLiteral("发布进度"));
  c_.progress->setRange(0, 1);
  c_.progress->setValue(0);
  c_.progress->setFormat(QStringLiteral("%v/%m"));
  c_.progress->setMaximumWidth(220);
  bar->addWidget(c_.status_text, 1);
  bar->addPermanentWidget(c_.progress);
  outer->addWidget(bar);

  connect(c_.start, &QPushButton::clicked, this, &PublishingWindow::start_run);
  connect(c_.stop, &QPushButton::clicked, this, &PublishingWindow::stop_run);
  connect(c_.bold, &QCheckBox::clicked, this, [this](bool checked) {
    QFont f = c_.names->font();
    f.setBold(checked);
    c_.names->setFont(f);
  });
  connect(c_.random_colour, &QCheckBox::clicked, this,
          [this](bool checked) { c_.colour->setEnabled(!checked); });
  connect(c_.colour_lookup, &QPushButton::clicked, this, &PublishingWindow::open_colour_picker);
  connect(c_.catalogue_lookup, &QPushButton::clicked, this, &PublishingWindow::open_catalogue_lookup);
  connect(c_.tip_link, &QLabel::linkActivated, this, &PublishingWindow::show_tip);
  connect(c_.disk_tool, &QPushButton::clicked, this, [this] {
    platform::show_message(this, QStringLiteral("永硕E盘商品获取工具不在本版本中。"));
  });
  resize(760, 720);
}

void PublishingWindow::load_settings() {
  const Keys& k = keys();
  const std::string ini = ctx_.data_file(settings::kConfigure);
  c_.names->setPlainText(from_file_text(settings::read_whole_file(ctx_.data_file(settings::kProductNames))));
  c_.introduction->setPlainText(from_file_text(settings::read_whole_file(ctx_.data_file(settings::kIntroduct))));
  c_.notice->setPlainText(from_file_text(settings::read_whole_file(ctx_.data_file(settings::kProductNotice))));
  auto read = [&](const std::string& key) { return settings::read_key(ini, key); };
  c_.catalogue[0]->setText(platform::from_gbk(read(k.catalogue1)));
  c_.catalogue[1]->setText(platform::from_gbk(read(k.catalogue2)));
  c_.catalogue[2]->setText(platform::from_gbk(read(k.catalogue3)));
  (read(k.sales_range) == "0" ? c_.sales_sub : c_.sales_all)->setChecked(true);
  c_.face_value->setText(platform::from_gbk(read(k.face_value_again)));
  c_.face_value->setText(platform::from_gbk(read(k.face_value)));
  const std::string status = read(k.sale_status);
  c_.status[status == "0" ? 0 : status == "1" ? 1 : 2]->setChecked(true);
  c_.charging->setText(platform::from_gbk(read(k.charging)));
  c_.recharge->setText(platform::from_gbk(read(k.recharge)));
  c_.contact->setText(platform::from_gbk(read(k.contact)));
}

void PublishingWindow::save_settings() {
  const Keys& k = keys();
  const std::string ini = ctx_.data_file(settings::kConfigure);
  settings::write_whole_file(ctx_.data_file(settings::kProductNames), edit_text(c_.names));
  settings::write_key(ini, k.catalogue1, edit_text(c_.catalogue[0]));
  if (c_.sales_sub->isChecked()) settings::write_key(ini, k.sales_range, "0");
  else if (c_.sales_all->isChecked()) settings::write_key(ini, k.sales_range, "1");
  settings::write_key(ini, k.unit, edit_text(c_.unit));
  settings::write_key(ini, k.face_value, edit_text(c_.face_value));
  settings::write_key(ini, k.days, edit_text(c_.days));
  for (int i = 0; i < 3; ++i) {
    if (c_.status[i]->isChecked()) {
      settings::write_key(ini, k.sale_status, std::to_string(i));
      break;
    }
  }
  settings::write_whole_file(ctx_.data_file(settings::kIntroduct), edit_text(c_.introduction));
  settings::write_whole_file(ctx_.data_file(settings::kProductNotice), edit_text(c_.notice));
  settings::write_key(ini, k.charging, edit_text(c_.charging));
  settings::write_key(ini, k.recharge, edit_text(c_.recharge));
  settings::write_key(ini, k.contact, edit_text(c_.contact));
  settings::write_key(ini, k.face_value_again, edit_text(c_.face_value));
  settings::write_key(ini, k.catalogue2, edit_text(c_.catalogue[1]));
  settings::write_key(ini, k.catalogue3, edit_text(c_.catalogue[2]));
}

void PublishingWindow::on_closing() {
  page::confirm_web_dialogs(ctx_.main_browser(), platform::kWebMessageTitle, platform::kOkCaption, true);
  save_settings();
}

void PublishingWindow::set_text_colour(const QColor& colour) {
  for (QWidget* w : {static_cast<QWidget*>(c_.names), static_cast<QWidget*>(c_.colour)}) {
    QPalette p = w->palette();
    p.setColor(QPalette::Active, QPalette::Text, colour);
    p.setColor(QPalette::Inactive, QPalette::Text, colour);
    w->setPalette(p);
  }
}

void PublishingWindow::set_colour_code(const QString& code) { c_.colour->setText(code); }

void PublishingWindow::set_status(const QString& text) {
  c_.status_text->setText(text);
  emit status_text_changed(text);
}

void PublishingWindow::stop_run() {
  position_ = count_;
  stopped_ = true;
}

QJsonObject PublishingWindow::run_settings() const {
  const QString sales = c_.sales_sub->isChecked() ? QStringLiteral("0") : c_.sales_all->isChecked() ? QStringLiteral("1") : QString();
  QString status;
  for (int i = 0; i < 3; ++i)
    if (c_.status[i]->isChecked()) status = QString::number(i);
  return QJsonObject{
      {"catalogue", QJsonArray{c_.catalogue[0]->text(), c_.catalogue[1]->text(), c_.catalogue[2]->text()}},
      {"sales_range", sales},
      {"unit", c_.unit->text()},
      {"face_value", c_.face_value->text()},
      {"after_sale_days", c_.days->text()},
      {"sale_status", status},
      {"colour", c_.random_colour->isChecked() ? QStringLiteral("random") : c_.colour->text()},
      {"bold", c_.bold->isChecked()},
      {"introduction", c_.introduction->toPlainText()},
      {"notice", c_.notice->toPlainText()},
      {"charging", c_.charging->text()},
      {"recharge", c_.recharge->text()},
      {"contact", c_.contact->text()},
  };
}

// The add form: the page every pass fills and submits.
Expect PublishingWindow::add_form() const {
  return Expect::at(QStringLiteral("发布商品页"), QString::fromLatin1(kAddFormPath), {"ProductName", "btnSubmit"});
}

void PublishingWindow::start_run() {
  if (running()) return;
  ToolContext& ctx = ctx_;
  platform::BrowserView* browser = ctx.main_browser();
  ToolRun run(this, browser);
  page::PageSnapshot& snap = ctx.pages().snapshot(page::PageObjects::kPublishing);

  // 1-3: the add form, the confirmer, the name list.
  PageMark mark = run.mark();
  ctx.navigate_main(ctx.take_platform_root() + kAddFormPath);
  snap.attach_page(browser);
  page::confirm_web_dialogs(browser, platform::kWebMessageTitle, platform::kOkCaption, false, kConfirmPeriodMs);
  run.disable_browser_input();
  position_ = 0;
  done_ = 0;
  const std::vector<std::string> names = text::split_text(edit_text(c_.names), "\r\n");
  count_ = static_cast<int>(names.size());
  stopped_ = false;
  // The journal records the run: one item per name, from its pass's start to the end of
  // the pause after its submission (the platform's answer arrives within it).
  QStringList keys;
  keys.reserve(count_);
  for (const std::string& n : names) keys << platform::from_gbk(n);
  journal::Run record(ctx.data_dir(), QStringLiteral("自动上架商品"), browser, run_settings(), keys);
  run.report_to(&record, [this](const QString& text) { set_status(text); });
  run.stop_when([this] { return stopped_; });
  c_.start->setEnabled(false);
  c_.stop->setEnabled(true);
  c_.progress->setRange(0, count_ > 0 ? count_ : 1);
  c_.progress->setValue(0);

  // How a pass whose page did not come ends the run: the name is not done; going on would
  // fill whatever page is shown.
  auto give_up = [&](Arrival arrival) {
    if (arrival == Arrival::ended) return;
    if (arrival == Arrival::stopped) run.not_done(QStringLiteral("已停止：未等到平台的应答页面"));
    if (arrival != Arrival::login_expired)
      record.end(arrival == Arrival::stopped ? journal::Ending::stopped : journal::Ending::page_not_ready);
    finish_run(run);
    if (arrival == Arrival::stopped) set_status(QStringLiteral("已停止"));
    emit run_finished();
  };

  // 4: one pass per name; a close ends the run at its next step.
  while (position_ < count_) {
    set_status(QStringLiteral("当前商品一共%1个，正在发布第%2个").arg(count_).arg(position_));
    ++position_;
    const std::string& name = names[static_cast<std::size_t>(position_ - 1)];
    record.begin_item(keys[position_ - 1]);
    // The add form, opened by step 1 or shown again by the platform after the last
    // submission (checked at the end of that pass).
    if (position_ == 1) {
      const Arrival a = run.wait_for(kFillWaitMs, mark, add_form());
      if (a != Arrival::arrived) return give_up(a);
    } else if (!run.wait(kFillWaitMs)) {
      return;
    }
    fill_product(name);
    if (!run.alive()) return;
    mark = run.mark();
    if (!snap.click_button("btnSubmit")) {
      if (!run.window_exists()) return;
      run.nothing_to_act_on(QStringLiteral("提交按钮 btnSubmit"));
      return give_up(Arrival::missing);
    }
    if (!run.window_exists()) return;
    ++done_;
    c_.progress->setValue(done_);
    // The platform answers with the add form again.
    const bool last = position_ >= count_;
    const Arrival a = run.wait_for(last ? kAfterLastMs : kBetweenProductsMs, mark, add_form(), ToolRun::Kind::blocking);
    if (a == Arrival::ended) return;
    if (a != Arrival::arrived && !(last && a == Arrival::stopped)) return give_up(a);
    if (a == Arrival::stopped) run.not_done(QStringLiteral("已停止：未等到平台的应答页面"));
    if (last) {
      record.end(stopped_ ? journal::Ending::stopped : journal::Ending::finished);
      auto* notice = new CompletionNotice();
      notice->show();
      finish_run(run);
      set_status(QStringLiteral("发布完毕！"));
      emit run_finished();
      return;
    }
    record.end_item();
  }
  record.end(stopped_ ? journal::Ending::stopped : journal::Ending::finished);
  finish_run(run);
  emit run_finished();
}

void PublishingWindow::finish_run(ToolRun& run) {
  run.enable_browser_input();
  c_.start->setEnabled(true);
  c_.stop->setEnabled(false);
}

void PublishingWindow::fill_product(const std::string& name) {
  QPointer<platform::BrowserView> browser = ctx_.main_browser();
  page::PageSnapshot& snap = ctx_.pages().snapshot(page::PageObjects::kPublishing);

  snap.attach_page(browser);
  snap.set_textbox_text("ProductName", name, 1);
  if (!c_.bold->isChecked()) {
    snap.attach_page(browser);
    snap.click_checkbox("chkTitleBold", 1);
  }
  snap.attach_page(browser);
  for (QLineEdit* box : c_.catalogue) snap.click_checkbox(edit_text(box), 1);
  if (c_.sales_sub->isChecked()) snap.check_radio("radlSalesBound_0", 1);
  else if (c_.sales_all->isChecked()) snap.check_radio("radlSalesBound_1", 1);
  snap.set_textbox_text("ProductUnit", edit_text(c_.unit), 1);
  snap.set_textbox_text("Parvalue", edit_text(c_.face_value), 1);
  snap.set_textbox_text("txtValidDate", edit_text(c_.days), 1);
  static const char* const status_ids[3] = {"Status_0", "Status_1", "Status_2"};
  for (int i = 0; i < 3; ++i) {
    if (c_.status[i]->isChecked()) {
      snap.check_radio(status_ids[i], 1);
      break;
    }
  }
  snap.attach_page(browser);
  page::Element colour = page::get_element_by_id(snap.get_document(), "TitleColor");
  if (c_.random_colour->isChecked()) {
    std::uniform_int_distribution<int> pick(1, kPaletteSize);
    page::set_element_value(colour, palette_entry(pick(random_)));
  } else {
    page::set_element_value(colour, edit_text(c_.colour));
  }
  snap.set_textarea_text("Introduct", edit_text(c_.introduction), 1);
  snap.set_textarea_text("ProductNotice", edit_text(c_.notice), 1);
  snap.set_textbox_text("ChargeWay", edit_text(c_.charging), 1);
  snap.set_textbox_text("SavingUrl", edit_text(c_.recharge), 1);
  snap.set_textbox_text("ProductService", edit_text(c_.contact), 1);
}

void PublishingWindow::open_colour_picker() {
  if (picker_) {
    picker_->show();
    picker_->raise();
    picker_->activateWindow();
    return;
  }
  picker_ = new ColourPicker(ctx_, this);
  picker_->show();
}

void PublishingWindow::open_catalogue_lookup() {
  auto* w = new CatalogueWindow(ctx_);
  w->show();
}

void PublishingWindow::show_tip() {
  QMessageBox box(QMessageBox::Information, QStringLiteral("小提示："),
                  QStringLiteral("请在网页中查看发布商品的页面的销售范围是否只有【面向全体用户(需审核)】这个选项，"
                                 "如果是的话，请在软件中点击【面向下级客户】，然后发布时会变成面向全体客户的！\r\n\r\n"
                                 "如果出现两个选项，即【面向全体用户和面向下级】，则只需按正常操作即可"),
                  QMessageBox::Ok, this);
  box.button(QMessageBox::Ok)->setText(platform::kOkCaption);
  box.exec();
}

}  // namespace tools::publishing
