#include "playback/audio/media_decoder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstring>

#include "common/file_open.h"

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
// The demuxer's own pass over a damaged MPEG file reads and parses every packet,
// a few times slower than the frame walk; beyond this size the file is played
// unindexed instead, so that opening it stays quick.
constexpr off_t kMaxDemuxerIndexBytes = 16LL * 1024 * 1024;
// A file must give audio within this many packets and bytes to be accepted: a
// file that claims to be audio but decodes to nothing must not be read to its
// end first.
constexpr int kMaxPacketsBeforeAudio = 1000;
constexpr std::int64_t kMaxBytesBeforeAudio = 1024 * 1024;
// FFmpeg's look at the first packets reads until it has found enough of them:
// behind a short title followed by gigabytes of zeros it would read them all.
// Real files are done within a few dozen kilobytes.
constexpr std::int64_t kMaxStreamInfoBytes = 1024 * 1024;
// While playing, a demuxer that reads this far for one packet has run into
// something that is not audio (a WAV reader looking for a second data chunk in
// a gigabyte of zeros, say) and the stream ends there. Real files keep their
// packets far closer; even a cover-art tag between two joined MP3s fits.
constexpr std::int64_t kMaxBytesPerPacket = 16 * 1024 * 1024;

bool IsMpegAudio(int codecId) {
  return codecId == AV_CODEC_ID_MP1 || codecId == AV_CODEC_ID_MP2 || codecId == AV_CODEC_ID_MP3;
}

bool RateAllowed(int rate) {
  return rate >= MediaDecoder::kMinSourceRate && rate <= MediaDecoder::kMaxSourceRate;
}

}  // namespace

std::unique_ptr<MediaDecoder> MediaDecoder::Open(const std::string& nativePath, Kind kind,
                                                 bool prescan, int outputRate) {
  try {
    std::unique_ptr<MediaDecoder> d(new MediaDecoder());
    if (!d->OpenInput(nativePath, kind, prescan, outputRate)) return nullptr;
    return d;
  } catch (...) {
    // Out of memory, or FFmpeg refusing the file: either way there is no stream.
    return nullptr;
  }
}

MediaDecoder::~MediaDecoder() = default;

bool MediaDecoder::OpenInput(const std::string& nativePath, Kind kind, bool prescan,
                             int outputRate) {
  outputRate_ = outputRate;
  if (nativePath.empty()) return false;
  // Opened by the jukebox itself: a FIFO or a device behind an audio file's
  // name is refused without waiting for a writer, and FFmpeg never sees a URL.
  const int fd = OpenRegularFileForReading(nativePath);
  if (fd < 0) return false;
  io_ = std::make_unique<ffmpeg::FileIo>(fd);
  struct stat st {};
  if (::fstat(fd, &st) != 0) return false;
  ffmpeg::Dictionary opts;
  // Only local files: a crafted file must not make a demuxer open URLs.
  opts.Set("protocol_whitelist", "file");
  const AVInputFormat* format = nullptr;
  if (kind == Kind::kModule) {
    format = av_find_input_format("libopenmpt");
    if (!format || st.st_size > kMaxModuleBytes) return false;
    opts.SetInt("sample_rate", outputRate);
  } else {
    // Probed before the header is read, so that the reading can be chosen. The
    // name only guides the probe (its extension); the bytes come from the descriptor.
    const int score = av_probe_input_buffer2(io_->get(), &format, nativePath.c_str(), nullptr, 0, 0);
    if (score < 0 || !format || std::strcmp(format->name, "libopenmpt") == 0) return false;
    // A score this low means only the file name matched: random bytes behind an
    // ".mp3" would otherwise be decoded as noise. A real MP3 behind an ID3v2 tag
    // of nearly the whole probe size still scores 24, well above this.
    if (score < AVPROBE_SCORE_EXTENSION / 4) return false;
  }
  // A WAV header reader that can seek walks every chunk behind the audio data
  // in search of tags, 8 bytes a step through zeros: minutes for a file with a
  // gigabyte of them behind its audio. The jukebox reads no tags from WAV
  // chunks, so the header is read as from a pipe, and seeking is allowed again
  // once the header is read.
  const bool streamedHeader = std::strcmp(format->name, "wav") == 0;
  if (streamedHeader) io_->get()->seekable = 0;
  format_ = ffmpeg::InputFormat::Open(nativePath, format, opts.out(), io_->get());
  io_->get()->seekable = AVIO_SEEKABLE_NORMAL;
  io_->LimitReads(kMaxStreamInfoBytes);
  const int infoRc = avformat_find_stream_info(format_.get(), nullptr);
  const bool cutShort = io_->ReadLimitReached();
  io_->LimitReads(-1);
  if (infoRc < 0) return false;
  const AVCodec* codec = nullptr;
  stream_ = av_find_best_stream(format_.get(), AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
  if (stream_ < 0 || !codec) return false;
  AVStream* s = format_->streams[stream_];
  codec_ = ffmpeg::CodecContext(codec);
  if (avcodec_parameters_to_context(codec_.get(), s->codecpar) < 0) return false;
  codec_->pkt_timebase = s->time_base;
  if (avcodec_open2(codec_.get(), codec, nullptr) < 0) return false;
  sourceRate_ = codec_->sample_rate > 0 ? codec_->sample_rate : s->codecpar->sample_rate;
  if (!RateAllowed(sourceRate_)) return false;
  startTime_ = s->start_time != AV_NOPTS_VALUE ? s->start_time : 0;

  // The index reads the file itself and needs only the demuxer's first
  // packet, which the look above has kept; any other way of reading starts
  // again from the beginning if that look was cut short.
  const bool tryIndex = kind == Kind::kStream && prescan && IsMpegAudio(s->codecpar->codec_id);
  if (!tryIndex || !BuildIndex(!cutShort)) {
    index_ = MpegIndex();
    if (tryIndex || cutShort) av_seek_frame(format_.get(), stream_, startTime_, AVSEEK_FLAG_BACKWARD);
  }
  if (Indexed()) {
    length_ = index_.TotalFrames();
  } else if (s->duration != AV_NOPTS_VALUE && s->duration > 0) {
    length_ = av_rescale_q(s->duration, s->time_base, AVRational{1, sourceRate_});
  } else if (format_->duration != AV_NOPTS_VALUE && format_->duration > 0) {
    length_ = av_rescale_q(format_->duration, AV_TIME_BASE_Q, AVRational{1, sourceRate_});
  }
  // A file is only accepted once it has given real audio.
  io_->LimitReads(kMaxBytesBeforeAudio);
  for (int packets = 0; staging_.empty() && !atEnd_; ++packets) {
    if (packets >= kMaxPacketsBeforeAudio) return false;
    if (!DecodeMore()) Drain();
  }
  // Met the limit (it may have ended the stream early): refused rather than cut.
  if (io_->ReadLimitReached()) return false;
  io_->LimitReads(-1);
  return !staging_.empty();
}

bool MediaDecoder::BuildIndex(bool demuxerMayRead) {
  // The demuxer knows where the audio starts (after tags and the encoder's info
  // frame) and how much of the first frame is encoder delay.
  AVPacket* first = packet_.get();
  int rc;
  while ((rc = av_read_frame(format_.get(), first)) >= 0 && first->stream_index != stream_) av_packet_unref(first);
  if (rc < 0) return false;
  std::int64_t startSkip = 0;
  std::size_t sdSize = 0;
  if (const std::uint8_t* sd = av_packet_get_side_data(first, AV_PKT_DATA_SKIP_SAMPLES, &sdSize); sd && sdSize >= 8)
    startSkip = AV_RL32(sd);
  bool ok = false;
  struct stat st {};
  const bool sized = first->pos >= 0 && ::fstat(io_->fd(), &st) == 0 && st.st_size > 0;
  if (sized)
    ok = index_.BuildFromFile(io_->fd(), static_cast<std::uint64_t>(st.st_size),
                              static_cast<std::uint64_t>(first->pos), startSkip);
  // Whatever the byte walk does not understand, the demuxer's own pass does, as
  // long as the file is small enough for it to finish at once.
  if (!ok && demuxerMayRead && sized && st.st_size <= kMaxDemuxerIndexBytes)
    ok = index_.Build(format_.get(), stream_, sourceRate_, first);
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
  swr_.reset();
  atEnd_ = false;
  inputDone_ = false;
  delivered_ = 0;
  anchor_ = target;
  dropBefore_ = target;
  continuous_ = target == 0;
  avcodec_flush_buffers(codec_.get());
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
  if (avformat_seek_file(format_.get(), stream_, INT64_MIN, ts, ts, 0) < 0)
    av_seek_frame(format_.get(), stream_, ts, AVSEEK_FLAG_BACKWARD);
  seekPending_ = true;
}

bool MediaDecoder::DecodeMore() {
  if (inputDone_) return false;
  return Indexed() ? DecodeIndexedPacket() : DecodeDemuxedPacket();
}

bool MediaDecoder::DecodeIndexedPacket() {
  if (nextEntry_ >= index_.size()) return false;
  const MpegFrameEntry e = index_.Entry(nextEntry_++);
  // Samples of this frame before the seek target are decoded (they prime the
  // decoder) but not kept.
  const std::int64_t skipInto = std::max<std::int64_t>(0, dropBefore_ - e.start);
  const int lower = static_cast<int>(std::min<std::int64_t>(e.keepEnd, e.keepBegin + skipInto));
  frameBytes_.assign(static_cast<std::size_t>(e.size) + AV_INPUT_BUFFER_PADDING_SIZE, 0);
  const ssize_t got = ::pread(io_->fd(), frameBytes_.data(), static_cast<std::size_t>(e.size), e.filePos);
  bool decoded = false;
  if (got == e.size) {
    av_packet_unref(packet_.get());
    packet_->data = frameBytes_.data();
    packet_->size = e.size;
    if (avcodec_send_packet(codec_.get(), packet_.get()) >= 0) {
      while (avcodec_receive_frame(codec_.get(), frame_.get()) == 0) {
        if (!decoded) {
          const int upper = std::min(e.keepEnd, frame_->nb_samples);
          if (lower < upper) Convert(frame_.get(), lower, upper);
          decoded = true;
        }
        av_frame_unref(frame_.get());
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
    io_->LimitReads(kMaxBytesPerPacket);
    const int rc = av_read_frame(format_.get(), packet_.get());
    const bool tooFar = io_->ReadLimitReached();
    io_->LimitReads(-1);
    if (rc == AVERROR(EAGAIN) && !tooFar) continue;
    if (rc < 0) return false;
    if (packet_->stream_index == stream_ && avcodec_send_packet(codec_.get(), packet_.get()) >= 0) {
      while (avcodec_receive_frame(codec_.get(), frame_.get()) == 0) {
        HandleDemuxedFrame(frame_.get());
        av_frame_unref(frame_.get());
      }
    }
    av_packet_unref(packet_.get());
    return !tooFar;
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
    if (avcodec_send_packet(codec_.get(), nullptr) >= 0) {
      while (avcodec_receive_frame(codec_.get(), frame_.get()) == 0) {
        if (!Indexed()) HandleDemuxedFrame(frame_.get());
        av_frame_unref(frame_.get());
      }
    }
    if (swr_) {
      const int pending = swr_get_out_samples(swr_.get(), 0);
      if (pending > 0) {
        const std::size_t old = staging_.size();
        staging_.resize(old + 2 * static_cast<std::size_t>(pending));
        auto* out = reinterpret_cast<std::uint8_t*>(staging_.data() + old);
        const int got = swr_convert(swr_.get(), &out, pending, nullptr, 0);
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
  swr_.reset();
  // A stream may change its rate on the way (chained Ogg, say); a part with an
  // absurd rate is skipped like a damaged one rather than blown up to the output rate.
  if (channels <= 0 || channels > kMaxChannels || !RateAllowed(frame->sample_rate)) return false;
  const ffmpeg::ChannelLayout in(frame->ch_layout);
  const AVChannelLayout out = AV_CHANNEL_LAYOUT_STEREO;
  // A mono file sounds at full level on both sides, not 3 dB down.
  static constexpr double kMonoToBoth[2] = {1.0, 1.0};
  try {
    swr_ = ffmpeg::Resampler(out, AV_SAMPLE_FMT_FLT, outputRate_, in.get(),
                             static_cast<AVSampleFormat>(frame->format), frame->sample_rate,
                             channels == 1 ? kMonoToBoth : nullptr);
  } catch (const ffmpeg::Error&) {
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
  const int room = swr_get_out_samples(swr_.get(), count);
  if (room <= 0) return;
  const std::size_t old = staging_.size();
  staging_.resize(old + 2 * static_cast<std::size_t>(room));
  auto* out = reinterpret_cast<std::uint8_t*>(staging_.data() + old);
  const int got = swr_convert(swr_.get(), &out, room, in.data(), count);
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
