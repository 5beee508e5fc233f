// Any bytes as a collection file: the parse either fails with a TableError or
// yields rows that the writer turns back into a file the parser reads the same.
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace orvela;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  TCollectionTable::Widths widths{};
  TTableRows rows;
  try {
    ParseCollectionFile(bytes, &widths, &rows);
  } catch (const TableError&) {
    return 0;
  }
  const std::string written = FormatCollectionFile(widths, rows);
  TCollectionTable::Widths widthsAgain{};
  TTableRows rowsAgain;
  ParseCollectionFile(written, &widthsAgain, &rowsAgain);
  Check(widthsAgain == widths);
  Check(FormatCollectionFile(widthsAgain, rowsAgain) == written);
  return 0;
}
