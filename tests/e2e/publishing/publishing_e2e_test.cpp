// The publishing window against the demo back office, in process: a real browser,
// real pages, real HTTP, real files; waits shortened.

#include <gtest/gtest.h>

#include <cstdlib>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <fstream>
#include <set>

#include "demo_suite.h"
#include "page/confirmer.h"
#include "platform/waits.h"
#include "qt_test_hooks.h"
#include "settings/settings.h"
#include "text/text.h"
#include "tools/common/run_mode.h"
#include "tools/publishing/catalogue_window.h"
#include "tools/publishing/colour_picker.h"
#include "tools/publishing/completion_notice.h"
#include "tools/publishing/open_publishing.h"
#include "tools/publishing/publishing_core.h"
#include "tools/publishing/publishing_window.h"

using tools::publishing::CatalogueWindow;
using tools::publishing::ColourPicker;
using tools::publishing::CompletionNotice;
using tools::publishing::PublishingWindow;

using harness::demo;
using harness::kDemoRoot;

namespace {

// A host whose port refuses connections: the browser shows an error page, no form.
const char* kNoFormRoot = "http://noform.example.com";

}  // namespace

void tessaro_test_before_app(std::vector<std::string>& args) {
  harness::start_demo(args, {}, "MAP noform.example.com 127.0.0.1:1");
}

void tessaro_test_after_all() { harness::stop_demo(); }

namespace {

class Publishing : public harness::DemoSuite<PublishingWindow, CompletionNotice, CatalogueWindow, ColourPicker> {
 protected:
  Publishing() : DemoSuite({.wait_scale = 0.2, .address = std::string(kDemoRoot) + "/Index.aspx"}) {}

  PublishingWindow* open_window() {
    auto* w = new PublishingWindow(*ctx_);
    w->show();
    return w;
  }

  // Waits for the add form in the main browser.
  static bool on_add_form() {
    return harness::wait_until([] {
      return harness::page_script(ctx_->main_browser(), "!!document.getElementById('btnSubmit')").toBool();
    });
  }

  static bool run(PublishingWindow* w, int timeout_ms = 60000) {
    return harness::click_until(w->controls().start, w, &PublishingWindow::run_finished, timeout_ms);
  }

  static std::string path(const QTemporaryDir& d, const char* name) {
    return d.path().toStdString() + "/data/" + name;
  }
};

QStringList strings(const QJsonValue& v) {
  QStringList out;
  for (const QJsonValue& e : v.toArray()) out << e.toString();
  return out;
}

TEST_F(Publishing, ThreeNamesPublishThreeProductsWithEveryField) {
  PublishingWindow* w = open_window();
  const auto& c = w->controls();
  c.names->setPlainText(QStringLiteral("腾讯QQ币10元\n网易一卡通15元\n魔兽点卡30元"));
  c.catalogue[0]->setText("2");
  c.catalogue[1]->setText("1005");
  c.catalogue[2]->setText("");
  c.sales_sub->setChecked(true);
  c.unit->setText(QStringLiteral("张"));
  c.face_value->setText("10.5");
  c.days->setText("30");
  c.status[1]->setChecked(true);
  c.colour->setText("#ff33ff");
  c.bold->setChecked(true);
  c.introduction->setPlainText(QStringLiteral("第一行简介\n\n第三行"));
  c.notice->setPlainText(QStringLiteral("注意：自动发货"));
  c.charging->setText(QStringLiteral("按次"));
  c.recharge->setText("http://pay.example.com/a?b=1&c=2");
  c.contact->setText("qq(123456,234567)");

  QStringList texts;
  QList<int> objects;  // as each pass begins
  QObject::connect(w, &PublishingWindow::status_text_changed, [&](const QString& t) {
    texts << t;
    objects << harness::object_census();
  });
  ASSERT_TRUE(run(w));
  // A run of thousands of names: a pass and the platform's box leave no object behind.
  ASSERT_GE(objects.size(), 3);
  EXPECT_EQ(objects[2], objects[1]) << objects[0];

  EXPECT_EQ(texts, (QStringList{QStringLiteral("当前商品一共3个，正在发布第0个"),
                                QStringLiteral("当前商品一共3个，正在发布第1个"),
                                QStringLiteral("当前商品一共3个，正在发布第2个"), QStringLiteral("发布完毕！")}));
  EXPECT_EQ(c.status_text->text(), QStringLiteral("发布完毕！"));
  EXPECT_EQ(c.progress->value(), 3);
  EXPECT_EQ(c.progress->maximum(), 3);
  EXPECT_TRUE(c.start->isEnabled());
  EXPECT_FALSE(c.stop->isEnabled());
  // The completion notice is up; a click on it closes it.
  CompletionNotice* notice = nullptr;
  for (QWidget* t : QApplication::topLevelWidgets())
    if (auto* n = qobject_cast<CompletionNotice*>(t); n && n->isVisible()) notice = n;
  ASSERT_NE(notice, nullptr);
  QPointer<CompletionNotice> guard(notice);
  QTest::mouseClick(notice->findChild<QLabel*>(), Qt::LeftButton);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(guard.isNull());

  const QJsonArray products = harness::demo_products(demo());
  ASSERT_EQ(products.size(), 3);
  const QStringList names = {QStringLiteral("腾讯QQ币10元"), QStringLiteral("网易一卡通15元"),
                             QStringLiteral("魔兽点卡30元")};
  for (int i = 0; i < 3; ++i) {
    const QJsonObject p = products[i].toObject();
    EXPECT_EQ(p["name"].toString(), names[i]);
    EXPECT_EQ(strings(p["catalog"]), (QStringList{"1001", "1005"}));
    EXPECT_EQ(p["sales_bound"].toString(), "0");
    EXPECT_EQ(p["unit"].toString(), QStringLiteral("张"));
    EXPECT_EQ(p["parvalue"].toString(), "10.5");
    EXPECT_EQ(p["valid_date"].toString(), "30");
    EXPECT_EQ(p["status"].toString(), "1");
    EXPECT_EQ(p["title_color"].toString(), "#ff33ff");
    EXPECT_TRUE(p["bold"].toBool());  // checked: the page's own tick stays
    // The form posts CR LF for line ends in a text area.
    QString intro = p["introduct"].toString();
    intro.replace("\r\n", "\n");
    EXPECT_EQ(intro, QStringLiteral("第一行简介\n\n第三行"));
    EXPECT_EQ(p["notice"].toString(), QStringLiteral("注意：自动发货"));
    EXPECT_EQ(p["charge_way"].toString(), QStringLiteral("按次"));
    EXPECT_EQ(p["saving_url"].toString(), "http://pay.example.com/a?b=1&c=2");
    EXPECT_EQ(p["service"].toString(), "qq(123456,234567)");
  }
}

TEST_F(Publishing, BoldUncheckedClicksTheBoldBoxOncePerProductAndRandomColoursComeFromThePalette) {
  PublishingWindow* w = open_window();
  const auto& c = w->controls();
  c.names->setPlainText("A1\nA2\nA3\nA4\n");  // the final line break adds no product
  c.bold->setChecked(false);
  c.colour->setText("#123456");  // not a palette entry
  QTest::mouseClick(c.random_colour, Qt::LeftButton);
  EXPECT_TRUE(c.random_colour->isChecked());
  EXPECT_FALSE(c.colour->isEnabled());
  ASSERT_TRUE(run(w));
  const QJsonArray products = harness::demo_products(demo());
  ASSERT_EQ(products.size(), 4);
  const auto& palette = tools::publishing::palette();
  const std::set<std::string> entries(palette.begin(), palette.end());
  for (const QJsonValue& v : products) {
    const QJsonObject p = v.toObject();
    EXPECT_FALSE(p["bold"].toBool()) << p["name"].toString().toStdString();
    EXPECT_EQ(entries.count(p["title_color"].toString().toStdString()), 1u) << p["title_color"].toString().toStdString();
    // Empty catalogue boxes tick nothing.
    EXPECT_TRUE(strings(p["catalog"]).isEmpty());
  }
  QTest::mouseClick(c.random_colour, Qt::LeftButton);
  EXPECT_TRUE(c.colour->isEnabled());
}

TEST_F(Publishing, StopDuringTheWaitOfProductTwoLeavesTwoProducts) {
  PublishingWindow* w = open_window();
  const auto& c = w->controls();
  c.names->setPlainText("S1\nS2\nS3\nS4\nS5");
  QObject::connect(w, &PublishingWindow::status_text_changed, [&](const QString& t) {
    if (t == QStringLiteral("当前商品一共5个，正在发布第1个"))
      QTimer::singleShot(100, c.stop, [&] { QTest::mouseClick(c.stop, Qt::LeftButton); });
  });
  QStringList texts;
  QObject::connect(w, &PublishingWindow::status_text_changed, [&](const QString& t) { texts << t; });
  ASSERT_TRUE(run(w));
  EXPECT_EQ(texts.last(), QStringLiteral("发布完毕！"));
  EXPECT_EQ(texts.size(), 3);
  EXPECT_EQ(w->position(), 5);
  EXPECT_EQ(c.progress->value(), 2);
  const QJsonArray products = harness::demo_products(demo());
  ASSERT_EQ(products.size(), 2);
  EXPECT_EQ(products[1].toObject()["name"].toString(), "S2");
}

// The line to the platform: its answers delayed by latency ± jitter ms (slow: longer than
// the shortened waits of every step).
struct Line {
  const char* name;
  int latency_ms;
  int jitter_ms;
};

class PublishingOnALine : public Publishing, public ::testing::WithParamInterface<Line> {};

// The same names give the same products on any line, paced by the prescribed waits or by
// the platform's answers.
TEST_P(PublishingOnALine, ThreeNamesGiveTheSameProductsPacedAndInFastMode) {
  set_latency(GetParam().latency_ms, GetParam().jitter_ms);
  paced_and_fast(true, 0.2, [&] {
    PublishingWindow* w = open_window();
    const auto& c = w->controls();
    c.names->setPlainText(QStringLiteral("腾讯QQ币10元\n网易一卡通15元\n魔兽点卡30元"));
    c.face_value->setText("10");
    c.introduction->setPlainText(QStringLiteral("简介"));
    ASSERT_TRUE(run(w));
    EXPECT_EQ(c.status_text->text(), QStringLiteral("发布完毕！"));
    EXPECT_EQ(w->windowTitle().endsWith(QStringLiteral("（快速）")), tools::RunMode::fast());
    const QJsonArray products = harness::demo_products(demo());
    ASSERT_EQ(products.size(), 3);
    EXPECT_EQ(products[2].toObject()["name"].toString(), QStringLiteral("魔兽点卡30元"));
    const auto runs = journal_runs();
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].ending, "finished");
    for (const auto& item : journal_items(runs[0])) EXPECT_FALSE(item.problem) << *item.problem;
  });
}

INSTANTIATE_TEST_SUITE_P(Lines, PublishingOnALine,
                         ::testing::Values(Line{"Fast", 0, 0}, Line{"SlowWithJitter", 500, 200}),
                         [](const auto& info) { return std::string(info.param.name); });

// A platform that refuses posts in quick succession: in fast mode its refusal is the
// answer recorded for the names it refused; every name has its item and none is lost.
TEST_F(Publishing, AFastRunOnAPlatformThatRefusesQuickPostsRecordsEachRefusal) {
  demo().post("/demo/latency", "latency=0&jitter=0&min_post_interval=1500");
  begin_mode(true);
  PublishingWindow* w = open_window();
  w->controls().names->setPlainText("R1\nR2\nR3\nR4");
  ASSERT_TRUE(run(w));
  demo().post("/demo/latency", "latency=0&jitter=0&min_post_interval=0");
  const QJsonArray products = harness::demo_products(demo());
  const auto runs = journal_runs();
  ASSERT_EQ(runs.size(), 1u);
  const auto items = journal_items(runs[0]);
  ASSERT_EQ(items.size(), 4u);
  int refused = 0;
  for (const auto& item : items)
    if (item.answer.value_or("").find("操作太频繁，请稍后再试") != std::string::npos) ++refused;
  EXPECT_GE(refused, 1);
  EXPECT_EQ(products.size() + refused, 4);
  EXPECT_EQ(harness::demo_state()["conditions"].toObject()["refused_posts"].toInt(), refused);
}

TEST_F(Publishing, AnEmptyListEndsAtOnceWithoutNotice) {
  PublishingWindow* w = open_window();
  w->controls().names->setPlainText("");
  QStringList texts;
  QObject::connect(w, &PublishingWindow::status_text_changed, [&](const QString& t) { texts << t; });
  ASSERT_TRUE(run(w, 5000));
  EXPECT_TRUE(texts.isEmpty());
  EXPECT_TRUE(w->controls().start->isEnabled());
  EXPECT_FALSE(w->controls().stop->isEnabled());
  for (QWidget* t : QApplication::topLevelWidgets()) EXPECT_EQ(qobject_cast<CompletionNotice*>(t), nullptr);
  EXPECT_EQ(harness::demo_products(demo()).size(), 0);
}

TEST_F(Publishing, OpeningTakesThePlatformRootAndShowsTheAddForm) {
  ctx_->set_address_text(std::string(kDemoRoot) + "/SelfProduct/SelfProductList.aspx?x=1");
  tools::publishing::open_publishing(*ctx_);
  EXPECT_EQ(ctx_->address_text(), kDemoRoot);
  PublishingWindow* w = harness::top_level<PublishingWindow>();
  ASSERT_NE(w, nullptr);
  EXPECT_TRUE(w->isVisible());
  EXPECT_EQ(w->parentWidget(), nullptr);
  EXPECT_TRUE(w->testAttribute(Qt::WA_DeleteOnClose));
  EXPECT_FALSE(w->isModal());
  EXPECT_EQ(w->windowTitle(), QStringLiteral("Quillory-TessaroV4.3正式版-全自动上架商品(前台版)"));
  ASSERT_TRUE(on_add_form());
  EXPECT_EQ(ctx_->main_browser()->url().toString(), QString(kDemoRoot) + "/SelfProduct/SelfProductAdd.aspx");
  // Fresh data directory: the defaults of the design.
  const auto& c = w->controls();
  EXPECT_TRUE(c.sales_all->isChecked());
  EXPECT_TRUE(c.status[2]->isChecked());
  EXPECT_TRUE(c.face_value->text().isEmpty());
  EXPECT_EQ(c.colour->text(), "#0000FF");
  EXPECT_EQ(c.names->palette().color(QPalette::Text), QColor(0, 0, 255));
  EXPECT_EQ(c.colour->palette().color(QPalette::Text), QColor(0, 0, 255));
  EXPECT_EQ(c.names->placeholderText(), QStringLiteral("一行即为一个商品名称，输入多个商品时，记得换行)"));
  EXPECT_EQ(c.face_value->placeholderText(), QStringLiteral("必须为纯数值)"));
  EXPECT_FALSE(c.names->font().bold());
  QTest::mouseClick(c.bold, Qt::LeftButton);
  EXPECT_TRUE(c.names->font().bold());
  EXPECT_EQ(c.names->accessibleName(), QStringLiteral("*商品名称："));
  EXPECT_EQ(c.catalogue[1]->accessibleName(), QStringLiteral("目录2"));
  EXPECT_EQ(c.contact->accessibleName(), QStringLiteral("客服联系方式："));
}

TEST_F(Publishing, ReopeningRestoresTheSavedSettingsButNotUnitAndDays) {
  {
    PublishingWindow* w = open_window();
    const auto& c = w->controls();
    c.names->setPlainText(QStringLiteral("甲\n\n乙"));
    c.catalogue[0]->setText("3");
    c.catalogue[1]->setText("4");
    c.catalogue[2]->setText("1010");
    c.sales_sub->setChecked(true);
    c.unit->setText(QStringLiteral("个"));
    c.face_value->setText("99");
    c.days->setText("7");
    c.status[0]->setChecked(true);
    c.introduction->setPlainText(QStringLiteral("简介\n第二行"));
    c.notice->setPlainText(QStringLiteral("须知"));
    c.charging->setText("c1");
    c.recharge->setText("http://r.example.com");
    c.contact->setText("qq(1)");
    c.colour->setText("#abcdef");
    c.bold->setChecked(true);
    QPointer<PublishingWindow> guard(w);
    w->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(guard.isNull());
  }
  // The files as the old platform wrote them: GBK, CR LF.
  EXPECT_EQ(settings::read_whole_file(path(dir_, "productname.ini")), text::utf8_to_gbk("甲\r\n\r\n乙"));
  EXPECT_EQ(settings::read_whole_file(path(dir_, "Introduct.ini")), text::utf8_to_gbk("简介\r\n第二行"));
  const std::string ini = path(dir_, "configure.ini");
  auto key = [&](const char* k) { return settings::read_key(ini, text::utf8_to_gbk(k)); };
  EXPECT_EQ(key("商品目录1"), "3");
  EXPECT_EQ(key("目录编号3"), "1010");
  EXPECT_EQ(key("销售范围"), "0");
  EXPECT_EQ(key("是否允许销售"), "0");
  EXPECT_EQ(key("商品面值"), "99");
  EXPECT_EQ(key("商品的面值"), "99");
  EXPECT_EQ(key("数量单位名称"), text::utf8_to_gbk("个"));
  EXPECT_EQ(key("有效售后天数"), "7");

  PublishingWindow* w = open_window();
  const auto& c = w->controls();
  EXPECT_EQ(c.names->toPlainText(), QStringLiteral("甲\n\n乙"));
  EXPECT_EQ(c.catalogue[0]->text(), "3");
  EXPECT_EQ(c.catalogue[1]->text(), "4");
  EXPECT_EQ(c.catalogue[2]->text(), "1010");
  EXPECT_TRUE(c.sales_sub->isChecked());
  EXPECT_TRUE(c.unit->text().isEmpty());
  EXPECT_TRUE(c.days->text().isEmpty());
  EXPECT_EQ(c.face_value->text(), "99");
  EXPECT_TRUE(c.status[0]->isChecked());
  EXPECT_EQ(c.introduction->toPlainText(), QStringLiteral("简介\n第二行"));
  EXPECT_EQ(c.notice->toPlainText(), QStringLiteral("须知"));
  EXPECT_EQ(c.charging->text(), "c1");
  EXPECT_EQ(c.recharge->text(), "http://r.example.com");
  EXPECT_EQ(c.contact->text(), "qq(1)");
  // Not stored: colour code and bold.
  EXPECT_EQ(c.colour->text(), "#0000FF");
  EXPECT_FALSE(c.bold->isChecked());
}

TEST_F(Publishing, TheSecondFaceValueKeyWinsAndOddValuesPickTheFallbackRadios) {
  ctx_->ensure_data_dir();
  const std::string ini = path(dir_, "configure.ini");
  auto put = [&](const char* k, const char* v) { settings::write_key(ini, text::utf8_to_gbk(k), v); };
  put("商品的面值", "1");
  put("商品面值", "2");
  put("销售范围", "x");
  put("是否允许销售", "1");
  PublishingWindow* w = open_window();
  EXPECT_EQ(w->controls().face_value->text(), "2");
  EXPECT_TRUE(w->controls().sales_all->isChecked());
  EXPECT_TRUE(w->controls().status[1]->isChecked());
  w->close();
  put("是否允许销售", "7");
  put("商品面值", "");
  w = open_window();
  EXPECT_TRUE(w->controls().status[2]->isChecked());
  EXPECT_EQ(w->controls().face_value->text(), "");
}

TEST_F(Publishing, LookupNumbersTheCatalogueLines) {
  // A fixture whose first table has 20 lines.
  QString html = "<html><body><table>";
  for (int i = 1; i <= 20; ++i) html += QStringLiteral("<tr><td>目录行%1</td></tr>").arg(i);
  html += "</table><table><tr><td>other</td></tr></table></body></html>";
  const QString file = dir_.filePath("catalogue.html");
  {
    std::ofstream out(file.toStdString(), std::ios::binary);
    out << html.toStdString();
  }
  ASSERT_TRUE(harness::load(ctx_->main_browser(), QUrl::fromLocalFile(file).toString()));
  auto* lookup = new CatalogueWindow(*ctx_);
  lookup->show();
  EXPECT_EQ(lookup->listing()->toPlainText(),
            QStringLiteral("目录行3   编号：2\n目录行4   编号：3\n目录行5   编号：4\n"));

  // On the demo's add form the numbers are the check box positions of the entries.
  ASSERT_TRUE(harness::load(ctx_->main_browser(), QString(kDemoRoot) + "/SelfProduct/SelfProductAdd.aspx"));
  for (auto* b : lookup->findChildren<QPushButton*>())
    if (b->text() == QStringLiteral("刷新获取编号")) QTest::mouseClick(b, Qt::LeftButton);
  const QStringList lines = lookup->listing()->toPlainText().split('\n', Qt::SkipEmptyParts);
  ASSERT_EQ(lines.size(), 30);
  EXPECT_EQ(lines.first(), QStringLiteral("腾讯QQ币   编号：2"));
  EXPECT_EQ(lines.last(), QStringLiteral("其他卡类   编号：31"));
  lookup->close();
}

TEST_F(Publishing, TheColourPickerSetsTheCodeAndTheTextColour) {
  PublishingWindow* w = open_window();
  const auto& c = w->controls();
  QTest::mouseClick(c.colour_lookup, Qt::LeftButton);
  ColourPicker* picker = harness::top_level<ColourPicker>();
  ASSERT_NE(picker, nullptr);
  QPointer<ColourPicker> guard(picker);
  EXPECT_FALSE(picker->converter_view()->isVisible());
  // Both pages written as GBK files from the program's content.
  EXPECT_EQ(settings::read_whole_file(path(dir_, "Setcolor.htm")), tools::publishing::palette_page());
  EXPECT_EQ(settings::read_whole_file(path(dir_, "rgb.html")), tools::publishing::converter_page());
  platform::BrowserView* view = picker->palette_view();
  ASSERT_TRUE(harness::wait_until(
      [&] { return harness::page_script(view, "!!document.getElementById('#ff33ff')").toBool(); }));
  ASSERT_TRUE(harness::wait_until([&] {
    return harness::page_script(picker->converter_view(), "!!document.getElementById('submit')").toBool();
  }));
  // A real click on the cell.
  const QJsonValue rect = harness::page_script(
      view, "var r=document.getElementById('#ff33ff').getBoundingClientRect(); [r.left+r.width/2, r.top+r.height/2]");
  ASSERT_TRUE(rect.isArray());
  const QPoint at(rect[0].toDouble(), rect[1].toDouble());
  QWidget* target = view->focusProxy() ? view->focusProxy() : view;
  QTest::mouseMove(target, at);
  QTest::mouseClick(target, Qt::LeftButton, {}, at);
  ASSERT_TRUE(harness::wait_until([&] { return guard.isNull(); }, 10000)) << c.colour->text().toStdString();
  EXPECT_EQ(c.colour->text(), "#ff33ff");
  EXPECT_EQ(c.names->palette().color(QPalette::Text), QColor(255, 51, 255));
  EXPECT_EQ(c.colour->palette().color(QPalette::Text), QColor(255, 51, 255));
}

TEST_F(Publishing, TheConverterPageTurnsCodesIntoComponents) {
  PublishingWindow* w = open_window();
  QTest::mouseClick(w->controls().colour_lookup, Qt::LeftButton);
  ColourPicker* picker = harness::top_level<ColourPicker>();
  ASSERT_NE(picker, nullptr);
  platform::BrowserView* conv = picker->converter_view();
  ASSERT_TRUE(harness::wait_until(
      [&] { return harness::page_script(conv, "!!document.getElementById('submit')").toBool(); }));
  auto convert = [&](const QString& code) {
    const QString script = QStringLiteral(
        "document.getElementById('colorcode').value=%1; document.getElementById('submit').click();"
        "[document.getElementById('r').value, document.getElementById('g').value, document.getElementById('b').value]"
        ".join(',')").arg(QString::fromUtf8(QJsonDocument(QJsonArray{code}).toJson(QJsonDocument::Compact)).mid(1).chopped(1));
    return harness::page_script(conv, script).toString();
  };
  EXPECT_EQ(convert("#ff33ff"), "255,51,255");
  EXPECT_EQ(convert("#0000FF"), "0,0,255");
  EXPECT_EQ(convert("#aBc"), "170,187,204");
  EXPECT_EQ(convert("#12345"), ",,");
  EXPECT_EQ(convert("red"), ",,");
  picker->close();
}

TEST_F(Publishing, NamesOutsideGbkArriveIntact) {
  PublishingWindow* w = open_window();
  const QString odd = QStringLiteral("𠀀古字\u20AC欧元😀");
  w->controls().names->setPlainText(odd + "\n" + QStringLiteral("ᠮᠣᠩᠭᠣᠯ"));
  ASSERT_TRUE(run(w));
  const QJsonArray products = harness::demo_products(demo());
  ASSERT_EQ(products.size(), 2);
  EXPECT_EQ(products[0].toObject()["name"].toString(), odd);
  EXPECT_EQ(products[1].toObject()["name"].toString(), QStringLiteral("ᠮᠣᠩᠭᠣᠯ"));
  w->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  // GB18030 keeps them in the saved list as well.
  w = open_window();
  EXPECT_EQ(w->controls().names->toPlainText(), odd + "\n" + QStringLiteral("ᠮᠣᠩᠭᠣᠯ"));
}

TEST_F(Publishing, APageWithoutTheAddFormIsNeverFilledAndTheRunSaysSo) {
  ctx_->set_address_text(std::string(kNoFormRoot) + "/x");
  PublishingWindow* w = open_window();
  w->controls().names->setPlainText("N1\nN2");
  QStringList texts;
  QObject::connect(w, &PublishingWindow::status_text_changed, [&](const QString& t) { texts << t; });
  ASSERT_TRUE(run(w));
  EXPECT_TRUE(texts.last().startsWith(QStringLiteral("页面未就绪：应为发布商品页"))) << texts.last().toStdString();
  EXPECT_EQ(w->controls().progress->value(), 0);
  EXPECT_TRUE(w->controls().start->isEnabled());
  EXPECT_EQ(harness::demo_products(demo()).size(), 0);
  EXPECT_EQ(ctx_->address_text(), kNoFormRoot);
  std::vector<tools::journal::ItemRow> items;
  const auto last = last_run(&items);
  ASSERT_TRUE(last);
  EXPECT_EQ(last->ending, "page_not_ready");
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].problem.value_or(""), texts.last().toStdString());
}

TEST_F(Publishing, ClosingTheWindowDuringARunEndsTheRunSafely) {
  PublishingWindow* w = open_window();
  w->controls().names->setPlainText("C1\nC2\nC3");
  QPointer<PublishingWindow> guard(w);
  QObject::connect(w, &PublishingWindow::status_text_changed, [&](const QString& t) {
    if (t.endsWith(QStringLiteral("第1个"))) QTimer::singleShot(100, w, &QWidget::close);
  });
  QTimer::singleShot(0, w->controls().start, &QPushButton::click);
  ASSERT_TRUE(harness::wait_until([&] { return guard.isNull(); }, 60000));
  // Product 1 went out; the pass that was waiting when the window closed did not.
  EXPECT_EQ(harness::demo_products(demo()).size(), 1);
  EXPECT_EQ(page::confirm_period(ctx_->main_browser()), 0);
  EXPECT_EQ(settings::read_whole_file(path(dir_, "productname.ini")), "C1\r\nC2\r\nC3");
  for (QWidget* t : QApplication::topLevelWidgets()) EXPECT_EQ(qobject_cast<CompletionNotice*>(t), nullptr);
}

TEST_F(Publishing, FiveThousandNamesKeepTheWindowResponsive) {
  QString names;
  for (int i = 1; i <= 5000; ++i) names += QStringLiteral("批量商品%1\n").arg(i);
  PublishingWindow* w = open_window();
  w->controls().names->setPlainText(names);
  platform::set_wait_scale(0.1);
  int ticks = 0;
  QTimer ticker;
  QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
  ticker.start(20);
  QStringList texts;
  QObject::connect(w, &PublishingWindow::status_text_changed, [&](const QString& t) {
    texts << t;
    if (t.endsWith(QStringLiteral("正在发布第6个")))
      QTimer::singleShot(50, w->controls().stop, [&] { QTest::mouseClick(w->controls().stop, Qt::LeftButton); });
  });
  QElapsedTimer clock;
  clock.start();
  ASSERT_TRUE(run(w, 120000));
  EXPECT_EQ(texts.first(), QStringLiteral("当前商品一共5000个，正在发布第0个"));
  EXPECT_EQ(texts.last(), QStringLiteral("发布完毕！"));
  EXPECT_EQ(harness::demo_products(demo()).size(), 7);
  // The timer fired during the responsive waits: at least once per product wait.
  EXPECT_GE(ticks, 7);
  EXPECT_EQ(w->controls().progress->maximum(), 5000);
  EXPECT_EQ(w->controls().progress->value(), 7);
}

// Writes the guide's screenshot when TESSARO_SCREENSHOT_DIR is set.
TEST_F(Publishing, Screenshots) {
  const char* out = std::getenv("TESSARO_SCREENSHOT_DIR");
  if (!out) GTEST_SKIP() << "TESSARO_SCREENSHOT_DIR not set";
  PublishingWindow* w = open_window();
  const auto& c = w->controls();
  c.names->setPlainText(QStringLiteral("腾讯QQ币10元\n网易一卡通15元\n魔兽点卡30元"));
  c.catalogue[0]->setText("1");
  c.face_value->setText("10");
  c.unit->setText(QStringLiteral("张"));
  c.introduction->setPlainText(QStringLiteral("自动发货，秒到账。"));
  QTest::qWait(300);
  EXPECT_TRUE(w->grab().save(QString::fromUtf8(out) + "/publishing.png"));
}

}  // namespace
