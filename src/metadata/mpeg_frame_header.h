#pragma once
// The four bytes that open every MPEG audio frame (MPEG-1, MPEG-2 and MPEG-2.5,
// Layers I to III) and the Xing/Info fields an encoder may put into the first
// frame. They are decoded in this one place: the stream reader's frame search
// and the audio layer's frame index read frames through it, and each applies its
// own rules about which frames it accepts.
#include <cstddef>
#include <cstdint>

namespace orvela {

struct MpegFrameHeader {
  std::int32_t Version = 0;  // 1 = MPEG-1, 2 = MPEG-2, 3 = MPEG-2.5
  std::int32_t Layer = 0;
  bool Protection = false;
  std::uint16_t Bitrate = 0;  // kbit/s; 0 for free format
  std::int32_t SampleRate = 0;
  std::uint8_t ChannelMode = 0;  // 3 = mono
  std::uint8_t ModeExtension = 0;
  bool Copyright = false;
  bool Original = false;
  std::uint8_t Emphasis = 0;
  bool Padding = false;
  std::uint16_t FrameLength = 0;  // bytes, padding included
  bool Valid = false;
};

// The header at data[offset]; invalid when fewer than four bytes are there, the
// eleven sync bits are missing, the version, layer or sample-rate index is
// reserved, the bit-rate index is 15 or the frame has no length. Free format
// (bit-rate index 0) is decoded with Bitrate 0 and a length of the padding
// alone. Which bit rates a layer allows in which channel mode is left to the
// caller (see MpegLayerTwoModeAllowed).
MpegFrameHeader DecodeMpegFrameHeader(const std::uint8_t* data, std::size_t size, std::size_t offset);

// kbit/s for bit-rate index 0..14 of this version and layer (0 is free format);
// 0 for an index, version or layer that has none.
std::uint16_t MpegBitrateKbps(std::int32_t version, std::int32_t layer, unsigned index);

// Frame length in bytes, padding included; 0 for combinations that give no
// frame (an unknown layer, no sample rate, or more than 16 bits of length).
std::uint16_t MpegFrameLength(std::int32_t version, std::int32_t layer, std::uint32_t bitrateKbps,
                              std::int32_t sampleRate, bool padding);

// The k of the frame-length formula (bytes = k * bit rate / sample rate, bit
// rate in bit/s): 48 for Layer I, 72 for Layer III of MPEG-2 and 2.5, else 144.
std::int64_t MpegFrameCoefficient(std::int32_t version, std::int32_t layer);

// Samples a frame of this version and layer decodes to: 384 (Layer I), 1152
// (Layer II, and Layer III of MPEG-1) or 576 (Layer III of MPEG-2 and 2.5); 0
// for anything else.
int MpegSamplesPerFrame(std::int32_t version, std::int32_t layer);
// The same from header bytes, judged on the sync, version and layer bits alone.
int MpegSamplesPerFrame(const std::uint8_t* header, std::size_t size);

// MPEG-1 Layer II gives its lowest bit rates (32, 48, 56, 80) to mono only and
// its highest (224, 256, 320, 384) to two channels only. True for every other
// version and layer.
bool MpegLayerTwoModeAllowed(const MpegFrameHeader& header);

// Where a Xing/Info tag starts, counted from the frame's first byte: behind the
// header and the side information, whose size depends on version and channels.
std::size_t MpegXingOffset(const MpegFrameHeader& header);

struct MpegXingFields {
  bool Found = false;   // "Xing" or "Info" and the four flag bytes lie inside the data
  bool IsInfo = false;  // spelled "Info" (what encoders write into constant-bit-rate files)
  std::size_t Offset = 0;  // of the tag name, from the frame's first byte
  std::uint32_t Flags = 0;
  bool HasFrames = false;  // the frame-count flag is set and the count lies inside the data
  std::uint32_t Frames = 0;
  // From the frame's first byte: behind every field the flags announce (frame
  // count, byte count, table of contents, quality), where an encoder's own tag
  // begins. It may lie beyond the data; the caller checks.
  std::size_t End = 0;
};

// The Xing/Info fields of the frame that starts at data[offset] and has the
// given header, read from data[offset, size) only.
MpegXingFields ReadMpegXingFields(const MpegFrameHeader& header, const std::uint8_t* data,
                                  std::size_t size, std::size_t offset);

// The frame count of a Fraunhofer VBRI header, which stands 32 bytes behind the
// frame header whatever the version and channels: "VBRI", version, delay,
// quality (2 bytes each), byte count and frame count (4 bytes each, big-endian).
struct MpegVbriFields {
  bool Found = false;  // "VBRI" and the frame count lie inside the data
  std::uint32_t Frames = 0;
};
inline constexpr std::size_t kMpegVbriOffset = 36;  // from the frame's first byte

MpegVbriFields ReadMpegVbriFields(const std::uint8_t* data, std::size_t size, std::size_t offset);

}  // namespace orvela
