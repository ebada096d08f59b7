// The agent-data export program that Tessaro writes into its data directory and starts
// from the "代理资料导出" button. It only says what it is.
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWidget>

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QWidget window;
  window.setWindowTitle(QStringLiteral("卡盟代理资料导出工具"));
  auto* layout = new QVBoxLayout(&window);
  auto* label = new QLabel(QStringLiteral(
      "这是 Tessaro 的代理资料导出占位程序。\n"
      "本版本不导出任何资料，除显示本窗口外不做任何事情。\n\n"
      "This is the agent-data export placeholder of Tessaro.\n"
      "It exports nothing and does nothing but show this window."));
  label->setAccessibleName(label->text());
  layout->addWidget(label);
  auto* close = new QPushButton(QStringLiteral("关闭"));
  close->setAccessibleName(QStringLiteral("关闭"));
  QObject::connect(close, &QPushButton::clicked, &window, &QWidget::close);
  layout->addWidget(close);
  window.show();
  return application.exec();
}
