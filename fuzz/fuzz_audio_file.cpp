// The whole record path on a real file: the first input byte picks the
// extension (MP3 and WMA through our own readers, FLAC, Ogg, Opus and M4A
// through TagLib), the rest is written to a temporary file and loaded. The
// in-memory path must come to exactly the same record.
#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "common/codepage.h"
#include "metadata/audio_file.h"

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

std::string TempFolder() {
  const char* tmp = std::getenv("TMPDIR");
  return (tmp != nullptr && *tmp != '\0') ? tmp : "/tmp";
}

constexpr std::array<const char*, 6> kExtensions = {".mp3", ".wma", ".flac", ".ogg", ".opus", ".m4a"};

// One file per extension and process, removed when the fuzzer exits.
struct Files {
  std::array<std::string, kExtensions.size()> paths;
  Files() {
    for (std::size_t i = 0; i < kExtensions.size(); ++i)
      paths[i] = TempFolder() + "/orvela-fuzz-" + std::to_string(::getpid()) + kExtensions[i];
  }
  ~Files() {
    for (const std::string& path : paths) ::unlink(path.c_str());
  }
};

bool WriteFile(const std::string& path, const std::uint8_t* data, std::size_t size) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::write(fd, data + done, size - done);
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  ::close(fd);
  return done == size;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Files files;
  if (size == 0) return 0;
  const std::string& path = files.paths[data[0] % kExtensions.size()];
  if (!WriteFile(path, data + 1, size - 1)) return 0;

  const std::string cpPath = orvela::NativePathToCp1252(path);
  orvela::TAudioFile fromFile;
  fromFile.LoadFromFile(cpPath);
  orvela::TAudioFile fromMemory;
  fromMemory.LoadFromBuffer(cpPath, std::string_view(reinterpret_cast<const char*>(data + 1), size - 1));

  Check(fromFile.FilePath == cpPath);
  Check(fromFile.Title == fromMemory.Title && fromFile.Artist == fromMemory.Artist &&
        fromFile.Year == fromMemory.Year && fromFile.Genre == fromMemory.Genre &&
        fromFile.Duration == fromMemory.Duration);
  Check(fromFile.Duration >= 0);
  Check(!fromFile.Title.empty());  // at worst the file name
  return 0;
}
