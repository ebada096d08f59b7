#pragma once
// The agent-data export program, built alongside Tessaro and carried inside it.

#include <QString>

namespace app {

// File name in the data directory (the ".exe" of the old platform dropped).
inline constexpr const char* kExportToolName = "卡盟代理资料导出工具";

// Writes the program to path (replacing it) with execute permission; false on failure.
bool write_export_tool(const QString& path);

}  // namespace app
