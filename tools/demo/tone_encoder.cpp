// PCM -> encoded file through libavcodec/libavformat.
#include "demo/tone_encoder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

#include "common/atomic_file.h"
#include "playback/audio/ffmpeg_owners.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

namespace orvela::demo {
namespace {

namespace ffmpeg = audio::ffmpeg;

struct FormatInfo {
  const char* extension;
  const char* muxer;
  const char* encoders[3];  // first one present wins
};

const FormatInfo& Info(Format fmt) {
  static const FormatInfo kMp3{".mp3", "mp3", {"libmp3lame", "libshine", nullptr}};
  static const FormatInfo kMp2{".mp2", "mp2", {"mp2", "mp2fixed", "libtwolame"}};
  static const FormatInfo kWav{".wav", "wav", {"pcm_s16le", nullptr, nullptr}};
  static const FormatInfo kAiff{".aif", "aiff", {"pcm_s16be", nullptr, nullptr}};
  // FFmpeg's own Vorbis encoder is experimental and stereo only; it is the fallback.
  static const FormatInfo kOgg{".ogg", "ogg", {"libvorbis", "vorbis", nullptr}};
  static const FormatInfo kWma{".wma", "asf", {"wmav2", "wmav1", nullptr}};
  switch (fmt) {
    case Format::Mp3: return kMp3;
    case Format::Mp2: return kMp2;
    case Format::Wav: return kWav;
    case Format::Aiff: return kAiff;
    case Format::Ogg: return kOgg;
    case Format::Wma: return kWma;
  }
  return kWav;
}

AVSampleFormat PickSampleFormat(const AVCodec* codec) {
  if (!codec->sample_fmts) return AV_SAMPLE_FMT_S16;
  // Integer samples first: the PCM is 16-bit and so are the lossless targets.
  for (AVSampleFormat want : {AV_SAMPLE_FMT_S16, AV_SAMPLE_FMT_S16P, AV_SAMPLE_FMT_FLTP,
                              AV_SAMPLE_FMT_FLT}) {
    for (const AVSampleFormat* f = codec->sample_fmts; *f != AV_SAMPLE_FMT_NONE; ++f)
      if (*f == want) return want;
  }
  return codec->sample_fmts[0];
}

bool RateSupported(const AVCodec* codec, int rate) {
  if (!codec->supported_samplerates) return true;
  for (const int* r = codec->supported_samplerates; *r; ++r)
    if (*r == rate) return true;
  return false;
}

class Encoder {
 public:
  bool Run(const std::string& path, Format fmt, const Pcm& pcm, const EncodeOptions& opt,
           std::string* error);

 private:
  bool Fail(const std::string& what, int code = 0) {
    error_ = code ? what + ": " + ffmpeg::ErrorText(code) : what;
    return false;
  }
  // The encoding itself; FFmpeg's owners throw where an allocation fails.
  bool Write(const std::string& path, Format fmt, const Pcm& pcm, const EncodeOptions& opt);
  bool SendFrame(AVFrame* frame);  // nullptr flushes
  bool Drain();

  std::string error_;
  ffmpeg::OutputFormat out_;
  AVStream* stream_ = nullptr;
  ffmpeg::CodecContext ctx_;
  ffmpeg::Packet packet_;
};

bool Encoder::SendFrame(AVFrame* frame) {
  const int rc = avcodec_send_frame(ctx_.get(), frame);
  if (rc < 0) return Fail("encoding failed", rc);
  return Drain();
}

bool Encoder::Drain() {
  for (;;) {
    const int rc = avcodec_receive_packet(ctx_.get(), packet_.get());
    if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) return true;
    if (rc < 0) return Fail("encoding failed", rc);
    av_packet_rescale_ts(packet_.get(), ctx_->time_base, stream_->time_base);
    packet_->stream_index = stream_->index;
    const int wr = av_interleaved_write_frame(out_.get(), packet_.get());
    if (wr < 0) return Fail("writing failed", wr);
  }
}

bool Encoder::Run(const std::string& path, Format fmt, const Pcm& pcm, const EncodeOptions& opt,
                  std::string* error) {
  ffmpeg::SilenceLog();
  bool ok = false;
  try {
    ok = Write(path, fmt, pcm, opt);
  } catch (const ffmpeg::Error& e) {
    ok = Fail(e.what());
  } catch (const std::bad_alloc&) {
    ok = Fail("out of memory");
  }
  if (!ok) {
    out_.reset();  // closes the half-written file
    if (error) *error = error_;
  }
  return ok;
}

bool Encoder::Write(const std::string& path, Format fmt, const Pcm& pcm, const EncodeOptions& opt) {
  if (pcm.channels < 1 || pcm.channels > 2 || pcm.sampleRate <= 0)
    return Fail("PCM must be mono or stereo with a positive sample rate");
  if (pcm.samples.size() % pcm.channels) return Fail("PCM sample count is not whole frames");
  const int rate = opt.sampleRate > 0 ? opt.sampleRate : pcm.sampleRate;
  const int channels = opt.channels > 0 ? opt.channels : pcm.channels;
  if (channels > 2) return Fail("only mono and stereo are supported");

  const char* encoderName = EncoderFor(fmt);
  if (!encoderName) return Fail("no encoder available for this format");
  const AVCodec* codec = avcodec_find_encoder_by_name(encoderName);
  if (!RateSupported(codec, rate))
    return Fail(std::string(encoderName) + " does not support " + std::to_string(rate) + " Hz");

  out_ = ffmpeg::OutputFormat(Info(fmt).muxer, path);
  // Same input, same bytes: tests may compare files, and no version strings leak in.
  out_->flags |= AVFMT_FLAG_BITEXACT;

  stream_ = avformat_new_stream(out_.get(), nullptr);
  if (!stream_) return Fail("cannot add stream");
  ctx_ = ffmpeg::CodecContext(codec);

  AVCodecContext* c = ctx_.get();
  c->sample_fmt = PickSampleFormat(codec);
  c->sample_rate = rate;
  av_channel_layout_default(&c->ch_layout, channels);
  c->time_base = AVRational{1, rate};
  c->flags |= AV_CODEC_FLAG_BITEXACT;
  if (fmt != Format::Wav && fmt != Format::Aiff) c->bit_rate = opt.bitRate;
  if (fmt == Format::Mp3 && opt.vbr) {
    c->flags |= AV_CODEC_FLAG_QSCALE;
    c->global_quality = FF_QP2LAMBDA * std::clamp(opt.vbrQuality, 0, 9);
    c->bit_rate = 0;
  }
  // LAME's fast psychoacoustics: plenty for synthesised tones, and the tests
  // encode many files.
  if (std::string(encoderName) == "libmp3lame") c->compression_level = 7;
  if (std::string(encoderName) == "vorbis") c->strict_std_compliance = FF_COMPLIANCE_EXPERIMENTAL;
  if (out_->oformat->flags & AVFMT_GLOBALHEADER) c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;

  int rc = avcodec_open2(c, codec, nullptr);
  if (rc < 0) return Fail(std::string("cannot open encoder ") + encoderName, rc);
  rc = avcodec_parameters_from_context(stream_->codecpar, c);
  if (rc < 0) return Fail("cannot set stream parameters", rc);
  stream_->time_base = c->time_base;

  const ffmpeg::Resampler swr(c->ch_layout, c->sample_fmt, rate, ffmpeg::ChannelLayout(pcm.channels).get(),
                              AV_SAMPLE_FMT_S16, pcm.sampleRate);

  if (!(out_->oformat->flags & AVFMT_NOFILE)) {
    rc = avio_open(&out_->pb, path.c_str(), AVIO_FLAG_WRITE);
    if (rc < 0) return Fail("cannot create " + path, rc);
  }
  ffmpeg::Dictionary muxOpts;
  if (fmt == Format::Mp3) {
    muxOpts.SetInt("write_xing", opt.writeXing ? 1 : 0);
    muxOpts.SetInt("id3v2_version", opt.id3v2Version);
  }
  rc = avformat_write_header(out_.get(), muxOpts.out());
  if (rc < 0) return Fail("cannot write header", rc);

  const int frameSize = c->frame_size > 0 ? c->frame_size : 1024;
  ffmpeg::AudioFifo fifo(c->sample_fmt, channels, frameSize * 4);
  ffmpeg::Frame frame;

  std::int64_t pts = 0;
  // Sends whole frames from the fifo; with `all`, the short rest as the last one.
  auto emit = [&](bool all) {
    while (av_audio_fifo_size(fifo.get()) >= frameSize ||
           (all && av_audio_fifo_size(fifo.get()) > 0)) {
      const int n = std::min(frameSize, av_audio_fifo_size(fifo.get()));
      av_frame_unref(frame.get());
      frame->nb_samples = n;
      frame->format = c->sample_fmt;
      frame->sample_rate = rate;
      if (av_channel_layout_copy(&frame->ch_layout, &c->ch_layout) < 0 ||
          av_frame_get_buffer(frame.get(), 0) < 0)
        return Fail("out of memory");
      if (av_audio_fifo_read(fifo.get(), reinterpret_cast<void**>(frame->data), n) != n)
        return Fail("sample buffer failed");
      frame->pts = pts;
      pts += n;
      if (!SendFrame(frame.get())) return false;
    }
    return true;
  };

  // Converts in slices so a long piece never needs a second full-size copy.
  constexpr int kSlice = 8192;
  ffmpeg::Frame conv;
  const std::size_t totalFrames = pcm.FrameCount();
  for (std::size_t done = 0;;) {
    const int inCount = static_cast<int>(std::min<std::size_t>(kSlice, totalFrames - done));
    const bool flush = inCount == 0;
    const int outCap = swr_get_out_samples(swr.get(), inCount) + 16;
    av_frame_unref(conv.get());
    conv->nb_samples = outCap;
    conv->format = c->sample_fmt;
    conv->sample_rate = rate;
    if (av_channel_layout_copy(&conv->ch_layout, &c->ch_layout) < 0 ||
        av_frame_get_buffer(conv.get(), 0) < 0)
      return Fail("out of memory");
    const std::uint8_t* in =
        flush ? nullptr
              : reinterpret_cast<const std::uint8_t*>(pcm.samples.data() + done * pcm.channels);
    const int got = swr_convert(swr.get(), conv->data, outCap, flush ? nullptr : &in, inCount);
    if (got < 0) return Fail("conversion failed", got);
    if (got > 0 &&
        av_audio_fifo_write(fifo.get(), reinterpret_cast<void**>(conv->data), got) != got)
      return Fail("sample buffer failed");
    if (!emit(false)) return false;
    if (flush && got == 0) break;
    done += inCount;
  }
  if (!emit(true)) return false;
  if (!SendFrame(nullptr)) return false;

  rc = av_write_trailer(out_.get());
  if (rc < 0) return Fail("cannot finish file", rc);
  if (out_->pb) {
    rc = avio_closep(&out_->pb);
    if (rc < 0) return Fail("cannot close " + path, rc);
  }
  return true;
}

}  // namespace

const char* FormatExtension(Format fmt) { return Info(fmt).extension; }

const char* EncoderFor(Format fmt) {
  for (const char* name : Info(fmt).encoders)
    if (name && avcodec_find_encoder_by_name(name)) return name;
  return nullptr;
}

bool EncodeAudio(const std::string& nativePath, Format fmt, const Pcm& pcm,
                 const EncodeOptions& opt, std::string* error) {
  // Encoded beside the target and renamed over it: a failed encoding leaves an
  // existing file as it was, and nobody ever sees half a file.
  std::string temp = nativePath + ".XXXXXX";
  const int fd = mkstemp(temp.data());
  if (fd < 0) {
    if (error) *error = "cannot create " + nativePath + ": " + std::strerror(errno);
    return false;
  }
  fchmod(fd, 0644);
  close(fd);
  bool ok = false;
  try {
    Encoder enc;
    ok = enc.Run(temp, fmt, pcm, opt, error);
  } catch (const std::bad_alloc&) {
    if (error) *error = "out of memory";
  }
  std::error_code ec;
  if (ok) {
    std::filesystem::rename(temp, nativePath, ec);
    if (ec) {
      ok = false;
      if (error) *error = "cannot replace " + nativePath + ": " + ec.message();
    }
  }
  if (!ok) std::filesystem::remove(temp, ec);
  return ok;
}

std::string EncodeAudioBytes(Format fmt, const Pcm& pcm, const EncodeOptions& opt,
                             std::string* error) {
  std::string pattern = (std::filesystem::temp_directory_path() / "orvela-enc-XXXXXX").string();
  const int fd = mkstemp(pattern.data());
  if (fd < 0) {
    if (error) *error = "cannot create a temporary file";
    return {};
  }
  close(fd);
  std::string bytes;
  if (EncodeAudio(pattern, fmt, pcm, opt, error)) {
    if (auto read = ReadWholeFile(pattern)) {
      bytes = std::move(*read);
    } else if (error) {
      *error = "cannot read the encoded file back";
    }
  }
  std::error_code ec;
  std::filesystem::remove(pattern, ec);
  return bytes;
}

bool WriteTaggedMp3(const std::string& nativePath, const std::string& tagBytesBefore,
                    const std::string& audioBytes, const std::string& tagBytesAfter) {
  return WriteFileAtomically(nativePath, tagBytesBefore + audioBytes + tagBytesAfter);
}

}  // namespace orvela::demo
