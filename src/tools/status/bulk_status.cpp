#include "tools/status/bulk_status.h"

#include <QJsonObject>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTextCursor>

#include <array>

#include "page/page_objects.h"
#include "page/page_snapshot.h"
#include "platform/browser_view.h"
#include "platform/dialogs.h"
#include "platform/gbk.h"
#include "tools/common/bulk_status_parts.h"
#include "tools/common/journal.h"
#include "tools/common/pager_walk.h"
#include "tools/common/tool_context.h"
#include "tools/common/tool_window.h"
#include "tools/status/bulk_status_core.h"
#include "tools/status/review_choice.h"

namespace tools::status {

namespace {

constexpr int kAfterStatusPageMs = 1500;
constexpr int kAfterLastGroupMs = 1500;

// The journal's item for the list (its switch and its walk), before the groups.
const QString kListItem = QStringLiteral("商品列表");

// Group g's status page: the address's path, PID and Status, and the button.
Expect status_page(std::size_t g, const QString& address) {
  return Expect::at(QStringLiteral("第%1组的状态设置页").arg(g + 1), address, {"btnSubmit"});
}

// The platform's answer to group g's post: its status page (where the form posts) loaded
// after the click.
Expect status_answer(std::size_t g, const QString& address) {
  return Expect::at(QStringLiteral("第%1组提交后的页面").arg(g + 1), address);
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
  if (!pressed || !scratch || !status_browser) return;
  const QPointer<QWidget> owner = pressed->window();
  g_running = true;
  struct Done {
    ~Done() { g_running = false; }
  } done;
  ToolRun run(owner.data(), ctx.main_browser());
  page::PageSnapshot& snap = ctx.pages().snapshot(page::PageObjects::kStatus);

  // The list, then the choice of the review class (modal; the run follows however it
  // is closed).
  const PageMark before_list = run.mark();
  ctx.navigate_main(ctx.backoffice_address(kListPath));
  ListChoice list_choice = ListChoice::as_shown;
  Arrival switched = Arrival::arrived;
  QString switch_problem;
  {
    ReviewChoice choice(ctx, owner.data(), ctx.main_title() + QStringLiteral("-") + pressed->text(), before_list);
    choice.exec();
    if (choice.switched()) {
      list_choice = ListChoice::unreviewed;
      switched = choice.switch_arrival();
      switch_problem = choice.problem();
    }
  }
  if (!owner || !pressed || !scratch || !status_browser) return;
  const QString caption = pressed->text();
  const int code = status_code(index);

  // The journal: the list (switched and walked) as the first item, then one item per
  // status request, keyed by its id group; the platform's message boxes in the status
  // browser land in the items.
  journal::Run record(ctx.data_dir(), caption, status_browser.data(),
                      QJsonObject{{"status", code},
                                  {"list", list_choice == ListChoice::unreviewed ? "unreviewed" : "as shown"}},
                      {});
  run.report_to(&record, {});
  record.begin_item(kListItem, list_choice == ListChoice::unreviewed ? QStringLiteral("未审核通过的商品")
                                                                     : QStringLiteral("审核通过的商品"));

  // 1.
  run.disable_browser_input();
  scratch->clear();
  for (const auto& b : buttons)
    if (b) b->setEnabled(false);

  // How a run ends before its end: the captions, the buttons and the browser back. A
  // page that did not come ends it as not ready (going on would act on some other list),
  // with message; an expired login was recorded and is told by the runner; the window
  // going leaves everything alone.
  auto back_to_idle = [&] {
    if (pressed) pressed->setText(caption);
    for (const auto& b : buttons)
      if (b) b->setEnabled(true);
    run.enable_browser_input();
  };
  auto stop_run = [&](Arrival arrival, const QString& message) {
    if (!owner) return;
    // The main browser went (a step then finds nothing to act on).
    if (arrival == Arrival::missing && !ctx.main_browser()) arrival = Arrival::ended;
    if (arrival == Arrival::ended) record.end(journal::Ending::application_ended);
    else if (arrival != Arrival::login_expired) record.end(journal::Ending::page_not_ready);
    back_to_idle();
    if (arrival == Arrival::missing) platform::show_message(owner.data(), message);
  };
  const QString not_switched = QStringLiteral("未能切换到所选的商品列表，已停止");

  // The chosen list must be the one shown before the walk: the switched list, or the
  // list the press navigated to.
  if (switched != Arrival::arrived) {
    // Found in the choice window, before this run's journal: recorded here.
    if (switched == Arrival::login_expired) {
      record.item_not_done(login_expired_text());
      record.end(journal::Ending::login_expired);
    } else {
      record.item_not_done(switch_problem);
    }
    return stop_run(switched, not_switched);
  }
  if (list_choice == ListChoice::as_shown) {
    const Arrival a = run.wait_for(0, before_list, product_list(QStringLiteral("商品列表")));
    if (a != Arrival::arrived) return stop_run(a, not_switched);
  }

  // 2. Every page; the pressed button shows the progress. A page turn that does not come
  // ends the run before anything is posted.
  PagerWalkTargets targets;
  targets.status = [&](const QString& text) {
    if (pressed) pressed->setText(text);
  };
  targets.link = [&](const std::string& link) {
    if (scratch) append_line(scratch, link);
  };
  const PagerWalkResult walk = pager_walk(run, snap, ctx.main_browser(), targets);
  if (!owner || !pressed || !scratch || !status_browser) return;
  if (walk.arrival != Arrival::arrived)
    return stop_run(walk.arrival,
                    caption + QStringLiteral("已停止：商品列表翻页未就绪，没有提交任何商品（详见运行记录）"));
  const int pages = walk.pages;

  // 3-6.
  pressed->setText(QStringLiteral("正在执行,勿动"));
  const std::vector<std::string> ids = ids_from_scratch(platform::to_gbk_crlf(scratch->toPlainText()));
  const std::vector<std::string> groups = group_ids(ids, pages);
  record.set_detail(QStringLiteral("%1，共%2页，%3个商品编号，%4组")
                        .arg(list_choice == ListChoice::unreviewed ? QStringLiteral("未审核通过的商品")
                                                                   : QStringLiteral("审核通过的商品"))
                        .arg(pages)
                        .arg(ids.size())
                        .arg(groups.size()));

  // 7. Each group posted in the status browser: its status page, then the button; the
  // post's answer before the next navigation (which would cancel the post). A group whose
  // page or answer did not come is not done; the run goes on with the next.
  int not_done = 0;
  for (std::size_t g = 0; g < groups.size(); ++g) {
    record.begin_item(platform::from_gbk(groups[g]));
    const QString address = platform::from_gbk(status_address(ctx.address_text(), groups[g], code));
    PageMark mark = run.mark(status_browser.data());
    status_browser->navigate(address);
    Arrival a = run.wait_for(kAfterStatusPageMs, mark, status_page(g, address), ToolRun::Kind::responsive,
                             status_browser.data());
    if (a == Arrival::arrived) {
      snap.attach_page(status_browser.data());
      mark = run.mark(status_browser.data());
      if (snap.click_button("btnSubmit")) {
        a = run.wait_for(0, mark, status_answer(g, address), ToolRun::Kind::responsive, status_browser.data());
      } else if (owner) {
        run.nothing_to_act_on(QStringLiteral("确定按钮 btnSubmit"));
        a = Arrival::missing;
      }
    }
    if (!owner || !pressed || !status_browser) return;
    if (a == Arrival::missing) ++not_done;
    else if (a != Arrival::arrived) return stop_run(a, {});
  }

  // 8.
  if (!run.wait(kAfterLastGroupMs)) return;
  record.end(journal::Ending::finished);
  back_to_idle();
  if (platform::BrowserView* main = ctx.main_browser()) main->navigate(main->current_address());

  // 9. Never a success for groups that were not done.
  if (not_done == 0) platform::show_message(owner.data(), caption + QStringLiteral("处理完毕！"));
  else
    platform::show_message(owner.data(), caption + QStringLiteral("未全部完成：%1组中有%2组未完成（详见运行记录）")
                                                       .arg(groups.size())
                                                       .arg(not_done));
}

}  // namespace tools::status
