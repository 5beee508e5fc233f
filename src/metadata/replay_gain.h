#pragma once
// The ReplayGain track values a file may carry: ID3v2 TXXX frames in MP3,
// Vorbis comments in Ogg, Opus and FLAC, freeform atoms in MP4. Read through
// TagLib; a file without them, or with values that do not read as numbers,
// answers nothing, and nothing here ever throws.
#include <optional>
#include <string>

namespace orvela {

struct TReplayGain {
  double trackGainDb = 0.0;  // REPLAYGAIN_TRACK_GAIN, "-6.52 dB"
  // REPLAYGAIN_TRACK_PEAK, 1.0 = full scale; nullopt when the file has none.
  std::optional<double> trackPeak;
};

// nativePath: a file-system path. Only a regular file is opened (never a FIFO
// or a device, which could block).
std::optional<TReplayGain> ReadReplayGain(const std::string& nativePath) noexcept;

// "-6.52 dB", "+3.1dB", " 0.5 " read as numbers (the point is always the decimal
// sign, whatever the locale); nullopt for anything else.
std::optional<double> ParseReplayGainNumber(const std::string& text);

}  // namespace orvela
