#include "playback/audio/loudness_meter.h"

#include <ebur128.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "playback/audio/ffmpeg_owners.h"
#include "playback/audio/media_decoder.h"

namespace orvela::audio {
namespace {

struct StateFree {
  void operator()(ebur128_state* state) const { ebur128_destroy(&state); }
};
using MeterState = std::unique_ptr<ebur128_state, StateFree>;

constexpr int kBlockFrames = 4096;

}  // namespace

std::optional<LoudnessFacts> MeasureLoudness(const std::string& nativePath, int outputRate,
                                             const std::atomic<bool>* cancel) noexcept {
  try {
    // The tool measures without an audio layer, which would otherwise have
    // silenced FFmpeg's chatter on standard error.
    static const bool quiet = (ffmpeg::SilenceLog(), true);
    (void)quiet;
    // A tracker module is refused by the stream path and played through the
    // module path, so it is measured the same way it is heard.
    std::unique_ptr<MediaDecoder> decoder =
        MediaDecoder::Open(nativePath, MediaDecoder::Kind::kStream, false, outputRate);
    if (!decoder) decoder = MediaDecoder::Open(nativePath, MediaDecoder::Kind::kModule, false, outputRate);
    if (!decoder) return std::nullopt;
    MeterState meter(ebur128_init(2, static_cast<unsigned long>(outputRate),
                                  EBUR128_MODE_I | EBUR128_MODE_SAMPLE_PEAK));
    if (!meter) return std::nullopt;
    std::vector<float> block(2 * kBlockFrames);
    for (;;) {
      if (cancel != nullptr && cancel->load(std::memory_order_relaxed)) return std::nullopt;
      const int frames = decoder->Read(block.data(), kBlockFrames);
      if (frames <= 0) break;
      if (ebur128_add_frames_float(meter.get(), block.data(), static_cast<std::size_t>(frames)) != EBUR128_SUCCESS)
        return std::nullopt;
    }
    LoudnessFacts facts;
    if (ebur128_loudness_global(meter.get(), &facts.loudness) != EBUR128_SUCCESS) return std::nullopt;
    double left = 0.0, right = 0.0;
    if (ebur128_sample_peak(meter.get(), 0, &left) != EBUR128_SUCCESS ||
        ebur128_sample_peak(meter.get(), 1, &right) != EBUR128_SUCCESS)
      return std::nullopt;
    facts.peak = std::max(left, right);
    return facts;
  } catch (...) {
    // Out of memory in the middle of a long file: no result, measured again later.
    return std::nullopt;
  }
}

}  // namespace orvela::audio
