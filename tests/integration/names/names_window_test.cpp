// The editor window: its buttons run the operations on the box, the case box writes
// configure.ini, and the first-character state outlives the window.
#include <gtest/gtest.h>

#include <cstdlib>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "page/page_objects.h"
#include "platform/gbk.h"
#include "settings/settings.h"
#include "text/text.h"
#include "offline_context.h"
#include "tools/common/tool_context.h"
#include "tools/names/name_ops.h"
#include "tools/names/names_window.h"
#include "tools/names/open_names.h"

namespace {

using Context = testsupport::OfflineContext;

tools::names::NamesWindow* open_window(Context& ctx) {
  tools::names::open_names_editor(ctx);
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (auto* n = qobject_cast<tools::names::NamesWindow*>(w); n && n->isVisible()) return n;
  }
  return nullptr;
}

QString box(QWidget* w) { return w->findChild<QPlainTextEdit*>("mainText")->toPlainText(); }
void set_box(QWidget* w, const QString& t) { w->findChild<QPlainTextEdit*>("mainText")->setPlainText(t); }
void click(QWidget* w, const char* name) { w->findChild<QPushButton*>(name)->click(); }
void type(QWidget* w, const char* name, const QString& t) { w->findChild<QLineEdit*>(name)->setText(t); }

void close_window(QWidget* w) {
  QPointer<QWidget> p(w);
  w->close();
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(p.isNull());  // deletes itself when closed
}

class NamesWindowTest : public ::testing::Test {
 protected:
  QTemporaryDir dir;
  Context ctx{dir.path().toStdString()};
};

TEST_F(NamesWindowTest, TitleCaptionsAndDataDirectory) {
  auto* w = open_window(ctx);
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->windowTitle(), QStringLiteral("Quillory-TessaroV4.3正式版-商品名字批量编辑"));
  EXPECT_TRUE(QDir(dir.path() + "/data").exists());
  EXPECT_EQ(w->parentWidget(), nullptr);
  EXPECT_FALSE(w->isModal());
  EXPECT_EQ(w->findChild<QLabel*>("statusLabel")->text(), QStringLiteral("状态:等待执行"));
  QStringList labels;
  for (QLabel* l : w->findChildren<QLabel*>()) labels << l->text();
  for (const char* c : {"在每一行的最前面添加", "每行添加序号", "开始", "删除全部空行", "将行序全部颠倒",
                        "将每一行的第一个字符换成", "修改为", "替换次数",
                        "欲剔除的文本关键字:(若有多个,请以|为分隔符)"}) {
    EXPECT_TRUE(labels.contains(QString::fromUtf8(c))) << c;
  }
  int ok_buttons = 0;
  for (QPushButton* b : w->findChildren<QPushButton*>()) {
    EXPECT_EQ(b->accessibleName(), b->text());
    if (b->text() == QStringLiteral("确认")) {
      ++ok_buttons;
      EXPECT_FALSE(b->accessibleDescription().isEmpty());
    }
  }
  EXPECT_EQ(ok_buttons, 6);
  for (QLineEdit* e : w->findChildren<QLineEdit*>()) EXPECT_FALSE(e->accessibleName().isEmpty());
  EXPECT_EQ(w->findChild<QCheckBox*>("caseCheck")->accessibleName(), QStringLiteral("区分大小写"));
  w->resize(1000, 620);
  QTest::qWait(50);
  w->grab().save("/tmp/names_window.png");
  close_window(w);
}

TEST_F(NamesWindowTest, ButtonsRunTheOperationsOnTheBox) {
  auto* w = open_window(ctx);
  set_box(w, "ab\na\nab\nxy");
  click(w, "dedupButton");
  EXPECT_EQ(box(w), "ab\nxy\n");
  EXPECT_EQ(w->findChild<QLabel*>("statusLabel")->text(),
            QStringLiteral("数据文本4项/去除重复2项    得到文本2项"));
  EXPECT_EQ(w->main_text(), "ab\r\nxy\r\n");

  type(w, "prefixEdit", QStringLiteral("新"));
  click(w, "prefixButton");
  EXPECT_EQ(box(w), QStringLiteral("新ab\n新xy\n"));

  set_box(w, "x\ny\nz");
  type(w, "startEdit", "5");
  click(w, "numberButton");
  EXPECT_EQ(box(w), "5.x\n6.y\n7.z\n");

  click(w, "reverseButton");
  EXPECT_EQ(box(w), "7.z\n6.y\n5.x\n");

  set_box(w, "a\n\n  \nb\n");
  click(w, "emptyButton");
  EXPECT_EQ(w->main_text(), "a\r\n  \r\nb");

  set_box(w, QStringLiteral("癮a Ab"));
  type(w, "findEdit", "a");
  type(w, "replacementEdit", "x");
  type(w, "countEdit", "");
  click(w, "replaceButton");
  EXPECT_EQ(box(w), QStringLiteral("癮a Ab"));  // empty count: nothing
  type(w, "countEdit", "-1");
  click(w, "replaceButton");
  EXPECT_EQ(box(w), QStringLiteral("癮x xb"));  // case-insensitive by default, trail byte untouched

  set_box(w, "xa\nb\ny");
  type(w, "keywordEdit", "a|b");
  click(w, "stripButton");
  EXPECT_EQ(box(w), "xy");

  // Remove duplicates on an empty box leaves the status as it was.
  set_box(w, "");
  click(w, "dedupButton");
  EXPECT_EQ(w->findChild<QLabel*>("statusLabel")->text(),
            QStringLiteral("数据文本4项/去除重复2项    得到文本2项"));
  close_window(w);
}

TEST_F(NamesWindowTest, CaseBoxWritesTrueAndFalse) {
  auto* w = open_window(ctx);
  auto* check = w->findChild<QCheckBox*>("caseCheck");
  EXPECT_FALSE(check->isChecked());
  const std::string ini = ctx.data_file(settings::kConfigure);
  const std::string key = text::utf8_to_gbk("区分大小写");
  QTest::mouseClick(check, Qt::LeftButton, {}, QPoint(5, check->height() / 2));
  EXPECT_TRUE(check->isChecked());
  EXPECT_EQ(settings::read_key(ini, key), text::utf8_to_gbk("真"));
  QTest::mouseClick(check, Qt::LeftButton, {}, QPoint(5, check->height() / 2));
  EXPECT_EQ(settings::read_key(ini, key), text::utf8_to_gbk("假"));

  // Ticked: the replacement is case-sensitive.
  check->click();
  set_box(w, "Ab ab");
  type(w, "findEdit", "ab");
  type(w, "replacementEdit", "x");
  type(w, "countEdit", "9");
  click(w, "replaceButton");
  EXPECT_EQ(box(w), "Ab x");
  close_window(w);
}

TEST_F(NamesWindowTest, FirstCharacterStateSurvivesCloseAndReopen) {
  tools::names::first_char_state() = {};
  auto* w = open_window(ctx);
  set_box(w, QStringLiteral("旧A"));
  type(w, "firstCharEdit", QStringLiteral("新"));
  click(w, "firstCharButton");
  EXPECT_EQ(box(w), QStringLiteral("新A\n"));
  close_window(w);

  w = open_window(ctx);
  set_box(w, QStringLiteral("新A"));
  type(w, "firstCharEdit", QStringLiteral("老"));
  click(w, "firstCharButton");
  EXPECT_EQ(box(w), QStringLiteral("老A\n"));
  close_window(w);
}

// Writes the guide's screenshot when TESSARO_SCREENSHOT_DIR is set.
TEST_F(NamesWindowTest, Screenshots) {
  const char* out = std::getenv("TESSARO_SCREENSHOT_DIR");
  if (!out) GTEST_SKIP() << "TESSARO_SCREENSHOT_DIR not set";
  auto* w = open_window(ctx);
  set_box(w, QStringLiteral("腾讯QQ币10元\n网易一卡通15元\n腾讯QQ币10元\n魔兽点卡30元"));
  click(w, "dedupButton");
  QTest::qWait(200);
  EXPECT_TRUE(w->grab().save(QString::fromUtf8(out) + "/names.png"));
  close_window(w);
}

}  // namespace
