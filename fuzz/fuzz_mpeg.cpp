// Any bytes as a whole stream: the frame search must end, never read outside
// the data, and answer the same through memory and through a stream.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <string_view>

#include "metadata/mpeg_info.h"

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using orvela::TMpegInfo;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  TMpegInfo info;
  const std::uint8_t code = info.ReadFromBuffer(bytes);
  Check(code == TMpegInfo::kFound || code == TMpegInfo::kNotFound);
  Check(info.Valid == (code == TMpegInfo::kFound));
  Check(info.FileSize == static_cast<std::int64_t>(size));
  if (info.Valid) {
    Check(info.FirstHeaderPosition >= 0 && info.FirstHeaderPosition + 4 <= info.FileSize);
    Check(info.Bitrate > 0 && info.Duration >= 0 && info.Frames != 0);
    Check(info.Version >= 1 && info.Version <= 3 && info.Layer >= 1 && info.Layer <= 3);
  } else {
    Check(info.FirstHeaderPosition == -1);
  }

  // The stream variant shares the search; starting one byte in may only find the
  // same frame or a later one.
  std::istringstream stream{std::string(bytes)};
  stream.seekg(size > 0 ? 1 : 0);
  TMpegInfo later;
  later.ReadFromStream(stream);
  if (later.Valid) Check(later.FirstHeaderPosition >= 1);
  if (info.Valid && info.FirstHeaderPosition >= 1) {
    Check(later.Valid && later.FirstHeaderPosition == info.FirstHeaderPosition &&
          later.Duration == info.Duration && later.Bitrate == info.Bitrate);
  }
  return 0;
}
