#pragma once
// The tag readers never throw at their caller. An unexpected failure inside one
// (anything but a short or damaged file) is shown to the person at the screen as
// an "Error" box carrying the failure's own message; the readers know nothing of
// the windowing toolkit, so the program plugs its dialog service in here.
#include <cstdint>
#include <functional>
#include <string>

namespace orvela {

// Result codes of the tag readers' header step.
inline constexpr std::uint8_t kTagReadOk = 0;
inline constexpr std::uint8_t kTagTooShort = 6;        // fewer bytes than a header
inline constexpr std::uint8_t kTagNotFound = 9;        // no tag marker
inline constexpr std::uint8_t kTagBadVersion = 10;     // ID3v2 major version not 2, 3 or 4
inline constexpr std::uint8_t kTagCompressed = 11;     // compressed ID3v2.2 tag: no frames
inline constexpr std::uint8_t kTagError = 12;          // an unexpected error was reported

using ReaderErrorHandler = std::function<void(const std::string& text)>;

// Replaces the handler; an empty function silences reports (the default).
// Set once at start-up, before any reader runs: the readers run on one thread.
void SetReaderErrorHandler(ReaderErrorHandler handler);

// Calls the handler with `text`. Never throws: a failing handler is ignored.
void ReportReaderError(const std::string& text) noexcept;

}  // namespace orvela
