#include "app/export_tool.h"

#include <QFile>
#include <QSaveFile>

#include <cstddef>

namespace app {

// Generated at build time from the exporttool binary.
extern const unsigned char kExportToolBytes[];
extern const std::size_t kExportToolSize;

bool write_export_tool(const QString& path) {
  QSaveFile out(path);
  if (!out.open(QIODevice::WriteOnly)) return false;
  out.write(reinterpret_cast<const char*>(kExportToolBytes), static_cast<qint64>(kExportToolSize));
  if (!out.commit()) return false;
  return QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                         QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                         QFile::ExeOther);
}

}  // namespace app
