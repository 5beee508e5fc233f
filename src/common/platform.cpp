#include "common/platform.h"

#include <filesystem>
#include <system_error>

#include "common/codepage.h"

namespace orvela {

std::string ProgramDirectory() {
  std::error_code ec;
  auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  std::string dir = ec ? std::filesystem::current_path().string() : exe.parent_path().string();
  if (dir.empty() || dir.back() != '/') dir.push_back('/');
  return NativePathToCp1252(dir);
}

}  // namespace orvela
