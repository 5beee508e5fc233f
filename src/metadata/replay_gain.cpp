#include "metadata/replay_gain.h"

#include <taglib/fileref.h>
#include <taglib/mp4file.h>
#include <taglib/opusfile.h>
#include <taglib/tfilestream.h>
#include <taglib/tpropertymap.h>

#include <charconv>
#include <cmath>

#include "common/file_open.h"
#include "metadata/tagged_file_survey.h"

namespace orvela {
namespace {

// Values beyond these are no ReplayGain a tagger wrote but damage.
constexpr double kMaxGainDb = 60.0;
constexpr double kMaxPeak = 100.0;

std::optional<std::string> PropertyText(const TagLib::PropertyMap& properties, const char* key) {
  const auto it = properties.find(key);
  if (it == properties.end() || it->second.isEmpty()) return std::nullopt;
  return it->second.front().to8Bit(true);
}

// MP4 keeps ReplayGain in freeform iTunes atoms, which the property map of
// this TagLib does not list.
std::optional<std::string> Mp4Text(TagLib::File* file, const char* name) {
  auto* mp4 = dynamic_cast<TagLib::MP4::File*>(file);
  if (mp4 == nullptr || mp4->tag() == nullptr) return std::nullopt;
  for (const char* prefix : {"----:com.apple.iTunes:", "----:org.hydrogenaudio.replaygain:"}) {
    const TagLib::String atom = TagLib::String(prefix) + TagLib::String(name);
    for (const TagLib::String& key : {atom, atom.upper()}) {
      if (!mp4->tag()->contains(key)) continue;
      const TagLib::StringList values = mp4->tag()->item(key).toStringList();
      if (!values.isEmpty()) return values.front().to8Bit(true);
    }
  }
  return std::nullopt;
}

}  // namespace

std::optional<double> ParseReplayGainNumber(const std::string& text) {
  std::size_t begin = text.find_first_not_of(" \t");
  if (begin == std::string::npos) return std::nullopt;
  if (text[begin] == '+') ++begin;
  double value = 0.0;
  const char* first = text.data() + begin;
  const char* last = text.data() + text.size();
  const auto [end, error] = std::from_chars(first, last, value);
  if (error != std::errc() || end == first || !std::isfinite(value)) return std::nullopt;
  std::string rest(end, last);
  rest.erase(0, rest.find_first_not_of(" \t"));
  while (!rest.empty() && (rest.back() == ' ' || rest.back() == '\t' || rest.back() == '\0')) rest.pop_back();
  if (!rest.empty() && rest != "dB" && rest != "db" && rest != "DB") return std::nullopt;
  return value;
}

std::optional<double> ParseOpusR128Gain(const std::string& text) {
  const char* first = text.data();
  const char* last = text.data() + text.size();
  if (first != last && *first == '+') {
    ++first;
    if (first != last && *first == '-') return std::nullopt;
  }
  int value = 0;
  const auto [end, error] = std::from_chars(first, last, value);
  if (error != std::errc() || end != last || first == last || value < -32768 || value > 32767) return std::nullopt;
  return value / 256.0;
}

std::optional<TReplayGain> ReadReplayGain(const std::string& nativePath) noexcept {
  try {
    // TagLib takes every header at its word: a box tree nested past any real
    // file's depth would end the jukebox here.
    if (!FitsReadBounds(nativePath)) return std::nullopt;
    const int fd = OpenRegularFileForReading(nativePath);
    if (fd < 0) return std::nullopt;
    // The stream owns the descriptor from here on.
    TagLib::FileStream stream(fd, true);
    if (!stream.isOpen()) return std::nullopt;
    TagLib::FileRef ref(&stream, false);
    if (ref.isNull() || ref.file() == nullptr) return std::nullopt;
    const TagLib::PropertyMap properties = ref.file()->properties();
    std::optional<std::string> gainText = PropertyText(properties, "REPLAYGAIN_TRACK_GAIN");
    std::optional<std::string> peakText = PropertyText(properties, "REPLAYGAIN_TRACK_PEAK");
    if (!gainText) gainText = Mp4Text(ref.file(), "replaygain_track_gain");
    if (!peakText) peakText = Mp4Text(ref.file(), "replaygain_track_peak");
    if (!gainText) {
      // Opus keeps its own gain beside the header's output gain (which the
      // decoder applies already): the title plays at -23 LUFS with it. It has
      // no peak.
      if (dynamic_cast<TagLib::Ogg::Opus::File*>(ref.file()) == nullptr) return std::nullopt;
      const std::optional<std::string> r128Text = PropertyText(properties, "R128_TRACK_GAIN");
      const std::optional<double> r128 = r128Text ? ParseOpusR128Gain(*r128Text) : std::nullopt;
      if (!r128) return std::nullopt;
      TReplayGain result;
      result.trackGainDb = *r128;
      result.referenceLufs = kOpusR128ReferenceLufs;
      return result;
    }
    const std::optional<double> gain = ParseReplayGainNumber(*gainText);
    if (!gain || std::fabs(*gain) > kMaxGainDb) return std::nullopt;
    TReplayGain result;
    result.trackGainDb = *gain;
    if (peakText) {
      const std::optional<double> peak = ParseReplayGainNumber(*peakText);
      if (peak && *peak > 0.0 && *peak <= kMaxPeak) result.trackPeak = *peak;
    }
    return result;
  } catch (...) {
    return std::nullopt;
  }
}

}  // namespace orvela
