#include "common/program_folder.h"

#include <cerrno>
#include <filesystem>
#include <string_view>
#include <system_error>

#include "common/codepage.h"

namespace orvela {
namespace {

std::string WithSlash(std::string dir) {
  if (dir.empty() || dir.back() != '/') dir.push_back('/');
  return dir;
}

// A file named with a trailing "/" reads as "not a folder" instead of as the file it is.
std::string WithoutSlash(std::string dir) {
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
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

std::string GermanSystemReason(int errorNumber) {
  switch (errorNumber) {
    case EACCES:
    case EPERM:
      return "keine Berechtigung";
    case EROFS:
      return "das Dateisystem ist schreibgeschützt";
    case ENOSPC:
    case EDQUOT:
      return "der Datenträger ist voll";
    case ENOENT:
      return "nicht vorhanden";
    case ENOTDIR:
      return "ein Teil des Pfads ist eine Datei, kein Ordner";
    case EEXIST:
      return "ein Eintrag dieses Namens ist schon vorhanden";
    case EISDIR:
      return "ein Ordner dieses Namens ist im Weg";
    case ELOOP:
      return "ein symbolischer Verweis ist im Weg";
    case ENAMETOOLONG:
      return "der Name ist zu lang";
    case EIO:
      return "ein Lese- oder Schreibfehler des Datenträgers";
    default:
      return "Systemfehler " + std::to_string(errorNumber);
  }
}

std::string ProgramFolderNameProblem(const std::string& folder) {
  if (Cp1252ToNativePath(NativePathToCp1252(folder)) == folder) return {};
  return "Der Name des Programmordners " + folder +
         " enthält Zeichen, die Orvela Jukebox in ihren Dateien nicht speichern kann.";
}

std::string ProgramFolderProblem(const std::string& folder) {
  std::error_code ec;
  const auto status = std::filesystem::status(WithoutSlash(folder), ec);
  if (std::filesystem::is_directory(status)) return {};
  if (std::filesystem::is_regular_file(status)) {
    return "Der Programmordner " + folder + " ist kein Ordner, sondern eine Datei.";
  }
  if (std::filesystem::exists(status)) return "Der Programmordner " + folder + " ist kein Ordner.";
  if (!ec || ec.value() == ENOENT) return "Der Programmordner " + folder + " ist nicht vorhanden.";
  return "Der Programmordner " + folder + " lässt sich nicht öffnen: " + GermanSystemReason(ec.value()) + ".";
}

bool FillMissingFiles(const std::string& source, const std::string& target, std::string& error) {
  namespace fs = std::filesystem;
  std::error_code ec;
  // create_directories would only say "exists" for a file of that name.
  if (fs::exists(fs::status(WithoutSlash(target), ec)) && !fs::is_directory(fs::status(WithoutSlash(target), ec))) {
    error = ProgramFolderProblem(target);
    return false;
  }
  fs::create_directories(target, ec);
  if (ec) {
    error = "Der Programmordner " + target + " lässt sich nicht anlegen: " + GermanSystemReason(ec.value()) + ".";
    return false;
  }
  for (const fs::directory_entry& entry : fs::directory_iterator(source, ec)) {
    if (!entry.is_regular_file(ec)) continue;
    const fs::path to = fs::path(target) / entry.path().filename();
    // symlink_status: a dangling link in the target is still the operator's, not ours to replace.
    if (fs::exists(fs::symlink_status(to, ec))) continue;
    fs::copy_file(entry.path(), to, fs::copy_options::skip_existing, ec);
    if (ec) {
      // The folder is there, so "not there" can only mean that it takes no new files (/proc).
      const std::string reason =
          ec.value() == ENOENT ? std::string("der Ordner nimmt keine neuen Dateien an") : GermanSystemReason(ec.value());
      error = "Die Datei " + entry.path().filename().string() + " lässt sich nicht in den Programmordner " + target +
              " kopieren: " + reason + ".";
      return false;
    }
  }
  if (ec) {
    error = "Der Ordner " + source + " mit den mitgelieferten Dateien lässt sich nicht lesen: " +
            GermanSystemReason(ec.value()) + ".";
    return false;
  }
  return true;
}

}  // namespace orvela
