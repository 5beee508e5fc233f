#include "playback/audio/audio_layer.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <map>
#include <mutex>
#include <thread>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include "common/file_open.h"
#include "playback/audio/audio_channel.h"
#include "playback/audio/ffmpeg_owners.h"
#include "playback/audio/fft_analyzer.h"
#include "playback/audio/media_decoder.h"
#include "playback/audio/mixer.h"

namespace orvela::audio {
namespace {

constexpr int kBytesPerFrame = 4;  // the reported unit: 16-bit stereo

struct SyncEntry {
  Handle sync;
  Handle channel;
  SyncProc proc;
};

struct DueSync {
  SyncEntry entry;
  std::uint32_t epoch;
};

// Every public call answers its failure value instead of letting an exception
// (std::bad_alloc on a starved machine, std::system_error when no thread can be
// started) reach the user-interface thread, where nothing would catch it.
template <typename Result, typename Call>
Result Guarded(Result failure, Call&& call) noexcept {
  try {
    return call();
  } catch (...) {
    return failure;
  }
}

}  // namespace

struct AudioLayer::Impl {
  std::unique_ptr<AudioOutput> output;
  std::unique_ptr<Mixer> mixer;
  AudioOutput::RenderFunction render;
  bool initialised = false;
  bool deviceOpen = false;
  int rate = 44100;
  Handle nextHandle = 1;

  // Channels and syncs are read by the notifier thread; the UI thread changes
  // them under this lock. The output thread never takes it.
  std::mutex mutex;
  std::map<Handle, std::unique_ptr<AudioChannel>> channels;
  std::vector<SyncEntry> syncs;
  // Channels a stuck output thread might still hold; released with the layer.
  std::vector<std::unique_ptr<AudioChannel>> orphans;

  std::thread notifier;
  std::atomic<std::uint32_t> endWake{0};
  std::atomic<bool> quitNotifier{false};

  std::unique_ptr<FftAnalyzer> fft;

  AudioChannel* Find(Handle h) {
    if (h == 0) return nullptr;
    auto it = channels.find(h);
    return it == channels.end() ? nullptr : it->second.get();
  }

  Handle NewHandle() {
    const Handle h = nextHandle;
    if (++nextHandle == 0) nextHandle = 1;
    return h;
  }

  // A device missing at Init (a USB sound card plugged in later, a sound server
  // started late) is looked for again whenever a stream is wanted.
  bool EnsureDevice() {
    if (!deviceOpen && output) deviceOpen = output->Open(rate, render);
    return deviceOpen;
  }

  void NotifierLoop() {
    for (;;) {
      const std::uint32_t seen = endWake.load(std::memory_order_acquire);
      if (quitNotifier.load(std::memory_order_acquire)) return;
      try {
        std::vector<DueSync> due;
        {
          std::lock_guard lock(mutex);
          for (auto& [handle, channel] : channels) {
            std::uint32_t epoch = 0;
            if (!channel->TakeEndEvent(&epoch)) continue;
            for (const SyncEntry& s : syncs)
              if (s.channel == handle) due.push_back({s, epoch});
          }
        }
        // Outside the lock: a procedure may take as long as it likes.
        for (const DueSync& d : due) {
          try {
            d.entry.proc(d.entry.sync, d.entry.channel, d.epoch);
          } catch (...) {
            // The caller's procedure failed; the other procedures still run.
          }
        }
      } catch (...) {
        // Out of memory while collecting the due syncs: they are lost, the thread goes on.
      }
      endWake.wait(seen, std::memory_order_acquire);
    }
  }

  Handle Add(std::unique_ptr<MediaDecoder> decoder) {
    if (!decoder) return 0;
    auto channel = std::make_unique<AudioChannel>(std::move(decoder), &endWake);
    AudioChannel* raw = channel.get();
    const Handle h = NewHandle();
    {
      // Listed before the mixer sees it: should the listing fail, the channel
      // can still simply be destroyed.
      std::lock_guard lock(mutex);
      channels.emplace(h, std::move(channel));
    }
    if (mixer->Attach(raw)) return h;
    std::unique_ptr<AudioChannel> unused;
    {
      std::lock_guard lock(mutex);
      auto it = channels.find(h);
      unused = std::move(it->second);
      channels.erase(it);
    }
    return 0;
  }

  void Release(std::unique_ptr<AudioChannel> channel) noexcept {
    if (mixer && !mixer->Detach(channel.get())) {
      try {
        orphans.push_back(std::move(channel));
      } catch (...) {
        // Leaked rather than destroyed under the output thread's hands.
        (void)channel.release();
      }
      return;
    }
    channel.reset();
  }

  Handle Open(const std::string& path, MediaDecoder::Kind kind, bool prescan) {
    if (!initialised || !EnsureDevice()) return 0;
    return Add(MediaDecoder::Open(ResolveCodePagePath(path), kind, prescan, rate));
  }
};

AudioLayer::AudioLayer(std::unique_ptr<AudioOutput> output) : impl_(std::make_unique<Impl>()) {
  impl_->output = std::move(output);
}

AudioLayer::~AudioLayer() { Free(); }

std::uint32_t AudioLayer::GetVersion() noexcept { return kVersion; }

bool AudioLayer::IsAvailable() noexcept { return HasWmaPlugin() && av_find_input_format("mp3") != nullptr; }

bool AudioLayer::HasWmaPlugin() noexcept {
  return avcodec_find_decoder(AV_CODEC_ID_WMAV1) != nullptr &&
         avcodec_find_decoder(AV_CODEC_ID_WMAV2) != nullptr && av_find_input_format("asf") != nullptr;
}

std::vector<PluginInfo> AudioLayer::Plugins() noexcept {
  // The player's own list already names every other format the decoders read
  // that a jukebox collection holds; WMA is the one format it adds.
  return Guarded<std::vector<PluginInfo>>({}, [] {
    return std::vector<PluginInfo>{{"orvela-wma", {{"Windows Media Audio", "*.wma"}}}};
  });
}

bool AudioLayer::Init(int /*device: always the default*/, int rate) noexcept {
  Impl& d = *impl_;
  if (d.initialised) return false;
  ffmpeg::SilenceLog();
  try {
    d.rate = rate > 0 ? rate : 44100;
    d.mixer = std::make_unique<Mixer>();
    Mixer* mixer = d.mixer.get();
    // Asked for every block: a test output may let one block run ahead of the
    // decoders, as a device does, to see a stream stall.
    const AudioOutput* output = d.output.get();
    d.render = [mixer, output](float* buffer, int frames) {
      mixer->Render(buffer, frames, output != nullptr && output->WaitsForData());
    };
    d.deviceOpen = false;
    d.EnsureDevice();
    d.quitNotifier.store(false);
    d.notifier = std::thread([&d] { d.NotifierLoop(); });
  } catch (...) {
    if (d.deviceOpen) d.output->Close();
    d.deviceOpen = false;
    d.render = nullptr;
    d.mixer.reset();
    return false;
  }
  d.initialised = true;
  return d.deviceOpen;
}

bool AudioLayer::HasOutput() noexcept { return impl_->initialised && impl_->deviceOpen; }

void AudioLayer::Free() noexcept {
  Impl& d = *impl_;
  if (!d.initialised) return;
  if (d.output) d.output->Close();
  d.deviceOpen = false;
  d.quitNotifier.store(true, std::memory_order_release);
  d.endWake.fetch_add(1, std::memory_order_release);
  d.endWake.notify_all();
  try {
    if (d.notifier.joinable()) d.notifier.join();
  } catch (...) {
    // Free from inside a sync procedure: the notifier cannot join itself. It
    // leaves its loop once that procedure returns.
    d.notifier.detach();
  }
  std::map<Handle, std::unique_ptr<AudioChannel>> channels;
  {
    std::lock_guard lock(d.mutex);
    channels.swap(d.channels);
    d.syncs.clear();
  }
  channels.clear();  // no output thread runs any more
  d.orphans.clear();
  d.render = nullptr;
  d.mixer.reset();
  d.initialised = false;
}

Handle AudioLayer::StreamCreateFile(const std::string& path, std::uint32_t flags) noexcept {
  return Guarded<Handle>(0, [&] { return impl_->Open(path, MediaDecoder::Kind::kStream, (flags & kFlagPrescan) != 0); });
}

Handle AudioLayer::MusicLoad(const std::string& path, std::uint32_t /*flags*/) noexcept {
  return Guarded<Handle>(0, [&] { return impl_->Open(path, MediaDecoder::Kind::kModule, false); });
}

bool AudioLayer::StreamFree(Handle h) noexcept {
  Impl& d = *impl_;
  std::unique_ptr<AudioChannel> channel;
  {
    std::lock_guard lock(d.mutex);
    auto it = d.channels.find(h);
    if (h == 0 || it == d.channels.end()) return false;
    channel = std::move(it->second);
    d.channels.erase(it);
    std::erase_if(d.syncs, [h](const SyncEntry& s) { return s.channel == h; });
  }
  // An end reached just before the free is not reported: the stream is gone.
  channel->DiscardEndEvent();
  d.Release(std::move(channel));
  return true;
}

bool AudioLayer::ChannelPlay(Handle h, bool restart) noexcept {
  AudioChannel* c = impl_->Find(h);
  if (!c) return false;
  c->Play(restart);
  return true;
}

bool AudioLayer::ChannelCue(Handle h) noexcept {
  AudioChannel* c = impl_->Find(h);
  if (!c) return false;
  c->Cue();
  return true;
}

bool AudioLayer::ChannelPause(Handle h) noexcept {
  AudioChannel* c = impl_->Find(h);
  return c && c->Pause();
}

bool AudioLayer::ChannelStop(Handle h) noexcept {
  AudioChannel* c = impl_->Find(h);
  return c && c->Stop();
}

int AudioLayer::ChannelIsActive(Handle h) noexcept {
  AudioChannel* c = impl_->Find(h);
  return c ? c->ActiveState() : kStopped;
}

std::uint32_t AudioLayer::ChannelEpoch(Handle h) noexcept {
  AudioChannel* c = impl_->Find(h);
  return c ? c->Epoch() : 0;
}

bool AudioLayer::ChannelSetVolume(Handle h, float volume) noexcept {
  AudioChannel* c = impl_->Find(h);
  if (!c) return false;
  c->SetVolume(std::clamp(volume, 0.0f, 1.0f));
  return true;
}

bool AudioLayer::ChannelSetGain(Handle h, float gain) noexcept {
  AudioChannel* c = impl_->Find(h);
  if (!c || !std::isfinite(gain) || gain < 0.0f) return false;
  c->SetGain(std::min(gain, kMaxChannelGain));
  return true;
}

bool AudioLayer::ChannelSlideVolume(Handle h, float target, std::uint32_t ms) noexcept {
  AudioChannel* c = impl_->Find(h);
  if (!c) return false;
  c->SlideVolume(std::clamp(target, 0.0f, 1.0f), ms);
  return true;
}

float AudioLayer::ChannelGetGain(Handle h) noexcept {
  AudioChannel* c = impl_->Find(h);
  return c ? c->Gain() : -1.0f;
}

float AudioLayer::ChannelGetVolume(Handle h) noexcept {
  AudioChannel* c = impl_->Find(h);
  return c ? c->Volume() : -1.0f;
}

std::int64_t AudioLayer::ChannelGetPosition(Handle h) noexcept {
  AudioChannel* c = impl_->Find(h);
  if (!c) return -1;
  std::int64_t pos = c->PositionFrames();
  const std::int64_t len = c->LengthFrames();
  if (len > 0) pos = std::min(pos, len);
  return pos * kBytesPerFrame;
}

std::int64_t AudioLayer::ChannelGetLength(Handle h) noexcept {
  AudioChannel* c = impl_->Find(h);
  return c ? c->LengthFrames() * kBytesPerFrame : -1;
}

bool AudioLayer::ChannelSetPosition(Handle h, std::int64_t bytes) noexcept {
  AudioChannel* c = impl_->Find(h);
  if (!c || bytes < 0) return false;
  const std::int64_t frame = bytes / kBytesPerFrame;
  const std::int64_t len = c->LengthFrames();
  if (len > 0 && frame > len) return false;
  c->SetPositionFrames(frame);
  return true;
}

double AudioLayer::ChannelBytes2Seconds(Handle h, std::int64_t bytes) noexcept {
  AudioChannel* c = impl_->Find(h);
  if (!c || bytes < 0) return -1.0;
  return static_cast<double>(bytes) / (static_cast<double>(kBytesPerFrame) * c->SourceRate());
}

int AudioLayer::ChannelGetRate(Handle h) noexcept {
  AudioChannel* c = impl_->Find(h);
  return c ? c->SourceRate() : 0;
}

Handle AudioLayer::ChannelSetSyncEnd(Handle h, SyncProc proc) noexcept {
  return Guarded<Handle>(0, [&]() -> Handle {
    Impl& d = *impl_;
    if (!proc || !d.Find(h)) return 0;
    std::lock_guard lock(d.mutex);
    d.syncs.push_back({0, h, std::move(proc)});
    d.syncs.back().sync = d.NewHandle();
    return d.syncs.back().sync;
  });
}

bool AudioLayer::ChannelGetData(Handle h, float* buffer, std::uint32_t flags) noexcept {
  return Guarded(false, [&] {
    Impl& d = *impl_;
    AudioChannel* c = d.Find(h);
    if (!c || !buffer || flags != kDataFft1024) return false;
    if (!d.fft) d.fft = std::make_unique<FftAnalyzer>();
    float samples[FftAnalyzer::kSize];
    c->CopyHistory(samples, FftAnalyzer::kSize);
    d.fft->Magnitudes(samples, buffer);
    return true;
  });
}

}  // namespace orvela::audio
