#pragma once
// Finds the first genuine MPEG audio frame of a stream and works out the bit
// rate, frame count and playing time from it, or from the frame count a Xing
// header (or, where the frame's own rate would mislead, an Info or VBRI header) holds.
#include <cstddef>
#include <cstdint>
#include <istream>
#include <span>
#include <string_view>

#include "metadata/mpeg_frame_header.h"
#include "metadata/tag_source.h"

namespace orvela {

struct XingInfo {
  std::int32_t Frames = 0;  // 0 when the header carries no frame count
  std::uint16_t FrameLength = 0;
  bool Found = false;
};

class TMpegInfo {
 public:
  static constexpr std::uint8_t kFound = 0;
  static constexpr std::uint8_t kNotFound = 13;
  // Bytes of the first frame the search looks at in one go.
  static constexpr std::size_t kWindowSize = 512;
  // How far behind its start the search looks for the first frame. A real
  // file's audio begins right behind its tags (at worst behind a picture a
  // tag's size left out); a gigabyte of anything else would cost seconds.
  static constexpr std::int64_t kMaxSearchBytes = std::int64_t{8} << 20;

  std::int64_t FileSize = 0;
  std::int32_t Version = 0;
  std::int32_t Layer = 0;
  bool Protection = false;
  std::uint16_t Bitrate = 0;
  std::int32_t SampleRate = 0;
  std::uint8_t ChannelMode = 0;
  std::uint8_t ModeExtension = 0;
  bool Copyright = false;
  bool Original = false;
  std::uint8_t Emphasis = 0;
  std::int32_t Frames = 0;
  std::int32_t Duration = 0;  // whole seconds, truncated
  bool IsVBR = false;
  bool Valid = false;
  std::int64_t FirstHeaderPosition = 0;  // -1 after a search that found nothing

  TMpegInfo() = default;

  // Searches from the stream's current position for a frame followed by two
  // more, whose header begins within kMaxSearchBytes; answers kFound or
  // kNotFound. Moves the stream position. Never throws.
  std::uint8_t ReadFromStream(std::istream& stream);
  // The same from `start` of any source; the one the others share.
  std::uint8_t ReadFromSource(TTagSource& source, std::int64_t start);
  // The same over a block of memory holding the whole stream.
  std::uint8_t ReadFromBuffer(std::string_view bytes, std::int64_t start = 0);

  // Four header bytes at data[offset]; invalid when fewer than four are there.
  static MpegFrameHeader ParseFrameHeader(const std::uint8_t* data, std::size_t size,
                                          std::size_t offset);
  // 0 for combinations that give no frame at all.
  static std::uint16_t GetFrameLength(std::int32_t version, std::int32_t layer,
                                      std::uint32_t bitrateKbps, std::int32_t sampleRate,
                                      bool padding);
  // Looks for a Xing header in the frame that starts at data[offset].
  static XingInfo FindXingHeader(const MpegFrameHeader& header, const std::uint8_t* data,
                                 std::size_t size, std::size_t offset);

 private:
  // False when the figures cannot be computed (a division by zero): the caller
  // then rejects the candidate.
  bool ComputeFigures(const MpegFrameHeader& first, const XingInfo& xing, std::int64_t offset);
  // Bit rate and playing time from a frame count, as a Xing header gives them:
  // the average over the audio behind the first frame. False when they cannot
  // be computed; the fields written may then hold anything.
  bool ComputeFromFrameCount(const MpegFrameHeader& first, std::uint32_t frames, std::int64_t offset);
  // The frame count of the two headers besides Xing's, where the first frame's
  // own rate would time the file wrongly: an "Info" header (Xing's twin in
  // constant-rate files) in a frame whose bit rate differs from the next one's,
  // as old encoders put a 64 kbit/s Info frame before 128 kbit/s audio (the
  // stream stays constant-rate); a Fraunhofer "VBRI" header (variable rate).
  // False when there is no such count or it cannot be used: the frame is then
  // timed as any other.
  bool ComputeFromOtherFrameCount(const MpegFrameHeader& first, const MpegFrameHeader& next,
                                  std::span<const std::uint8_t> block, std::int64_t offset);
  std::uint8_t Search(TTagSource& source, std::int64_t start);
};

}  // namespace orvela
