// FFmpeg decoding and a little analysis for checking synthesised files.
#include "demo/audio_check.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <memory>
#include <numbers>

#include "playback/audio/ffmpeg_owners.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}

namespace orvela::demo {
namespace {

namespace ffmpeg = audio::ffmpeg;

// An opened file with its stream information read; empty on failure.
ffmpeg::InputFormat Open(const std::string& path, std::string* error) {
  ffmpeg::SilenceLog();
  try {
    ffmpeg::InputFormat fc = ffmpeg::InputFormat::Open(path, nullptr, nullptr);
    const int rc = avformat_find_stream_info(fc.get(), nullptr);
    if (rc < 0) {
      if (error) *error = "no stream info: " + ffmpeg::ErrorText(rc);
      return {};
    }
    return fc;
  } catch (const std::exception& e) {
    if (error) *error = e.what();
    return {};
  }
}

// Mono mix of the window, as doubles in -1..1.
std::vector<double> MonoWindow(const Pcm& pcm, double startSeconds, double seconds) {
  std::vector<double> mono;
  if (pcm.channels <= 0 || pcm.sampleRate <= 0) return mono;
  const std::size_t frames = pcm.FrameCount();
  const auto from = static_cast<std::size_t>(std::max(0.0, startSeconds) * pcm.sampleRate);
  const auto count = static_cast<std::size_t>(std::max(0.0, seconds) * pcm.sampleRate);
  for (std::size_t i = from; i < frames && i < from + count; ++i) {
    double sum = 0;
    for (int c = 0; c < pcm.channels; ++c) sum += pcm.samples[i * pcm.channels + c];
    mono.push_back(sum / pcm.channels / 32768.0);
  }
  return mono;
}

// Power of one frequency over the (already windowed) samples.
double Goertzel(const std::vector<double>& x, double freq, int rate) {
  const double coeff = 2.0 * std::cos(2.0 * std::numbers::pi * freq / rate);
  double s1 = 0, s2 = 0;
  for (double v : x) {
    const double s0 = v + coeff * s1 - s2;
    s2 = s1;
    s1 = s0;
  }
  return s1 * s1 + s2 * s2 - coeff * s1 * s2;
}

// In-place iterative radix-2 FFT; the size is a power of two.
void Fft(std::vector<std::complex<double>>& a) {
  const std::size_t n = a.size();
  for (std::size_t i = 1, j = 0; i < n; ++i) {
    std::size_t bit = n >> 1;
    for (; j & bit; bit >>= 1) j ^= bit;
    j ^= bit;
    if (i < j) std::swap(a[i], a[j]);
  }
  for (std::size_t len = 2; len <= n; len <<= 1) {
    const std::complex<double> w = std::polar(1.0, -2.0 * std::numbers::pi / len);
    for (std::size_t i = 0; i < n; i += len) {
      std::complex<double> wk = 1.0;
      for (std::size_t k = 0; k < len / 2; ++k) {
        const auto u = a[i + k], v = a[i + k + len / 2] * wk;
        a[i + k] = u + v;
        a[i + k + len / 2] = u - v;
        wk *= w;
      }
    }
  }
}

bool Decode(const std::string& nativePath, Pcm* out, std::string* error, double maxSeconds) {
  auto fc = Open(nativePath, error);
  if (!fc) return false;
  const int si = av_find_best_stream(fc.get(), AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
  if (si < 0) {
    if (error) *error = "no audio stream";
    return false;
  }
  const AVCodecParameters* par = fc->streams[si]->codecpar;
  const AVCodec* codec = avcodec_find_decoder(par->codec_id);
  if (!codec) {
    if (error) *error = "no decoder";
    return false;
  }
  ffmpeg::CodecContext ctx(codec);
  if (avcodec_parameters_to_context(ctx.get(), par) < 0 ||
      avcodec_open2(ctx.get(), codec, nullptr) < 0) {
    if (error) *error = "cannot open decoder";
    return false;
  }
  const int channels = std::clamp(ctx->ch_layout.nb_channels, 1, 2);
  Pcm pcm;
  pcm.sampleRate = ctx->sample_rate;
  pcm.channels = channels;
  if (pcm.sampleRate <= 0) {
    if (error) *error = "no sample rate";
    return false;
  }

  ffmpeg::Resampler swr;
  ffmpeg::Packet pkt;
  ffmpeg::Frame frame;
  const std::size_t limit =
      maxSeconds > 0 ? static_cast<std::size_t>(maxSeconds * pcm.sampleRate) : SIZE_MAX;
  std::string failure;

  auto takeFrames = [&]() -> bool {
    for (;;) {
      const int rc = avcodec_receive_frame(ctx.get(), frame.get());
      if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) return true;
      if (rc < 0) {
        failure = "decoding failed: " + ffmpeg::ErrorText(rc);
        return false;
      }
      if (!swr) {
        swr = ffmpeg::Resampler(ffmpeg::ChannelLayout(channels).get(), AV_SAMPLE_FMT_S16, pcm.sampleRate,
                                frame->ch_layout, static_cast<AVSampleFormat>(frame->format),
                                frame->sample_rate);
      }
      const int cap = swr_get_out_samples(swr.get(), frame->nb_samples) + 16;
      const std::size_t at = pcm.samples.size();
      pcm.samples.resize(at + static_cast<std::size_t>(cap) * channels);
      auto* dst = reinterpret_cast<std::uint8_t*>(pcm.samples.data() + at);
      const int got = swr_convert(swr.get(), &dst, cap,
                                  const_cast<const std::uint8_t**>(frame->extended_data),
                                  frame->nb_samples);
      pcm.samples.resize(at + static_cast<std::size_t>(std::max(got, 0)) * channels);
      av_frame_unref(frame.get());
      if (got < 0) {
        failure = "conversion failed";
        return false;
      }
      if (pcm.FrameCount() >= limit) return true;
    }
  };

  bool ok = true;
  while (ok && pcm.FrameCount() < limit) {
    const int rc = av_read_frame(fc.get(), pkt.get());
    if (rc < 0) break;  // end of file (or a read error: the audio so far stands)
    if (pkt->stream_index == si) {
      const int sent = avcodec_send_packet(ctx.get(), pkt.get());
      // One damaged packet is skipped, as a player would.
      if (sent >= 0 || sent == AVERROR_INVALIDDATA) ok = takeFrames();
    }
    av_packet_unref(pkt.get());
  }
  if (ok && pcm.FrameCount() < limit) {
    avcodec_send_packet(ctx.get(), nullptr);
    ok = takeFrames();
  }
  if (!ok) {
    if (error) *error = failure;
    return false;
  }
  if (pcm.FrameCount() > limit) pcm.samples.resize(limit * channels);
  *out = std::move(pcm);
  return true;
}

}  // namespace

bool DecodeAudioFile(const std::string& nativePath, Pcm* out, std::string* error,
                     double maxSeconds) {
  try {
    return Decode(nativePath, out, error, maxSeconds);
  } catch (const std::exception& e) {  // the owners' failures: no memory, a refused conversion
    if (error) *error = e.what();
    return false;
  }
}

double ProbeDurationSeconds(const std::string& nativePath) {
  auto fc = Open(nativePath, nullptr);
  if (!fc || fc->duration == AV_NOPTS_VALUE) return -1.0;
  return static_cast<double>(fc->duration) / AV_TIME_BASE;
}

bool HasModuleDemuxer() { return av_find_input_format("libopenmpt") != nullptr; }

double DominantFrequency(const Pcm& pcm, double startSeconds, double seconds, double maxHz) {
  std::vector<double> x = MonoWindow(pcm, startSeconds, seconds);
  if (x.size() < 64) return 0.0;
  const std::size_t n = x.size();
  for (std::size_t i = 0; i < n; ++i)  // Hann window against leakage from the edges
    x[i] *= 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * i / (n - 1));
  const int rate = pcm.sampleRate;
  maxHz = std::min(maxHz, rate / 2.0);

  // Coarse: the strongest FFT bin (zero-padded to a power of two), then a fine
  // Goertzel scan around it, which costs a few dozen passes instead of thousands.
  std::size_t size = 1;
  while (size < n) size <<= 1;
  std::vector<std::complex<double>> bins(size);
  for (std::size_t i = 0; i < n; ++i) bins[i] = x[i];
  Fft(bins);
  const double bin = static_cast<double>(rate) / size;
  double best = 0, bestPower = 0;
  for (std::size_t k = static_cast<std::size_t>(20.0 / bin) + 1; k < size / 2 && k * bin <= maxHz;
       ++k) {
    const double p = std::norm(bins[k]);
    if (p > bestPower) bestPower = p, best = k * bin;
  }
  if (bestPower <= 1e-9) return 0.0;
  const double center = best;
  bestPower = 0;
  for (double f = center - bin; f <= center + bin; f += bin / 16) {
    const double p = Goertzel(x, f, rate);
    if (p > bestPower) bestPower = p, best = f;
  }
  return best;
}

double RmsLevel(const Pcm& pcm, double startSeconds, double seconds) {
  const std::vector<double> x = MonoWindow(pcm, startSeconds, seconds);
  if (x.empty()) return 0.0;
  double sum = 0;
  for (double v : x) sum += v * v;
  return std::sqrt(sum / x.size());
}

}  // namespace orvela::demo
