#include "tools/status/bulk_status.h"

#include <QElapsedTimer>
#include <QJsonObject>
#include <QEventLoop>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTextCursor>
#include <QTimer>
#include <QWebEngineLoadingInfo>

#include <array>

#include "page/page_objects.h"
#include "page/page_snapshot.h"
#include "platform/browser_view.h"
#include "platform/dialogs.h"
#include "platform/gbk.h"
#include "tools/common/bulk_status_parts.h"
#include "tools/common/journal.h"
#include "tools/common/page_load.h"
#include "tools/common/pager_walk.h"
#include "tools/common/tool_context.h"
#include "tools/common/tool_window.h"
#include "tools/status/bulk_status_core.h"
#include "tools/status/review_choice.h"

namespace tools::status {

namespace {

constexpr int kAfterStatusPageMs = 1500;
constexpr int kAfterLastGroupMs = 1500;

// How long a status post may take to leave (real time, not a prescribed wait): the
// load it starts must begin within the first bound and end within the second.
constexpr int kPostStartBoundMs = 2000;
constexpr int kPostEndBoundMs = 15000;

// The loads of the status browser since it was last armed.
class LoadWatch : public QObject {
 public:
  explicit LoadWatch(platform::BrowserView* view) {
    if (!view) return;
    connect(view->page(), &QWebEnginePage::loadingChanged, this, [this](const QWebEngineLoadingInfo& info) {
      switch (info.status()) {
        case QWebEngineLoadingInfo::LoadStartedStatus:
          started_ = true;
          break;
        case QWebEngineLoadingInfo::LoadSucceededStatus:
          if (started_) ended_ = true;
          break;
        default:
          // A navigation that a later one replaced ends as aborted (-3): not the post's end.
          if (started_ && info.errorCode() != -3) ended_ = true;
      }
    });
  }
  void arm() { started_ = ended_ = false; }
  bool started() const { return started_; }
  bool ended() const { return ended_; }

 private:
  bool started_ = false;
  bool ended_ = false;
};

// On this engine a navigation begun before a form's submission has left cancels it. The
// click on btnSubmit starts the post; this waits (responsive) until the status browser
// has loaded the platform's answer, so that the next group's navigation cannot cancel
// it. Returns at once when the click started nothing. False when the run is to end.
bool let_post_leave(ToolRun& run, const LoadWatch& watch, const QPointer<platform::BrowserView>& view) {
  QElapsedTimer clock;
  clock.start();
  while (view && !watch.ended()) {
    if (!run.alive()) return false;
    const qint64 t = clock.elapsed();
    if ((!watch.started() && t >= kPostStartBoundMs) || t >= kPostEndBoundMs) break;
    QEventLoop loop;
    QTimer::singleShot(10, &loop, &QEventLoop::quit);
    loop.exec();
  }
  return run.alive();
}

void append_line(QPlainTextEdit* box, const std::string& gbk) {
  QTextCursor end(box->document());
  end.movePosition(QTextCursor::End);
  end.insertText(platform::from_gbk(gbk) + QLatin1Char('\n'));
}

enum class ListChoice { as_shown, unreviewed };

// One run at a time (the buttons are off during a run; this also covers direct calls).
bool g_running = false;

}  // namespace

void run_bulk_status(ToolContext& ctx, const BulkStatusParts& parts, int index) {
  if (index < 0 || index > 2 || g_running) return;
  std::array<QPointer<QPushButton>, 3> buttons;
  for (std::size_t i = 0; i < 3; ++i) buttons[i] = parts.buttons[i];
  const QPointer<QPushButton> pressed = buttons[static_cast<std::size_t>(index)];
  const QPointer<QPlainTextEdit> scratch = parts.scratch;
  const QPointer<platform::BrowserView> status_browser = parts.status_browser;
  if (!pressed || !scratch) return;
  const QPointer<QWidget> owner = pressed->window();
  g_running = true;
  struct Done {
    ~Done() { g_running = false; }
  } done;

  // The list, then the choice of the review class (modal; the run follows however it
  // is closed).
  ctx.navigate_main(ctx.backoffice_address(kListPath));
  ListChoice list_choice = ListChoice::as_shown;
  {
    ReviewChoice choice(ctx, owner.data(), ctx.main_title() + QStringLiteral("-") + pressed->text());
    choice.exec();
    if (choice.switched()) list_choice = ListChoice::unreviewed;
  }
  if (!owner || !pressed || !scratch) return;
  const QString caption = pressed->text();
  const int code = status_code(index);

  ToolRun run(owner.data(), ctx.main_browser());
  page::PageSnapshot& snap = ctx.pages().snapshot(page::PageObjects::kStatus);

  // 1.
  run.disable_browser_input();
  scratch->clear();
  for (const auto& b : buttons)
    if (b) b->setEnabled(false);

  // 2. Every page; the pressed button shows the progress.
  PagerWalkTargets targets;
  targets.status = [&](const QString& text) {
    if (pressed) pressed->setText(text);
  };
  targets.link = [&](const std::string& link) {
    if (scratch) append_line(scratch, link);
  };
  const PagerWalkResult walk = pager_walk(run, snap, ctx.main_browser(), targets);
  if (walk.arrival != Arrival::arrived || !pressed || !scratch) return;
  const int pages = walk.pages;

  // 3-6.
  pressed->setText(QStringLiteral("正在执行,勿动"));
  const std::vector<std::string> ids = ids_from_scratch(platform::to_gbk_crlf(scratch->toPlainText()));
  const std::vector<std::string> groups = group_ids(ids, pages);

  // The journal: one item per status request, keyed by its id group; the platform's
  // message boxes in the status browser land in the item.
  QStringList keys;
  keys.reserve(static_cast<qsizetype>(groups.size()));
  for (const std::string& g : groups) keys << platform::from_gbk(g);
  journal::Run record(ctx.data_dir(), caption, status_browser.data(),
                      QJsonObject{{"status", code},
                                  {"list", list_choice == ListChoice::unreviewed ? "unreviewed" : "as shown"},
                                  {"pages", pages},
                                  {"ids", static_cast<int>(ids.size())}},
                      keys);

  // 7. Each group posted in the status browser.
  LoadWatch watch(status_browser.data());
  for (std::size_t g = 0; g < groups.size(); ++g) {
    const std::string& group = groups[g];
    record.begin_item(keys[static_cast<qsizetype>(g)]);
    if (status_browser) status_browser->navigate(platform::from_gbk(status_address(ctx.address_text(), group, code)));
    if (!run.wait(kAfterStatusPageMs) || !wait_page_loaded(run, status_browser.data())) return;
    snap.attach_page(status_browser.data());
    watch.arm();
    const bool clicked = snap.click_button("btnSubmit");
    if (clicked && !let_post_leave(run, watch, status_browser)) return;
    if (!run.alive()) return;
  }

  // 8.
  if (!run.wait(kAfterLastGroupMs)) return;
  record.end(journal::Ending::finished);
  if (pressed) pressed->setText(caption);
  for (const auto& b : buttons)
    if (b) b->setEnabled(true);
  run.enable_browser_input();
  if (platform::BrowserView* main = ctx.main_browser()) main->navigate(main->current_address());

  // 9.
  platform::show_message(owner.data(), caption + QStringLiteral("处理完毕！"));
}

}  // namespace tools::status
