#pragma once
// The audio output tests and benchmarks drive by hand: no device, no clock,
// every sample rendered on request.
#include <vector>

#include "playback/audio/audio_layer.h"

namespace orvela::audio {

// Output for tests: renders exactly the frames asked for, on the caller's thread.
class ManualOutput : public AudioOutput {
 public:
  bool Open(int rate, RenderFunction render) override;
  void Close() override;
  bool WaitsForData() const override { return true; }
  // Renders `frames` frames of the mix and returns them (2 floats a frame).
  // Blocks until the decoders have supplied what the playing channels need,
  // so a test hears every sample, deterministically. Silence when not open.
  std::vector<float> Render(int frames);
  bool is_open() const { return static_cast<bool>(render_); }
  int rate() const { return rate_; }

 private:
  RenderFunction render_;
  int rate_ = 0;
};

}  // namespace orvela::audio
