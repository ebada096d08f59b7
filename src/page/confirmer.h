#pragma once
// Presses the button of the browser's script message boxes on a timer, so that
// step sequences run unattended.

#include <QString>

class QWidget;

namespace page {

inline constexpr int kDefaultConfirmPeriod = 300;

// Starts (stop = false) or stops (stop = true) the confirm timer of owner.
// Empty title = "Microsoft Internet Explorer", empty caption = "确定", a period below
// 50 ms = 300 ms. Starting replaces the shared watch pattern title + "|" + caption and
// (re)sets the owner's timer; stopping removes the owner's timer only.
void confirm_web_dialogs(QWidget* owner, const QString& title = QString(),
                         const QString& caption = QString(), bool stop = false,
                         int period_ms = kDefaultConfirmPeriod);

// For tests: the watch pattern, and the owner's period (0 when stopped).
QString confirm_watch_pattern();
int confirm_period(QWidget* owner);
// One tick of the confirmer (what the timer runs): true when a click was posted.
bool confirm_tick();

}  // namespace page
