#pragma once
// Parts of a path. Paths inside the jukebox use "/" only; a backslash is an
// ordinary character of a Linux file name.
#include <string_view>

namespace orvela {

// What follows the last "/" (the whole path without one).
std::string_view FileNamePart(std::string_view path);

// The extension of the file name with its dot, as written ("" without one);
// dots in folder names do not count.
std::string_view FileExtension(std::string_view path);

}  // namespace orvela
