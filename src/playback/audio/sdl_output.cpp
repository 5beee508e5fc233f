#include <SDL.h>

#include "playback/audio/audio_layer.h"

namespace orvela::audio {
namespace {

class SdlOutput : public AudioOutput {
 public:
  ~SdlOutput() override { Close(); }

  bool Open(int rate, RenderFunction render) override {
    if (device_ != 0 || rate <= 0 || !render) return false;
    // SDL would otherwise take SIGINT and SIGTERM for a quit event nobody reads,
    // and the program could no longer be ended by a shut-down or `kill`.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    render_ = std::move(render);
    SDL_AudioSpec want{};
    want.freq = rate;
    want.format = AUDIO_F32SYS;
    want.channels = 2;
    // About 23 ms a block: short enough for fades and the spectrum, long enough
    // that a busy desktop does not starve the device.
    want.samples = 1024;
    want.callback = &SdlOutput::Callback;
    want.userdata = this;
    SDL_AudioSpec have{};
    // No allowed changes: SDL converts to whatever the device really runs at.
    device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (device_ == 0) {
      render_ = nullptr;
      SDL_QuitSubSystem(SDL_INIT_AUDIO);
      return false;
    }
    SDL_PauseAudioDevice(device_, 0);
    return true;
  }

  void Close() override {
    if (device_ == 0) return;
    // Returns once the callback has finished; it is never called again.
    SDL_CloseAudioDevice(device_);
    device_ = 0;
    render_ = nullptr;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
  }

 private:
  static void SDLCALL Callback(void* user, Uint8* stream, int len) {
    auto* self = static_cast<SdlOutput*>(user);
    const int frames = len / static_cast<int>(2 * sizeof(float));
    self->render_(reinterpret_cast<float*>(stream), frames);
  }

  SDL_AudioDeviceID device_ = 0;
  RenderFunction render_;
};

}  // namespace

std::unique_ptr<AudioOutput> MakeSdlOutput() { return std::make_unique<SdlOutput>(); }

}  // namespace orvela::audio
