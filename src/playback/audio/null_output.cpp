#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "playback/audio/audio_layer.h"

namespace orvela::audio {
namespace {

// Keeps the mixer running in real time when there is no sound device, so titles
// still end, fades still finish and the jukebox goes on (silently).
class NullOutput : public AudioOutput {
 public:
  ~NullOutput() override { Close(); }

  bool Open(int rate, RenderFunction render) override {
    if (thread_.joinable() || rate <= 0 || !render) return false;
    stop_.store(false);
    thread_ = std::thread([this, rate, render = std::move(render)] {
      const int frames = rate / 100;
      std::vector<float> block(2 * static_cast<std::size_t>(frames));
      auto next = std::chrono::steady_clock::now();
      while (!stop_.load()) {
        render(block.data(), frames);
        next += std::chrono::milliseconds(10);
        std::this_thread::sleep_until(next);
      }
    });
    return true;
  }

  void Close() override {
    stop_.store(true);
    if (thread_.joinable()) thread_.join();
  }

 private:
  std::thread thread_;
  std::atomic<bool> stop_{false};
};

}  // namespace

std::unique_ptr<AudioOutput> MakeNullOutput() { return std::make_unique<NullOutput>(); }

}  // namespace orvela::audio
