#include "common/platform.h"

#include "common/codepage.h"
#include "common/program_folder.h"

namespace orvela {

std::string ProgramDirectory() {
  return NativePathToCp1252(ExecutableFolder());
}

}  // namespace orvela
