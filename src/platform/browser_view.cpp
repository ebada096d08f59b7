#include "platform/browser_view.h"

#include <QApplication>
#include <QChildEvent>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QElapsedTimer>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QVBoxLayout>
#include <QWebEngineHistory>
#include <QWebEngineProfile>

#include "platform/dialogs.h"
#include "platform/dom_bridge.h"
#include "platform/script_boxes.h"

namespace platform {

QWebEngineProfile* shared_profile() {
  static QPointer<QWebEngineProfile> profile;
  if (!profile) {
    // Parented to the application so that it goes before the engine shuts down.
    profile = new QWebEngineProfile(QStringLiteral("tessaro"), qApp);
    const QString base = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    const QString dir = base + QStringLiteral("/webprofile");
    QDir().mkpath(dir);
    profile->setPersistentStoragePath(dir);
    profile->setCachePath(dir + QStringLiteral("/cache"));
    profile->setHttpCacheType(QWebEngineProfile::DiskHttpCache);
    profile->setPersistentCookiesPolicy(QWebEngineProfile::ForcePersistentCookies);
  }
  return profile;
}

// ---------------------------------------------------------------------------------------
// Script message boxes

namespace {

// The script message boxes of all pages.
struct BoxBook {
  int open = 0;
  quint64 opened = 0;
  QElapsedTimer clock;      // runs from the first box on
  qint64 total = 0;         // closed intervals with a box open
  qint64 since = 0;         // when the open count last left 0
  qint64 last_opened = -1;  // when the last box opened
};

BoxBook& box_book() {
  static BoxBook book;
  return book;
}

QWidget* dialog_parent(QWebEnginePage* page) {
  QWidget* view = QWebEngineView::forPage(page);
  return view ? view->window() : nullptr;
}

// One script message box while its loop runs: counted as open, and modal to the
// window of its page's browser only.
class ShownBox {
 public:
  explicit ShownBox(QDialog* box) {
    BoxBook& b = box_book();
    if (!b.clock.isValid()) b.clock.start();
    const qint64 now = b.clock.elapsed();
    if (b.open++ == 0) b.since = now;
    ++b.opened;
    b.last_opened = now;
    // Set explicitly, the modality survives exec() (which would otherwise make the box
    // modal to the whole application).
    box->setWindowModality(Qt::WindowModal);
  }
  ~ShownBox() {
    BoxBook& b = box_book();
    if (--b.open == 0) b.total += b.clock.elapsed() - b.since;
  }
  ShownBox(const ShownBox&) = delete;
  ShownBox& operator=(const ShownBox&) = delete;
};

// Shows a message box with the given buttons; returns the index of the button pressed,
// -1 when the box was closed otherwise (Escape, window close, owner gone).
int run_box(QWebEnginePage* page, QMessageBox::Icon icon, const QString& msg,
            const QStringList& captions, ScriptBoxReport& report) {
  QPointer<QMessageBox> box =
      new QMessageBox(icon, kWebMessageTitle, msg, QMessageBox::NoButton, dialog_parent(page));
  QList<QPushButton*> buttons;
  for (int i = 0; i < captions.size(); ++i) {
    buttons << box->addButton(captions[i], i == 0 ? QMessageBox::AcceptRole
                                                  : QMessageBox::RejectRole);
  }
  box->setDefaultButton(buttons.first());
  box->setEscapeButton(buttons.last());
  box->setTextFormat(Qt::PlainText);
  {
    ShownBox shown(box);
    box->exec();
  }
  if (!box) return -1;
  const int pressed = buttons.indexOf(qobject_cast<QPushButton*>(box->clickedButton()));
  report.finish(box->clickedButton());
  delete box.data();
  return pressed;
}

}  // namespace

WebPage::WebPage(QWebEngineProfile* profile, QObject* parent) : QWebEnginePage(profile, parent) {}

int WebPage::open_dialogs() { return box_book().open; }

qint64 WebPage::box_time_ms() {
  const BoxBook& b = box_book();
  return b.total + (b.open > 0 ? b.clock.elapsed() - b.since : 0);
}

quint64 WebPage::boxes_opened() { return box_book().opened; }

qint64 WebPage::ms_since_box_opened() {
  const BoxBook& b = box_book();
  return b.last_opened < 0 ? -1 : b.clock.elapsed() - b.last_opened;
}

void WebPage::javaScriptAlert(const QUrl&, const QString& msg) {
  ScriptBoxReport report(QWebEngineView::forPage(this), ScriptBoxKind::alert, msg);
  run_box(this, QMessageBox::Warning, msg, {kOkCaption}, report);
}

bool WebPage::javaScriptConfirm(const QUrl&, const QString& msg) {
  ScriptBoxReport report(QWebEngineView::forPage(this), ScriptBoxKind::confirm, msg);
  return run_box(this, QMessageBox::Question, msg, {kOkCaption, kCancelCaption}, report) == 0;
}

bool WebPage::javaScriptPrompt(const QUrl&, const QString& msg, const QString& def,
                               QString* result) {
  ScriptBoxReport report(QWebEngineView::forPage(this), ScriptBoxKind::prompt, msg);
  QPointer<QDialog> dlg = new QDialog(dialog_parent(this));
  dlg->setWindowTitle(kWebMessageTitle);
  auto* layout = new QVBoxLayout(dlg);
  auto* label = new QLabel(msg, dlg);
  label->setTextFormat(Qt::PlainText);
  label->setWordWrap(true);
  auto* edit = new QLineEdit(def, dlg);
  edit->setAccessibleName(msg);
  label->setBuddy(edit);
  auto* box = new QDialogButtonBox(dlg);
  QPushButton* ok = box->addButton(kOkCaption, QDialogButtonBox::AcceptRole);
  box->addButton(kCancelCaption, QDialogButtonBox::RejectRole);
  ok->setDefault(true);
  QObject::connect(box, &QDialogButtonBox::accepted, dlg, &QDialog::accept);
  QObject::connect(box, &QDialogButtonBox::rejected, dlg, &QDialog::reject);
  QPointer<QAbstractButton> clicked;
  QObject::connect(box, &QDialogButtonBox::clicked, dlg, [&clicked](QAbstractButton* b) { clicked = b; });
  layout->addWidget(label);
  layout->addWidget(edit);
  layout->addWidget(box);
  edit->selectAll();
  edit->setFocus();
  int rc = QDialog::Rejected;
  {
    ShownBox shown(dlg);
    rc = dlg->exec();
  }
  if (!dlg) return false;
  const bool accepted = rc == QDialog::Accepted;
  report.finish(clicked);
  if (accepted && result) *result = edit->text();
  delete dlg.data();
  return accepted;
}

// ---------------------------------------------------------------------------------------
// Input gate: swallows input that comes from the window system (the user) while input is
// disabled. Events posted by the application itself (automation) are not spontaneous and
// pass.

namespace {

bool is_user_input(QEvent::Type t) {
  switch (t) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::InputMethod:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TouchCancel:
    case QEvent::TabletPress:
    case QEvent::TabletMove:
    case QEvent::TabletRelease:
    case QEvent::ContextMenu:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
    case QEvent::NativeGesture:
      return true;
    default:
      return false;
  }
}

class InputGate : public QObject {
 public:
  explicit InputGate(QWidget* view) : QObject(view), view_(view) {}

  void set_blocked(bool blocked) {
    blocked_ = blocked;
    if (blocked) watch(view_);
  }
  bool blocked() const { return blocked_; }

  // Filters the widget and everything below it, also children added later (the
  // engine replaces its render widget after some navigations).
  void watch(QObject* o) {
    if (!o->isWidgetType()) return;
    o->removeEventFilter(this);
    o->installEventFilter(this);
    for (QObject* c : o->children()) watch(c);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* e) override {
    if (e->type() == QEvent::ChildAdded) {
      QObject* child = static_cast<QChildEvent*>(e)->child();
      if (child) watch(child);
      return false;
    }
    if (blocked_ && e->spontaneous() && is_user_input(e->type())) {
      e->accept();
      return true;
    }
    (void)watched;
    return false;
  }

 private:
  QWidget* view_;
  bool blocked_ = false;
};

}  // namespace

// ---------------------------------------------------------------------------------------

BrowserView::BrowserView(QWidget* parent) : QWebEngineView(parent) {
  setPage(new WebPage(shared_profile(), this));
  connect(this, &QWebEngineView::loadStarted, this, [this] {
    ready_state_ = 1;
    ++loads_started_;
    last_load_started_.start();
  });
  connect(this, &QWebEngineView::loadFinished, this, [this](bool) { ready_state_ = 4; });
  connect(this, &QWebEngineView::titleChanged, this, &BrowserView::document_title_changed);
  auto* gate = new InputGate(this);
  gate->watch(this);
  input_gate_ = gate;
}

BrowserView::~BrowserView() {
  delete bridge_;
  bridge_ = nullptr;
  // The page must go before the view's render widget and before the profile.
  delete page();
}

void BrowserView::navigate(const QString& address) {
  const QString a = address.trimmed();
  QUrl url;
  if (a.isEmpty()) {
    url = QUrl(QStringLiteral("about:blank"));
  } else {
    static const QRegularExpression has_scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.\\-]*:"));
    // "localhost:8080/x" has no scheme but looks like one; only a known scheme or "//"
    // after the colon counts.
    const auto m = has_scheme.match(a);
    bool scheme = false;
    if (m.hasMatch()) {
      const QString s = m.captured(0).chopped(1).toLower();
      static const QStringList known = {"http",  "https", "file", "about", "data",
                                        "javascript", "ftp", "blob", "chrome", "view-source",
                                        "mailto", "qrc"};
      scheme = known.contains(s) || a.mid(m.capturedLength()).startsWith(u"//");
    }
    url = QUrl::fromUserInput(scheme ? a : QStringLiteral("http://") + a);
    if (scheme && !url.isValid()) url = QUrl(a);
  }
  ready_state_ = 1;
  load(url);
}

QString BrowserView::current_address() const { return url().toString(); }

void BrowserView::go_back() { back(); }

void BrowserView::go_forward() { forward(); }

int BrowserView::ready_state() const { return ready_state_; }

qint64 BrowserView::ms_since_load_started() const {
  return last_load_started_.isValid() ? last_load_started_.elapsed() : -1;
}

void BrowserView::set_input_enabled(bool enabled) {
  static_cast<InputGate*>(input_gate_)->set_blocked(!enabled);
}

bool BrowserView::input_enabled() const { return !static_cast<InputGate*>(input_gate_)->blocked(); }

WebPage* BrowserView::web_page() const { return qobject_cast<WebPage*>(page()); }

DomBridge& BrowserView::bridge() {
  if (!bridge_) bridge_ = new DomBridge(this);
  return *bridge_;
}

}  // namespace platform
