#pragma once
class QPushButton;
namespace tools { class ToolContext; }
namespace tools::complaints {
// Main window button "投诉批量处理": shows the complaint window (not modal, no owner; it
// deletes itself when closed) and runs its opening sequence, during which main_button
// (the button that opened it; may be null) stays disabled.
void open_complaints(ToolContext& ctx, QPushButton* main_button);
}  // namespace tools::complaints
