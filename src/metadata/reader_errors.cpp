#include "metadata/reader_errors.h"

#include <utility>

namespace orvela {
namespace {

ReaderErrorHandler& Handler() {
  static ReaderErrorHandler handler;
  return handler;
}

}  // namespace

void SetReaderErrorHandler(ReaderErrorHandler handler) { Handler() = std::move(handler); }

void ReportReaderError(const std::string& text) noexcept {
  try {
    if (Handler()) Handler()(text);
  } catch (...) {
    // The report is a courtesy; the reader still has to answer its caller.
  }
}

}  // namespace orvela
