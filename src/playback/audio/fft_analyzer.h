#pragma once
// Magnitude spectrum of 1024 samples through FFTW, windowed and scaled so that
// a full-scale sine on a bin centre reads 1.0.
#include <memory>

namespace orvela::audio {

class FftAnalyzer {
 public:
  static constexpr int kSize = 1024;
  static constexpr int kBins = kSize / 2;

  FftAnalyzer();
  ~FftAnalyzer();
  FftAnalyzer(const FftAnalyzer&) = delete;
  FftAnalyzer& operator=(const FftAnalyzer&) = delete;

  // samples: kSize values; magnitudes: kBins values (bin k = k * rate / kSize Hz).
  void Magnitudes(const float* samples, float* magnitudes);

 private:
  struct Plan;
  std::unique_ptr<Plan> plan_;
};

}  // namespace orvela::audio
