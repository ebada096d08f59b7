#pragma once
namespace tools { class ToolContext; }
namespace tools::names {
// Main window button "商品名字批量编辑": shows the editor (not modal, no owner).
void open_names_editor(ToolContext& ctx);
}  // namespace tools::names
