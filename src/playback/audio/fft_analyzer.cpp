#include "playback/audio/fft_analyzer.h"

#include <fftw3.h>

#include <cmath>
#include <mutex>
#include <numbers>

namespace orvela::audio {
namespace {
// FFTW's planner is not thread-safe; every plan in the process is made under this.
std::mutex& PlannerMutex() {
  static std::mutex m;
  return m;
}
}  // namespace

struct FftAnalyzer::Plan {
  float* in = nullptr;
  fftwf_complex* out = nullptr;
  fftwf_plan plan = nullptr;
  float window[kSize];
  float scale = 0.0f;
};

FftAnalyzer::FftAnalyzer() : plan_(std::make_unique<Plan>()) {
  double sum = 0.0;
  for (int n = 0; n < kSize; ++n) {
    plan_->window[n] = static_cast<float>(0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * n / kSize));
    sum += plan_->window[n];
  }
  // A sine of amplitude A gives A * sum(window) / 2 in its bin.
  plan_->scale = static_cast<float>(2.0 / sum);
  std::lock_guard lock(PlannerMutex());
  plan_->in = fftwf_alloc_real(kSize);
  plan_->out = fftwf_alloc_complex(kSize / 2 + 1);
  if (plan_->in && plan_->out)
    plan_->plan = fftwf_plan_dft_r2c_1d(kSize, plan_->in, plan_->out, FFTW_ESTIMATE);
}

FftAnalyzer::~FftAnalyzer() {
  std::lock_guard lock(PlannerMutex());
  if (plan_->plan) fftwf_destroy_plan(plan_->plan);
  fftwf_free(plan_->in);
  fftwf_free(plan_->out);
}

void FftAnalyzer::Magnitudes(const float* samples, float* magnitudes) {
  if (!plan_->plan) {
    for (int k = 0; k < kBins; ++k) magnitudes[k] = 0.0f;
    return;
  }
  for (int n = 0; n < kSize; ++n) plan_->in[n] = samples[n] * plan_->window[n];
  fftwf_execute(plan_->plan);
  for (int k = 0; k < kBins; ++k) {
    const float re = plan_->out[k][0], im = plan_->out[k][1];
    magnitudes[k] = std::sqrt(re * re + im * im) * plan_->scale;
  }
}

}  // namespace orvela::audio
