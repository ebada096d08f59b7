#include "tools/common/run_mode.h"

#include <QCoreApplication>

namespace tools {

RunMode* RunMode::instance() {
  static RunMode* mode = new RunMode;
  return mode;
}

void RunMode::set_fast(bool on) {
  RunMode* m = instance();
  if (m->fast_ == on) return;
  m->fast_ = on;
  emit m->changed(on);
}

QString RunMode::title_suffix() { return QStringLiteral("（快速）"); }

QString RunMode::titled(const QString& title) {
  QString base = title;
  if (base.endsWith(title_suffix())) base.chop(title_suffix().size());
  return fast() ? base + title_suffix() : base;
}

}  // namespace tools
