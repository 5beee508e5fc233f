#include "metadata/mpeg_frame_header.h"

#include <array>
#include <cstring>
#include <limits>

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

}  // namespace

std::uint16_t MpegBitrateKbps(std::int32_t version, std::int32_t layer, unsigned index) {
  if (index >= 15 || version < 1 || version > 3 || layer < 1 || layer > 3) return 0;
  if (version == 1) {
    if (layer == 1) return kMpeg1Layer1[index];
    if (layer == 2) return kMpeg1Layer2[index];
    return kMpeg1Layer3[index];
  }
  if (layer == 1) return kMpeg2Layer1[index];
  return kMpeg2Layer23[index];
}

namespace {

// Version and layer from the second header byte; 0 for the reserved values.
std::int32_t VersionBits(std::uint8_t b1) {
  switch ((b1 >> 3) & 0x03) {
    case 3: return 1;
    case 2: return 2;
    case 0: return 3;
    default: return 0;
  }
}
std::int32_t LayerBits(std::uint8_t b1) {
  const std::int32_t layer = 4 - ((b1 >> 1) & 0x03);
  return layer == 4 ? 0 : layer;
}

bool IsSyncWord(std::uint8_t b0, std::uint8_t b1) { return b0 == 0xFF && b1 >= 0xE0; }

std::uint32_t BigEndian32(const std::uint8_t* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
         std::uint32_t{p[3]};
}

}  // namespace

std::uint16_t MpegFrameLength(std::int32_t version, std::int32_t layer, std::uint32_t bitrateKbps,
                              std::int32_t sampleRate, bool padding) {
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

std::int64_t MpegFrameCoefficient(std::int32_t version, std::int32_t layer) {
  if (layer == 1) return 48;
  if (layer == 3 && version != 1) return 72;
  return 144;
}

int MpegSamplesPerFrame(std::int32_t version, std::int32_t layer) {
  if (version < 1 || version > 3) return 0;
  switch (layer) {
    case 1: return 384;
    case 2: return 1152;
    case 3: return version == 1 ? 1152 : 576;
    default: return 0;
  }
}

int MpegSamplesPerFrame(const std::uint8_t* header, std::size_t size) {
  if (header == nullptr || size < 4 || !IsSyncWord(header[0], header[1])) return 0;
  return MpegSamplesPerFrame(VersionBits(header[1]), LayerBits(header[1]));
}

MpegFrameHeader DecodeMpegFrameHeader(const std::uint8_t* data, std::size_t size, std::size_t offset) {
  MpegFrameHeader h;
  if (data == nullptr || offset > size || size - offset < 4) return h;
  const std::uint8_t b0 = data[offset];
  const std::uint8_t b1 = data[offset + 1];
  const std::uint8_t b2 = data[offset + 2];
  const std::uint8_t b3 = data[offset + 3];
  if (!IsSyncWord(b0, b1)) return h;
  h.Version = VersionBits(b1);
  if (h.Version == 0) return h;
  h.Layer = LayerBits(b1);
  if (h.Layer == 0) return h;
  h.Protection = (b1 & 0x01) == 0;

  const unsigned bitrateIndex = b2 >> 4;
  if (bitrateIndex == 15) return h;
  h.Bitrate = MpegBitrateKbps(h.Version, h.Layer, bitrateIndex);
  const unsigned rateIndex = (b2 >> 2) & 0x03;
  if (rateIndex == 3) return h;
  h.SampleRate = kSampleRates[static_cast<std::size_t>(h.Version - 1)][rateIndex];
  h.Padding = (b2 & 0x02) != 0;

  h.ChannelMode = static_cast<std::uint8_t>(b3 >> 6);
  h.ModeExtension = static_cast<std::uint8_t>((b3 >> 4) & 0x03);
  h.Copyright = (b3 & 0x08) != 0;
  h.Original = (b3 & 0x04) != 0;
  h.Emphasis = static_cast<std::uint8_t>(b3 & 0x03);

  h.FrameLength = MpegFrameLength(h.Version, h.Layer, h.Bitrate, h.SampleRate, h.Padding);
  h.Valid = h.FrameLength != 0;
  return h;
}

bool MpegLayerTwoModeAllowed(const MpegFrameHeader& h) {
  if (h.Layer != 2 || h.Version != 1) return true;
  const bool mono = h.ChannelMode == 3;
  switch (h.Bitrate) {
    case 32: case 48: case 56: case 80: return mono;
    case 224: case 256: case 320: case 384: return !mono;
    default: return true;
  }
}

std::size_t MpegXingOffset(const MpegFrameHeader& h) {
  const bool mono = h.ChannelMode == 3;
  // Four header bytes, then 32 or 17 bytes of side information (MPEG-1), or 17
  // or 9 (MPEG-2 and 2.5).
  if (h.Version == 1) return mono ? 21 : 36;
  return mono ? 13 : 21;
}

MpegXingFields ReadMpegXingFields(const MpegFrameHeader& header, const std::uint8_t* data,
                                  std::size_t size, std::size_t offset) {
  MpegXingFields x;
  if (data == nullptr || offset > size) return x;
  const std::uint8_t* frame = data + offset;
  const std::size_t have = size - offset;
  x.Offset = MpegXingOffset(header);
  if (have < x.Offset + 8) return x;
  const std::uint8_t* tag = frame + x.Offset;
  const bool xing = std::memcmp(tag, "Xing", 4) == 0;
  const bool info = std::memcmp(tag, "Info", 4) == 0;
  if (!xing && !info) return x;
  x.Found = true;
  x.IsInfo = info;
  x.Flags = BigEndian32(tag + 4);
  std::size_t at = x.Offset + 8;
  if (x.Flags & 0x1) {
    if (have >= at + 4) {
      x.HasFrames = true;
      x.Frames = BigEndian32(frame + at);
    }
    at += 4;
  }
  if (x.Flags & 0x2) at += 4;    // byte count
  if (x.Flags & 0x4) at += 100;  // table of contents
  if (x.Flags & 0x8) at += 4;    // quality
  x.End = at;
  return x;
}

MpegVbriFields ReadMpegVbriFields(const std::uint8_t* data, std::size_t size, std::size_t offset) {
  MpegVbriFields v;
  constexpr std::size_t kFramesAt = kMpegVbriOffset + 14;
  if (data == nullptr || offset > size || size - offset < kFramesAt + 4) return v;
  const std::uint8_t* frame = data + offset;
  if (std::memcmp(frame + kMpegVbriOffset, "VBRI", 4) != 0) return v;
  v.Found = true;
  v.Frames = BigEndian32(frame + kFramesAt);
  return v;
}

}  // namespace orvela
