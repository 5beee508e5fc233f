// Any bytes as a collection file: the parse either fails with a TableError or
// yields rows that the writer turns back into a file the parser reads the same.
// Read from a file through a buffer of a few bytes, the same bytes give the same
// answer as read whole.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "collection/collection_file.h"
#include "collection/table_error.h"

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

// The file written back, or "refused".
std::string ThroughTinyBuffers(std::string_view bytes) {
  using namespace orvela;
  const int fd = ::memfd_create("collection", MFD_CLOEXEC);
  if (fd < 0) return "no file";
  std::string result;
  if (::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size()) && ::lseek(fd, 0, SEEK_SET) == 0) {
    TCollectionTable::Widths widths{};
    TTableRows rows;
    try {
      ReadCollectionFile(fd, &widths, &rows, 64);
      result = FormatCollectionFile(widths, rows);
    } catch (const TableError&) {
      result = "refused";
    }
  } else {
    result = "no file";
  }
  ::close(fd);
  return result;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace orvela;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  TCollectionTable::Widths widths{};
  TTableRows rows;
  try {
    ParseCollectionFile(bytes, &widths, &rows);
  } catch (const TableError&) {
    const std::string tiny = ThroughTinyBuffers(bytes);
    Check(tiny == "refused" || tiny == "no file");
    return 0;
  }
  const std::string written = FormatCollectionFile(widths, rows);
  const std::string tiny = ThroughTinyBuffers(bytes);
  Check(tiny == written || tiny == "no file");
  TCollectionTable::Widths widthsAgain{};
  TTableRows rowsAgain;
  ParseCollectionFile(written, &widthsAgain, &rowsAgain);
  Check(widthsAgain == widths);
  Check(FormatCollectionFile(widthsAgain, rowsAgain) == written);
  return 0;
}
