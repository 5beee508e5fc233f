#pragma once
// The jukebox's own audio library: file and module streams decoded by FFmpeg on
// worker threads, mixed into one output (SDL2 for the program, a manual output
// for tests). Handles are 32-bit numbers; 0 means none. Every call on 0 or on a
// freed handle fails without effect, and no call throws: whatever goes wrong
// inside (a damaged file, no memory, no thread to be had) ends in the call's
// failure value. All calls are made from one thread (the user-interface
// thread); only the output callback and the decoders run elsewhere.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace orvela::audio {

using Handle = std::uint32_t;

// Stream flags understood by StreamCreateFile / MusicLoad.
constexpr std::uint32_t kFlagPrescan = 0x20000;      // exact length and byte-exact seeking
constexpr std::uint32_t kFlagMusicRamp = 0x200;      // click-free volume ramping (modules)
constexpr std::uint32_t kDataFft1024 = 0x80000002;   // GetData: 512 magnitudes of 1024 samples

// Reported version: high 16 bits major.minor (0x0204 = 2.4).
constexpr std::uint32_t kVersion = 0x02040000;

// The most a stream's gain may lift it (+24 dB): beyond that a "title" is
// near silence, and lifting its noise floor helps nobody.
constexpr float kMaxChannelGain = 15.848932f;
// The loudest sample a levelled stream may give (-1 dBFS, before its volume).
constexpr float kLevelledCeiling = 0.89125094f;
// The loudest sample real audio decodes to (+12 dBFS: lossy decoders overshoot
// full scale by a few dB at most). Anything beyond is damage, which the mixer's
// limiter takes care of; it never lowers a levelled gain further.
constexpr float kLoudestRealSample = 3.9810717f;

enum ActiveState : int { kStopped = 0, kPlaying = 1, kStalled = 2, kPaused = 3 };

struct PluginFormat {
  std::string name;        // e.g. "Windows Media Audio"
  std::string extensions;  // ";"-separated patterns, e.g. "*.wma"
};

struct PluginInfo {
  std::string name;  // the plug-in's name, e.g. "orvela-wma"
  std::vector<PluginFormat> formats;
};

// The sound device. The layer pulls interleaved stereo float frames from it.
class AudioOutput {
 public:
  // Fills `frames` stereo frames (2 * frames floats) of the mix.
  using RenderFunction = std::function<void(float* interleaved, int frames)>;
  virtual ~AudioOutput() = default;
  // Opens the device at `rate` Hz; false when no device could be opened.
  virtual bool Open(int rate, RenderFunction render) = 0;
  virtual void Close() = 0;
  // True for outputs that may wait for the decoders inside the render call
  // (tests); asked again for every block. A real-time device never waits: a
  // channel without data is stalled instead.
  virtual bool WaitsForData() const { return false; }
};

// Output for the program: SDL2's default device (PipeWire, PulseAudio, ALSA, or
// the drivers chosen by SDL_AUDIODRIVER, e.g. "dummy" or "disk", which count
// as devices).
std::unique_ptr<AudioOutput> MakeSdlOutput();

// Output that discards the mix but keeps real time (a 10 ms period on its own
// thread), for a deliberate silent run. The layer never chooses it by itself.
std::unique_ptr<AudioOutput> MakeNullOutput();

// The notification procedure of an end-of-stream sync: called once, on an audio
// thread, when the channel plays to its end. epoch is the stream's
// ChannelEpoch at the moment the mix reached the end.
using SyncProc = std::function<void(Handle sync, Handle channel, std::uint32_t epoch)>;

class AudioLayer {
 public:
  explicit AudioLayer(std::unique_ptr<AudioOutput> output);
  ~AudioLayer();
  AudioLayer(const AudioLayer&) = delete;
  AudioLayer& operator=(const AudioLayer&) = delete;

  static std::uint32_t GetVersion() noexcept;
  // Whether FFmpeg and its WMA decoder are present: the start-up check of the program.
  static bool IsAvailable() noexcept;
  static bool HasWmaPlugin() noexcept;

  // Opens the output at `rate` (the device number is ignored: always the
  // default device). False if already initialised or the output could not be
  // opened. Without a device no stream opens and nothing plays (a queue must
  // not run through unheard); each StreamCreateFile and MusicLoad looks for the
  // device again, so one that appears later (a USB sound card plugged in, a
  // sound server started late) is used from then on. Nothing opens before Init
  // or after Free.
  bool Init(int device, int rate) noexcept;
  // Releases the device and every stream.
  void Free() noexcept;
  // Whether the output device is open (as of the last Init or open attempt):
  // a stream that failed to open with the device there failed for its file.
  bool HasOutput() noexcept;

  // The built-in format plug-ins (the WMA plug-in among them).
  static std::vector<PluginInfo> Plugins() noexcept;

  // path: code page (its UTF-8 spelling is tried first, then its bytes as they
  // stand). Any audio FFmpeg decodes except tracker modules, at 4 to 384 kHz;
  // 0 for missing, damaged or unrecognised files, for anything that is not a
  // regular file (a FIFO or a device is never waited for), and while there is
  // no output device. At most 64 streams at a time.
  Handle StreamCreateFile(const std::string& path, std::uint32_t flags) noexcept;
  // Tracker modules through FFmpeg's libopenmpt demuxer, rendered at the
  // output rate (files over 64 MB are refused); 0 where that fails.
  Handle MusicLoad(const std::string& path, std::uint32_t flags) noexcept;
  bool StreamFree(Handle h) noexcept;

  // Without restart a paused or stopped stream goes on where it stood; a
  // stream that played to its end starts again from the beginning.
  bool ChannelPlay(Handle h, bool restart) noexcept;
  // Readies the stream at its beginning, paused: nothing of it is heard until
  // ChannelPlay without restart starts it there. Counts as a start for
  // ChannelEpoch.
  bool ChannelCue(Handle h) noexcept;
  bool ChannelPause(Handle h) noexcept;
  bool ChannelStop(Handle h) noexcept;
  int ChannelIsActive(Handle h) noexcept;
  // Counts the stream's ChannelPlay and ChannelStop calls (0 on a bad handle).
  // An end report whose epoch differs from this one was overtaken by a stop or
  // a new start on its way, however short the moment between them.
  std::uint32_t ChannelEpoch(Handle h) noexcept;

  // Volumes are clamped to 0..1. A slide is a linear ramp applied sample by
  // sample in output time (it runs on while the stream is paused); a later
  // set cancels it.
  bool ChannelSetVolume(Handle h, float volume) noexcept;                 // at once
  bool ChannelSlideVolume(Handle h, float target, std::uint32_t ms) noexcept;  // inside the layer
  float ChannelGetVolume(Handle h) noexcept;  // the current value; -1 on a bad handle
  // A fixed factor on the stream's decoded samples, applied before its volume
  // (and so before every set, slide and fade): the loudness levelling of one
  // title. 1 (the default) leaves the samples exactly as decoded. Refused when
  // negative or not finite; at most kMaxChannelGain. Any other gain is lowered
  // at once, and for the rest of the play, where a sample would leave above
  // kLevelledCeiling: the gain was worked out from what the file's tags or a
  // stored measurement said, and the samples played are what counts.
  bool ChannelSetGain(Handle h, float gain) noexcept;
  // The gain now (lower than the one set once the ceiling acted); -1 on a bad handle.
  float ChannelGetGain(Handle h) noexcept;

  // Bytes of decoded audio as 16-bit stereo at the stream's own sample rate
  // (4 bytes a frame, whatever the file's channel count or sample format), so
  // ChannelBytes2Seconds(h, b) is exactly b / (4 * rate). With kFlagPrescan an
  // MPEG stream's length is exact to the frame (encoder delay and padding
  // removed); otherwise it is the container's estimate until the decoder has
  // reached the end, then the exact count. Positions are clamped to the length.
  std::int64_t ChannelGetPosition(Handle h) noexcept;  // -1 on a bad handle
  std::int64_t ChannelGetLength(Handle h) noexcept;    // -1 on a bad handle
  // Rounds down to a whole frame. Exactly the length plays nothing and ends at
  // once; beyond it (or negative) fails without effect.
  bool ChannelSetPosition(Handle h, std::int64_t bytes) noexcept;
  double ChannelBytes2Seconds(Handle h, std::int64_t bytes) noexcept;  // negative on a bad handle
  int ChannelGetRate(Handle h) noexcept;  // the stream's own sample rate; 0 on a bad handle

  // End-of-stream sync; returns the sync handle (0 on failure). Called each time
  // the stream plays to its end. An end not yet delivered when the stream is
  // freed is dropped; one already being delivered may still arrive.
  Handle ChannelSetSyncEnd(Handle h, SyncProc proc) noexcept;

  // flags kDataFft1024: fills 512 magnitudes of the last 1024 samples played
  // (mono mix of the channel before its volume, Hann window; a full-scale sine
  // peaks near 1.0). Returns false on a bad handle or other flags.
  bool ChannelGetData(Handle h, float* buffer, std::uint32_t flags) noexcept;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace orvela::audio
