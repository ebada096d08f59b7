#pragma once
// The page that a step which changes the page expects next, and how what the browser
// shows is held against it. A step names only what the platform's pages are known to
// have: the address (its path and the query that identifies the item) and the elements
// the next step uses.

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <string>
#include <vector>

namespace page { struct PageState; }

namespace tools {

// How long a step waits for its page after the prescribed wait (scaled like every wait).
inline constexpr int kExpectLimitMs = 30000;

struct Expect {
  QString page;                         // what the user calls it ("商品列表", "第3个商品的导卡页")
  QString path;                         // the address path ends with it, in any case; empty: any
  QList<QPair<QString, QString>> query; // query items the address holds (name in any case)
  std::vector<std::string> elements;    // keys (GBK) the next step uses, all in one document
  std::string select;                   // a select of that document …
  int selected = -1;                    // … whose selected index must be this (0-based)
  std::vector<std::string> absent;      // keys no counted document may hold (a dialog closed)
  // Which documents count: only those loaded after the action (a navigation, a post-back,
  // a dialog frame); any shown; or, for an action that may or may not post back (a fired
  // event), a document loaded after it when a load began, else any.
  enum class Since { action, any, load_if_any } since = Since::action;
  // With no elements named: a document that counts in a frame serves as well as the top
  // one (an answer that may come in a dialog frame or in the page).
  bool any_document = false;

  // The page at address (absolute or back-office relative): its path and every query item.
  static Expect at(const QString& page, const QString& address, std::vector<std::string> elements = {});
  // A page of any address holding elements (a dialog frame, a list that stays).
  static Expect holding(const QString& page, std::vector<std::string> elements, Since since = Since::action);
};

// How long after an action that may or may not post back (Since::load_if_any) a page of
// before may be taken for its answer, when no load has begun: the browser learns of a
// post-back that a click or a fired event starts only tens of milliseconds after it. Not
// scaled: it is the browser's time, not a wait of the steps.
inline constexpr int kLoadSettleMs = 100;

// The documents shown before an action (the mark a fresh page is told from).
struct PageMark {
  QStringList documents;
  bool read = false;        // the documents could be read
  quint64 loads = 0;        // loads the browser had begun
};

enum class Arrival {
  arrived,        // the page is there: the next step may act
  missing,        // not there at the limit: the item is not done
  login_expired,  // the platform's login page came instead: the run ends
  stopped,        // the user stopped the run during the wait
  ended,          // the window was closed (or the browser is gone)
};

// How state stands against expect (mark: the documents before the action).
struct Verdict {
  bool holds = false;
  bool login = false;       // a document of the kind expected shows the login form instead
  QString found;            // what was found, for the journal and the status line
};
Verdict judge(const page::PageState& state, const PageMark& mark, quint64 loads_now, const Expect& expect);

// "页面未就绪：应为…，实为…".
QString describe_miss(const Expect& expect, const QString& found);

}  // namespace tools
