#pragma once
// Frame index of an MPEG audio file: where each frame lies in the file and which
// stretch of the stream's audio it yields once the encoder's delay and padding
// are cut away. It gives the exact length and lets a seek start decoding at the
// right frame.
//
// The index stays small whatever the file claims: a walked file keeps one byte
// per frame (its bit-rate index and padding bit, which give its length) and one
// checkpoint of position and time every kStride frames; the demuxer's pass,
// needed only for damaged files, keeps full entries but only up to kMaxPackets.
// Anything larger is not indexed at all, and the caller plays the file through
// the demuxer's own seeking.
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
  // Frames per checkpoint of a walked index.
  static constexpr std::size_t kStride = 64;
  // A walk gives up (and the file is played unindexed) once the bytes it has
  // read plus kWalkFrameCost for each frame exceed kWalkBudget, so that opening
  // any file stays quick: reading a byte and looking at a frame header cost
  // about as much as 1 and 64 bytes of copying. That is 128 MiB of the largest
  // frames (some 50 minutes at 320 kbit/s, 140 at 128) or 1.5 million of the
  // smallest; the index then holds at most 1.9 MB.
  static constexpr std::uint64_t kWalkBudget = std::uint64_t{128} << 20;
  static constexpr std::uint64_t kWalkFrameCost = 64;
  // Where no frame starts within this many bytes behind the last one, the audio
  // has ended: whatever follows (tags, padding, a disk image's zeros) is not
  // searched to its end.
  static constexpr std::uint64_t kEndSearchBytes = 256 * 1024;
  // The demuxer's pass keeps at most this many packets (about 45 minutes of
  // 44.1 kHz Layer III): it only serves damaged files, and it is slow.
  static constexpr std::size_t kMaxPackets = 1u << 16;

  // Reads every packet of `stream` from the current (start) position, `first`
  // being the one already read. False when the demuxer gives no file positions
  // or no frames, or more than kMaxPackets.
  bool Build(AVFormatContext* format, int stream, int sampleRate, AVPacket* first);

  // The same index from the file's bytes alone, an order of magnitude faster:
  // frame headers are walked from `firstPos` (where the demuxer found the first
  // audio frame; `startSkip` is the delay it asked to cut there), and the end
  // padding is read from the encoder's info frame just before it. False where
  // the file strays from what the walk understands (free-format bit rates, a
  // frame that does not follow its predecessor, a different layer or rate, audio
  // again after junk or a tag) or exceeds the walk's limits; the caller then
  // falls back to Build.
  bool BuildFromBytes(const std::uint8_t* data, std::size_t size, std::size_t firstPos,
                      std::int64_t startSkip);
  // The same, reading the file in blocks through `fd` (pread; the offset is not moved).
  bool BuildFromFile(int fd, std::uint64_t size, std::uint64_t firstPos, std::int64_t startSkip);

  bool empty() const { return frames_ == 0; }
  std::size_t size() const { return frames_; }
  std::int64_t TotalFrames() const { return total_; }
  // Frame i (< size()); costs up to kStride steps for a walked index.
  MpegFrameEntry Entry(std::size_t i) const;
  // Index of the entry whose kept samples hold stream position `frame`
  // (the last entry for positions at or past the end).
  std::size_t EntryFor(std::int64_t frame) const;
  // Heap bytes the index holds.
  std::size_t MemoryBytes() const;

 private:
  struct Checkpoint {
    std::int64_t filePos;
    std::int64_t start;
  };
  template <typename Source>
  bool Walk(Source& source, std::uint64_t size, std::uint64_t firstPos, std::int64_t startSkip);
  void Clear();
  // The kept range of walked frame i, as offsets into its samples.
  void WalkedKeep(std::size_t i, std::int32_t* keepBegin, std::int32_t* keepEnd) const;
  void AddPacket(MpegFrameEntry e, std::int64_t skipStart, std::int64_t skipEnd, std::int64_t& carry);

  std::size_t frames_ = 0;
  std::int64_t total_ = 0;

  // Walked: frames follow each other without a gap and share version, layer and
  // rate; each frame's code is 2 * bit-rate index + padding.
  std::vector<std::uint8_t> codes_;
  std::vector<Checkpoint> checkpoints_;
  std::int32_t lengths_[32] = {};  // frame length by code
  std::int32_t samplesPerFrame_ = 0;
  std::int64_t startSkip_ = 0;
  bool info_ = false;           // the encoder's info frame gave the end padding
  std::int64_t firstDiscard_ = 0;
  std::int64_t lastDiscard_ = 0;

  // From the demuxer's pass: every packet in full.
  std::vector<MpegFrameEntry> packets_;
};

}  // namespace orvela::audio
