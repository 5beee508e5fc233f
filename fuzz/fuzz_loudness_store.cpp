// Any bytes as the loudness results file: reading never fails, and whatever
// it kept is saved and read back exactly.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "playback/loudness_store.h"

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

std::string ScratchPath(const char* what) {
  return "/tmp/orvela_fuzz_loudness_" + std::to_string(::getpid()) + what;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace orvela;
  static const std::string input = ScratchPath(".in");
  static const std::string output = ScratchPath(".out");
  if (FILE* f = std::fopen(input.c_str(), "wb")) {
    std::fwrite(data, 1, size, f);
    std::fclose(f);
  } else {
    return 0;
  }
  TLoudnessStore first;
  first.Load(input);
  if (!first.Save(output)) return 0;
  TLoudnessStore second;
  Check(second.Load(output));
  Check(second.Size() == first.Size());
  TLoudnessStore third;
  if (second.Save(input) && third.Load(input)) Check(third.Size() == second.Size());
  return 0;
}
