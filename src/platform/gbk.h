#pragma once
// The one boundary between QString and the core's GBK byte strings.

#include <QString>
#include <string>
#include <string_view>

namespace platform {

QString from_gbk(std::string_view gbk);
std::string to_gbk(const QString& text);
// Same, with every line end (LF, CR or CR LF) written as CR LF.
std::string to_gbk_crlf(const QString& text);

}  // namespace platform
