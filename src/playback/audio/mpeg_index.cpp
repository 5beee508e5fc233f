#include "playback/audio/mpeg_index.h"

#include <algorithm>

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

bool MpegIndex::Build(AVFormatContext* format, int stream, int sampleRate) {
  entries_.clear();
  total_ = 0;
  AVPacket* pkt = av_packet_alloc();
  if (!pkt) return false;
  const AVRational tb = format->streams[stream]->time_base;
  std::int64_t carrySkip = 0;  // a start skip longer than one frame runs on into the next
  bool ok = true;
  while (av_read_frame(format, pkt) >= 0) {
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
    std::int64_t skipStart = carrySkip, skipEnd = 0;
    std::size_t sdSize = 0;
    if (const std::uint8_t* sd = av_packet_get_side_data(pkt, AV_PKT_DATA_SKIP_SAMPLES, &sdSize);
        sd && sdSize >= 8) {
      skipStart += AV_RL32(sd);
      skipEnd = AV_RL32(sd + 4);
    }
    e.keepBegin = static_cast<std::int32_t>(std::min<std::int64_t>(skipStart, e.samples));
    carrySkip = skipStart - e.keepBegin;
    e.keepEnd = static_cast<std::int32_t>(std::max<std::int64_t>(e.keepBegin, e.samples - skipEnd));
    e.start = total_;
    total_ += e.keepEnd - e.keepBegin;
    entries_.push_back(e);
    av_packet_unref(pkt);
  }
  av_packet_free(&pkt);
  return ok && !entries_.empty();
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
