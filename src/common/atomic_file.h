#pragma once
// Every file the jukebox writes is replaced atomically: a crash, a full disk or
// a killed process leaves the old content or the new one, never a torn file.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace orvela {

// Writes bytes to a temporary file beside `path`, flushes it to disk and renames
// it over `path`. On failure the old file is untouched, the temporary file is
// removed, and the answer is false with a reason in *error (if given).
bool WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes,
                         std::string* error = nullptr);

// Reads a whole file, refusing files larger than maxBytes. nullopt when the file
// cannot be opened or read or is too large.
std::optional<std::string> ReadWholeFile(const std::filesystem::path& path,
                                         std::size_t maxBytes = std::size_t{1} << 31);

}  // namespace orvela
