#include "playback/side_channels.h"

namespace orvela {

namespace {
constexpr std::uint32_t kJingleSlideMs = 1000;
constexpr std::uint32_t kBirthdaySlideMs = 3000;
}  // namespace

void TSideChannels::PlayJingle(const std::string& path, float volume) {
  // A jingle still sounding would otherwise lose its handle and play on with
  // nothing left to stop it.
  if (jingle_ != 0) StopJingle();
  jingle_ = layer_.StreamCreateFile(path, 0);
  if (jingle_ != 0 && gainLookup_) layer_.ChannelSetGain(jingle_, gainLookup_(path));
  layer_.ChannelSetVolume(jingle_, 0.0f);
  layer_.ChannelSlideVolume(jingle_, volume, kJingleSlideMs);
  layer_.ChannelPlay(jingle_, true);
}

void TSideChannels::SlideJingleVolume(float volume) {
  layer_.ChannelSlideVolume(jingle_, volume, kJingleSlideMs);
}

void TSideChannels::StopJingle() {
  layer_.ChannelStop(jingle_);
  layer_.StreamFree(jingle_);
  jingle_ = 0;
}

void TSideChannels::PlayBirthdaySong(const std::string& path) {
  // Freeing an already freed song is harmless; a song still sounding would
  // otherwise be orphaned.
  layer_.StreamFree(birthday_);
  birthdayLeaving_ = false;
  birthday_ = layer_.StreamCreateFile(path, 0);
  if (birthday_ != 0 && gainLookup_) layer_.ChannelSetGain(birthday_, gainLookup_(path));
  layer_.ChannelSetVolume(birthday_, 0.0f);
  layer_.ChannelSlideVolume(birthday_, CurrentVolume, kBirthdaySlideMs);
  layer_.ChannelPlay(birthday_, false);
}

int TSideChannels::BirthdaySongActive() { return layer_.ChannelIsActive(birthday_); }

void TSideChannels::FollowPlayerVolume(float volume) {
  if (!birthdayLeaving_) layer_.ChannelSetVolume(birthday_, volume);
}

void TSideChannels::FadeOutBirthdaySong() {
  birthdayLeaving_ = true;
  layer_.ChannelSlideVolume(birthday_, 0.0f, kBirthdaySlideMs);
}

void TSideChannels::FreeBirthdaySong() {
  layer_.StreamFree(birthday_);
  birthdayLeaving_ = false;
}

}  // namespace orvela
