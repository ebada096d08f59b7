#pragma once
// The tutorial of the template setter: its pictures, one at a time, with a line of text
// under each, and buttons to page through them.

#include <QString>
#include <QStringList>
#include <QWidget>

class QLabel;
class QPushButton;

namespace tools::templates {

class TutorialViewer : public QWidget {
  Q_OBJECT
 public:
  // A top-level window (no owner) titled main_title + "-使用教程", deleted on close.
  explicit TutorialViewer(const QString& main_title);

  // The pictures built into the program, in order (resource paths).
  static QStringList pictures();
  int count() const { return static_cast<int>(pictures_.size()); }
  int current() const { return current_; }  // 0-based
  void show_picture(int index);

  QLabel* picture_label() const { return picture_; }
  QLabel* caption_label() const { return caption_; }
  QPushButton* previous_button() const { return previous_; }
  QPushButton* next_button() const { return next_; }

 private:
  QStringList pictures_;
  int current_ = 0;
  QLabel* picture_ = nullptr;
  QLabel* caption_ = nullptr;
  QLabel* position_ = nullptr;
  QPushButton* previous_ = nullptr;
  QPushButton* next_ = nullptr;
};

}  // namespace tools::templates
