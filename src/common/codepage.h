#pragma once
// Text inside the jukebox is Windows-1252 bytes in a std::string, as the stored
// files expect. These are the only conversions to and from Unicode.
#include <string>
#include <string_view>

namespace orvela {

// Unicode code point of one code-page byte. Every byte maps; the five bytes
// Windows-1252 leaves undefined map to the C1 control of the same value.
char32_t Cp1252ToCodePoint(unsigned char byte);

// Code-page byte for a code point, or '?' where the code page cannot hold it.
char CodePointToCp1252(char32_t cp);

std::string Cp1252ToUtf8(std::string_view text);
std::u16string Cp1252ToUtf16(std::string_view text);

// Malformed UTF-8 sequences and unpaired surrogates become '?' as well.
std::string Utf8ToCp1252(std::string_view utf8);
std::string Utf16ToCp1252(std::u16string_view utf16);

// Strict check used where a file's claim to be UTF-8 must be verified.
bool IsWellFormedUtf8(std::string_view bytes);

// Equality ignoring the case of A-Z only: for names and keywords of stored
// formats, which are ASCII; values compare with the collator instead.
bool EqualsAsciiNoCase(std::string_view a, std::string_view b);
// A-Z lowered, every other byte as it stands.
std::string AsciiLower(std::string_view text);

// Removes leading and trailing characters 0x00..0x20.
std::string Trim(std::string_view text);
bool IsBlank(std::string_view text);  // nothing left after Trim

// Native file-system paths are UTF-8 on Linux. A path level that is not UTF-8
// is taken as code-page bytes as it stands; common/file_open.h finds the file
// of a stored path under either spelling.
std::string Cp1252ToNativePath(std::string_view path);
std::string NativePathToCp1252(std::string_view path);

}  // namespace orvela
