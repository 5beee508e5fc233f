#include "playback/audio/media_decoder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/intreadwrite.h>
#include <libswresample/swresample.h>
}

namespace orvela::audio {
namespace {

// Frames decoded ahead of a seek target: the MPEG layer III bit reservoir and the
// synthesis filter's memory need a few frames before the output is right.
constexpr std::size_t kSeekPrerollFrames = 10;
// A module is read into memory whole by its decoder; anything this large is no module.
constexpr off_t kMaxModuleBytes = 64LL * 1024 * 1024;
constexpr int kMaxChannels = 64;
// Files up to this size are indexed from their bytes in memory (a transient
// copy); longer mixes take the demuxer's slower pass instead.
constexpr off_t kMaxScanBytes = 128LL * 1024 * 1024;

bool IsMpegAudio(int codecId) {
  return codecId == AV_CODEC_ID_MP1 || codecId == AV_CODEC_ID_MP2 || codecId == AV_CODEC_ID_MP3;
}

}  // namespace

std::unique_ptr<MediaDecoder> MediaDecoder::Open(const std::string& nativePath, Kind kind,
                                                 bool prescan, int outputRate) {
  std::unique_ptr<MediaDecoder> d(new MediaDecoder());
  if (!d->OpenInput(nativePath, kind, prescan, outputRate)) return nullptr;
  return d;
}

MediaDecoder::~MediaDecoder() {
  swr_free(&swr_);
  av_frame_free(&frame_);
  av_packet_free(&packet_);
  avcodec_free_context(&codec_);
  avformat_close_input(&format_);
  if (fd_ >= 0) ::close(fd_);
}

bool MediaDecoder::OpenInput(const std::string& nativePath, Kind kind, bool prescan,
                             int outputRate) {
  outputRate_ = outputRate;
  struct stat st {};
  if (nativePath.empty() || ::stat(nativePath.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  const AVInputFormat* forced = nullptr;
  AVDictionary* opts = nullptr;
  // Only local files: a crafted file must not make the demuxer open URLs.
  av_dict_set(&opts, "protocol_whitelist", "file", 0);
  if (kind == Kind::kModule) {
    forced = av_find_input_format("libopenmpt");
    if (!forced || st.st_size > kMaxModuleBytes) {
      av_dict_free(&opts);
      return false;
    }
    av_dict_set_int(&opts, "sample_rate", outputRate, 0);
  }
  // The explicit protocol keeps a ':' in a file name from being read as a URL scheme.
  const std::string url = "file:" + nativePath;
  const int rc = avformat_open_input(&format_, url.c_str(), forced, &opts);
  av_dict_free(&opts);
  if (rc < 0) return false;
  if (kind == Kind::kStream) {
    if (std::strcmp(format_->iformat->name, "libopenmpt") == 0) return false;
    // A score this low means only the file name matched: random bytes behind an
    // ".mp3" would otherwise be decoded as noise. A real MP3 behind an ID3v2 tag
    // of nearly the whole probe size still scores 24, well above this.
    if (format_->probe_score < AVPROBE_SCORE_EXTENSION / 4) return false;
  }
  if (avformat_find_stream_info(format_, nullptr) < 0) return false;
  const AVCodec* codec = nullptr;
  stream_ = av_find_best_stream(format_, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
  if (stream_ < 0 || !codec) return false;
  AVStream* s = format_->streams[stream_];
  codec_ = avcodec_alloc_context3(codec);
  if (!codec_ || avcodec_parameters_to_context(codec_, s->codecpar) < 0) return false;
  codec_->pkt_timebase = s->time_base;
  if (avcodec_open2(codec_, codec, nullptr) < 0) return false;
  sourceRate_ = codec_->sample_rate > 0 ? codec_->sample_rate : s->codecpar->sample_rate;
  if (sourceRate_ <= 0) return false;
  packet_ = av_packet_alloc();
  frame_ = av_frame_alloc();
  if (!packet_ || !frame_) return false;
  startTime_ = s->start_time != AV_NOPTS_VALUE ? s->start_time : 0;

  if (kind == Kind::kStream && prescan && IsMpegAudio(s->codecpar->codec_id)) {
    fd_ = ::open(nativePath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) return false;
    if (!BuildIndex()) {
      index_ = MpegIndex();
      av_seek_frame(format_, stream_, startTime_, AVSEEK_FLAG_BACKWARD);
    }
  }
  if (Indexed()) {
    length_ = index_.TotalFrames();
  } else if (s->duration != AV_NOPTS_VALUE && s->duration > 0) {
    length_ = av_rescale_q(s->duration, s->time_base, AVRational{1, sourceRate_});
  } else if (format_->duration != AV_NOPTS_VALUE && format_->duration > 0) {
    length_ = av_rescale_q(format_->duration, AV_TIME_BASE_Q, AVRational{1, sourceRate_});
  }
  // A file is only accepted once it has given real audio.
  while (staging_.empty() && !atEnd_) {
    if (!DecodeMore()) Drain();
  }
  return !staging_.empty();
}

bool MediaDecoder::BuildIndex() {
  // The demuxer knows where the audio starts (after tags and the encoder's info
  // frame) and how much of the first frame is encoder delay.
  AVPacket* first = packet_;
  int rc;
  while ((rc = av_read_frame(format_, first)) >= 0 && first->stream_index != stream_) av_packet_unref(first);
  if (rc < 0) return false;
  std::int64_t startSkip = 0;
  std::size_t sdSize = 0;
  if (const std::uint8_t* sd = av_packet_get_side_data(first, AV_PKT_DATA_SKIP_SAMPLES, &sdSize); sd && sdSize >= 8)
    startSkip = AV_RL32(sd);
  bool ok = false;
  struct stat st {};
  if (first->pos >= 0 && ::fstat(fd_, &st) == 0 && st.st_size > 0 && st.st_size <= kMaxScanBytes) {
    const auto size = static_cast<std::size_t>(st.st_size);
    // Not zero-filled: every byte is read over at once.
    const auto bytes = std::make_unique_for_overwrite<std::uint8_t[]>(size);
    std::size_t have = 0;
    while (have < size) {
      const ssize_t n = ::pread(fd_, bytes.get() + have, size - have, static_cast<off_t>(have));
      if (n <= 0) break;
      have += static_cast<std::size_t>(n);
    }
    ok = have == size && index_.BuildFromBytes(bytes.get(), have, static_cast<std::size_t>(first->pos), startSkip);
  }
  // Whatever the byte walk does not understand, the demuxer's own pass does.
  if (!ok) ok = index_.Build(format_, stream_, sourceRate_, first);
  av_packet_unref(first);
  return ok;
}

int MediaDecoder::Read(float* out, int maxFrames) {
  int written = 0;
  while (written < maxFrames) {
    const std::size_t avail = (staging_.size() - stagingRead_) / 2;
    if (avail == 0) {
      staging_.clear();
      stagingRead_ = 0;
      if (atEnd_) break;
      if (!DecodeMore()) Drain();
      continue;
    }
    const std::size_t take = std::min<std::size_t>(avail, static_cast<std::size_t>(maxFrames - written));
    std::memcpy(out + 2 * written, staging_.data() + stagingRead_, take * 2 * sizeof(float));
    stagingRead_ += take * 2;
    written += static_cast<int>(take);
  }
  delivered_ += written;
  return written;
}

std::int64_t MediaDecoder::SourcePosition() const {
  if (sourceRate_ == outputRate_) return anchor_ + delivered_;
  return anchor_ + (delivered_ * sourceRate_ + outputRate_ / 2) / outputRate_;
}

void MediaDecoder::Seek(std::int64_t target) {
  if (target < 0) target = 0;
  if (Indexed()) target = std::min(target, length_);
  staging_.clear();
  stagingRead_ = 0;
  swr_free(&swr_);
  atEnd_ = false;
  inputDone_ = false;
  delivered_ = 0;
  anchor_ = target;
  dropBefore_ = target;
  continuous_ = target == 0;
  avcodec_flush_buffers(codec_);
  if (Indexed()) {
    const std::size_t i = index_.EntryFor(target);
    nextEntry_ = i >= kSeekPrerollFrames ? i - kSeekPrerollFrames : 0;
    return;
  }
  // Land early enough that the decoder has settled by the target; the frames'
  // times then say how much to drop.
  const AVCodecParameters* par = format_->streams[stream_]->codecpar;
  std::int64_t preroll = par->seek_preroll;
  if (IsMpegAudio(par->codec_id)) preroll = std::max<std::int64_t>(preroll, kSeekPrerollFrames * 1152);
  const AVRational tb = format_->streams[stream_]->time_base;
  const std::int64_t ts =
      startTime_ + av_rescale_q(std::max<std::int64_t>(0, target - preroll), AVRational{1, sourceRate_}, tb);
  if (avformat_seek_file(format_, stream_, INT64_MIN, ts, ts, 0) < 0)
    av_seek_frame(format_, stream_, ts, AVSEEK_FLAG_BACKWARD);
  seekPending_ = true;
}

bool MediaDecoder::DecodeMore() {
  if (inputDone_) return false;
  return Indexed() ? DecodeIndexedPacket() : DecodeDemuxedPacket();
}

bool MediaDecoder::DecodeIndexedPacket() {
  const auto& entries = index_.entries();
  if (nextEntry_ >= entries.size()) return false;
  const MpegFrameEntry& e = entries[nextEntry_++];
  // Samples of this frame before the seek target are decoded (they prime the
  // decoder) but not kept.
  const std::int64_t skipInto = std::max<std::int64_t>(0, dropBefore_ - e.start);
  const int lower = static_cast<int>(std::min<std::int64_t>(e.keepEnd, e.keepBegin + skipInto));
  frameBytes_.assign(static_cast<std::size_t>(e.size) + AV_INPUT_BUFFER_PADDING_SIZE, 0);
  const ssize_t got = ::pread(fd_, frameBytes_.data(), static_cast<std::size_t>(e.size), e.filePos);
  bool decoded = false;
  if (got == e.size) {
    av_packet_unref(packet_);
    packet_->data = frameBytes_.data();
    packet_->size = e.size;
    if (avcodec_send_packet(codec_, packet_) >= 0) {
      while (avcodec_receive_frame(codec_, frame_) == 0) {
        if (!decoded) {
          const int upper = std::min(e.keepEnd, frame_->nb_samples);
          if (lower < upper) Convert(frame_, lower, upper);
          decoded = true;
        }
        av_frame_unref(frame_);
      }
    }
    packet_->data = nullptr;
    packet_->size = 0;
  }
  // A damaged frame keeps its time as silence, so later positions stay right.
  if (!decoded && lower < e.keepEnd) AppendSilence(e.keepEnd - lower);
  return true;
}

bool MediaDecoder::DecodeDemuxedPacket() {
  for (int again = 0; again < 1000; ++again) {
    const int rc = av_read_frame(format_, packet_);
    if (rc == AVERROR(EAGAIN)) continue;
    if (rc < 0) return false;
    if (packet_->stream_index == stream_ && avcodec_send_packet(codec_, packet_) >= 0) {
      while (avcodec_receive_frame(codec_, frame_) == 0) {
        HandleDemuxedFrame(frame_);
        av_frame_unref(frame_);
      }
    }
    av_packet_unref(packet_);
    return true;
  }
  return false;
}

void MediaDecoder::HandleDemuxedFrame(AVFrame* frame) {
  const int n = frame->nb_samples;
  if (n <= 0) return;
  if (!seekPending_) {
    Convert(frame, 0, n);
    return;
  }
  std::int64_t pos = dropBefore_;
  if (frame->best_effort_timestamp != AV_NOPTS_VALUE) {
    pos = av_rescale_q(frame->best_effort_timestamp - startTime_, format_->streams[stream_]->time_base,
                       AVRational{1, sourceRate_});
  }
  if (pos + n <= dropBefore_) return;
  const std::int64_t begin = std::max<std::int64_t>(0, dropBefore_ - pos);
  anchor_ = pos + begin;
  delivered_ = 0;
  seekPending_ = false;
  Convert(frame, static_cast<int>(begin), n);
}

void MediaDecoder::Drain() {
  if (!inputDone_) {
    inputDone_ = true;
    if (avcodec_send_packet(codec_, nullptr) >= 0) {
      while (avcodec_receive_frame(codec_, frame_) == 0) {
        if (!Indexed()) HandleDemuxedFrame(frame_);
        av_frame_unref(frame_);
      }
    }
    if (swr_) {
      const int pending = swr_get_out_samples(swr_, 0);
      if (pending > 0) {
        const std::size_t old = staging_.size();
        staging_.resize(old + 2 * static_cast<std::size_t>(pending));
        auto* out = reinterpret_cast<std::uint8_t*>(staging_.data() + old);
        const int got = swr_convert(swr_, &out, pending, nullptr, 0);
        staging_.resize(old + 2 * static_cast<std::size_t>(std::max(got, 0)));
      }
    }
  }
  atEnd_ = true;
}

bool MediaDecoder::EnsureResampler(const AVFrame* frame) {
  const int channels = frame->ch_layout.nb_channels;
  const std::uint64_t mask =
      frame->ch_layout.order == AV_CHANNEL_ORDER_NATIVE ? frame->ch_layout.u.mask : 0;
  if (swr_ && swrFormat_ == frame->format && swrRate_ == frame->sample_rate &&
      swrChannels_ == channels && swrLayoutMask_ == mask)
    return true;
  swr_free(&swr_);
  if (channels <= 0 || channels > kMaxChannels || frame->sample_rate <= 0) return false;
  AVChannelLayout in{};
  if (frame->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
    av_channel_layout_default(&in, channels);
  else if (av_channel_layout_copy(&in, &frame->ch_layout) < 0)
    return false;
  AVChannelLayout out = AV_CHANNEL_LAYOUT_STEREO;
  const int rc = swr_alloc_set_opts2(&swr_, &out, AV_SAMPLE_FMT_FLT, outputRate_, &in,
                                     static_cast<AVSampleFormat>(frame->format), frame->sample_rate, 0,
                                     nullptr);
  av_channel_layout_uninit(&in);
  if (rc < 0 || !swr_) return false;
  if (channels == 1) {
    // A mono file sounds at full level on both sides, not 3 dB down.
    const double matrix[2] = {1.0, 1.0};
    swr_set_matrix(swr_, matrix, 1);
  }
  if (swr_init(swr_) < 0) {
    swr_free(&swr_);
    return false;
  }
  swrFormat_ = frame->format;
  swrRate_ = frame->sample_rate;
  swrChannels_ = channels;
  swrLayoutMask_ = mask;
  return true;
}

void MediaDecoder::Convert(const AVFrame* frame, int begin, int end) {
  if (end <= begin || !EnsureResampler(frame)) return;
  const auto fmt = static_cast<AVSampleFormat>(frame->format);
  const int bps = av_get_bytes_per_sample(fmt);
  const int channels = frame->ch_layout.nb_channels;
  std::array<const std::uint8_t*, kMaxChannels> in{};
  if (av_sample_fmt_is_planar(fmt)) {
    for (int c = 0; c < channels; ++c) in[c] = frame->extended_data[c] + static_cast<std::size_t>(begin) * bps;
  } else {
    in[0] = frame->extended_data[0] + static_cast<std::size_t>(begin) * bps * channels;
  }
  const int count = end - begin;
  const int room = swr_get_out_samples(swr_, count);
  if (room <= 0) return;
  const std::size_t old = staging_.size();
  staging_.resize(old + 2 * static_cast<std::size_t>(room));
  auto* out = reinterpret_cast<std::uint8_t*>(staging_.data() + old);
  const int got = swr_convert(swr_, &out, room, in.data(), count);
  staging_.resize(old + 2 * static_cast<std::size_t>(std::max(got, 0)));
}

void MediaDecoder::AppendSilence(std::int64_t sourceFrames) {
  if (sourceFrames <= 0) return;
  const std::int64_t frames = sourceRate_ == outputRate_
                                  ? sourceFrames
                                  : (sourceFrames * outputRate_ + sourceRate_ / 2) / sourceRate_;
  staging_.resize(staging_.size() + 2 * static_cast<std::size_t>(frames), 0.0f);
}

}  // namespace orvela::audio
