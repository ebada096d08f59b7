#pragma once
namespace tools { class ToolContext; }
namespace tools::templates {
// Main window button "[完美]设类型模版": shows the template setter (not modal, no owner;
// it deletes itself when closed). The window takes the main browser to the product list.
void open_templates(ToolContext& ctx);
}  // namespace tools::templates
