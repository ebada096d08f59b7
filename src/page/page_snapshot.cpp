#include "page/page_snapshot.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QWidget>

#include <array>

#include "platform/browser_view.h"
#include "platform/gbk.h"
#include "platform/legacy_html.h"
#include "page/page_text.h"

namespace page {

using platform::BrowserView;
using platform::DomBridge;

namespace {

// Collections in capture order (as the agent returns them).
enum Coll {
  kDivs, kButtons, kTables, kRadios, kCheckboxes, kTextboxes, kSelects, kLinks, kHidden,
  kImages, kTextareas, kFrames, kForms, kSpans, kListItems, kCites, kImageInputs,
  kTitledLinks, kCollCount
};

// The capture and the HTML reads grow with the page; they run right after a document
// request that answered within the 1000 ms time-out.
constexpr int kLongCallMs = 5000;

}  // namespace

BrowserView* find_browser(QWidget* browser_handle) {
  if (!browser_handle) return nullptr;
  if (auto* view = qobject_cast<BrowserView*>(browser_handle)) return view;
  for (QObject* child : browser_handle->children()) {
    if (!child->isWidgetType()) continue;
    if (BrowserView* view = find_browser(static_cast<QWidget*>(child))) return view;
  }
  return nullptr;
}

struct PageSnapshot::Impl {
  QPointer<BrowserView> view;
  Element top;
  Element current;
  std::array<Element, kCollCount> coll;
  std::array<int, kCollCount> size{};
  int frames_walked = 0;
  int initial_frames = 0;

  void clear() {
    view = nullptr;
    top = Element();
    current = Element();
    for (auto& c : coll) c = Element();
    size.fill(0);
    frames_walked = initial_frames = 0;
  }

  DomBridge* bridge() const { return view ? &view->bridge() : nullptr; }

  // One keyed operation in the agent; the result's value, or undefined when nothing
  // could be asked (empty collection, no document).
  QJsonValue keyed(const char* op, Coll c, const std::string& key, const QString& text = {},
                   int occurrence = 1, int extra = 0) {
    DomBridge* b = bridge();
    if (!b || size[c] == 0 || !coll[c]) return QJsonValue();
    bool ok = false;
    const QJsonValue r =
        b->call(QStringLiteral("snap"),
                {QString::fromLatin1(op), coll[c].ref(), platform::from_gbk(key), text,
                 occurrence, extra},
                &ok);
    if (!ok || !r.isObject()) return QJsonValue();
    return r.toObject().value(QStringLiteral("v"));
  }

  Element item(Coll c, int n) {
    DomBridge* b = bridge();
    if (!b || n < 1 || n > size[c]) return Element();
    bool ok = false;
    const QJsonValue r = b->call(QStringLiteral("item"), {coll[c].ref(), n}, &ok);
    return ok ? b->wrap(r.toInt(), coll[c].document()) : Element();
  }
};

PageSnapshot::PageSnapshot() : d(new Impl) {}
PageSnapshot::~PageSnapshot() { delete d; }

bool PageSnapshot::attach_page(QWidget* browser_handle) {
  d->clear();
  BrowserView* view = find_browser(browser_handle);
  if (!view) return false;
  DomBridge& b = view->bridge();
  // The document request (1000 ms), then the capture itself.
  const QString token = b.document_token();
  if (token.isEmpty()) return false;
  bool ok = false;
  const QJsonValue r = b.call(QStringLiteral("capture"), {}, &ok, kLongCallMs);
  if (!ok || !r.isObject()) return false;
  const QJsonObject o = r.toObject();
  const QString doc = o.value(QStringLiteral("t")).toString();
  const QJsonArray ids = o.value(QStringLiteral("c")).toArray();
  const QJsonArray sizes = o.value(QStringLiteral("n")).toArray();
  // Wrap everything first, so that a malformed answer still releases what it named.
  Element top = b.wrap(o.value(QStringLiteral("doc")).toInt(), doc);
  std::array<Element, kCollCount> coll;
  for (int i = 0; i < kCollCount && i < ids.size(); ++i) coll[i] = b.wrap(ids[i].toInt(), doc);
  if (!top || ids.size() != kCollCount || sizes.size() != kCollCount) return false;
  d->view = view;
  d->top = top;
  d->current = top;  // the walk ends on the top document
  d->coll = std::move(coll);
  for (int i = 0; i < kCollCount; ++i) d->size[i] = sizes[i].toInt();
  d->frames_walked = o.value(QStringLiteral("fw")).toInt();
  d->initial_frames = o.value(QStringLiteral("fi")).toInt();
  return true;
}

bool PageSnapshot::attached() const { return d->view && d->top; }

PageSnapshot::Counts PageSnapshot::counts() const {
  Counts c;
  const auto& s = d->size;
  c.divs = s[kDivs];
  c.buttons = s[kButtons];
  c.tables = s[kTables];
  c.radios = s[kRadios];
  c.checkboxes = s[kCheckboxes];
  c.textboxes = s[kTextboxes];
  c.selects = s[kSelects];
  c.links = s[kLinks];
  c.hidden = s[kHidden];
  c.images = s[kImages];
  c.textareas = s[kTextareas];
  c.frames = s[kFrames];
  c.forms = s[kForms];
  c.spans = s[kSpans];
  c.list_items = s[kListItems];
  c.cites = s[kCites];
  c.image_inputs = s[kImageInputs];
  c.titled_links = s[kTitledLinks];
  return c;
}

bool PageSnapshot::click_button(const std::string& key, int occurrence) {
  return d->keyed("click_button", kButtons, key, {}, occurrence).toBool();
}

void PageSnapshot::set_textbox_text(const std::string& key, const std::string& text,
                                    int occurrence) {
  d->keyed("set_textbox_text", kTextboxes, key, platform::from_gbk(text), occurrence);
}

std::string PageSnapshot::get_textbox_text(const std::string& key, int occurrence) {
  return platform::to_gbk_crlf(d->keyed("get_textbox_text", kTextboxes, key, {}, occurrence).toString());
}

void PageSnapshot::set_textarea_text(const std::string& key, const std::string& text,
                                     int occurrence) {
  d->keyed("set_textarea_text", kTextareas, key, platform::from_gbk(text), occurrence);
}

bool PageSnapshot::check_radio(const std::string& key, int occurrence) {
  return d->keyed("check_radio", kRadios, key, {}, occurrence).toBool();
}

Element PageSnapshot::get_radio_element(int n) { return d->item(kRadios, n); }

bool PageSnapshot::click_checkbox(const std::string& key, int occurrence) {
  return d->keyed("click_checkbox", kCheckboxes, key, {}, occurrence).toBool();
}

bool PageSnapshot::uncheck_checkbox(const std::string& key, int occurrence) {
  return d->keyed("uncheck_checkbox", kCheckboxes, key, {}, occurrence).toBool();
}

int PageSnapshot::count_checkboxes() { return d->size[kCheckboxes]; }

int PageSnapshot::select_option(const std::string& key, int option_number, int occurrence) {
  d->keyed("select_option", kSelects, key, {}, occurrence, option_number);
  return d->size[kSelects];
}

int PageSnapshot::get_selected_index(const std::string& key, int occurrence) {
  return d->keyed("get_selected_index", kSelects, key, {}, occurrence).toInt(0);
}

int PageSnapshot::count_options(const std::string& key, int occurrence) {
  return d->keyed("count_options", kSelects, key, {}, occurrence).toInt(0);
}

std::string PageSnapshot::get_option_text(const std::string& key, int option_number,
                                          int occurrence) {
  return platform::to_gbk_crlf(
      d->keyed("get_option_text", kSelects, key, {}, occurrence, option_number).toString());
}

std::string PageSnapshot::get_select_name(const std::string& key, int occurrence) {
  return platform::to_gbk_crlf(d->keyed("get_select_name", kSelects, key, {}, occurrence).toString());
}

Element PageSnapshot::get_select_element(int n) { return d->item(kSelects, n); }

bool PageSnapshot::click_link(const std::string& key, int occurrence) {
  return d->keyed("click_link", kLinks, key, {}, occurrence).toBool();
}

bool PageSnapshot::click_titled_link(const std::string& key, int occurrence) {
  return d->keyed("click_link", kTitledLinks, key, {}, occurrence).toBool();
}

std::string PageSnapshot::get_table_text(const std::string& key, int occurrence) {
  return platform::to_gbk_crlf(d->keyed("get_table_text", kTables, key, {}, occurrence).toString());
}

std::string PageSnapshot::get_body_html() {
  DomBridge* b = d->bridge();
  if (!b || !d->current) return std::string();
  bool ok = false;
  const QJsonValue r = b->call(QStringLiteral("body_html"), {d->current.ref()}, &ok, kLongCallMs);
  if (!ok) return std::string();
  return page_text_to_gbk(platform::legacy_outer_html(r.toString()));
}

Element PageSnapshot::get_document() { return d->current; }

void PageSnapshot::fire_element_event(const Element& element, const std::string& event_name) {
  DomBridge* b = element.bridge();
  if (!b) return;
  b->call(QStringLiteral("fire"), {element.ref(), platform::from_gbk(event_name)});
}

bool PageSnapshot::run_script(const std::string& script, int language) {
  if (language != 1) return false;  // VBScript: not available on this engine
  DomBridge* b = d->bridge();
  if (!b || !d->top) return false;
  // Only in the document this snapshot was taken of.
  if (b->document_token() != d->top.document()) return false;
  bool ok = false;
  b->run_main_world(platform::from_gbk(script), &ok);
  return ok;
}

Element get_element_by_id(const Element& document, const std::string& id) {
  DomBridge* b = document.bridge();
  if (!b) return Element();
  bool ok = false;
  const QJsonValue r =
      b->call(QStringLiteral("by_id"), {document.ref(), platform::from_gbk(id)}, &ok);
  return ok ? b->wrap(r.toInt(), document.document()) : Element();
}

void set_element_value(const Element& element, const std::string& text) {
  DomBridge* b = element.bridge();
  if (!b) return;
  b->call(QStringLiteral("set_value"), {element.ref(), platform::from_gbk(text)});
}

}  // namespace page
