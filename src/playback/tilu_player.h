#pragma once
// The player: one title at a time through the audio layer, with events for its
// owner, the main volume, fades, positions, the file-dialog filter of the
// formats the layer can open, and the spectrum display.
//
// Threads: every operation and every event runs on the user-interface thread.
// The layer reports the end of a stream on an audio thread; the player hands
// that report to the injected post function and raises OnTiluEndFile only when
// the posted call runs, and only if the player still exists and the stream that
// ended is still the one it loaded and has not been stopped or started again since
// the mix reached its end.
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "metadata/audio_file.h"
#include "playback/audio/audio_layer.h"
#include "playback/side_channels.h"
#include "playback/spectrum.h"

namespace orvela {

class Dialogs;

class TTiluPlayer {
 public:
  using Event = std::function<void(TTiluPlayer* sender)>;
  // Runs the given call on the user-interface thread, later; must be callable
  // from any thread.
  using PostFunction = std::function<void(std::function<void()>)>;

  TTiluPlayer(audio::AudioLayer& layer, PostFunction post);
  // Releases the audio layer (every stream, the device).
  ~TTiluPlayer();
  TTiluPlayer(const TTiluPlayer&) = delete;
  TTiluPlayer& operator=(const TTiluPlayer&) = delete;

  audio::Handle Channel = 0;
  float Volume = 0.0f;
  std::unique_ptr<TAudioFile> CurrentFile;
  audio::Handle EndSync = 0;
  std::string FileFilter;
  std::vector<std::string> Extensions;  // with leading dot; compare with HasExtension

  Event OnTiluPlay;
  Event OnTiluPause;
  Event OnTiluResume;
  Event OnTiluStop;
  Event OnTiluChange;
  Event OnTiluEndFile;

  // The jingle and birthday-song channels on this player's layer.
  TSideChannels SideChannels;

  // Checks the layer's version (an error box through `dialogs` if it is not the
  // one this player was written for; start-up goes on) and opens the default
  // output device at 44100 Hz.
  void InitAudio(Dialogs& dialogs);
  // Builds FileFilter and Extensions from the layer's built-in format plug-ins.
  // The directory is where plug-in files once lived; the formats are built into
  // the layer now, so it is not read.
  void LoadPlugins(const std::string& directory);
  void CreateSpectrum(int width, int height);
  // Where the levelling gain of each title, jingle and birthday song comes
  // from; asked once as each starts. Without one everything plays as decoded.
  // `lowered` hears, as a title's stream is freed, of a gain the ceiling lowered.
  void SetGainLookup(GainLookup lookup, GainLowered lowered = {});
  TSpectrum* Spectrum() { return spectrum_.get(); }

  // Plays the title from its start. Paused, it is readied at its start and
  // waits for Resume without a single block of it heard (OnTiluPause instead
  // of OnTiluPlay).
  void Play(const TAudioFile* file, bool paused = false);
  void Pause();
  void Resume(bool fadeIn);
  void Stop();
  bool FadeOut();
  void FreeStream();
  audio::Handle OpenStream(const std::string& path);
  void SetEndSync();
  void SetVolume(float volume);
  int GetState();
  // Whether the title plays, for whoever decides what to do with the music: a
  // stream the output outran for a moment (stalled) plays on as its data comes.
  bool IsPlaying();
  // Whether the sound output is there; without it no title opens, whatever its file.
  bool OutputOpen() { return layer_.HasOutput(); }
  double GetPositionSeconds();
  double GetLengthSeconds();
  double GetProgress();
  void SetProgress(double fraction);
  void SetPositionBytes(std::int64_t bytes);
  std::string GetTitle() const;
  std::string GetArtist() const;
  std::string GetYear() const;
  std::string GetGenre() const;
  // The FFT magnitudes the spectrum draws next (512 used, one spare float, as
  // the layer's FFT call may write a trailing value); false while nothing plays.
  using SpectrumMagnitudes = std::array<float, 513>;
  bool SpectrumData(SpectrumMagnitudes& magnitudes);

  // Case-insensitive membership in Extensions (".MP3" matches ".mp3").
  bool HasExtension(std::string_view extension) const;

  // The open flags chosen by the lower-cased extension of `path`'s file name:
  // pre-scan for MPEG audio, none for the rest.
  static std::uint32_t StreamFlagsFor(const std::string& path);
  // Whether a layer reporting `version` is the one the player expects (2.4).
  static bool IsSupportedVersion(std::uint32_t version);
  // The start-up check of InitAudio: an error box for any other version.
  static void CheckVersion(Dialogs& dialogs, std::uint32_t version);

 private:
  struct EndToken {
    explicit EndToken(TTiluPlayer* p) : player(p) {}
    TTiluPlayer* player;
    std::uint64_t generation = 0;  // the stream; user-interface thread only
  };

  audio::AudioLayer& layer_;
  PostFunction post_;
  std::unique_ptr<TSpectrum> spectrum_;
  GainLookup gainLookup_;
  GainLowered gainLowered_;
  // The file and gain the current stream was started with.
  std::string gainPath_;
  float gainSet_ = 1.0f;
  // Shared with the posted end reports as weak references: once the player is
  // gone they find nothing; once the stream changed, the generation differs.
  std::shared_ptr<EndToken> endToken_;
};

}  // namespace orvela
