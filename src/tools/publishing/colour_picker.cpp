#include "tools/publishing/colour_picker.h"

#include <QColor>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>

#include "page/page_objects.h"
#include "platform/browser_view.h"
#include "platform/gbk.h"
#include "platform/waits.h"
#include "settings/settings.h"
#include "text/text.h"
#include "tools/common/tool_context.h"
#include "tools/publishing/publishing_core.h"
#include "tools/publishing/publishing_window.h"

namespace tools::publishing {

namespace {

QString file_address(const std::string& path) {
  return QUrl::fromLocalFile(QString::fromStdString(path)).toString();
}

int component(const std::string& gbk) { return std::clamp<long>(text::to_integer(gbk), 0, 255); }

}  // namespace

ColourPicker::ColourPicker(ToolContext& ctx, PublishingWindow* publishing)
    : QWidget(nullptr), ctx_(ctx), publishing_(publishing) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(ctx_.main_title() + QStringLiteral("-查询颜色代码"));
  auto* layout = new QVBoxLayout(this);
  palette_ = new platform::BrowserView(this);
  palette_->setAccessibleName(QStringLiteral("颜色表"));
  layout->addWidget(palette_, 1);
  converter_ = new platform::BrowserView(this);
  converter_->hide();
  auto* line = new QHBoxLayout;
  line->addWidget(new QLabel(QStringLiteral("单击自己想要的颜色，即可查看代码值"), this));
  line->addStretch();
  auto* again = new QPushButton(QStringLiteral("重新选择"), this);
  again->setAccessibleName(again->text());
  line->addWidget(again);
  layout->addLayout(line);
  connect(again, &QPushButton::clicked, this, &ColourPicker::choose_again);
  // Handled a moment later, outside the engine's notification: the reads wait in
  // nested loops, which the engine does not expect inside its own signals.
  connect(palette_, &platform::BrowserView::document_title_changed, this,
          [this] { QTimer::singleShot(10, this, &ColourPicker::on_title_changed); });
  resize(520, 340);

  write_pages(true);
  palette_->navigate(file_address(ctx_.data_file(settings::kSetcolor)));
  converter_->navigate(file_address(ctx_.data_file(settings::kRgb)));
}

ColourPicker::~ColourPicker() = default;

void ColourPicker::write_pages(bool converter_too) {
  ctx_.ensure_data_dir();
  settings::write_whole_file(ctx_.data_file(settings::kSetcolor), palette_page());
  if (converter_too) settings::write_whole_file(ctx_.data_file(settings::kRgb), converter_page());
}

void ColourPicker::choose_again() {
  write_pages(false);
  palette_->navigate(file_address(ctx_.data_file(settings::kSetcolor)));
}

void ColourPicker::on_title_changed() {
  // The reads below wait in nested loops, where further title changes arrive.
  if (busy_) return;
  busy_ = true;
  QPointer<ColourPicker> self(this);
  apply_pick();
  if (self) busy_ = false;
}

void ColourPicker::apply_pick() {
  QPointer<ColourPicker> self(this);
  page::LivePage& live = ctx_.pages().live(page::PageObjects::kLiveColour);
  live.attach_live_page(palette_);
  const std::string html = live.get_document_html();
  // An empty document is a failed read, not a pick.
  if (!self || html.empty() || html.size() >= kPickedDocumentLimit || !publishing_) return;
  const std::string code = colour_code_from_html(html);
  publishing_->set_colour_code(platform::from_gbk(code));

  page::PageSnapshot& snap = ctx_.pages().snapshot(page::PageObjects::kColour);
  snap.attach_page(converter_);
  snap.set_textbox_text(kConverterInput, code, 1);
  platform::wait_responsive(200);
  if (!self) return;
  snap.attach_page(converter_);
  snap.click_button("submit", 1);
  platform::wait_responsive(100);
  if (!self) return;
  snap.attach_page(converter_);
  const QColor colour(component(snap.get_textbox_text("r", 1)), component(snap.get_textbox_text("g", 1)),
                      component(snap.get_textbox_text("b", 1)));
  if (!self) return;
  if (publishing_) publishing_->set_text_colour(colour);
  emit colour_applied(platform::from_gbk(code), colour);
  close();
}

}  // namespace tools::publishing
