#pragma once

// Text of the device protocol is Windows-1251; these convert it to and from Unicode.

#include <QString>
#include <string>
#include <string_view>

namespace cp1251 {

// Characters without a code page position become '?'.
std::string FromUnicode(const QString &text);
// Stops at the first NUL, as the devices do.
QString ToUnicode(std::string_view bytes);

} // namespace cp1251
