#include "playback/audio/mpeg_index.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <span>

#include "metadata/mpeg_frame_header.h"
#include "playback/audio/ffmpeg_owners.h"

extern "C" {
#include <libavutil/intreadwrite.h>
}

namespace orvela::audio {
namespace {

// The longest frame there is: MPEG-2.5 Layer II at 160 kbit/s and 8 kHz, padded;
// the shortest: MPEG-2 Layer III at 8 kbit/s and 24 kHz.
constexpr std::size_t kMaxFrameBytes = 2881;
constexpr std::uint64_t kMinFrameBytes = 24;

// The frames the walk takes: a fixed bit rate (free format has no length in its
// header) and nothing reserved.
MpegFrameHeader WalkableFrame(std::span<const std::uint8_t> bytes) {
  MpegFrameHeader h = DecodeMpegFrameHeader(bytes.data(), bytes.size(), 0);
  if (h.Valid && h.Bitrate == 0) h.Valid = false;
  return h;
}

bool SameStream(const MpegFrameHeader& a, const MpegFrameHeader& b) {
  return a.Version == b.Version && a.Layer == b.Layer && a.SampleRate == b.SampleRate;
}

// The encoder's info frame ("Xing" or "Info", with a LAME-style tag) ending
// exactly at the end of `data`: the frame count and the padding cut at the
// stream's end.
bool ReadInfoFrame(const std::uint8_t* data, std::size_t end, std::int64_t* frames, int* endPad) {
  for (std::size_t k = 24; k <= kMaxFrameBytes && k <= end; ++k) {
    const std::uint8_t* f = data + end - k;
    const MpegFrameHeader h = WalkableFrame({f, k});
    if (!h.Valid || h.FrameLength != k || h.Layer != 3) continue;
    const MpegXingFields x = ReadMpegXingFields(h, f, k, 0);
    if (!x.Found) continue;
    if ((x.Flags & 1) && !x.HasFrames) return false;
    // Encoder name (9), revision, low-pass, peak (4), two gains (2 + 2), flags,
    // bit rate: then 12 bits of start delay and 12 of end padding.
    if (x.End + 24 > k) return false;
    const std::uint8_t* lame = f + x.End;
    if (std::memcmp(lame, "LAME", 4) != 0 && std::memcmp(lame, "Lavf", 4) != 0 &&
        std::memcmp(lame, "Lavc", 4) != 0)
      return false;
    *frames = x.HasFrames ? x.Frames : 0;
    *endPad = ((lame[21 + 1] & 0x0F) << 8) | lame[21 + 2];
    return true;
  }
  return false;
}

// The bytes of a file in memory.
class MemorySource {
 public:
  MemorySource(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  // Up to `want` bytes from `pos` (fewer at the end).
  std::span<const std::uint8_t> At(std::uint64_t pos, std::size_t want) const {
    if (pos >= size_) return {};
    return {data_ + pos, static_cast<std::size_t>(std::min<std::uint64_t>(want, size_ - pos))};
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
};

// The bytes of a file read in blocks: the walk moves forward, so nearly every
// request is served from the block already read.
class FileSource {
 public:
  static constexpr std::size_t kBlock = 1u << 20;
  FileSource(int fd, std::uint64_t size) : fd_(fd), size_(size), buffer_(new std::uint8_t[kBlock]) {}
  std::span<const std::uint8_t> At(std::uint64_t pos, std::size_t want) {
    if (pos >= size_) return {};
    want = static_cast<std::size_t>(std::min<std::uint64_t>(want, size_ - pos));
    if (pos < start_ || pos + want > start_ + length_) {
      if (!Fill(pos)) return {};
    }
    return {buffer_.get() + (pos - start_),
            static_cast<std::size_t>(std::min<std::uint64_t>(want, start_ + length_ - pos))};
  }

 private:
  bool Fill(std::uint64_t pos) {
    start_ = pos;
    length_ = 0;
    const std::size_t wanted = static_cast<std::size_t>(std::min<std::uint64_t>(kBlock, size_ - pos));
    while (length_ < wanted) {
      const ssize_t got = ::pread(fd_, buffer_.get() + length_, wanted - length_,
                                  static_cast<off_t>(pos + length_));
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) break;  // a read error or a file that shrank: the walk sees the end
      length_ += static_cast<std::size_t>(got);
    }
    return length_ > 0;
  }

  int fd_;
  std::uint64_t size_;
  std::unique_ptr<std::uint8_t[]> buffer_;
  std::uint64_t start_ = 0;
  std::uint64_t length_ = 0;
};

// Length of an ID3v2 tag starting at p (header, body and footer); 0 if none.
std::uint64_t Id3v2Length(std::span<const std::uint8_t> bytes) {
  const std::uint8_t* p = bytes.data();
  if (bytes.size() < 10 || std::memcmp(p, "ID3", 3) != 0 || p[3] == 0xFF || p[4] == 0xFF) return 0;
  if ((p[6] | p[7] | p[8] | p[9]) & 0x80) return 0;
  const std::uint64_t body = (std::uint64_t{p[6]} << 21) | (std::uint64_t{p[7]} << 14) |
                             (std::uint64_t{p[8]} << 7) | p[9];
  return 10 + body + ((p[5] & 0x10) ? 10 : 0);
}

}  // namespace

void MpegIndex::Clear() {
  frames_ = 0;
  total_ = 0;
  codes_ = {};
  checkpoints_ = {};
  packets_ = {};
  samplesPerFrame_ = 0;
  startSkip_ = 0;
  info_ = false;
  firstDiscard_ = lastDiscard_ = 0;
}

void MpegIndex::AddPacket(MpegFrameEntry e, std::int64_t skipStart, std::int64_t skipEnd, std::int64_t& carry) {
  skipStart += carry;
  e.keepBegin = static_cast<std::int32_t>(std::min<std::int64_t>(skipStart, e.samples));
  carry = skipStart - e.keepBegin;  // a start skip longer than one frame runs on
  e.keepEnd = static_cast<std::int32_t>(std::max<std::int64_t>(e.keepBegin, e.samples - skipEnd));
  e.start = total_;
  total_ += e.keepEnd - e.keepBegin;
  packets_.push_back(e);
  frames_ = packets_.size();
}

bool MpegIndex::Build(AVFormatContext* format, int stream, int sampleRate, AVPacket* first) {
  Clear();
  ffmpeg::Packet pkt;
  const AVRational tb = format->streams[stream]->time_base;
  std::int64_t carry = 0;
  bool useFirst = first != nullptr && first->size > 0;
  for (;;) {
    if (useFirst) {
      if (av_packet_ref(pkt.get(), first) < 0) return false;
      useFirst = false;
    } else if (av_read_frame(format, pkt.get()) < 0) {
      break;
    }
    if (pkt->stream_index != stream) {
      av_packet_unref(pkt.get());
      continue;
    }
    if (pkt->pos < 0 || pkt->size <= 0 || packets_.size() >= kMaxPackets) {
      av_packet_unref(pkt.get());
      Clear();
      return false;
    }
    MpegFrameEntry e;
    e.filePos = pkt->pos;
    e.size = pkt->size;
    e.samples = MpegSamplesPerFrame(pkt->data, static_cast<std::size_t>(pkt->size));
    if (e.samples == 0 && pkt->duration > 0)
      e.samples = static_cast<std::int32_t>(av_rescale_q(pkt->duration, tb, AVRational{1, sampleRate}));
    std::int64_t skipStart = 0, skipEnd = 0;
    std::size_t sdSize = 0;
    if (const std::uint8_t* sd = av_packet_get_side_data(pkt.get(), AV_PKT_DATA_SKIP_SAMPLES, &sdSize);
        sd && sdSize >= 8) {
      skipStart = AV_RL32(sd);
      skipEnd = AV_RL32(sd + 4);
    }
    AddPacket(e, skipStart, skipEnd, carry);
    av_packet_unref(pkt.get());
  }
  if (packets_.empty()) return false;
  packets_.shrink_to_fit();
  return true;
}

bool MpegIndex::BuildFromBytes(const std::uint8_t* data, std::size_t size, std::size_t firstPos,
                               std::int64_t startSkip) {
  MemorySource source(data, size);
  return Walk(source, size, firstPos, startSkip);
}

bool MpegIndex::BuildFromFile(int fd, std::uint64_t size, std::uint64_t firstPos, std::int64_t startSkip) {
  FileSource source(fd, size);
  return Walk(source, size, firstPos, startSkip);
}

template <typename Source>
bool MpegIndex::Walk(Source& source, std::uint64_t size, std::uint64_t firstPos, std::int64_t startSkip) {
  Clear();
  const MpegFrameHeader first = WalkableFrame(source.At(firstPos, 4));
  if (!first.Valid) return false;
  samplesPerFrame_ = MpegSamplesPerFrame(first.Version, first.Layer);
  startSkip_ = std::max<std::int64_t>(0, startSkip);
  for (unsigned code = 0; code < 32; ++code)
    lengths_[code] = MpegFrameLength(first.Version, first.Layer, MpegBitrateKbps(first.Version, first.Layer, code >> 1),
                                     first.SampleRate, (code & 1) != 0);
  {
    const std::uint64_t back = std::min<std::uint64_t>(firstPos, kMaxFrameBytes);
    const std::span<const std::uint8_t> before = source.At(firstPos - back, static_cast<std::size_t>(back));
    std::int64_t infoFrames = 0;
    int endPad = 0;
    info_ = before.size() == back && ReadInfoFrame(before.data(), before.size(), &infoFrames, &endPad);
    // The demuxer's rule: with an info frame, raw samples from firstDiscard up
    // to lastDiscard (counted from the first audio frame) are padding.
    lastDiscard_ = info_ ? infoFrames * samplesPerFrame_ : 0;
    firstDiscard_ = info_ ? lastDiscard_ - endPad + 528 + 1 : 0;
  }

  // Frames of one stream differ only in bit-rate index and padding, so a
  // header whose other bits match the first one's is taken at a glance; any
  // other goes through the full decoder, which then accepts it or ends the walk.
  const std::span<const std::uint8_t> head = source.At(firstPos, 4);
  const std::uint8_t sameB1 = head[1] & 0xFE;  // sync, version, layer (not the CRC bit)
  const std::uint8_t sameRate = head[2] & 0x0C;
  // The first frame's length gives a fair guess at the number of frames, so the
  // index seldom grows by copying; what is left over is given back at the end.
  const std::uint64_t guess = std::min<std::uint64_t>((size - firstPos) / first.FrameLength + 1,
                                                      kWalkBudget / (kWalkFrameCost + kMinFrameBytes));
  codes_.reserve(static_cast<std::size_t>(guess));
  checkpoints_.reserve(static_cast<std::size_t>(guess / kStride + 1));

  std::uint64_t pos = firstPos;
  std::int64_t kept = 0;
  bool walking = true;
  while (walking && pos + 4 <= size) {
    const std::span<const std::uint8_t> chunk = source.At(pos, 64 * 1024);
    if (chunk.size() < 4) {  // a read error, or the file shrank under us
      Clear();
      return false;
    }
    std::size_t at = 0;
    while (at + 4 <= chunk.size()) {
      const std::uint8_t* p = chunk.data() + at;
      const unsigned bitrate = p[2] >> 4;
      unsigned code = 0;
      std::uint64_t length = 0;
      if (p[0] == 0xFF && (p[1] & 0xFE) == sameB1 && (p[2] & 0x0C) == sameRate && bitrate != 0 && bitrate != 15) {
        code = (bitrate << 1) | ((p[2] >> 1) & 1);
        length = static_cast<std::uint64_t>(lengths_[code]);
      } else {
        const MpegFrameHeader h = WalkableFrame({p, 4});
        if (!h.Valid || !SameStream(h, first)) {
          walking = false;
          break;
        }
        code = (bitrate << 1) | (h.Padding ? 1 : 0);
        length = h.FrameLength;
      }
      if (pos + length > size) {  // cut-off last frame
        Clear();
        return false;
      }
      if (pos + length - firstPos + (frames_ + 1) * kWalkFrameCost > kWalkBudget) {
        Clear();
        return false;
      }
      if (frames_ % kStride == 0) checkpoints_.push_back({static_cast<std::int64_t>(pos), kept});
      codes_.push_back(static_cast<std::uint8_t>(code));
      std::int32_t b = 0, e = 0;
      WalkedKeep(frames_, &b, &e);
      kept += e - b;
      ++frames_;
      at += static_cast<std::size_t>(length);
      pos += length;
    }
  }
  if (frames_ == 0) return false;
  total_ = kept;

  // What follows the last frame must hold no further frames (tags do not);
  // audio after junk is left to the demuxer, whose resync rules decide. Only
  // the bytes close behind the last frame are searched, and behind an ID3v2 tag
  // found there: a long stretch without a frame means the audio has ended.
  auto framesWithin = [&](std::uint64_t from, std::uint64_t to) {
    to = std::min(to, size);
    for (std::uint64_t q = from; q + 4 <= to; ++q) {
      const MpegFrameHeader a = WalkableFrame(source.At(q, 4));
      if (!a.Valid || !SameStream(a, first)) continue;
      const std::uint64_t next = q + a.FrameLength;
      if (next == size) return true;
      const MpegFrameHeader b = WalkableFrame(source.At(next, 4));
      if (b.Valid && SameStream(b, first)) return true;
    }
    return false;
  };
  if (framesWithin(pos + 1, pos + kEndSearchBytes)) {
    Clear();
    return false;
  }
  const std::uint64_t tag = Id3v2Length(source.At(pos, 10));
  if (tag > 0 && pos + tag < size && framesWithin(pos + tag, pos + tag + kEndSearchBytes)) {
    Clear();
    return false;
  }
  codes_.shrink_to_fit();
  checkpoints_.shrink_to_fit();
  return true;
}

void MpegIndex::WalkedKeep(std::size_t i, std::int32_t* keepBegin, std::int32_t* keepEnd) const {
  const std::int64_t spf = samplesPerFrame_;
  const std::int64_t raw = static_cast<std::int64_t>(i) * spf;
  const std::int64_t end = raw + spf;
  const std::int64_t begin = std::clamp<std::int64_t>(startSkip_ - raw, 0, spf);
  std::int64_t skipEnd = 0;
  if (info_ && end >= firstDiscard_ && raw < lastDiscard_) skipEnd = std::min<std::int64_t>(end - firstDiscard_, spf);
  *keepBegin = static_cast<std::int32_t>(begin);
  *keepEnd = static_cast<std::int32_t>(std::max<std::int64_t>(begin, spf - skipEnd));
}

MpegFrameEntry MpegIndex::Entry(std::size_t i) const {
  if (!packets_.empty()) return packets_[i];
  const std::size_t block = i / kStride;
  MpegFrameEntry e;
  e.filePos = checkpoints_[block].filePos;
  e.start = checkpoints_[block].start;
  e.samples = samplesPerFrame_;
  for (std::size_t j = block * kStride; j < i; ++j) {
    std::int32_t b = 0, k = 0;
    WalkedKeep(j, &b, &k);
    e.filePos += lengths_[codes_[j]];
    e.start += k - b;
  }
  e.size = lengths_[codes_[i]];
  WalkedKeep(i, &e.keepBegin, &e.keepEnd);
  return e;
}

std::size_t MpegIndex::EntryFor(std::int64_t frame) const {
  if (frames_ == 0) return 0;
  // The last entry starting at or before `frame`: entries wholly cut away share
  // their start with the next one, so the one found is the one holding samples.
  if (!packets_.empty()) {
    auto it = std::upper_bound(packets_.begin(), packets_.end(), frame,
                               [](std::int64_t f, const MpegFrameEntry& e) { return f < e.start; });
    if (it == packets_.begin()) return 0;
    return static_cast<std::size_t>(it - packets_.begin()) - 1;
  }
  auto it = std::upper_bound(checkpoints_.begin(), checkpoints_.end(), frame,
                             [](std::int64_t f, const Checkpoint& c) { return f < c.start; });
  if (it == checkpoints_.begin()) return 0;
  const std::size_t block = static_cast<std::size_t>(it - checkpoints_.begin()) - 1;
  std::size_t i = block * kStride;
  std::int64_t start = checkpoints_[block].start;
  const std::size_t last = std::min(frames_, i + kStride) - 1;
  while (i < last) {
    std::int32_t b = 0, e = 0;
    WalkedKeep(i, &b, &e);
    if (start + (e - b) > frame) break;
    start += e - b;
    ++i;
  }
  return i;
}

std::size_t MpegIndex::MemoryBytes() const {
  return codes_.capacity() * sizeof(std::uint8_t) + checkpoints_.capacity() * sizeof(Checkpoint) +
         packets_.capacity() * sizeof(MpegFrameEntry);
}

}  // namespace orvela::audio
