#include "metadata/mpeg_info.h"

#include <array>
#include <cmath>
#include <limits>
#include <span>
#include <vector>

namespace orvela {
namespace {

// kbit/s by bit-rate index; index 15 never reaches these tables.
constexpr std::array<std::uint16_t, 15> kMpeg1Layer1 = {0,   32,  64,  96,  128, 160, 192, 224,
                                                       256, 288, 320, 352, 384, 416, 448};
constexpr std::array<std::uint16_t, 15> kMpeg1Layer2 = {0,   32,  48,  56,  64,  80,  96, 112,
                                                       128, 160, 192, 224, 256, 320, 384};
constexpr std::array<std::uint16_t, 15> kMpeg1Layer3 = {0,   32,  40,  48,  56,  64,  80, 96,
                                                       112, 128, 160, 192, 224, 256, 320};
constexpr std::array<std::uint16_t, 15> kMpeg2Layer1 = {0,   32,  48,  56,  64,  80,  96, 112,
                                                       128, 144, 160, 176, 192, 224, 256};
constexpr std::array<std::uint16_t, 15> kMpeg2Layer23 = {0,  8,  16, 24,  32,  40,  48, 56,
                                                        64, 80, 96, 112, 128, 144, 160};

// Hz by version (1..3) and sample-rate index 0..2.
constexpr std::array<std::array<std::int32_t, 3>, 3> kSampleRates = {{
    {44100, 48000, 32000},
    {22050, 24000, 16000},
    {11025, 12000, 8000},
}};

std::uint16_t BitrateFromTable(std::int32_t version, std::int32_t layer, unsigned index) {
  if (version == 1) {
    if (layer == 1) return kMpeg1Layer1[index];
    if (layer == 2) return kMpeg1Layer2[index];
    return kMpeg1Layer3[index];
  }
  if (layer == 1) return kMpeg2Layer1[index];
  return kMpeg2Layer23[index];
}

// The coefficient of the frame-length formula, used to turn a Xing frame count
// back into an average bit rate.
std::int64_t FrameCoefficient(std::int32_t version, std::int32_t layer) {
  if (layer == 1) return 48;
  if (layer == 3 && version != 1) return 72;
  return 144;
}

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
  if (sampleRate <= 0) return 0;
  const std::uint64_t b = bitrateKbps;
  const auto s = static_cast<std::uint64_t>(sampleRate);
  const std::uint64_t p = padding ? 1 : 0;
  std::uint64_t length = 0;
  if (layer == 1) {
    length = 4 * (12000 * b / s + p);
  } else if (layer == 2 || (layer == 3 && version == 1)) {
    length = 144000 * b / s + p;
  } else if (layer == 3) {
    length = 72000 * b / s + p;
  }
  return length > std::numeric_limits<std::uint16_t>::max() ? 0 : static_cast<std::uint16_t>(length);
}

MpegFrameHeader TMpegInfo::ParseFrameHeader(const std::uint8_t* data, std::size_t size,
                                            std::size_t offset) {
  MpegFrameHeader h;
  if (data == nullptr || offset > size || size - offset < 4) return h;
  const std::uint8_t b0 = data[offset];
  const std::uint8_t b1 = data[offset + 1];
  const std::uint8_t b2 = data[offset + 2];
  const std::uint8_t b3 = data[offset + 3];
  if (!IsSyncWord(b0, b1)) return h;

  switch ((b1 >> 3) & 0x03) {
    case 3: h.Version = 1; break;
    case 2: h.Version = 2; break;
    case 0: h.Version = 3; break;
    default: return h;  // reserved
  }
  h.Layer = 4 - ((b1 >> 1) & 0x03);
  if (h.Layer == 4) return h;  // reserved
  h.Protection = (b1 & 0x01) == 0;

  const unsigned bitrateIndex = b2 >> 4;
  if (bitrateIndex == 15) return h;
  h.Bitrate = BitrateFromTable(h.Version, h.Layer, bitrateIndex);
  const unsigned rateIndex = (b2 >> 2) & 0x03;
  if (rateIndex == 3) return h;
  h.SampleRate = kSampleRates[static_cast<std::size_t>(h.Version - 1)][rateIndex];
  h.Padding = (b2 & 0x02) != 0;

  h.ChannelMode = static_cast<std::uint8_t>(b3 >> 6);
  h.ModeExtension = static_cast<std::uint8_t>((b3 >> 4) & 0x03);
  h.Copyright = (b3 & 0x08) != 0;
  h.Original = (b3 & 0x04) != 0;
  h.Emphasis = static_cast<std::uint8_t>(b3 & 0x03);

  // MPEG-1 Layer II allows the lowest rates only in mono and the highest only
  // with two channels. MPEG-2 half-rate Layer II has no such restriction (its
  // encoders write 32 to 80 kbit/s stereo routinely), so it is not applied there.
  if (h.Layer == 2 && h.Version == 1) {
    const bool mono = h.ChannelMode == 3;
    switch (h.Bitrate) {
      case 32: case 48: case 56: case 80:
        if (!mono) return h;
        break;
      case 224: case 256: case 320: case 384:
        if (mono) return h;
        break;
      default:
        break;
    }
  }

  h.FrameLength = GetFrameLength(h.Version, h.Layer, h.Bitrate, h.SampleRate, h.Padding);
  if (h.FrameLength == 0) return h;
  h.Valid = true;
  return h;
}

XingInfo TMpegInfo::FindXingHeader(const MpegFrameHeader& header, const std::uint8_t* data,
                                   std::size_t size, std::size_t offset) {
  XingInfo x;
  const bool mono = header.ChannelMode == 3;
  std::size_t skip = 0;
  if (header.Version == 1) {
    skip = mono ? 21 : 36;
  } else {
    skip = mono ? 13 : 21;
  }
  if (data == nullptr || offset > size || size - offset < skip + 12) return x;
  const std::uint8_t* p = data + offset + skip;
  if (p[0] != 'X' || p[1] != 'i' || p[2] != 'n' || p[3] != 'g') return x;
  x.Found = true;
  x.FrameLength = header.FrameLength;
  if ((p[7] & 0x01) != 0) {
    const std::uint32_t n = (std::uint32_t{p[8]} << 24) | (std::uint32_t{p[9]} << 16) |
                            (std::uint32_t{p[10]} << 8) | std::uint32_t{p[11]};
    x.Frames = static_cast<std::int32_t>(n);
  }
  return x;
}

bool TMpegInfo::ComputeFigures(const MpegFrameHeader& first, const XingInfo& xing,
                               std::int64_t offset) {
  if (xing.Found) {
    IsVBR = true;
    // The count is unsigned on disk; a damaged huge count simply gives a tiny
    // average bit rate, which truncates to 0 and rejects the frame.
    const std::uint32_t n = static_cast<std::uint32_t>(xing.Frames);
    if (n == 0) return false;
    const std::int64_t audio = FileSize - offset - first.FrameLength;
    const double average = (static_cast<double>(SampleRate) / 1000.0) * static_cast<double>(audio) /
                           (static_cast<double>(n) * static_cast<double>(FrameCoefficient(Version, Layer)));
    if (!std::isfinite(average) || average < 0 || average >= 9.0e18) return false;
    // Only the low 16 bits are kept, as the field holds no more.
    Bitrate = static_cast<std::uint16_t>(static_cast<std::uint64_t>(std::trunc(average)) & 0xFFFF);
    if (Bitrate == 0) return false;
    Duration = ClampToInt32(audio * 8 / (std::int64_t{Bitrate} * 1000));
    Frames = xing.Frames;
    return true;
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

  for (std::int64_t c = start; c <= FileSize - 4; ++c) {
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
    if (!ComputeFigures(first, xing, c)) continue;

    Valid = true;
    FirstHeaderPosition = c;
    result = kFound;
    break;
  }
  return result;
}

}  // namespace orvela
