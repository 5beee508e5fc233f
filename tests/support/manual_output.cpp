#include "support/manual_output.h"

namespace orvela::audio {

bool ManualOutput::Open(int rate, RenderFunction render) {
  if (render_ || rate <= 0 || !render) return false;
  rate_ = rate;
  render_ = std::move(render);
  return true;
}

void ManualOutput::Close() {
  render_ = nullptr;
}

std::vector<float> ManualOutput::Render(int frames) {
  std::vector<float> block(2 * static_cast<std::size_t>(frames > 0 ? frames : 0), 0.0f);
  if (render_ && frames > 0) render_(block.data(), frames);
  return block;
}

}  // namespace orvela::audio
