// The cover cache's entry files: whatever a damaged or planted file holds is
// refused or read back exactly as written, never read past its end.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "covers/cover_store.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::optional<orvela::TCoverEntry> entry = orvela::ParseCoverEntry(bytes);
  if (entry && orvela::FormatCoverEntry(*entry) != bytes) std::abort();
  return 0;
}
