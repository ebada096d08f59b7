#include "tools/complaints/complaint_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QJsonObject>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QVBoxLayout>

#include <cerrno>
#include <cstring>

#include <sys/stat.h>

#include "page/page_objects.h"
#include "platform/browser_view.h"
#include "platform/dialogs.h"
#include "platform/gbk.h"
#include "settings/settings.h"
#include "tools/common/journal.h"
#include "tools/common/tool_context.h"
#include "tools/complaints/order_info_window.h"
#include "tools/complaints/template_editor.h"

namespace tools::complaints {

namespace {

constexpr int kAfterNavigateMs = 200;     // opening, step 6
constexpr int kListLoadMs = 1500;         // opening, step 8
constexpr int kAfterCollectMs = 200;      // opening, step 10
constexpr int kComplaintLoadMs = 1000;    // after each complaint navigation
constexpr int kBeforeSubmitMs = 200;      // processing, step 3
constexpr int kAfterSubmitMs = 600;       // processing, step 6
constexpr int kAfterSaveMs = 200;         // editor save

// A quick-phrase item shows the start of its template on one line; the whole text is
// the item's data (a template may be long and span lines).
constexpr int kPhraseShown = 60;

// The pages the steps expect.
Expect complaint_list() { return Expect::at(QStringLiteral("投诉列表"), QString::fromLatin1(kListPath)); }
// Complaint number's page at its link's address, with what processing uses.
Expect complaint_page(int number, const std::string& link) {
  return Expect::at(QStringLiteral("第%1个投诉").arg(number), platform::from_gbk(kComplaintDir + link),
                    {"TreatStatus_2", "ReplayContent", "treat_btn"});
}
// treat_btn's post-back: the platform's answer.
Expect treat_answer(int number) {
  return Expect::holding(QStringLiteral("第%1个投诉的处理结果").arg(number), {});
}

const QString kProcessCaption = QStringLiteral("处理（F1）");
const QString kFinished = QStringLiteral("投诉处理完毕！");
const QString kEmptyReply = QStringLiteral("回复内容为空，请先选择或填写回复");

// Why Complaint.txt is not to be replaced (empty when a write may be tried): a file marked
// read-only stays as it is, as it would on the platform's own systems.
QString unwritable_reason(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return {};
  const QString name = QString::fromLatin1(settings::kComplaint);
  if (!S_ISREG(st.st_mode)) return name + QStringLiteral("不是普通文件");
  if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return name + QStringLiteral("是只读文件");
  return {};
}

QString write_error_text(int error) {
  const QString name = QString::fromLatin1(settings::kComplaint);
  switch (error) {
    case ENOSPC:
    case EDQUOT: return QStringLiteral("磁盘已满，无法写入") + name;
    case EACCES:
    case EPERM:
    case EROFS: return QStringLiteral("没有写入data文件夹的权限");
    default: return QStringLiteral("写入%1失败（%2）").arg(name, QString::fromLocal8Bit(std::strerror(error)));
  }
}

// Whole-file texts hold CR LF; the edit boxes work with LF.
QString box_text(const std::string& gbk) {
  QString s = platform::from_gbk(gbk);
  s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return s;
}

QLabel* caption_for(const QString& text, QWidget* control, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setBuddy(control);
  control->setAccessibleName(text);
  return label;
}

}  // namespace

ComplaintWindow::ComplaintWindow(ToolContext& ctx, QPushButton* main_button)
    : ToolWindow(ctx), ctx_(ctx), main_button_(main_button) {
  build();
}

ComplaintWindow::~ComplaintWindow() { shut_down(); }

void ComplaintWindow::build() {
  auto* outer = new QVBoxLayout(this);
  auto* grid = new QGridLayout;
  outer->addLayout(grid, 1);

  c_.details = new QPlainTextEdit(this);
  c_.details->setReadOnly(true);
  c_.details->setMinimumHeight(160);
  grid->addWidget(caption_for(QStringLiteral("主题详情："), c_.details, this), 0, 0, Qt::AlignTop | Qt::AlignRight);
  grid->addWidget(c_.details, 0, 1, 1, 3);

  c_.reply = new QPlainTextEdit(this);
  c_.reply->setTabChangesFocus(true);
  c_.reply->setMinimumHeight(110);
  c_.reply->installEventFilter(this);
  grid->addWidget(caption_for(QStringLiteral("内容："), c_.reply, this), 1, 0, Qt::AlignTop | Qt::AlignRight);
  grid->addWidget(c_.reply, 1, 1, 1, 3);

  c_.phrases = new QComboBox(this);
  c_.phrases->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  c_.phrases->setMinimumContentsLength(24);
  grid->addWidget(caption_for(QStringLiteral("选择快捷词："), c_.phrases, this), 2, 0, Qt::AlignRight);
  grid->addWidget(c_.phrases, 2, 1, 1, 2);
  c_.edit = new QPushButton(QStringLiteral("编辑/添加"), this);
  grid->addWidget(c_.edit, 2, 3);

  c_.current = new QCheckBox(QStringLiteral("该回复内容处理当前投诉"), this);
  c_.all = new QCheckBox(QStringLiteral("该回复内容处理全部投诉"), this);
  c_.current->setChecked(true);
  grid->addWidget(c_.current, 3, 1, 1, 3);
  grid->addWidget(c_.all, 4, 1, 1, 3);

  auto* buttons = new QHBoxLayout;
  c_.process = new QPushButton(kProcessCaption, this);
  c_.order_lookup = new QPushButton(QStringLiteral("查询订单信息"), this);
  for (auto* b : {c_.process, c_.order_lookup}) b->setMinimumHeight(34);
  buttons->addStretch();
  buttons->addWidget(c_.process);
  buttons->addWidget(c_.order_lookup);
  grid->addLayout(buttons, 5, 0, 1, 4);
  grid->setColumnStretch(1, 1);
  grid->setRowStretch(0, 3);
  grid->setRowStretch(1, 2);

  auto* bar = new QStatusBar(this);
  bar->setSizeGripEnabled(false);
  c_.hint = new QLabel(QStringLiteral("注意，Enter键换行，F1键处理"), bar);
  c_.hint->setFixedWidth(180);
  c_.progress = new QLabel(bar);
  bar->addWidget(c_.hint);
  bar->addWidget(c_.progress, 1);
  outer->addWidget(bar);

  connect(c_.process, &QPushButton::clicked, this, &ComplaintWindow::process);
  connect(c_.order_lookup, &QPushButton::clicked, this, &ComplaintWindow::look_up_order);
  connect(c_.edit, &QPushButton::clicked, this, &ComplaintWindow::edit_templates);
  connect(c_.phrases, &QComboBox::activated, this, &ComplaintWindow::choose_phrase);
  // The two boxes are one exclusive choice: the clicked one is ticked, the other not.
  connect(c_.current, &QCheckBox::clicked, this, [this] {
    c_.current->setChecked(true);
    c_.all->setChecked(false);
  });
  connect(c_.all, &QCheckBox::clicked, this, [this] {
    c_.all->setChecked(true);
    c_.current->setChecked(false);
  });
  resize(560, 560);
}

void ComplaintWindow::set_on_top(bool on) {
  // Changing a window flag hides a shown window.
  const bool shown = isVisible();
  setWindowFlag(Qt::WindowStaysOnTopHint, on);
  if (shown) show();
}

void ComplaintWindow::fill_phrases() {
  c_.phrases->clear();
  for (const std::string& t : templates_) {
    const QString full = box_text(t);
    QString shown = full.left(kPhraseShown);
    shown.replace(QLatin1Char('\n'), QLatin1Char(' '));
    if (full.size() > kPhraseShown) shown += QStringLiteral("…");
    c_.phrases->addItem(shown, full);
  }
}

void ComplaintWindow::choose_phrase(int index) {
  if (index < 0 || index >= c_.phrases->count()) return;
  c_.reply->setPlainText(c_.phrases->itemData(index).toString());
}

void ComplaintWindow::set_progress(const QString& text) {
  c_.progress->setText(text);
  emit status_text_changed(text);
}

void ComplaintWindow::append_particulars() {
  QString block = box_text(particulars(last_source_));
  QTextCursor cursor = c_.details->textCursor();
  cursor.movePosition(QTextCursor::End);
  // The box's last line is the empty one after the previous particulars.
  cursor.insertText(block);
  c_.details->setTextCursor(cursor);
  c_.details->verticalScrollBar()->setValue(c_.details->verticalScrollBar()->maximum());
}

void ComplaintWindow::show_browser_window() {
  if (browser_window_) browser_window_->show();
}

void ComplaintWindow::open_sequence() {
  if (opening_ || running()) return;
  opening_ = true;
  platform::BrowserView* browser = ctx_.main_browser();
  ToolRun run(this, browser);
  page::LivePage& live = ctx_.pages().live(page::PageObjects::kLiveComplaints);
  QPointer<QPushButton> main_button = main_button_;
  QPointer<ComplaintWindow> self = this;
  // The main button comes back however the sequence ends.
  struct Restore {
    QPointer<QPushButton>& button;
    ~Restore() {
      if (button) button->setEnabled(true);
    }
  } restore{main_button};
  c_.process->setEnabled(false);

  // 1-3
  ctx_.ensure_data_dir();
  set_on_top(true);
  setWindowTitle(ctx_.main_title() + QStringLiteral("-卡盟投诉处理"));
  if (main_button) main_button->setEnabled(false);
  // 4
  report_to(run, false);
  const PageMark mark = run.mark();
  ctx_.navigate_main(ctx_.address_text() + kListPath);
  // 5
  templates_ = read_template_file(ctx_.data_file(settings::kComplaint));
  // 6
  if (!run.wait(kAfterNavigateMs)) return;
  // 7
  fill_phrases();
  c_.phrases->setCurrentIndex(0);
  choose_phrase(0);
  // 8 (and the list page the navigation brings; without it nothing can be collected)
  const Arrival a = run.wait_for(kListLoadMs, mark, complaint_list());
  if (a == Arrival::ended) return;
  if (a != Arrival::arrived) {
    opening_ = false;
    stand_down();
    emit opened();
    return;
  }
  // 9
  live.attach_live_page(browser);
  last_source_ = live.get_document_html();
  if (!run.alive()) return;
  links_ = collect_complaint_links(last_source_);
  // 10
  if (!run.wait(kAfterCollectMs)) return;
  number_ = 1;
  opening_ = false;
  // 11
  if (links_.empty()) {
    platform::show_message(this, QStringLiteral("暂无投诉哦！"));
    if (run.alive()) close();
    if (self) emit opened();
    return;
  }
  // 12-15 (a first complaint whose page does not come is not done: the next is shown)
  const Shown shown = show_complaint(run);
  if (shown == Shown::ended) {
    if (run.alive() && run.login_expired()) emit opened();
    return;
  }
  if (shown == Shown::finished) {
    emit opened();
    return;
  }
  c_.process->setEnabled(true);
  // 16
  if (browser) {
    browser_window_ = browser->window();
    browser_window_->hide();
  }
  emit opened();
}

bool ComplaintWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == c_.reply && event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(event)->key() == Qt::Key_F1) {
    // F1 processes only while the button may be pressed.
    if (c_.process->isEnabled()) process();
    return true;
  }
  return ToolWindow::eventFilter(watched, event);
}

void ComplaintWindow::process() {
  if (processing_ || opening_ || finished_ || links_.empty() || !c_.process->isEnabled()) return;
  // One press over every complaint with nothing to say would only collect refusals.
  if (c_.all->isChecked() && c_.reply->toPlainText().trimmed().isEmpty()) {
    QPointer<ComplaintWindow> self = this;
    platform::show_message(this, kEmptyReply, platform::kTitleHint);
    if (self) emit processing_finished();
    return;
  }
  processing_ = true;
  ToolRun run(this, ctx_.main_browser());
  journal();
  QPointer<ComplaintWindow> self = this;
  bool batch = c_.all->isChecked();
  bool going = true;
  while (going) {
    if (batch) {
      c_.process->setEnabled(false);
      c_.process->setText(platform::from_gbk(batch_caption(links_.size(), static_cast<std::size_t>(number_))));
    }
    going = process_current(run, batch);
    if (!going || !run.alive()) break;
    if (finished_) break;
    // Unticking "全部投诉" ends the run after the complaint in progress.
    batch = batch && c_.all->isChecked();
    going = batch;
  }
  if (run.window_exists() && self) {
    processing_ = false;
    if (!finished_ && !closing()) {
      c_.process->setText(kProcessCaption);
      c_.process->setEnabled(true);
    }
    emit processing_finished();
  }
}

journal::Run& ComplaintWindow::journal() {
  if (!journal_) {
    QStringList keys;
    for (const std::string& link : links_) keys << platform::from_gbk(link);
    journal_ = std::make_unique<journal::Run>(ctx_.data_dir(), QStringLiteral("投诉批量处理"), ctx_.main_browser(),
                                              QJsonObject{{QStringLiteral("complaints"), static_cast<int>(links_.size())}},
                                              keys);
  }
  return *journal_;
}

// Misses are told in the status bar; with record, recorded on the journal's item in
// progress (a complaint's treatment). A complaint page that does not come is recorded by
// show_complaint (the item in progress then is the previous complaint's).
void ComplaintWindow::report_to(ToolRun& run, bool record) {
  run.report_to(record ? journal_.get() : nullptr, [this](const QString& text) { set_progress(text); });
}

void ComplaintWindow::stand_down() {
  finished_ = true;
  c_.process->setText(kProcessCaption);
  c_.process->setEnabled(false);
  // The page that came instead is for the user to see.
  show_browser_window();
}

bool ComplaintWindow::process_current(ToolRun& run, bool batch) {
  platform::BrowserView* browser = ctx_.main_browser();
  page::LivePage& live = ctx_.pages().live(page::PageObjects::kLiveComplaints);
  // 1 (the complaint's page with these was checked when it was shown)
  live.attach_live_page(browser);
  live.live_check_radio("TreatStatus_2");
  // 2
  const std::string reply = platform::to_gbk_crlf(c_.reply->toPlainText());
  live.live_set_textarea_text("ReplayContent", reply);
  // 3
  if (!run.wait(kBeforeSubmitMs)) return false;
  // 4
  c_.process->setEnabled(false);
  // 5 (the platform's answer lands in the complaint's journal item)
  journal_->begin_item(platform::from_gbk(links_[static_cast<std::size_t>(number_ - 1)]), platform::from_gbk(reply));
  report_to(run, true);
  live.attach_live_page(browser);
  const PageMark mark = run.mark();
  if (!live.live_click_button("treat_btn")) {
    if (!run.alive()) return false;
    run.nothing_to_act_on(QStringLiteral("处理按钮 treat_btn"));
    ++not_done_;
    return advance(run, batch);
  }
  if (!run.alive()) return false;
  // 6 (and the platform's answer: a complaint whose answer does not come is not done)
  const Arrival a = run.wait_for(kAfterSubmitMs, mark, treat_answer(number_));
  if (a == Arrival::ended) return false;
  if (a == Arrival::login_expired) {
    stand_down();
    return false;
  }
  if (a == Arrival::arrived) journal_->end_item();
  else ++not_done_;
  // 7
  return advance(run, batch);
}

bool ComplaintWindow::advance(ToolRun& run, bool batch) {
  // 1
  if (static_cast<std::size_t>(number_) >= links_.size() && !links_.empty()) {
    finish();
    return false;
  }
  // 2-5
  ++number_;
  if (show_complaint(run) != Shown::complaint) return false;
  // 6 (a run over all complaints keeps the button until it ends)
  if (!batch) c_.process->setEnabled(true);
  return true;
}

ComplaintWindow::Shown ComplaintWindow::show_complaint(ToolRun& run) {
  platform::BrowserView* browser = ctx_.main_browser();
  page::LivePage& live = ctx_.pages().live(page::PageObjects::kLiveComplaints);
  const std::size_t count = links_.size();
  for (;;) {
    const std::string& link = links_[static_cast<std::size_t>(number_ - 1)];
    report_to(run, false);
    const PageMark mark = run.mark();
    ctx_.navigate_main(ctx_.address_text() + kComplaintDir + link);
    const Arrival a = run.wait_for(kComplaintLoadMs, mark, complaint_page(number_, link));
    if (a == Arrival::ended) return Shown::ended;
    if (a == Arrival::arrived) {
      live.attach_live_page(browser);
      last_source_ = live.get_document_html();
      if (!run.alive()) return Shown::ended;
      append_particulars();
      set_progress(platform::from_gbk(progress_text(count, static_cast<std::size_t>(number_))));
      return Shown::complaint;
    }
    // Not shown: the complaint is not done (the run's first item when nothing was treated
    // yet), and the next one is loaded.
    journal::Run& record = journal();
    record.begin_item(platform::from_gbk(link));
    record.item_not_done(run.last_problem());
    ++not_done_;
    if (a == Arrival::login_expired) {
      record.end(journal::Ending::login_expired);
      stand_down();
      return Shown::ended;
    }
    record.end_item();
    if (static_cast<std::size_t>(number_) >= count) {
      finish();
      return Shown::finished;
    }
    ++number_;
  }
}

void ComplaintWindow::finish() {
  finished_ = true;
  if (journal_) journal_->end(journal::Ending::finished);
  c_.process->setText(kProcessCaption);
  if (not_done_ == 0) {
    set_progress(kFinished);
    c_.process->setEnabled(true);
    close();
    return;
  }
  // Complaints that could not be treated: the window stays to say so.
  set_progress(QStringLiteral("投诉处理完毕，其中%1个未能处理，详见“记录”→“运行记录”").arg(not_done_));
  c_.process->setEnabled(false);
}

void ComplaintWindow::look_up_order() {
  platform::BrowserView* browser = ctx_.main_browser();
  page::LivePage& live = ctx_.pages().live(page::PageObjects::kLiveComplaints);
  ToolRun run(this, browser);
  // 1
  live.attach_live_page(browser);
  last_source_ = live.get_document_html();
  if (!run.alive()) return;
  // 2
  if (order_window_) order_window_->close();
  order_window_ = new OrderInfoWindow(ctx_, this);
  order_window_->show();
  // 3-4
  order_window_->navigate(ctx_.address_text() + "/" + order_details_path(last_source_));
}

void ComplaintWindow::edit_templates() {
  // The window stays while the editor is up (a close then takes effect afterwards).
  ToolRun run(this);
  set_on_top(false);
  QPointer<TemplateEditor> editor = new TemplateEditor(ctx_, this);
  editor->exec();
  delete editor.data();
  if (run.alive()) set_on_top(true);
}

bool ComplaintWindow::save_templates(const Templates& templates, QWidget* asker) {
  ToolRun run(this);
  const std::string path = ctx_.data_file(settings::kComplaint);
  QString why = unwritable_reason(path);
  if (why.isEmpty() && !settings::write_whole_file(path, template_file_text(templates)))
    why = write_error_text(errno);
  if (!why.isEmpty()) {
    // The texts stay where they are typed; the file and the window keep the old ones.
    platform::show_message(asker ? asker : this,
                           QStringLiteral("回复模板未能保存：%1。\n已保存的模板没有改变，编辑框中的文字仍在。").arg(why),
                           platform::kTitleHint);
    return false;
  }
  templates_ = templates;
  if (!run.wait(kAfterSaveMs)) return false;
  fill_phrases();
  c_.phrases->setCurrentIndex(0);
  choose_phrase(0);
  return true;
}

void ComplaintWindow::on_closing() {
  if (journal_) journal_->end(journal::Ending::window_closed);
  show_browser_window();
  if (main_button_ && opening_) main_button_->setEnabled(true);
}

}  // namespace tools::complaints
