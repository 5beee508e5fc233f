#pragma once
// The one form in which orvela-jukebox-tool writes a value: each record is one
// line of TAB-separated fields, so a field may hold neither TAB nor a line
// break, and no control byte may reach the terminal. Inside a field a backslash
// becomes "\\", TAB "\t", LF "\n", CR "\r", every other byte below 0x20 and
// 0x7F "\xHH" (two lower-case hex digits). Every other byte passes unchanged,
// so UTF-8 text stays UTF-8 and the form can be reversed exactly.
#include <string>
#include <string_view>

namespace orvela::tool {

void AppendEscapedField(std::string_view bytes, std::string* out);
std::string EscapeField(std::string_view bytes);

}  // namespace orvela::tool
