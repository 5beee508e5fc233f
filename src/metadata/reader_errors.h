#pragma once
// The tag readers never throw at their caller. An unexpected failure inside one
// (anything but a short or damaged file) is shown to the person at the screen as
// an "Error" box carrying the failure's own message; the readers know nothing of
// the windowing toolkit, so the program plugs its dialog service in here.
#include <cstdint>
#include <exception>
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

// Runs a read step; whatever it throws is reported and answered with kTagError,
// so that no reader lets an exception reach its caller.
template <typename Read>
std::uint8_t ReportingFailures(Read&& read) noexcept {
  try {
    return read();
  } catch (const std::exception& e) {
    ReportReaderError(e.what());
  } catch (...) {
    ReportReaderError("Unknown error");
  }
  return kTagError;
}

}  // namespace orvela
