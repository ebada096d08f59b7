#include "platform/dialogs.h"

#include <QAbstractButton>
#include <QPointer>
#include <QPushButton>
#include <QWidget>

namespace platform {

void show_message(QWidget* parent, const QString& text, const QString& title,
                  QMessageBox::Icon icon) {
  QPointer<QMessageBox> box = new QMessageBox(icon, title, text, QMessageBox::NoButton, parent);
  QPushButton* ok = box->addButton(kOkCaption, QMessageBox::AcceptRole);
  box->setDefaultButton(ok);
  box->setEscapeButton(ok);
  box->exec();
  // The parent may have gone while the box was open (it then took the box with it).
  if (box) delete box.data();
}

bool ask_yes_no(QWidget* parent, const QString& text, const QString& title,
                QMessageBox::Icon icon) {
  QPointer<QMessageBox> box = new QMessageBox(icon, title, text, QMessageBox::NoButton, parent);
  QPushButton* yes = box->addButton(QStringLiteral("是"), QMessageBox::YesRole);
  QPushButton* no = box->addButton(QStringLiteral("否"), QMessageBox::NoRole);
  box->setDefaultButton(yes);
  box->setEscapeButton(no);
  box->exec();
  if (!box) return false;
  const bool result = box->clickedButton() == yes;
  delete box.data();
  return result;
}

}  // namespace platform
