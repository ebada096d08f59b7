#pragma once
// The main window's part of a bulk status run, for tests and benches without the main
// window: the three buttons (captions as the main window shows them), the hidden scratch
// box and the hidden status browser.

#include <QPlainTextEdit>
#include <QPushButton>
#include <QString>
#include <QStringList>
#include <QVBoxLayout>
#include <QWidget>

#include <cstddef>

#include "platform/browser_view.h"
#include "tools/common/bulk_status_parts.h"
#include "tools/common/tool_context.h"
#include "tools/status/bulk_status.h"

namespace harness {

inline const QStringList kStatusCaptions = {QStringLiteral("销售全部商品"), QStringLiteral("暂停全部商品"),
                                            QStringLiteral("禁售全部商品")};

class StatusStandIn : public QWidget {
 public:
  explicit StatusStandIn(tools::ToolContext& ctx) {
    auto* column = new QVBoxLayout(this);
    for (int i = 0; i < 3; ++i) {
      auto* b = new QPushButton(kStatusCaptions[i], this);
      column->addWidget(b);
      parts.buttons[static_cast<std::size_t>(i)] = b;
      connect(b, &QPushButton::clicked, this, [&ctx, this, i] { tools::status::run_bulk_status(ctx, parts, i); });
    }
    parts.scratch = new QPlainTextEdit(this);
    parts.scratch->hide();
    column->addWidget(parts.scratch);
    parts.status_browser = new platform::BrowserView(this);
    parts.status_browser->hide();
    column->addWidget(parts.status_browser);
    show();
  }
  tools::BulkStatusParts parts;
};

}  // namespace harness
