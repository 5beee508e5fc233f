#pragma once
// The ReplayGain track values a file may carry: ID3v2 TXXX frames in MP3,
// Vorbis comments in Ogg, Opus and FLAC, freeform atoms in MP4, and Opus's own
// R128_TRACK_GAIN where an Opus file has no ReplayGain. Read through
// TagLib; a file without them, or with values that do not read as numbers,
// answers nothing, and nothing here ever throws.
#include <optional>
#include <string>

namespace orvela {

// The loudness a track gain levels to: ReplayGain's 89 dB SPL, taken as -18
// LUFS, and the reference of Opus's own R128 gain.
inline constexpr double kReplayGainReferenceLufs = -18.0;
inline constexpr double kOpusR128ReferenceLufs = -23.0;

struct TReplayGain {
  double trackGainDb = 0.0;  // REPLAYGAIN_TRACK_GAIN, "-6.52 dB"
  // REPLAYGAIN_TRACK_PEAK, 1.0 = full scale; nullopt when the file has none.
  std::optional<double> trackPeak;
  // What trackGainDb brings the title to.
  double referenceLufs = kReplayGainReferenceLufs;
};

// nativePath: a file-system path. Only a regular file is opened (never a FIFO
// or a device, which could block).
std::optional<TReplayGain> ReadReplayGain(const std::string& nativePath) noexcept;

// R128_TRACK_GAIN's value: a whole number of 1/256 dB that fits 16 bits
// ("-2816" is -11 dB); nullopt for anything else.
std::optional<double> ParseOpusR128Gain(const std::string& text);

// "-6.52 dB", "+3.1dB", " 0.5 " read as numbers (the point is always the decimal
// sign, whatever the locale); nullopt for anything else.
std::optional<double> ParseReplayGainNumber(const std::string& text);

}  // namespace orvela
