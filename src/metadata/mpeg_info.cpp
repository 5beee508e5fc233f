#include "metadata/mpeg_info.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <span>
#include <vector>

namespace orvela {
namespace {

bool IsSyncWord(std::uint8_t b0, std::uint8_t b1) { return b0 == 0xFF && b1 >= 0xE0; }

std::int32_t ClampToInt32(std::int64_t value) {
  if (value > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
  if (value < std::numeric_limits<std::int32_t>::min()) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(value);
}

}  // namespace

std::uint16_t TMpegInfo::GetFrameLength(std::int32_t version, std::int32_t layer,
                                        std::uint32_t bitrateKbps, std::int32_t sampleRate,
                                        bool padding) {
  return MpegFrameLength(version, layer, bitrateKbps, sampleRate, padding);
}

MpegFrameHeader TMpegInfo::ParseFrameHeader(const std::uint8_t* data, std::size_t size,
                                            std::size_t offset) {
  MpegFrameHeader h = DecodeMpegFrameHeader(data, size, offset);
  // MPEG-1 Layer II allows the lowest rates only in mono and the highest only
  // with two channels. MPEG-2 half-rate Layer II has no such restriction (its
  // encoders write 32 to 80 kbit/s stereo routinely), so it is not applied there.
  if (h.Valid && !MpegLayerTwoModeAllowed(h)) h.Valid = false;
  return h;
}

XingInfo TMpegInfo::FindXingHeader(const MpegFrameHeader& header, const std::uint8_t* data,
                                   std::size_t size, std::size_t offset) {
  XingInfo x;
  const MpegXingFields fields = ReadMpegXingFields(header, data, size, offset);
  // Only the "Xing" spelling counts here, and only with the twelve bytes of name,
  // flags and frame count inside the block, whether the count is flagged or not.
  if (!fields.Found || fields.IsInfo || size - offset < fields.Offset + 12) return x;
  x.Found = true;
  x.FrameLength = header.FrameLength;
  if (fields.HasFrames) x.Frames = static_cast<std::int32_t>(fields.Frames);
  return x;
}

bool TMpegInfo::ComputeFromFrameCount(const MpegFrameHeader& first, std::uint32_t n,
                                      std::int64_t offset) {
  // The count is unsigned on disk; a damaged huge count simply gives a tiny
  // average bit rate, which truncates to 0: no usable count.
  if (n == 0) return false;
  const std::int64_t audio = FileSize - offset - first.FrameLength;
  const double average = (static_cast<double>(SampleRate) / 1000.0) * static_cast<double>(audio) /
                         (static_cast<double>(n) * static_cast<double>(MpegFrameCoefficient(Version, Layer)));
  if (!std::isfinite(average) || average < 0 || average >= 9.0e18) return false;
  // Only the low 16 bits are kept, as the field holds no more.
  Bitrate = static_cast<std::uint16_t>(static_cast<std::uint64_t>(std::trunc(average)) & 0xFFFF);
  if (Bitrate == 0) return false;
  Duration = ClampToInt32(audio * 8 / (std::int64_t{Bitrate} * 1000));
  Frames = static_cast<std::int32_t>(n);
  return true;
}

bool TMpegInfo::ComputeFromOtherFrameCount(const MpegFrameHeader& first, const MpegFrameHeader& next,
                                           std::span<const std::uint8_t> block, std::int64_t offset) {
  const MpegXingFields info = ReadMpegXingFields(first, block.data(), block.size(), 0);
  if (info.Found && info.IsInfo) {
    // Timed by its own rate, an Info frame is right whenever the audio behind
    // it has that rate too; only a mismatch needs the count.
    if (!info.HasFrames || first.Bitrate == next.Bitrate) return false;
    IsVBR = false;
    return ComputeFromFrameCount(first, info.Frames, offset);
  }
  const MpegVbriFields vbri = ReadMpegVbriFields(block.data(), block.size(), 0);
  if (!vbri.Found) return false;
  IsVBR = true;
  return ComputeFromFrameCount(first, vbri.Frames, offset);
}

bool TMpegInfo::ComputeFigures(const MpegFrameHeader& first, const XingInfo& xing,
                               std::int64_t offset) {
  if (xing.Found) {
    IsVBR = true;
    return ComputeFromFrameCount(first, static_cast<std::uint32_t>(xing.Frames), offset);
  }
  IsVBR = false;
  const std::int64_t audio = FileSize - offset;
  Frames = ClampToInt32(audio / first.FrameLength);
  Bitrate = first.Bitrate;
  if (Bitrate == 0) return false;  // free format: no way to time it
  Duration = ClampToInt32(audio * 8 / (std::int64_t{Bitrate} * 1000));
  return true;
}

std::uint8_t TMpegInfo::ReadFromStream(std::istream& stream) {
  Valid = false;
  FirstHeaderPosition = -1;
  try {
    stream.clear();
    const std::streamoff start = stream.tellg();
    TTagSource source = TTagSource::FromStream(stream);
    return Search(source, start < 0 ? 0 : static_cast<std::int64_t>(start));
  } catch (...) {
    Valid = false;
    FirstHeaderPosition = -1;
    return kNotFound;
  }
}

std::uint8_t TMpegInfo::ReadFromBuffer(std::string_view bytes, std::int64_t start) {
  TTagSource source = TTagSource::FromMemory(
      {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()});
  return ReadFromSource(source, start);
}

std::uint8_t TMpegInfo::ReadFromSource(TTagSource& source, std::int64_t start) {
  try {
    return Search(source, start);
  } catch (...) {
    // Only the window read lets a failure through; a file that fails under us
    // has no frame we could trust.
    Valid = false;
    FirstHeaderPosition = -1;
    return kNotFound;
  }
}

std::uint8_t TMpegInfo::Search(TTagSource& source, std::int64_t start) {
  std::uint8_t result = kNotFound;
  Valid = false;
  FirstHeaderPosition = -1;
  FileSize = static_cast<std::int64_t>(source.Size());
  if (start < 0) start = 0;

  // Reused for every read of this search, so reading allocates at most once each.
  std::vector<std::uint8_t> windowStorage;
  std::vector<std::uint8_t> frameStorage;
  std::vector<std::uint8_t> syncStorage;
  windowStorage.reserve(kWindowSize);

  std::int64_t windowStart = start;
  std::span<const std::uint8_t> window =
      FileSize > start ? source.ReadAt(static_cast<std::uint64_t>(windowStart), kWindowSize, windowStorage)
                       : std::span<const std::uint8_t>{};

  const std::int64_t lastCandidate = std::min(FileSize - 4, start + kMaxSearchBytes - 1);
  for (std::int64_t c = start; c <= lastCandidate; ++c) {
    if (c + 4 >= windowStart + static_cast<std::int64_t>(window.size()) &&
        windowStart + static_cast<std::int64_t>(window.size()) < FileSize) {
      windowStart = c;
      window = source.ReadAt(static_cast<std::uint64_t>(windowStart), kWindowSize, windowStorage);
      // The file shrank under us: nothing further can be trusted.
      if (window.size() < 4) break;
    }
    const std::int64_t windowEnd = windowStart + static_cast<std::int64_t>(window.size());
    const auto inWindow = static_cast<std::size_t>(c - windowStart);
    const MpegFrameHeader first = ParseFrameHeader(window.data(), window.size(), inWindow);
    if (!first.Valid) continue;

    const std::int64_t second = c + first.FrameLength;
    if (second + 4 > FileSize) continue;
    const std::size_t blockLength = std::size_t{first.FrameLength} + 4;
    std::span<const std::uint8_t> block;
    if (inWindow + blockLength <= window.size()) {
      block = window.subspan(inWindow, blockLength);
    } else {
      try {
        block = source.ReadAt(static_cast<std::uint64_t>(c), blockLength, frameStorage);
      } catch (...) {
        continue;  // a read error counts as an invalid second header
      }
      if (block.size() != blockLength) continue;
    }
    const XingInfo xing = FindXingHeader(first, block.data(), block.size(), 0);
    const MpegFrameHeader next = ParseFrameHeader(block.data(), block.size(), first.FrameLength);
    if (!next.Valid) continue;

    const std::int64_t third = second + next.FrameLength;
    if (third + 3 > FileSize - 1) continue;
    std::uint8_t s0 = 0;
    std::uint8_t s1 = 0;
    if (third + 2 <= windowEnd) {
      const auto at = static_cast<std::size_t>(third - windowStart);
      s0 = window[at];
      s1 = window[at + 1];
    } else {
      std::span<const std::uint8_t> sync;
      try {
        sync = source.ReadAt(static_cast<std::uint64_t>(third), 2, syncStorage);
      } catch (...) {
        continue;
      }
      if (sync.size() != 2) continue;
      s0 = sync[0];
      s1 = sync[1];
    }
    if (!IsSyncWord(s0, s1)) continue;

    Version = first.Version;
    Layer = first.Layer;
    Protection = first.Protection;
    SampleRate = first.SampleRate;
    ChannelMode = first.ChannelMode;
    ModeExtension = first.ModeExtension;
    Copyright = first.Copyright;
    Original = first.Original;
    Emphasis = first.Emphasis;
    const bool counted = !xing.Found && ComputeFromOtherFrameCount(first, next, block, c);
    if (!counted && !ComputeFigures(first, xing, c)) continue;

    Valid = true;
    FirstHeaderPosition = c;
    result = kFound;
    break;
  }
  return result;
}

}  // namespace orvela
