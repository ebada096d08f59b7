#include "tools/complaints/open_complaints.h"

#include <QPointer>

#include "tools/complaints/complaint_window.h"

namespace tools::complaints {

void open_complaints(ToolContext& ctx, QPushButton* main_button) {
  QPointer<ComplaintWindow> window = new ComplaintWindow(ctx, main_button);
  window->show();
  window->open_sequence();
}

}  // namespace tools::complaints
