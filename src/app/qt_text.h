#pragma once
// The one border between the code-page text of the core and Qt's UTF-16.
#include <QString>
#include <string>

namespace orvela {

QString ToQString(const std::string& cp1252);
// Characters the code page cannot hold become '?'.
std::string FromQString(const QString& text);

}  // namespace orvela
