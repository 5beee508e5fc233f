#pragma once
// Loudness of one audio file as the jukebox hears it: the layer's own decoder
// turns the file into stereo float at the output rate, libebur128 measures it.
// Runs on whichever thread calls it (a low-priority worker in the program, all
// cores in the tool); it touches no device and no shared state.
#include <atomic>
#include <optional>
#include <string>

namespace orvela::audio {

struct LoudnessFacts {
  // Integrated loudness in LUFS; minus infinity for a file that is silent
  // throughout (nothing above the gate), which no gain can level.
  double loudness = 0.0;
  // Highest absolute sample value of either channel, 1.0 = full scale.
  double peak = 0.0;
};

// nullopt when the file cannot be opened or decoded, or when *cancel became
// true during the measurement (checked between blocks, so a long title gives up
// within milliseconds). nativePath is a file-system path.
std::optional<LoudnessFacts> MeasureLoudness(const std::string& nativePath, int outputRate = 44100,
                                             const std::atomic<bool>* cancel = nullptr) noexcept;

}  // namespace orvela::audio
