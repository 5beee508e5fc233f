#pragma once
// Owners for the FFmpeg objects the synthesiser and the checker create.
#include <memory>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswresample/swresample.h>
}

namespace orvela::demo {

inline std::string AvError(int code) {
  char buf[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, buf, sizeof buf);
  return buf;
}

struct InputClose {
  void operator()(AVFormatContext* f) const { avformat_close_input(&f); }
};
struct CodecCtxFree {
  void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameFree {
  void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketFree {
  void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct SwrFree {
  void operator()(SwrContext* s) const { swr_free(&s); }
};

}  // namespace orvela::demo
