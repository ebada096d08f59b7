#pragma once
// What the end-to-end tests of the product-list tools share: the demo's list shaped per
// test, what the demo recorded, and the modal boxes a run shows.

#include <QApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <string>

#include "demo_process.h"
#include "tool_harness.h"
#include "tools/common/journal.h"
#include "tools/common/journal_store.h"

namespace harness {

// Products that passed review, products waiting for review, products per page, whether
// the list shows a pager and how long its post-backs take; everything the demo recorded
// is forgotten.
inline bool shape_list(const testsupport::DemoProcess& demo, int products, int unreviewed = 0, int page_size = 10,
                       bool pager = true, int delay_ms = 0) {
  const std::string body = demo.post("/demo/product-list", "products=" + std::to_string(products) +
                                                               "&unreviewed=" + std::to_string(unreviewed) +
                                                               "&page_size=" + std::to_string(page_size) +
                                                               "&pager=" + (pager ? "1" : "0") +
                                                               "&delay=" + std::to_string(delay_ms));
  return body.find("\"page_size\"") != std::string::npos;
}

// The list's post-backs with the given target, their arguments in order.
inline QStringList list_postbacks(const testsupport::DemoProcess& demo, const QString& target) {
  QStringList out;
  const QJsonArray requests = demo_state(demo)["product_list"].toObject()["requests"].toArray();
  for (const QJsonValue& v : requests) {
    const QJsonObject r = v.toObject();
    if (r["method"].toString() == "POST" && r["target"].toString() == target) out << r["argument"].toString();
  }
  return out;
}

// The page's currently visible message box with this title, or null.
inline QMessageBox* visible_box(const QString& title) {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible() && box->windowTitle() == title) return box;
  return nullptr;
}

// Polls for a message box titled title and presses its first button; text gets its text.
// The timer lives as long as the returned object.
class BoxAnswer {
 public:
  BoxAnswer(const QString& title, QString* text) {
    timer_ = new QTimer;
    QObject::connect(timer_, &QTimer::timeout, [title, text, this] {
      if (QMessageBox* box = visible_box(title)) {
        if (text) *text = box->text();
        ++answered_;
        box->buttons().value(0)->click();
      }
    });
    timer_->start(20);
  }
  ~BoxAnswer() { delete timer_; }
  int answered() const { return answered_; }

 private:
  QTimer* timer_;
  int answered_ = 0;
};

// The runs recorded in the journal of exe_dir, newest first, with their items (store
// keeps the journal open for reading).
struct JournalRun {
  tools::journal::RunRow run;
  std::vector<tools::journal::ItemRow> items;
};
inline std::vector<JournalRun> journal_runs(const std::string& exe_dir) {
  std::string why;
  auto store = tools::journal::Store::open_for_reading(tools::journal::journal_file(settings::portable_data_dir(exe_dir)), &why);
  std::vector<JournalRun> out;
  if (!store) return out;
  for (const auto& r : store->runs(0, 20)) out.push_back({r, store->items(r.id, {}, 0, 1000)});
  return out;
}

}  // namespace harness
