#include "common/program_folder.h"

#include <filesystem>
#include <string_view>
#include <system_error>

namespace orvela {
namespace {

std::string WithSlash(std::string dir) {
  if (dir.empty() || dir.back() != '/') dir.push_back('/');
  return dir;
}

constexpr std::string_view kOption = "--program-folder";

}  // namespace

ProgramFolderChoice ChooseProgramFolder(const std::vector<std::string>& args,
                                        const char* environmentValue,
                                        const std::string& executableFolder) {
  std::string fromOption;
  // args[0] is the program's name; the last option given counts, as usual for options.
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == kOption) {
      if (i + 1 < args.size()) fromOption = args[++i];
    } else if (a.size() > kOption.size() && a.compare(0, kOption.size(), kOption) == 0 &&
               a[kOption.size()] == '=') {
      fromOption = a.substr(kOption.size() + 1);
    }
  }
  if (!fromOption.empty()) return {WithSlash(fromOption), true};
  if (environmentValue != nullptr && *environmentValue != '\0') {
    return {WithSlash(environmentValue), true};
  }
  return {WithSlash(executableFolder), false};
}

std::string ExecutableFolder() {
  std::error_code ec;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return WithSlash(ec ? std::filesystem::current_path().string() : exe.parent_path().string());
}

std::string DeliveredDataFolder(const std::string& executableFolder) {
  std::error_code ec;
  const std::filesystem::path data =
      std::filesystem::path(executableFolder) / ".." / ".." / "share" / "orvela-jukebox";
  if (!std::filesystem::is_directory(data, ec)) return {};
  return WithSlash(std::filesystem::weakly_canonical(data, ec).string());
}

bool FillMissingFiles(const std::string& source, const std::string& target, std::string& error) {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::create_directories(target, ec);
  if (ec) {
    error = "Cannot create " + target + ": " + ec.message();
    return false;
  }
  for (const fs::directory_entry& entry : fs::directory_iterator(source, ec)) {
    if (!entry.is_regular_file(ec)) continue;
    const fs::path to = fs::path(target) / entry.path().filename();
    // symlink_status: a dangling link in the target is still the operator's, not ours to replace.
    if (fs::exists(fs::symlink_status(to, ec))) continue;
    fs::copy_file(entry.path(), to, fs::copy_options::skip_existing, ec);
    if (ec) {
      error = "Cannot copy " + entry.path().string() + " to " + to.string() + ": " + ec.message();
      return false;
    }
  }
  if (ec) {
    error = "Cannot read " + source + ": " + ec.message();
    return false;
  }
  return true;
}

}  // namespace orvela
