#include "platform/dom_bridge.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>

#include <optional>
#include <utility>
#include <vector>

#include "platform/agent_script.h"
#include "platform/browser_view.h"

namespace platform {

namespace {

const QString kScriptName = QStringLiteral("tessaro-agent");

// Handles dropped since the last call, as (document token, id); sent with the next call.
struct ReleaseQueue {
  std::vector<std::pair<QString, int>> items;
};

// State of one runJavaScript call, shared with its callback so that a result arriving
// after the time-out (or after the bridge is gone) touches nothing else.
struct Pending {
  bool done = false;
  bool abandoned = false;
  QVariant value;
  QEventLoop* loop = nullptr;
};

QString json_text(const QJsonArray& a) {
  return QString::fromUtf8(QJsonDocument(a).toJson(QJsonDocument::Compact));
}

QString json_string(const QString& s) {
  // A one-element array gives the quoted form; strip the brackets.
  QString t = json_text(QJsonArray{s});
  return t.mid(1, t.size() - 2);
}

// Releases the handles a late agent result created.
void release_created(const std::shared_ptr<ReleaseQueue>& q, const QVariant& v) {
  const QString s = v.toString();
  if (!s.startsWith(u'J')) return;
  const QJsonObject o = QJsonDocument::fromJson(s.mid(1).toUtf8()).object();
  const QString doc = o.value(QStringLiteral("t")).toString();
  for (const QJsonValue id : o.value(QStringLiteral("h")).toArray()) {
    q->items.emplace_back(doc, id.toInt());
  }
}

// How long the script message boxes opened during a call may hold it beyond its own
// time-out. A legitimate chain (a click that raises a confirmation and then an alert,
// each answered by the confirmer at its slowest period of 700 ms) keeps its boxes open
// for at most about 1.5 s; beyond 2 s the boxes are taken to keep coming.
constexpr qint64 kMaxBoxWaitMs = 2000;
// A view whose call gave up on a storm of boxes fails further calls at once while boxes
// keep coming: one open, or one opened within this many milliseconds.
constexpr qint64 kStormQuietMs = 1000;

// Runs script in world and waits for its result. The time-out counts only the time
// without a script message box open: while one is open no page can answer (the engine
// holds its answers back until the box closes). Once the boxes have held the call for
// kMaxBoxWaitMs it gives up when a further box opens (one box answered late does not
// cut the call: its result comes right after). A box already open when the call began
// cannot close before the call returns (it is further down the stack), so it extends
// nothing. Returns nothing on time-out (*storm set when boxes made it give up); late
// then receives the result if it comes.
std::optional<QVariant> run_and_wait(QWebEnginePage* page, const QString& script, quint32 world,
                                     int timeout_ms, std::function<void(const QVariant&)> late,
                                     bool* storm = nullptr) {
  if (storm) *storm = false;
  auto st = std::make_shared<Pending>();
  page->runJavaScript(script, world, [st, late = std::move(late)](const QVariant& v) {
    if (st->abandoned) {
      if (late) late(v);
      return;
    }
    st->done = true;
    st->value = v;
    if (st->loop) st->loop->quit();
  });
  if (!st->done) {
    QEventLoop loop;
    st->loop = &loop;
    QTimer timer;
    timer.setSingleShot(true);
    // A box already open when the call began stays open until the call returns (it is
    // further down the stack): then no box time counts.
    const bool extendable = WebPage::open_dialogs() == 0;
    const qint64 box_start = WebPage::box_time_ms();
    QElapsedTimer clock;
    clock.start();
    quint64 opened_at_cap = 0;
    bool capped = false;
    const qint64 budget = std::max(0, timeout_ms);
    QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
      const qint64 boxes = extendable ? WebPage::box_time_ms() - box_start : 0;
      const qint64 own = clock.elapsed() - boxes;
      if (own >= budget) {
        if (storm) *storm = boxes >= kMaxBoxWaitMs;
        loop.quit();
        return;
      }
      if (boxes >= kMaxBoxWaitMs) {
        if (!capped) {
          capped = true;
          opened_at_cap = WebPage::boxes_opened();
        } else if (WebPage::boxes_opened() > opened_at_cap) {
          if (storm) *storm = true;
          loop.quit();
          return;
        }
      }
      // While a box is open (or more may come), look again soon; else when the own
      // time runs out.
      const bool box_open = extendable && WebPage::open_dialogs() > 0;
      timer.start(box_open || capped ? 20 : int(budget - own));
    });
    timer.start(int(budget));
    // User input waits for the next responsive wait, as it did during a call into the
    // old control; timers and the engine's messages go on (and the boxes' own loops
    // take the user's input for their windows).
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    st->loop = nullptr;
  }
  if (!st->done) {
    st->abandoned = true;
    return std::nullopt;
  }
  if (storm) *storm = false;
  return st->value;
}

}  // namespace

struct Element::Entry {
  int id = 0;
  QString doc;
  QPointer<DomBridge> bridge;
  std::shared_ptr<ReleaseQueue> queue;
  ~Entry() {
    if (queue && id > 0) queue->items.emplace_back(doc, id);
  }
};

int Element::id() const { return entry_ ? entry_->id : 0; }
QString Element::document() const { return entry_ ? entry_->doc : QString(); }
DomBridge* Element::bridge() const { return entry_ ? entry_->bridge.data() : nullptr; }
QJsonValue Element::ref() const {
  if (!entry_) return QJsonValue();
  return QJsonArray{entry_->doc, entry_->id};
}

struct DomBridge::Impl {
  QPointer<BrowserView> view;
  QPointer<QWebEnginePage> scripted_page;
  std::shared_ptr<ReleaseQueue> releases = std::make_shared<ReleaseQueue>();
  QElapsedTimer since_load;
  bool storm = false;  // a call gave up on boxes that kept coming

  // True while the view is in a storm of script message boxes: a call of this view has
  // given up on them and they keep coming. Calls then fail at once instead of waiting
  // in vain (the page is busy raising boxes, and no page answers while one is open).
  // Ends when a box-free interval passes or a call gets its answer.
  bool storming() {
    if (!storm) return false;
    const qint64 since = WebPage::ms_since_box_opened();
    if (WebPage::open_dialogs() > 0 || (since >= 0 && since < kStormQuietMs)) return true;
    storm = false;
    return false;
  }

  // Installs the agent on the view's current page (once per page object).
  QWebEnginePage* page(DomBridge* owner) {
    if (!view) return nullptr;
    QWebEnginePage* p = view->page();
    if (!p) return nullptr;
    if (p != scripted_page) {
      scripted_page = p;
      if (p->scripts().find(kScriptName).isEmpty()) {
        // Built from scratch: a copied script whose world is changed later fails to run.
        QWebEngineScript s;
        s.setName(kScriptName);
        s.setSourceCode(agent_script_source());
        s.setInjectionPoint(QWebEngineScript::DocumentCreation);
        s.setWorldId(kAgentWorld);
        s.setRunsOnSubFrames(false);
        p->scripts().insert(s);
      }
      QObject::connect(p, &QWebEnginePage::loadFinished, owner,
                       [this] { since_load.start(); });
    }
    return p;
  }

  // A call made right after loadFinished sometimes gets its answer only after the
  // time-out; such calls start a few milliseconds later.
  void settle() {
    if (!since_load.isValid()) return;
    const qint64 left = kSettleMs - since_load.elapsed();
    if (left <= 0) return;
    QEventLoop loop;
    QTimer::singleShot(int(left), &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
  }

  QJsonArray take_releases() {
    QJsonArray rel;
    for (const auto& [doc, id] : releases->items) rel.append(QJsonArray{doc, id});
    releases->items.clear();
    return rel;
  }
};

DomBridge::DomBridge(BrowserView* view) : d(std::make_unique<Impl>()) {
  d->view = view;
  d->page(this);
}

DomBridge::~DomBridge() = default;

BrowserView* DomBridge::view() const { return d->view; }

Element DomBridge::wrap(int id, const QString& document) {
  Element e;
  if (id <= 0 || document.isEmpty()) return e;
  e.entry_ = std::make_shared<Element::Entry>();
  e.entry_->id = id;
  e.entry_->doc = document;
  e.entry_->bridge = this;
  e.entry_->queue = d->releases;
  return e;
}

QJsonValue DomBridge::call(const QString& fn, const QJsonArray& args, bool* ok, int timeout_ms) {
  if (ok) *ok = false;
  QPointer<DomBridge> self(this);
  QWebEnginePage* page = d->page(this);
  if (!page || d->storming()) return QJsonValue();
  d->settle();
  if (!self || !d->view || d->view->page() != page) return QJsonValue();

  const QDeadlineTimer deadline(std::max(0, timeout_ms));
  const QString head = QStringLiteral(
      "(function(){var d=Object.getOwnPropertyDescriptor(window,'__tessaroAgent');"
      "if(!d||!d.value||typeof d.value.run!=='function')return 'M';return d.value.run(");
  const QString tail = QStringLiteral(");})()");
  const QString script =
      head + json_string(fn) + u',' + json_text(args) + u',' + json_text(d->take_releases()) + tail;
  auto late = [q = d->releases](const QVariant& v) { release_created(q, v); };

  std::optional<QVariant> r;
  bool storm = false;
  for (int attempt = 0; attempt < 2; ++attempt) {
    r = run_and_wait(page, script, kAgentWorld, int(deadline.remainingTime()), late, &storm);
    if (!self) return QJsonValue();
    if (!r || r->toString() != QLatin1String("M")) break;
    // The agent is missing in this document (injected too late or not at all): inject it
    // now and try again.
    const bool injected = run_and_wait(page, agent_script_source(), kAgentWorld,
                                       int(deadline.remainingTime()), nullptr, &storm)
                              .has_value();
    if (!self) return QJsonValue();
    if (!injected) {
      d->storm = storm;
      return QJsonValue();
    }
  }
  d->storm = !r && storm;
  if (!r) return QJsonValue();
  const QString s = r->toString();
  if (s.startsWith(u'S')) {
    if (ok) *ok = true;
    return QJsonValue(s.mid(1));
  }
  if (!s.startsWith(u'J')) return QJsonValue();
  const QJsonObject o = QJsonDocument::fromJson(QStringView(s).mid(1).toUtf8()).object();
  if (o.isEmpty() || o.contains(QStringLiteral("x"))) {
    // The handles created before the exception are of no use.
    release_created(d->releases, *r);
    return QJsonValue();
  }
  if (ok) *ok = true;
  return o.value(QStringLiteral("r"));
}

QJsonValue DomBridge::run_main_world(const QString& script, bool* ok, int timeout_ms) {
  if (ok) *ok = false;
  QPointer<DomBridge> self(this);
  QWebEnginePage* page = d->page(this);
  if (!page || d->storming()) return QJsonValue();
  d->settle();
  if (!self || !d->view || d->view->page() != page) return QJsonValue();
  bool storm = false;
  auto r = run_and_wait(page, script, QWebEngineScript::MainWorld, timeout_ms, nullptr, &storm);
  if (!self) return QJsonValue();
  d->storm = !r && storm;
  if (!r) return QJsonValue();
  if (ok) *ok = true;
  return QJsonValue::fromVariant(*r);
}

QString DomBridge::document_token(int timeout_ms) {
  bool ok = false;
  const QJsonValue v = call(QStringLiteral("token"), {}, &ok, timeout_ms);
  return ok ? v.toString() : QString();
}

int DomBridge::agent_table_size() {
  bool ok = false;
  const QJsonValue v = call(QStringLiteral("size"), {}, &ok);
  return ok ? v.toInt(-1) : -1;
}

}  // namespace platform
