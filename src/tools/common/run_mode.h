#pragma once
// How runs are paced: by the fixed waits of their steps (the default), or, in fast mode, by
// the platform's answers: a step's wait ends as soon as the page it expects is there and
// quiet, never sooner than a floor, and the platform's message boxes are confirmed as soon
// as they open. A run takes the mode in force when it starts.

#include <QObject>
#include <QString>

namespace tools {

// Shortest time between two actions of a run in fast mode, and how long after an action a
// page must stay without a new load, an open message box or a load in progress.
inline constexpr int kFastFloorMs = 100;

class RunMode : public QObject {
  Q_OBJECT
 public:
  static RunMode* instance();
  static bool fast() { return instance()->fast_; }
  static void set_fast(bool on);

  // "（快速）", the suffix of a tool window's title while fast mode is on.
  static QString title_suffix();
  // title with the suffix when fast mode is on, without it when it is off.
  static QString titled(const QString& title);

 signals:
  void changed(bool fast);

 private:
  RunMode() = default;
  bool fast_ = false;
};

}  // namespace tools
