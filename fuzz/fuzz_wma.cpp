// Any bytes as a whole file for the ASF header walk: it must end, stay inside
// the data and hold no more than the longest string it keeps.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "metadata/wma_file.h"

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using orvela::TWMAfile;
  TWMAfile wma;
  const bool read = wma.ReadFromBuffer(std::string_view(reinterpret_cast<const char*>(data), size));
  if (size < 16) Check(!read);
  for (const auto* text : {&wma.Title, &wma.Artist, &wma.Album, &wma.Year, &wma.Genre, &wma.Comment}) {
    Check(text->size() <= TWMAfile::kMaxStringChars);
    if (!wma.Valid) Check(text->empty());
  }
  if (wma.Valid) {
    Check(read);
    Check(wma.Channels == 1 || wma.Channels == 2);
    Check(wma.SampleRate >= 8000 && wma.SampleRate <= 96000);
    Check(std::isfinite(wma.Duration) && wma.Duration >= 0);
    Check(wma.FileSize == static_cast<std::int64_t>(size));
  } else {
    Check(wma.Duration == 0 && wma.FileSize == 0 && wma.Track == 0);
  }
  return 0;
}
