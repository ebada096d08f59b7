#pragma once
// Message boxes as the application shows them.

#include <QMessageBox>
#include <QString>

class QWidget;

namespace platform {

// Titles used by the application.
inline const QString kTitleHint = QStringLiteral("提示：");
inline const QString kTitleInfo = QStringLiteral("信息：");
inline const QString kWebMessageTitle = QStringLiteral("来自网页的消息");
inline const QString kOkCaption = QStringLiteral("确定");
inline const QString kCancelCaption = QStringLiteral("取消");

// Modal information box with one "确定" button; title defaults to "信息：".
void show_message(QWidget* parent, const QString& text, const QString& title = kTitleInfo,
                  QMessageBox::Icon icon = QMessageBox::NoIcon);
// Yes/No question ("是"/"否"); true on Yes.
bool ask_yes_no(QWidget* parent, const QString& text, const QString& title = kTitleInfo,
                QMessageBox::Icon icon = QMessageBox::Question);

}  // namespace platform
