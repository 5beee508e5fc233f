#include "playback/audio/audio_layer.h"

#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>
#include <thread>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/log.h>
}

#include "common/codepage.h"
#include "playback/audio/audio_channel.h"
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

}  // namespace

struct AudioLayer::Impl {
  std::unique_ptr<AudioOutput> output;
  std::unique_ptr<AudioOutput> fallback;
  std::unique_ptr<Mixer> mixer;
  bool initialised = false;
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

  void NotifierLoop() {
    for (;;) {
      const std::uint32_t seen = endWake.load(std::memory_order_acquire);
      if (quitNotifier.load(std::memory_order_acquire)) return;
      std::vector<SyncEntry> due;
      {
        std::lock_guard lock(mutex);
        for (auto& [handle, channel] : channels) {
          if (!channel->TakeEndEvent()) continue;
          for (const SyncEntry& s : syncs)
            if (s.channel == handle) due.push_back(s);
        }
      }
      // Outside the lock: a procedure may take as long as it likes.
      for (const SyncEntry& s : due) s.proc(s.sync, s.channel);
      endWake.wait(seen, std::memory_order_acquire);
    }
  }

  Handle Add(std::unique_ptr<MediaDecoder> decoder) {
    if (!decoder) return 0;
    auto channel = std::make_unique<AudioChannel>(std::move(decoder), &endWake);
    if (!mixer->Attach(channel.get())) return 0;
    const Handle h = nextHandle++;
    std::lock_guard lock(mutex);
    channels.emplace(h, std::move(channel));
    return h;
  }

  void Release(std::unique_ptr<AudioChannel> channel) {
    if (mixer && !mixer->Detach(channel.get())) {
      orphans.push_back(std::move(channel));
      return;
    }
    channel.reset();
  }
};

AudioLayer::AudioLayer(std::unique_ptr<AudioOutput> output) : impl_(std::make_unique<Impl>()) {
  impl_->output = std::move(output);
}

AudioLayer::~AudioLayer() { Free(); }

std::uint32_t AudioLayer::GetVersion() { return kVersion; }

bool AudioLayer::IsAvailable() { return HasWmaPlugin() && av_find_input_format("mp3") != nullptr; }

bool AudioLayer::HasWmaPlugin() {
  return avcodec_find_decoder(AV_CODEC_ID_WMAV1) != nullptr &&
         avcodec_find_decoder(AV_CODEC_ID_WMAV2) != nullptr && av_find_input_format("asf") != nullptr;
}

std::vector<PluginInfo> AudioLayer::Plugins() {
  // The player's own list already names every other format the decoders read
  // that a jukebox collection holds; WMA is the one format it adds.
  return {{"orvela-wma", {{"Windows Media Audio", "*.wma"}}}};
}

bool AudioLayer::Init(int /*device: always the default*/, int rate) {
  Impl& d = *impl_;
  if (d.initialised) return false;
  // The jukebox keeps no log: a damaged file is simply not played, so FFmpeg's
  // complaints about it would only clutter the terminal.
  av_log_set_level(AV_LOG_FATAL);
  d.rate = rate > 0 ? rate : 44100;
  d.mixer = std::make_unique<Mixer>(d.output && d.output->WaitsForData());
  Mixer* mixer = d.mixer.get();
  auto render = [mixer](float* buffer, int frames) { mixer->Render(buffer, frames); };
  bool opened = d.output && d.output->Open(d.rate, render);
  if (!opened) {
    // No device: streams must still advance and end, so a silent clock drives the mix.
    d.fallback = MakeNullOutput();
    d.fallback->Open(d.rate, render);
  }
  d.quitNotifier.store(false);
  d.notifier = std::thread([&d] { d.NotifierLoop(); });
  d.initialised = true;
  return opened;
}

void AudioLayer::Free() {
  Impl& d = *impl_;
  if (!d.initialised) return;
  if (d.output) d.output->Close();
  if (d.fallback) d.fallback->Close();
  d.fallback.reset();
  d.quitNotifier.store(true, std::memory_order_release);
  d.endWake.fetch_add(1, std::memory_order_release);
  d.endWake.notify_all();
  if (d.notifier.joinable()) d.notifier.join();
  std::map<Handle, std::unique_ptr<AudioChannel>> channels;
  {
    std::lock_guard lock(d.mutex);
    channels.swap(d.channels);
    d.syncs.clear();
  }
  channels.clear();  // no output thread runs any more
  d.orphans.clear();
  d.mixer.reset();
  d.initialised = false;
}

Handle AudioLayer::StreamCreateFile(const std::string& path, std::uint32_t flags) {
  if (!impl_->initialised) return 0;
  return impl_->Add(MediaDecoder::Open(Cp1252ToNativePath(path), MediaDecoder::Kind::kStream,
                                       (flags & kFlagPrescan) != 0, impl_->rate));
}

Handle AudioLayer::MusicLoad(const std::string& path, std::uint32_t /*flags*/) {
  if (!impl_->initialised) return 0;
  return impl_->Add(
      MediaDecoder::Open(Cp1252ToNativePath(path), MediaDecoder::Kind::kModule, false, impl_->rate));
}

bool AudioLayer::StreamFree(Handle h) {
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

bool AudioLayer::ChannelPlay(Handle h, bool restart) {
  AudioChannel* c = impl_->Find(h);
  if (!c) return false;
  c->Play(restart);
  return true;
}

bool AudioLayer::ChannelPause(Handle h) {
  AudioChannel* c = impl_->Find(h);
  return c && c->Pause();
}

bool AudioLayer::ChannelStop(Handle h) {
  AudioChannel* c = impl_->Find(h);
  return c && c->Stop();
}

int AudioLayer::ChannelIsActive(Handle h) {
  AudioChannel* c = impl_->Find(h);
  return c ? c->ActiveState() : kStopped;
}

bool AudioLayer::ChannelSetVolume(Handle h, float volume) {
  AudioChannel* c = impl_->Find(h);
  if (!c) return false;
  c->SetVolume(std::clamp(volume, 0.0f, 1.0f));
  return true;
}

bool AudioLayer::ChannelSlideVolume(Handle h, float target, std::uint32_t ms) {
  AudioChannel* c = impl_->Find(h);
  if (!c) return false;
  c->SlideVolume(std::clamp(target, 0.0f, 1.0f), ms);
  return true;
}

float AudioLayer::ChannelGetVolume(Handle h) {
  AudioChannel* c = impl_->Find(h);
  return c ? c->Volume() : -1.0f;
}

std::int64_t AudioLayer::ChannelGetPosition(Handle h) {
  AudioChannel* c = impl_->Find(h);
  if (!c) return -1;
  std::int64_t pos = c->PositionFrames();
  const std::int64_t len = c->LengthFrames();
  if (len > 0) pos = std::min(pos, len);
  return pos * kBytesPerFrame;
}

std::int64_t AudioLayer::ChannelGetLength(Handle h) {
  AudioChannel* c = impl_->Find(h);
  return c ? c->LengthFrames() * kBytesPerFrame : -1;
}

bool AudioLayer::ChannelSetPosition(Handle h, std::int64_t bytes) {
  AudioChannel* c = impl_->Find(h);
  if (!c || bytes < 0) return false;
  const std::int64_t frame = bytes / kBytesPerFrame;
  const std::int64_t len = c->LengthFrames();
  if (len > 0 && frame > len) return false;
  c->SetPositionFrames(frame);
  return true;
}

double AudioLayer::ChannelBytes2Seconds(Handle h, std::int64_t bytes) {
  AudioChannel* c = impl_->Find(h);
  if (!c || bytes < 0) return -1.0;
  return static_cast<double>(bytes) / (static_cast<double>(kBytesPerFrame) * c->SourceRate());
}

int AudioLayer::ChannelGetRate(Handle h) {
  AudioChannel* c = impl_->Find(h);
  return c ? c->SourceRate() : 0;
}

Handle AudioLayer::ChannelSetSyncEnd(Handle h, SyncProc proc) {
  Impl& d = *impl_;
  if (!proc || !d.Find(h)) return 0;
  const Handle sync = d.nextHandle++;
  std::lock_guard lock(d.mutex);
  d.syncs.push_back({sync, h, std::move(proc)});
  return sync;
}

bool AudioLayer::ChannelGetData(Handle h, float* buffer, std::uint32_t flags) {
  Impl& d = *impl_;
  AudioChannel* c = d.Find(h);
  if (!c || !buffer || flags != kDataFft1024) return false;
  if (!d.fft) d.fft = std::make_unique<FftAnalyzer>();
  float samples[FftAnalyzer::kSize];
  c->CopyHistory(samples, FftAnalyzer::kSize);
  d.fft->Magnitudes(samples, buffer);
  return true;
}

}  // namespace orvela::audio
