#include "playback/loudness_store.h"

#include <sys/stat.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string_view>

#include "common/atomic_file.h"
#include "common/file_open.h"
#include "playback/audio/audio_layer.h"

namespace orvela {
namespace {

constexpr std::string_view kHeader = "Orvela-Lautheit 1";
constexpr double kCeilingDbfs = -1.0;

// Numbers in the file never depend on the locale (the program runs German).
void AppendNumber(std::string& out, double value) {
  if (std::isinf(value)) {
    out += value < 0 ? "-inf" : "inf";
    return;
  }
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  out.append(buffer, result.ptr);
}

void AppendNumber(std::string& out, std::int64_t value) {
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  out.append(buffer, result.ptr);
}

bool ReadNumber(std::string_view text, double* value) {
  if (text == "-inf") {
    *value = -HUGE_VAL;
    return true;
  }
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), *value);
  return error == std::errc() && end == text.data() + text.size() && std::isfinite(*value);
}

bool ReadNumber(std::string_view text, std::int64_t* value) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), *value);
  return error == std::errc() && end == text.data() + text.size() && !text.empty();
}

// One line: size, mtime, loudness, peak, source, path (last, so it may hold tabs).
std::optional<std::pair<std::string, TLoudnessEntry>> ParseLine(std::string_view line) {
  std::string_view fields[5];
  for (std::string_view& field : fields) {
    const std::size_t tab = line.find('\t');
    if (tab == std::string_view::npos) return std::nullopt;
    field = line.substr(0, tab);
    line.remove_prefix(tab + 1);
  }
  TLoudnessEntry entry;
  if (!ReadNumber(fields[0], &entry.stamp.size) || !ReadNumber(fields[1], &entry.stamp.mtimeNs) ||
      !ReadNumber(fields[2], &entry.facts.loudness) || !ReadNumber(fields[3], &entry.facts.peak))
    return std::nullopt;
  // A carriage return in a name would not survive the next save and load. A
  // loudness or peak no title has is no measurement, whoever wrote it.
  if (entry.stamp.size < 0 || !PlausibleLoudness(entry.facts) || line.empty() ||
      line.find('\r') != std::string_view::npos)
    return std::nullopt;
  if (fields[4] == "M") {
    entry.source = TLoudnessSource::Measured;
  } else if (fields[4] == "R") {
    entry.source = TLoudnessSource::ReplayGain;
  } else {
    return std::nullopt;
  }
  return std::make_pair(std::string(line), entry);
}

}  // namespace

std::optional<TFileStamp> TLoudnessStore::StampOf(const std::string& path) {
  struct stat info {};
  if (::stat(ResolveCodePagePath(path).c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
  return TFileStamp{static_cast<std::int64_t>(info.st_size),
                    static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec};
}

bool TLoudnessStore::Load(const std::string& nativeFile) {
  entries_.clear();
  const std::optional<std::string> text = ReadOwnFile(nativeFile, kMaxFileBytes);
  if (!text) return false;
  std::string_view rest(*text);
  bool first = true;
  while (!rest.empty()) {
    std::size_t end = rest.find('\n');
    std::string_view line = rest.substr(0, end);
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (first) {
      first = false;
      if (line != kHeader) return false;
      continue;
    }
    // A torn or hand-damaged line costs that title a new measurement, no more.
    if (auto parsed = ParseLine(line)) entries_[std::move(parsed->first)] = parsed->second;
  }
  return !first;
}

bool TLoudnessStore::Save(const std::string& nativeFile) const {
  std::string out;
  out.reserve(64 + entries_.size() * 96);
  out.append(kHeader).push_back('\n');
  for (const auto& [path, entry] : entries_) {
    AppendNumber(out, entry.stamp.size);
    out.push_back('\t');
    AppendNumber(out, entry.stamp.mtimeNs);
    out.push_back('\t');
    AppendNumber(out, entry.facts.loudness);
    out.push_back('\t');
    AppendNumber(out, entry.facts.peak);
    out.push_back('\t');
    out.push_back(static_cast<char>(entry.source));
    out.push_back('\t');
    out.append(path).push_back('\n');
  }
  return WriteOwnFile(nativeFile, out);
}

std::optional<TLoudnessEntry> TLoudnessStore::Find(const std::string& path, const TFileStamp& stamp) const {
  const auto it = entries_.find(path);
  if (it == entries_.end() || !(it->second.stamp == stamp)) return std::nullopt;
  return it->second;
}

std::optional<TLoudnessEntry> TLoudnessStore::Find(const std::string& path) const {
  if (entries_.find(path) == entries_.end()) return std::nullopt;
  const std::optional<TFileStamp> stamp = StampOf(path);
  if (!stamp) return std::nullopt;
  return Find(path, *stamp);
}

void TLoudnessStore::Put(const std::string& path, const TLoudnessEntry& entry) {
  // A name with a line break could not be read back as one line.
  if (path.empty() || path.find_first_of("\r\n") != std::string::npos) return;
  entries_[path] = entry;
}

bool PlausibleLoudness(const audio::LoudnessFacts& facts) {
  const double peak = facts.peak;
  if (!(peak <= audio::kLoudestRealSample)) return false;  // NaN too
  if (std::isinf(facts.loudness) && facts.loudness < 0) return peak >= 0.0;
  return facts.loudness >= kQuietestLoudness && facts.loudness <= kLoudestLoudness && peak >= kLowestPeak &&
         facts.loudness <= 20.0 * std::log10(peak) + kMostLoudnessAbovePeakDb;
}

float LevellingGain(const audio::LoudnessFacts& facts, double targetLufs) {
  if (!PlausibleLoudness(facts) || !std::isfinite(facts.loudness) || !std::isfinite(targetLufs)) return 1.0f;
  double gainDb = targetLufs - facts.loudness;
  const double peakDb = 20.0 * std::log10(facts.peak);
  gainDb = std::min(gainDb, kCeilingDbfs - peakDb);
  const double gain = std::pow(10.0, gainDb / 20.0);
  return static_cast<float>(std::min<double>(gain, audio::kMaxChannelGain));
}

std::optional<audio::LoudnessFacts> LoudnessFromReplayGain(const TReplayGain& tags) {
  audio::LoudnessFacts facts;
  facts.loudness = tags.referenceLufs - tags.trackGainDb;
  // Without a peak the ceiling cannot be kept; full scale is the safe guess.
  // A peak no title has (or one that does not fit the loudness) makes the
  // whole tag suspect: what wrote it may have got the gain wrong as well.
  facts.peak = tags.trackPeak.value_or(1.0);
  if (!std::isfinite(facts.loudness) || !PlausibleLoudness(facts)) return std::nullopt;
  return facts;
}

}  // namespace orvela
