#pragma once
// What the jukebox knows of its titles' loudness, kept in a file of its own in
// the program folder ("Lautheit.txt"): one line a title, keyed by its path
// together with its size and modification time, so a file that was replaced
// or re-encoded under the same name is measured again.
//
// The file is a cache. A missing, unreadable or damaged file (or a damaged
// line in it) only means measuring again: reading never fails loudly. It is
// replaced atomically on saving.
#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "metadata/replay_gain.h"
#include "playback/audio/loudness_meter.h"

namespace orvela {

// Which file a measurement belongs to. Stamps taken before measuring: a file
// changed meanwhile no longer matches and is measured once more.
struct TFileStamp {
  std::int64_t size = 0;
  std::int64_t mtimeNs = 0;
  bool operator==(const TFileStamp&) const = default;
};

enum class TLoudnessSource : char { Measured = 'M', ReplayGain = 'R' };

struct TLoudnessEntry {
  TFileStamp stamp;
  audio::LoudnessFacts facts;
  TLoudnessSource source = TLoudnessSource::Measured;
};

class TLoudnessStore {
 public:
  // The results file is refused beyond this size (a million titles fit).
  static constexpr std::size_t kMaxFileBytes = std::size_t{256} << 20;
  static constexpr const char* kFileName = "Lautheit.txt";

  // The stamp of a stored code-page path as it is on disk now; nullopt when it
  // is not a regular file.
  static std::optional<TFileStamp> StampOf(const std::string& path);

  // Replaces what is held by the file's content. Lines that do not read are
  // skipped; false (and nothing held) when the file is missing, too large or
  // not this kind of file. Like the kept queue, the file is the program's own:
  // a symbolic link under its name is neither read nor written through
  // (common/atomic_file.h, WriteOwnFile), it is replaced.
  bool Load(const std::string& nativeFile);
  // Atomic replacement; false when the file could not be written.
  bool Save(const std::string& nativeFile) const;

  // The entry for path if its stamp still matches `stamp`.
  std::optional<TLoudnessEntry> Find(const std::string& path, const TFileStamp& stamp) const;
  // The same, with the file's stamp as it is now.
  std::optional<TLoudnessEntry> Find(const std::string& path) const;
  void Put(const std::string& path, const TLoudnessEntry& entry);
  std::size_t Size() const { return entries_.size(); }

 private:
  std::map<std::string, TLoudnessEntry> entries_;  // by code-page path
};

// What real audio gives; a tag or a stored line saying otherwise says nothing.
// Loudness: from the meter's absolute gate (quieter is measured as silence,
// minus infinity) to above a full-scale square wave in both channels.
inline constexpr double kQuietestLoudness = -70.0;
inline constexpr double kLoudestLoudness = 6.0;
// Sample peak: from far below the quietest loudness to the most a lossy
// decoder overshoots full scale (audio::kLoudestRealSample).
inline constexpr double kLowestPeak = 0.0001;  // -80 dBFS
// Integrated loudness is a weighted mean square: both channels and the
// weighting's treble lift put it at most about 7 dB above the sample peak.
inline constexpr double kMostLoudnessAbovePeakDb = 10.0;

// Whether the facts could be a real title's: both in range, the loudness not
// far above the peak. A silent title (minus infinity) needs only a peak in range.
bool PlausibleLoudness(const audio::LoudnessFacts& facts);

// The factor a title's samples are multiplied by to sound at targetLufs: the
// difference of target and loudness, but never so much that the title's peak
// would rise above -1 dBFS (a quiet title with loud peaks is lifted only as
// far as its peaks allow). 1 for a silent title, one without a usable peak, or
// facts no real title has. Within the target's range (-40 to -5 LUFS) that
// keeps every gain between -46 dB and +24 dB.
float LevellingGain(const audio::LoudnessFacts& facts, double targetLufs);

// The loudness a track gain tag stands for: a title tagged with gain g against
// a reference of r LUFS measures r - g (ReplayGain's 89 dB SPL is taken as -18
// LUFS; Opus's R128 gain is against -23). Without a peak full scale is
// assumed. nullopt when loudness and peak could not be a real title's: the
// title is measured instead.
std::optional<audio::LoudnessFacts> LoudnessFromReplayGain(const TReplayGain& tags);

}  // namespace orvela
