#include "platform/script_boxes.h"

#include <QAbstractButton>
#include <QCoreApplication>

namespace platform {

namespace {
// Dynamic property set on a button that the confirmer clicks.
constexpr const char* kAutomatedClick = "tessaro_automated_click";

}  // namespace

QString shown_caption(const QString& t) {
  if (!t.contains(u'&')) return t;
  QString out;
  out.reserve(t.size());
  for (qsizetype i = 0; i < t.size(); ++i) {
    if (t[i] == u'&') {
      if (i + 1 < t.size() && t[i + 1] == u'&') {
        out += u'&';
        ++i;
      }
      continue;
    }
    out += t[i];
  }
  return out;
}

const char* script_box_kind_name(ScriptBoxKind kind) {
  switch (kind) {
    case ScriptBoxKind::alert: return "alert";
    case ScriptBoxKind::confirm: return "confirm";
    case ScriptBoxKind::prompt: return "prompt";
  }
  return "alert";
}

ScriptBoxes* ScriptBoxes::instance() {
  static QPointer<ScriptBoxes> reporter;
  if (!reporter) {
    reporter = new ScriptBoxes;
    // Goes with the application object (before the engine shuts down), if there is one.
    if (QCoreApplication::instance()) reporter->setParent(QCoreApplication::instance());
  }
  return reporter;
}

void ScriptBoxes::mark_automated_click(QAbstractButton* button) {
  if (button) button->setProperty(kAutomatedClick, true);
}

bool ScriptBoxes::is_automated_click(const QAbstractButton* button) {
  return button && button->property(kAutomatedClick).toBool();
}

ScriptBoxReport::ScriptBoxReport(QWidget* browser, ScriptBoxKind kind, const QString& text) {
  ScriptBoxes* r = ScriptBoxes::instance();
  serial_ = ++r->next_serial_;
  emit r->opened(serial_, browser, kind, text);
}

ScriptBoxReport::~ScriptBoxReport() {
  if (!finished_) finish(nullptr);
}

void ScriptBoxReport::finish(const QAbstractButton* button) {
  if (finished_) return;
  finished_ = true;
  emit ScriptBoxes::instance()->answered(serial_, button ? shown_caption(button->text()) : QString(),
                                         ScriptBoxes::is_automated_click(button));
}

}  // namespace platform
