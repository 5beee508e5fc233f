#pragma once
// Frame index of an MPEG audio file, built by one pass over its packets without
// decoding: where each frame lies in the file and which stretch of the stream's
// audio it yields once the encoder's delay and padding are cut away. It gives
// the exact length and lets a seek start decoding at the right frame.
#include <cstddef>
#include <cstdint>
#include <vector>

struct AVFormatContext;
struct AVPacket;

namespace orvela::audio {

struct MpegFrameEntry {
  std::int64_t filePos = 0;
  std::int32_t size = 0;
  std::int32_t samples = 0;    // samples the decoder produces for this frame
  std::int32_t keepBegin = 0;  // samples [keepBegin, keepEnd) are the stream's audio
  std::int32_t keepEnd = 0;
  std::int64_t start = 0;      // stream position of the first kept sample
};

class MpegIndex {
 public:
  // Reads every packet of `stream` from the current (start) position, `first`
  // being the one already read. False when the demuxer gives no file positions
  // or no frames.
  bool Build(AVFormatContext* format, int stream, int sampleRate, AVPacket* first);

  // The same index from the file's bytes alone, an order of magnitude faster:
  // frame headers are walked from `firstPos` (where the demuxer found the first
  // audio frame; `startSkip` is the delay it asked to cut there), and the end
  // padding is read from the encoder's info frame just before it. False where
  // the file strays from what the walk understands (free-format bit rates, a
  // frame that does not follow its predecessor, a different layer or rate);
  // the caller then falls back to Build.
  bool BuildFromBytes(const std::uint8_t* data, std::size_t size, std::size_t firstPos,
                      std::int64_t startSkip);

  std::int64_t TotalFrames() const { return total_; }
  const std::vector<MpegFrameEntry>& entries() const { return entries_; }
  // Index of the entry whose kept samples hold stream position `frame`
  // (the last entry for positions at or past the end).
  std::size_t EntryFor(std::int64_t frame) const;

 private:
  void Add(MpegFrameEntry e, std::int64_t skipStart, std::int64_t skipEnd, std::int64_t& carry);

  std::vector<MpegFrameEntry> entries_;
  std::int64_t total_ = 0;
};

// Samples per frame from an MPEG audio frame header; 0 when it is none.
int MpegSamplesPerFrame(const std::uint8_t* header, std::size_t size);

struct MpegHeader {
  int version = 0;  // 3 = MPEG-1, 2 = MPEG-2, 0 = MPEG-2.5
  int layer = 0;    // 1, 2 or 3
  int sampleRate = 0;
  int channels = 0;
  int frameBytes = 0;
  int samples = 0;
};
// Parses a frame header with a fixed bit rate; false for anything else.
bool ParseMpegHeader(const std::uint8_t* p, std::size_t size, MpegHeader* out);

}  // namespace orvela::audio
