#include "page/live_page.h"

#include <QBuffer>
#include <QImage>
#include <QJsonArray>
#include <QJsonObject>
#include <QPixmap>
#include <QPointer>
#include <QWidget>

#include <cmath>

#include "page/bitmap.h"
#include "page/page_snapshot.h"
#include "platform/browser_view.h"
#include "platform/gbk.h"
#include "platform/legacy_html.h"
#include "page/page_text.h"

namespace page {

using platform::BrowserView;
using platform::DomBridge;

namespace {
constexpr int kLongCallMs = 5000;
}

struct LivePage::Impl {
  QPointer<QWidget> handle;
  QPointer<BrowserView> view;
  QString token;  // the document obtained at attach time

  DomBridge* bridge() const { return view && !token.isEmpty() ? &view->bridge() : nullptr; }

  QJsonValue live(const char* op, const std::string& key, const QString& text = {}, int skip = 0,
                  bool flag = false) {
    DomBridge* b = bridge();
    if (!b) return QJsonValue();
    bool ok = false;
    const QJsonValue r = b->call(
        QStringLiteral("live"),
        {token, QString::fromLatin1(op), platform::from_gbk(key), text, skip, flag}, &ok);
    return ok ? r : QJsonValue();
  }
};

LivePage::LivePage() : d(new Impl) {}
LivePage::~LivePage() { delete d; }

bool LivePage::attach_live_page(QWidget* browser_handle) {
  d->handle = browser_handle;
  d->view = nullptr;
  d->token.clear();
  if (!browser_handle) return false;
  BrowserView* view = find_browser(browser_handle);
  if (!view) return false;
  d->view = view;
  d->token = view->bridge().document_token();
  return !d->token.isEmpty();
}

QWidget* LivePage::browser_handle() const { return d->handle; }

void LivePage::live_set_input_text(const std::string& key, const std::string& text, int skip) {
  d->live("set_input", key, platform::from_gbk(text), skip);
}

void LivePage::live_set_textarea_text(const std::string& key, const std::string& text,
                                      int skip) {
  d->live("set_textarea", key, platform::from_gbk(text), skip);
}

bool LivePage::live_check_radio(const std::string& key, int skip, bool fire) {
  return d->live("check_radio", key, {}, skip, fire).toBool();
}

bool LivePage::live_click_button(const std::string& key, int skip) {
  return d->live("click_button", key, {}, skip).toBool();
}

bool LivePage::live_click_link(const std::string& key, int skip, bool clear_target) {
  return d->live("click_link", key, {}, skip, clear_target).toBool();
}

std::string LivePage::get_document_html() {
  DomBridge* b = d->bridge();
  if (!b) return std::string();
  bool ok = false;
  const QJsonValue r = b->call(QStringLiteral("live_html"), {d->token}, &ok, kLongCallMs);
  if (!ok) return std::string();
  return page_text_to_gbk(platform::legacy_outer_html(r.toString()));
}

std::string LivePage::get_image_element_bytes(const std::string& key, int format) {
  // The picture comes from the page as it is shown (drawn from the loaded image, or
  // grabbed from the view): the image is never requested again, so a captcha keeps its
  // code, and the clipboard is never used.
  const QJsonValue r = d->live("image", key);
  if (!r.isObject()) return std::string();
  const QJsonObject o = r.toObject();
  QImage image;
  if (o.contains(QStringLiteral("d"))) {
    const int w = o.value(QStringLiteral("w")).toInt();
    const int h = o.value(QStringLiteral("h")).toInt();
    const QByteArray rgba = QByteArray::fromBase64(o.value(QStringLiteral("d")).toString().toLatin1());
    if (w <= 0 || h <= 0 || rgba.size() != qsizetype(w) * h * 4) return std::string();
    image = QImage(reinterpret_cast<const uchar*>(rgba.constData()), w, h, w * 4,
                   QImage::Format_RGBA8888)
                .convertToFormat(QImage::Format_RGB888);
  } else {
    const QJsonArray rect = o.value(QStringLiteral("rect")).toArray();
    if (rect.size() != 4 || !d->view) return std::string();
    const double zoom = d->view->zoomFactor();
    QRect area(int(std::floor(rect[0].toDouble() * zoom)), int(std::floor(rect[1].toDouble() * zoom)),
               int(std::ceil(rect[2].toDouble() * zoom)), int(std::ceil(rect[3].toDouble() * zoom)));
    area &= d->view->rect();
    if (area.isEmpty()) return std::string();
    image = d->view->grab(area).toImage().convertToFormat(QImage::Format_RGB888);
  }
  if (image.isNull()) return std::string();
  return encode_picture(image, format);
}

bool LivePage::run_script(const std::string& script, int language) {
  if (language != 0) return false;  // VBScript: not available on this engine
  DomBridge* b = d->bridge();
  if (!b) return false;
  if (b->document_token() != d->token) return false;
  bool ok = false;
  b->run_main_world(platform::from_gbk(script), &ok);
  return ok;
}

}  // namespace page
