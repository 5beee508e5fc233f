#pragma once
// The two channels that sound over (or instead of) the title: the jingle of a
// held button and the birthday song. They live beside the player rather than in
// it because the main window drives them on its own timers, but they share the
// player's audio layer and its last volume, so the player owns one instance
// (TTiluPlayer::SideChannels). Nothing here is global: two players on two
// layers never see each other's channels.
#include <cstdint>
#include <functional>
#include <string>

#include "playback/audio/audio_layer.h"

namespace orvela {

// The levelling gain a file is played with (1 = as decoded); empty: none.
using GainLookup = std::function<float(const std::string& path)>;
// Told the gain a title ended with where the ceiling had to lower the one it
// was started with: its samples were louder than what its gain came from said.
using GainLowered = std::function<void(const std::string& path, float gain)>;

class TSideChannels {
 public:
  explicit TSideChannels(audio::AudioLayer& layer) : layer_(layer) {}
  TSideChannels(const TSideChannels&) = delete;
  TSideChannels& operator=(const TSideChannels&) = delete;

  // The last volume given to the player's SetVolume (0..1); 0 until the first call.
  float CurrentVolume = 0.0f;

  // Starts the file from its beginning at volume 0 and raises it to `volume`
  // within a second. A file that cannot be opened leaves the channel silent.
  void PlayJingle(const std::string& path, float volume);
  // Slides the jingle to `volume` within a second.
  void SlideJingleVolume(float volume);
  // Stops and frees the jingle.
  void StopJingle();

  // Starts the song at volume 0 and raises it to CurrentVolume within three seconds.
  void PlayBirthdaySong(const std::string& path);
  // The song channel's activity state (0 once it has ended or was never opened).
  int BirthdaySongActive();
  // The player's volume for the song, which follows every change until the
  // song fades out: then it is on its way out, and a jingle's ducking or the
  // slider must not bring it back.
  void FollowPlayerVolume(float volume);
  // Slides the song to silence within three seconds.
  void FadeOutBirthdaySong();
  // Frees the song's stream; the handle value is kept (calls on it do nothing).
  void FreeBirthdaySong();

  // Jingles and the birthday song are levelled like the titles. Set by the
  // player's SetGainLookup.
  void SetGainLookup(GainLookup lookup) { gainLookup_ = std::move(lookup); }

  audio::Handle JingleChannel() const { return jingle_; }
  audio::Handle BirthdayChannel() const { return birthday_; }

 private:
  audio::AudioLayer& layer_;
  audio::Handle jingle_ = 0;
  audio::Handle birthday_ = 0;
  bool birthdayLeaving_ = false;
  GainLookup gainLookup_;
};

}  // namespace orvela
