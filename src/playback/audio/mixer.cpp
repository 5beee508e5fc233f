#include "playback/audio/mixer.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>

#include "playback/audio/audio_channel.h"

namespace orvela::audio {

bool Mixer::Attach(AudioChannel* channel) {
  for (auto& slot : slots_) {
    if (slot.load(std::memory_order_acquire) == nullptr) {
      slot.store(channel, std::memory_order_seq_cst);
      return true;
    }
  }
  return false;
}

bool Mixer::Detach(AudioChannel* channel) {
  bool found = false;
  for (auto& slot : slots_) {
    if (slot.load(std::memory_order_acquire) == channel) {
      slot.store(nullptr, std::memory_order_seq_cst);
      found = true;
    }
  }
  if (!found) return true;
  // A block that began before the slot was cleared may still hold the pointer;
  // a block that begins later cannot see it. Waiting for the first suffices.
  const std::uint64_t seq = renderSeq_.load(std::memory_order_seq_cst);
  if ((seq & 1) == 0) return true;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (renderSeq_.load(std::memory_order_seq_cst) == seq) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  return true;
}

void Mixer::LimitBlock(float* out, int frames) {
  // Looks ahead only inside a span, so the gains fit on the stack.
  constexpr int kSpan = 256;
  constexpr float kAttackStep = 1.0f / kAttackFrames;
  constexpr float kReleaseStep = 1.0f / kReleaseFrames;
  float gains[kSpan];
  for (int start = 0; start < frames; start += kSpan) {
    const int n = std::min(kSpan, frames - start);
    float* span = out + 2 * start;
    bool clips = false;
    for (int i = 0; i < n; ++i) {
      const float peak = std::max(std::fabs(span[2 * i]), std::fabs(span[2 * i + 1]));
      clips = clips || peak > 1.0f;
      gains[i] = peak > 1.0f ? 1.0f / peak : 1.0f;
    }
    if (!clips && limiterGain_ == 1.0f) continue;  // the common case: nothing to do
    for (int i = n - 2; i >= 0; --i) gains[i] = std::min(gains[i], gains[i + 1] + kAttackStep);
    for (int i = 0; i < n; ++i) {
      float g = std::min(gains[i], limiterGain_ + kReleaseStep);
      if (g >= 1.0f) g = 1.0f;  // exactly 1 again, so quiet material passes untouched
      limiterGain_ = g;
      if (g == 1.0f) continue;
      // 1 / peak times peak may round a hair above 1.
      span[2 * i] = std::clamp(span[2 * i] * g, -1.0f, 1.0f);
      span[2 * i + 1] = std::clamp(span[2 * i + 1] * g, -1.0f, 1.0f);
    }
  }
}

void Mixer::Render(float* out, int frames, bool waitForData) {
  renderSeq_.fetch_add(1, std::memory_order_seq_cst);
  std::memset(out, 0, sizeof(float) * 2 * static_cast<std::size_t>(frames));
  for (auto& slot : slots_) {
    if (AudioChannel* c = slot.load(std::memory_order_seq_cst)) c->MixInto(out, frames, waitForData);
  }
  LimitBlock(out, frames);
  renderSeq_.fetch_add(1, std::memory_order_seq_cst);
}

}  // namespace orvela::audio
