#include "playback/tilu_player.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "common/codepage.h"
#include "common/dialogs.h"
#include "common/file_name.h"

namespace orvela {

namespace {

constexpr int kOutputRate = 44100;
constexpr std::uint32_t kFadeMs = 3000;
constexpr std::uint32_t kMusicFlags = audio::kFlagPrescan | audio::kFlagMusicRamp;

// The formats the player opens without a plug-in; the first entry must stay
// ".mp3", the "all formats" pattern starts from it.
const char* const kInitialExtensions[] = {".mp3", ".ogg", ".wav", ".mp1", ".mp2", ".aiff", ".mo3",
                                          ".it",  ".xm",  ".s3m", ".mtm", ".mod", ".umx"};

float ClampUnit(float value) {
  if (std::isnan(value)) return 0.0f;
  return std::clamp(value, 0.0f, 1.0f);
}

// A handler may reassign its own event while it runs; the call works on a copy.
void Raise(const TTiluPlayer::Event& event, TTiluPlayer* sender) {
  if (!event) return;
  const TTiluPlayer::Event call = event;
  call(sender);
}

}  // namespace

TTiluPlayer::TTiluPlayer(audio::AudioLayer& layer, PostFunction post)
    : CurrentFile(std::make_unique<TAudioFile>()),
      Extensions(std::begin(kInitialExtensions), std::end(kInitialExtensions)),
      SideChannels(layer),
      layer_(layer),
      post_(std::move(post)),
      endToken_(std::make_shared<EndToken>(this)) {}

TTiluPlayer::~TTiluPlayer() {
  // Reports already posted find the token gone and do nothing.
  endToken_.reset();
  spectrum_.reset();
  layer_.Free();
}

bool TTiluPlayer::IsSupportedVersion(std::uint32_t version) { return (version >> 16) == 0x0204; }

void TTiluPlayer::CheckVersion(Dialogs& dialogs, std::uint32_t version) {
  if (!IsSupportedVersion(version)) {
    dialogs.Error("Die Audio-Bibliothek hat die falsche Version " +
                  std::to_string(version >> 24) + "." + std::to_string((version >> 16) & 0xFF) +
                  " (erwartet wird 2.4). Die Wiedergabe funktioniert m\xF6glicherweise nicht.");
  }
}

void TTiluPlayer::InitAudio(Dialogs& dialogs) {
  CheckVersion(dialogs, audio::AudioLayer::GetVersion());
  layer_.Init(-1, kOutputRate);
}

void TTiluPlayer::LoadPlugins([[maybe_unused]] const std::string& directory) {
  FileFilter =
      "|Standard Formate (*.mp3;*.mp2;*.mp1;*.ogg;*.wav;*.aif)|*.mp3;*.mp2;*.mp1;*.ogg;*.wav*;*.aif";
  for (const audio::PluginInfo& plugin : audio::AudioLayer::Plugins()) {
    for (const audio::PluginFormat& format : plugin.formats) {
      FileFilter += "|" + format.name + " (" + format.extensions + ")|" + format.extensions;
      std::size_t start = 0;
      while (start <= format.extensions.size()) {
        std::size_t end = format.extensions.find(';', start);
        if (end == std::string::npos) end = format.extensions.size();
        std::string piece = format.extensions.substr(start, end - start);
        piece.erase(std::remove(piece.begin(), piece.end(), '*'), piece.end());
        if (!piece.empty()) Extensions.push_back(piece);
        start = end + 1;
      }
    }
  }
  std::string all = "*.mp3";
  for (std::size_t i = 1; i < Extensions.size(); ++i) all += ";*" + Extensions[i];
  FileFilter = "Alle unterst\xFCtzten Formate|" + all + FileFilter;
}

void TTiluPlayer::CreateSpectrum(int width, int height) {
  spectrum_ = std::make_unique<TSpectrum>(width, height);
  spectrum_->BackgroundColor = TSpectrum::kBlack;
  spectrum_->BarColor = TSpectrum::kCaptionGradient;
  spectrum_->PeakColor = TSpectrum::kRed;
  spectrum_->DrawMode = TSpectrumDrawMode::Bars;
}

void TTiluPlayer::SetGainLookup(GainLookup lookup, GainLowered lowered) {
  gainLookup_ = lookup;
  gainLowered_ = std::move(lowered);
  SideChannels.SetGainLookup(std::move(lookup));
}

void TTiluPlayer::Play(const TAudioFile* file, bool paused) {
  if (file == nullptr) return;
  CurrentFile->Assign(*file);
  FreeStream();
  Channel = OpenStream(CurrentFile->FilePath);
  gainSet_ = 1.0f;
  if (Channel != 0 && gainLookup_) {
    gainPath_ = CurrentFile->FilePath;
    gainSet_ = gainLookup_(gainPath_);
    layer_.ChannelSetGain(Channel, gainSet_);
  }
  SetEndSync();
  layer_.ChannelSetVolume(Channel, Volume);
  if (paused) {
    layer_.ChannelCue(Channel);
  } else {
    layer_.ChannelPlay(Channel, true);
  }
  if (Channel != 0) {
    Raise(paused ? OnTiluPause : OnTiluPlay, this);
    Raise(OnTiluChange, this);
  }
}

void TTiluPlayer::Pause() {
  layer_.ChannelPause(Channel);
  Raise(OnTiluPause, this);
}

void TTiluPlayer::Resume(bool fadeIn) {
  if (fadeIn) layer_.ChannelSlideVolume(Channel, Volume, kFadeMs);
  layer_.ChannelPlay(Channel, false);
  Raise(OnTiluResume, this);
}

void TTiluPlayer::Stop() {
  // The stop moves the stream's epoch on: an end reached before it (even in
  // the same instant, its report still on the way) must not start the next
  // title after the owner has shown the stopped state, while an end reached
  // after a later Resume carries the newer epoch and still counts.
  layer_.ChannelStop(Channel);
  Raise(OnTiluStop, this);
}

bool TTiluPlayer::FadeOut() { return layer_.ChannelSlideVolume(Channel, 0.0f, kFadeMs); }

void TTiluPlayer::FreeStream() {
  // A hundredth of a decibel is rounding, not a lie worth remembering.
  const float gainNow = layer_.ChannelGetGain(Channel);
  if (gainLowered_ && gainNow >= 0.0f && gainNow < gainSet_ * 0.999f) gainLowered_(gainPath_, gainNow);
  gainSet_ = 1.0f;
  layer_.ChannelStop(Channel);
  layer_.StreamFree(Channel);
  Channel = 0;
  ++endToken_->generation;
}

std::uint32_t TTiluPlayer::StreamFlagsFor(const std::string& path) {
  const std::string ext = AsciiLower(FileExtension(path));
  return (ext == ".mp3" || ext == ".mp2" || ext == ".mp1") ? audio::kFlagPrescan : 0;
}

audio::Handle TTiluPlayer::OpenStream(const std::string& path) {
  audio::Handle handle = layer_.StreamCreateFile(path, StreamFlagsFor(path));
  if (handle == 0) handle = layer_.MusicLoad(path, kMusicFlags);
  return handle;
}

void TTiluPlayer::SetEndSync() {
  if (!OnTiluEndFile) return;
  const std::weak_ptr<EndToken> token = endToken_;
  const std::uint64_t generation = endToken_->generation;
  const PostFunction post = post_;
  if (!post) return;
  EndSync = layer_.ChannelSetSyncEnd(
      Channel, [token, generation, post](audio::Handle, audio::Handle channel, std::uint32_t epoch) {
        // Audio thread: only hand over; the player is looked at on the UI thread.
        if (token.expired()) return;
        post([token, generation, channel, epoch] {
          const std::shared_ptr<EndToken> alive = token.lock();
          if (!alive || alive->generation != generation) return;
          // Judged by the epoch of the moment the mix reached the end, not by
          // when this call got here: a Stop in between voids it.
          TTiluPlayer& player = *alive->player;
          if (player.layer_.ChannelEpoch(channel) != epoch) return;
          Raise(player.OnTiluEndFile, &player);
        });
      });
}

void TTiluPlayer::SetVolume(float volume) {
  Volume = ClampUnit(volume);
  SideChannels.CurrentVolume = Volume;
  layer_.ChannelSetVolume(Channel, Volume);
  SideChannels.FollowPlayerVolume(Volume);
}

int TTiluPlayer::GetState() { return layer_.ChannelIsActive(Channel); }

bool TTiluPlayer::IsPlaying() {
  const int state = GetState();
  return state == audio::kPlaying || state == audio::kStalled;
}

double TTiluPlayer::GetPositionSeconds() {
  if (Channel == 0) return 0.0;
  const std::int64_t pos = layer_.ChannelGetPosition(Channel);
  return pos < 0 ? 0.0 : layer_.ChannelBytes2Seconds(Channel, pos);
}

double TTiluPlayer::GetLengthSeconds() {
  if (Channel == 0) return 0.0;
  const std::int64_t len = layer_.ChannelGetLength(Channel);
  return len < 0 ? 0.0 : layer_.ChannelBytes2Seconds(Channel, len);
}

double TTiluPlayer::GetProgress() {
  if (Channel == 0) return 0.0;
  const std::int64_t pos = layer_.ChannelGetPosition(Channel);
  const std::int64_t len = layer_.ChannelGetLength(Channel);
  // A stream of unknown or zero length has no meaningful fraction.
  if (pos < 0 || len <= 0) return 0.0;
  return static_cast<double>(pos) / static_cast<double>(len);
}

void TTiluPlayer::SetProgress(double fraction) {
  const double f = std::isnan(fraction) ? 0.0 : std::clamp(fraction, 0.0, 1.0);
  const std::int64_t len = layer_.ChannelGetLength(Channel);
  if (len < 0) return;
  layer_.ChannelSetPosition(Channel, std::llround(static_cast<double>(len) * f));
}

void TTiluPlayer::SetPositionBytes(std::int64_t bytes) { layer_.ChannelSetPosition(Channel, bytes); }

std::string TTiluPlayer::GetTitle() const { return CurrentFile ? CurrentFile->GetTitle() : "-"; }
std::string TTiluPlayer::GetArtist() const { return CurrentFile ? CurrentFile->GetArtist() : "-"; }
std::string TTiluPlayer::GetYear() const { return CurrentFile ? CurrentFile->GetYear() : "-"; }
std::string TTiluPlayer::GetGenre() const { return CurrentFile ? CurrentFile->GetGenre() : "-"; }

bool TTiluPlayer::SpectrumData(SpectrumMagnitudes& magnitudes) {
  if (!spectrum_ || !IsPlaying()) return false;
  magnitudes.fill(0.0f);
  return layer_.ChannelGetData(Channel, magnitudes.data(), audio::kDataFft1024);
}

bool TTiluPlayer::HasExtension(std::string_view extension) const {
  return std::any_of(Extensions.begin(), Extensions.end(),
                     [&](const std::string& e) { return EqualsAsciiNoCase(e, extension); });
}

}  // namespace orvela
