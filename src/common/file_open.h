#pragma once
// Opening the files the jukebox reads: its own data files and audio files
// anywhere on disk. A named pipe or a device where a file is expected must not
// block the program (an open of a FIFO waits for a writer), and a name written
// by another system may be code-page bytes rather than UTF-8.
#include <cstdint>
#include <string>
#include <string_view>

namespace orvela {

// Opens a regular file (or a link to one) for reading without ever blocking:
// anything else (a FIFO, a device, a folder, a socket) is refused with -1 and
// errno set (EINVAL for a file that is not regular). The descriptor is
// blocking again once returned; the caller closes it.
int OpenRegularFileForReading(const std::string& nativePath);

// The same for a stored code-page path: the UTF-8 form of the name first, then
// its bytes as they stand (a name from an older system is already code-page
// bytes), then each folder level resolved one way or the other.
int OpenRegularCodePageFile(std::string_view cp1252Path);

// For readers that take a file in a few positioned reads (pread) and close it:
// one open and one fstat, nothing more. The descriptor keeps O_NONBLOCK, which
// reads of a regular file do not heed, so clearing it would only cost calls;
// it is not meant for sequential read(). *size receives the file's size. Refuses
// what is not a regular file as OpenRegularFileForReading does.
int OpenRegularFileForPread(const std::string& nativePath, std::uint64_t* size);
// The same for a stored code-page path, spellings tried as in
// OpenRegularCodePageFile; the UTF-8 spelling is simply opened, so the usual
// case costs no look-up beforehand.
int OpenRegularCodePageFileForPread(std::string_view cp1252Path, std::uint64_t* size);

// The native path under which a stored code-page path exists on disk (see
// OpenRegularCodePageFile for the order). For a path that does not exist, its
// existing folders as they are spelled on disk and the rest in UTF-8, so a new
// file can be written into a folder named in code-page bytes.
std::string ResolveCodePagePath(std::string_view cp1252Path);

// The native path to write a stored code-page path to: where it exists already
// (see ResolveCodePagePath), else its name in UTF-8 inside the folder that exists
// under either spelling, so a new file lands beside the program's other files.
std::string ResolveCodePagePathForWriting(std::string_view cp1252Path);

// Whether a native path names a regular file or a link to one.
bool IsRegularFile(const std::string& nativePath);

// An absolute native path with its ".." steps taken as the file system takes
// them: a step up from a linked folder leads to the parent of the folder the
// link names, not back to where the link lies. The part up to the last ".." is
// resolved on disk, what follows it stays as written ("." and doubled "/"
// dropped). False, with *resolved untouched, when the path has no ".." or that
// part does not exist; its text is then all there is to go by.
bool ResolveStepsUp(const std::string& nativePath, std::string* resolved);

}  // namespace orvela
