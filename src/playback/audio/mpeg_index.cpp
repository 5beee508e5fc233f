#include "playback/audio/mpeg_index.h"

#include <algorithm>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/intreadwrite.h>
}

namespace orvela::audio {

int MpegSamplesPerFrame(const std::uint8_t* h, std::size_t size) {
  if (size < 4 || h[0] != 0xFF || (h[1] & 0xE0) != 0xE0) return 0;
  const int version = (h[1] >> 3) & 3;  // 3 = MPEG-1, 2 = MPEG-2, 0 = MPEG-2.5
  const int layer = (h[1] >> 1) & 3;    // 3 = I, 2 = II, 1 = III
  if (version == 1 || layer == 0) return 0;
  if (layer == 3) return 384;
  if (layer == 2) return 1152;
  return version == 3 ? 1152 : 576;
}

void MpegIndex::Add(MpegFrameEntry e, std::int64_t skipStart, std::int64_t skipEnd, std::int64_t& carry) {
  skipStart += carry;
  e.keepBegin = static_cast<std::int32_t>(std::min<std::int64_t>(skipStart, e.samples));
  carry = skipStart - e.keepBegin;  // a start skip longer than one frame runs on
  e.keepEnd = static_cast<std::int32_t>(std::max<std::int64_t>(e.keepBegin, e.samples - skipEnd));
  e.start = total_;
  total_ += e.keepEnd - e.keepBegin;
  entries_.push_back(e);
}

bool MpegIndex::Build(AVFormatContext* format, int stream, int sampleRate, AVPacket* first) {
  entries_.clear();
  total_ = 0;
  AVPacket* pkt = av_packet_alloc();
  if (!pkt) return false;
  const AVRational tb = format->streams[stream]->time_base;
  std::int64_t carry = 0;
  bool ok = true;
  bool useFirst = first != nullptr && first->size > 0;
  for (;;) {
    if (useFirst) {
      av_packet_ref(pkt, first);
      useFirst = false;
    } else if (av_read_frame(format, pkt) < 0) {
      break;
    }
    if (pkt->stream_index != stream) {
      av_packet_unref(pkt);
      continue;
    }
    if (pkt->pos < 0 || pkt->size <= 0) {
      ok = false;
      av_packet_unref(pkt);
      break;
    }
    MpegFrameEntry e;
    e.filePos = pkt->pos;
    e.size = pkt->size;
    e.samples = MpegSamplesPerFrame(pkt->data, static_cast<std::size_t>(pkt->size));
    if (e.samples == 0 && pkt->duration > 0)
      e.samples = static_cast<std::int32_t>(av_rescale_q(pkt->duration, tb, AVRational{1, sampleRate}));
    std::int64_t skipStart = 0, skipEnd = 0;
    std::size_t sdSize = 0;
    if (const std::uint8_t* sd = av_packet_get_side_data(pkt, AV_PKT_DATA_SKIP_SAMPLES, &sdSize);
        sd && sdSize >= 8) {
      skipStart = AV_RL32(sd);
      skipEnd = AV_RL32(sd + 4);
    }
    Add(e, skipStart, skipEnd, carry);
    av_packet_unref(pkt);
  }
  av_packet_free(&pkt);
  return ok && !entries_.empty();
}

namespace {

constexpr std::uint16_t kBitRates[2][3][15] = {
    // MPEG-1: layer I, II, III
    {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
     {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}},
    // MPEG-2 and 2.5
    {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}}};
constexpr int kRates[3] = {44100, 48000, 32000};

bool SameStream(const MpegHeader& a, const MpegHeader& b) {
  return a.version == b.version && a.layer == b.layer && a.sampleRate == b.sampleRate;
}

std::uint32_t Be32(const std::uint8_t* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

// The encoder's info frame ("Xing" or "Info", with a LAME-style tag) ending
// exactly at `end`: the frame count and the padding cut at the stream's end.
bool ReadInfoFrame(const std::uint8_t* data, std::size_t end, std::int64_t* frames, int* endPad) {
  for (std::size_t k = 24; k <= 2881 && k <= end; ++k) {
    MpegHeader h;
    const std::uint8_t* f = data + end - k;
    if (!ParseMpegHeader(f, k, &h) || static_cast<std::size_t>(h.frameBytes) != k || h.layer != 3) continue;
    const std::size_t side = h.version == 3 ? (h.channels == 1 ? 17 : 32) : (h.channels == 1 ? 9 : 17);
    std::size_t o = 4 + side;
    if (o + 8 > k || (std::memcmp(f + o, "Xing", 4) != 0 && std::memcmp(f + o, "Info", 4) != 0)) continue;
    const std::uint32_t flags = Be32(f + o + 4);
    o += 8;
    std::int64_t count = 0;
    if (flags & 1) {
      if (o + 4 > k) return false;
      count = Be32(f + o);
      o += 4;
    }
    if (flags & 2) o += 4;
    if (flags & 4) o += 100;
    if (flags & 8) o += 4;
    // Encoder name (9), revision, low-pass, peak (4), two gains (2 + 2), flags,
    // bit rate: then 12 bits of start delay and 12 of end padding.
    if (o + 24 > k) return false;
    const std::uint8_t* lame = f + o;
    if (std::memcmp(lame, "LAME", 4) != 0 && std::memcmp(lame, "Lavf", 4) != 0 &&
        std::memcmp(lame, "Lavc", 4) != 0)
      return false;
    *frames = count;
    *endPad = ((lame[21 + 1] & 0x0F) << 8) | lame[21 + 2];
    return true;
  }
  return false;
}

}  // namespace

bool ParseMpegHeader(const std::uint8_t* p, std::size_t size, MpegHeader* out) {
  if (size < 4 || p[0] != 0xFF || (p[1] & 0xE0) != 0xE0) return false;
  const int version = (p[1] >> 3) & 3;
  const int layerBits = (p[1] >> 1) & 3;
  const int bitIndex = p[2] >> 4;
  const int rateIndex = (p[2] >> 2) & 3;
  if (version == 1 || layerBits == 0 || bitIndex == 0 || bitIndex == 15 || rateIndex == 3) return false;
  const int layer = 4 - layerBits;
  const int kbps = kBitRates[version == 3 ? 0 : 1][layer - 1][bitIndex];
  const int rate = kRates[rateIndex] >> (version == 3 ? 0 : version == 2 ? 1 : 2);
  const int pad = (p[2] >> 1) & 1;
  MpegHeader h;
  h.version = version;
  h.layer = layer;
  h.sampleRate = rate;
  h.channels = (p[3] >> 6) == 3 ? 1 : 2;
  if (layer == 1) {
    h.frameBytes = (12 * kbps * 1000 / rate + pad) * 4;
    h.samples = 384;
  } else if (layer == 2 || version == 3) {
    h.frameBytes = 144 * kbps * 1000 / rate + pad;
    h.samples = 1152;
  } else {
    h.frameBytes = 72 * kbps * 1000 / rate + pad;
    h.samples = 576;
  }
  *out = h;
  return true;
}

bool MpegIndex::BuildFromBytes(const std::uint8_t* data, std::size_t size, std::size_t firstPos,
                               std::int64_t startSkip) {
  entries_.clear();
  total_ = 0;
  MpegHeader first;
  if (firstPos >= size || !ParseMpegHeader(data + firstPos, size - firstPos, &first)) return false;
  std::int64_t infoFrames = 0;
  int endPad = 0;
  const bool info = ReadInfoFrame(data, firstPos, &infoFrames, &endPad);
  // The demuxer's rule: with an info frame, raw samples from firstDiscard up to
  // lastDiscard (counted from the first audio frame) are padding.
  const std::int64_t lastDiscard = info ? infoFrames * first.samples : 0;
  const std::int64_t firstDiscard = info ? lastDiscard - endPad + 528 + 1 : 0;

  std::vector<MpegFrameEntry> frames;
  frames.reserve((size - firstPos) / static_cast<std::size_t>(std::max(first.frameBytes, 1)) + 16);
  std::size_t pos = firstPos;
  while (pos + 4 <= size) {
    MpegHeader h;
    if (!ParseMpegHeader(data + pos, size - pos, &h) || !SameStream(h, first)) {
      // What follows the last frame must hold no further frames (tags do not);
      // audio after junk is left to the demuxer, whose resync rules decide.
      for (std::size_t q = pos + 1; q + 4 <= size; ++q) {
        MpegHeader a, b;
        if (!ParseMpegHeader(data + q, size - q, &a) || !SameStream(a, first)) continue;
        const std::size_t next = q + static_cast<std::size_t>(a.frameBytes);
        if (next == size || (ParseMpegHeader(data + next, size - next, &b) && SameStream(b, first))) return false;
      }
      break;
    }
    if (pos + static_cast<std::size_t>(h.frameBytes) > size) return false;  // cut-off last frame
    MpegFrameEntry e;
    e.filePos = static_cast<std::int64_t>(pos);
    e.size = h.frameBytes;
    e.samples = h.samples;
    frames.push_back(e);
    pos += static_cast<std::size_t>(h.frameBytes);
  }
  if (frames.empty()) return false;
  std::int64_t carry = 0, raw = 0;
  for (std::size_t i = 0; i < frames.size(); ++i) {
    std::int64_t skipEnd = 0;
    const std::int64_t end = raw + frames[i].samples;
    if (info && end >= firstDiscard && raw < lastDiscard) skipEnd = std::min<std::int64_t>(end - firstDiscard, frames[i].samples);
    Add(frames[i], i == 0 ? startSkip : 0, skipEnd, carry);
    raw = end;
  }
  return true;
}

std::size_t MpegIndex::EntryFor(std::int64_t frame) const {
  if (entries_.empty()) return 0;
  // The last entry starting at or before `frame`: entries wholly cut away share
  // their start with the next one, so the one found is the one holding samples.
  auto it = std::upper_bound(entries_.begin(), entries_.end(), frame,
                             [](std::int64_t f, const MpegFrameEntry& e) { return f < e.start; });
  if (it == entries_.begin()) return 0;
  return static_cast<std::size_t>(it - entries_.begin()) - 1;
}

}  // namespace orvela::audio
