#pragma once
// Reports every script message box of every browser of the application: when it opens
// (browser, kind, text) and how it was answered (button, and whether the confirmer or the
// user pressed it). Observers only watch; the boxes behave exactly as without them.

#include <QObject>
#include <QPointer>
#include <QString>

class QAbstractButton;
class QWidget;

namespace platform {

enum class ScriptBoxKind { alert, confirm, prompt };

// "alert", "confirm", "prompt".
const char* script_box_kind_name(ScriptBoxKind kind);

// A button's caption as the user sees it: "&&" is one "&", a single "&" marks a mnemonic.
QString shown_caption(const QString& text);

class ScriptBoxes : public QObject {
  Q_OBJECT
 public:
  // The one reporter of the process (created on first use).
  static ScriptBoxes* instance();

  // The confirmer marks the button it is about to click, so that the answer is known to
  // come from it and not from the user.
  static void mark_automated_click(QAbstractButton* button);
  static bool is_automated_click(const QAbstractButton* button);

 signals:
  // serial: unique per box in this process. browser: the view whose page raised the box.
  void opened(quint64 serial, QWidget* browser, platform::ScriptBoxKind kind, const QString& text);
  // button: caption of the button that closed the box; empty when it was closed otherwise
  // (Escape on a prompt, window closed, owner gone).
  void answered(quint64 serial, const QString& button, bool by_confirmer);

 private:
  friend class ScriptBoxReport;
  ScriptBoxes() = default;
  quint64 next_serial_ = 0;
};

// One box while it is open: reports it open on construction and answered on finish()
// (or, without finish, as closed without a button when it goes).
class ScriptBoxReport {
 public:
  ScriptBoxReport(QWidget* browser, ScriptBoxKind kind, const QString& text);
  ~ScriptBoxReport();
  ScriptBoxReport(const ScriptBoxReport&) = delete;
  ScriptBoxReport& operator=(const ScriptBoxReport&) = delete;

  // button: the clicked button (null: closed without one).
  void finish(const QAbstractButton* button);

 private:
  quint64 serial_ = 0;
  bool finished_ = false;
};

}  // namespace platform
