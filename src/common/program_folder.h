#pragma once
// Which folder the jukebox works in, and filling a new one with the delivered
// data files. Paths here are native (UTF-8) strings, not code-page strings.
#include <string>
#include <vector>

namespace orvela {

// The program folder asked for at start: the option "--program-folder DIR" (or
// "--program-folder=DIR") wins over the variable ORVELA_PROGRAM_FOLDER, which
// wins over the executable's own folder. An empty value counts as not given.
// `givenExplicitly` tells whether an option or the variable chose it.
struct ProgramFolderChoice {
  std::string folder;  // with a trailing "/"
  bool givenExplicitly = false;
};
ProgramFolderChoice ChooseProgramFolder(const std::vector<std::string>& args,
                                        const char* environmentValue,
                                        const std::string& executableFolder);

// Folder of the running executable, native, with a trailing "/".
std::string ExecutableFolder();

// The delivered data files of an installed layout, <exe>/../../share/orvela-jukebox/,
// or "" when that folder does not exist (a build tree keeps them beside the executable).
std::string DeliveredDataFolder(const std::string& executableFolder);

// Creates `target` when missing and copies each regular file of `source` that
// `target` does not hold yet; files already there are never touched, as they
// are the operator's settings and collection. Returns false with `error` set
// (a German sentence, UTF-8, naming the folder or file and the reason) when
// the folder cannot be made or a file cannot be copied.
bool FillMissingFiles(const std::string& source, const std::string& target, std::string& error);

// What keeps the jukebox from working in a program folder, as a German
// sentence (UTF-8), or "" when nothing does. Every program-folder path is kept
// in the code page, so a folder whose name it cannot spell would be looked for
// under another name; checked before anything is created there.
std::string ProgramFolderNameProblem(const std::string& folder);
// The same for a path that is not there or is no folder.
std::string ProgramFolderProblem(const std::string& folder);

// A system error number as the German words a message box shows after a
// colon ("keine Berechtigung"); an unusual one by its number.
std::string GermanSystemReason(int errorNumber);

}  // namespace orvela
