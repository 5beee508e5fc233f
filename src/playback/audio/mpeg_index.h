#pragma once
// Frame index of an MPEG audio file, built by one pass over its packets without
// decoding: where each frame lies in the file and which stretch of the stream's
// audio it yields once the encoder's delay and padding are cut away. It gives
// the exact length and lets a seek start decoding at the right frame.
#include <cstddef>
#include <cstdint>
#include <vector>

struct AVFormatContext;

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
  // Reads every packet of `stream` from the current (start) position. False when
  // the demuxer gives no file positions or no frames.
  bool Build(AVFormatContext* format, int stream, int sampleRate);

  std::int64_t TotalFrames() const { return total_; }
  const std::vector<MpegFrameEntry>& entries() const { return entries_; }
  // Index of the entry whose kept samples hold stream position `frame`
  // (the last entry for positions at or past the end).
  std::size_t EntryFor(std::int64_t frame) const;

 private:
  std::vector<MpegFrameEntry> entries_;
  std::int64_t total_ = 0;
};

// Samples per frame from an MPEG audio frame header; 0 when it is none.
int MpegSamplesPerFrame(const std::uint8_t* header, std::size_t size);

}  // namespace orvela::audio
