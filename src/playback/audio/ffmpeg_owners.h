#pragma once
// One owner type per FFmpeg object the program creates: the constructor (or the
// factory) allocates or throws, the destructor frees. Code that uses them never
// writes a free of its own, so an early return or an exception cannot leak one.
// Used by the audio layer's decoder and frame index and by the demo encoder and
// checker.
#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/dict.h>
#include <libswresample/swresample.h>
}

namespace orvela::audio::ffmpeg {

// FFmpeg's text for an error code.
std::string ErrorText(int code);

// A failed FFmpeg call: what was attempted and FFmpeg's error code.
class Error : public std::runtime_error {
 public:
  Error(const std::string& what, int code) : std::runtime_error(what + ": " + ErrorText(code)), code_(code) {}
  int code() const { return code_; }

 private:
  int code_;
};

// FFmpeg writes its own remarks (a damaged frame, an encoder's padding notes) to
// the terminal. The jukebox and its tool report what they have to say
// themselves, so the library is kept silent. Called wherever FFmpeg is set up.
void SilenceLog();

// The shared part: holds one pointer and frees it with Free (FFmpeg's
// pointer-to-pointer free functions, which also null the pointer).
template <typename T, void (*Free)(T**)>
class Owner {
 public:
  Owner() = default;
  ~Owner() { reset(); }
  Owner(Owner&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  Owner& operator=(Owner&& other) noexcept {
    if (this != &other) {
      reset();
      p_ = std::exchange(other.p_, nullptr);
    }
    return *this;
  }
  Owner(const Owner&) = delete;
  Owner& operator=(const Owner&) = delete;

  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  void reset() noexcept {
    if (p_) Free(&p_);
    p_ = nullptr;
  }

 protected:
  explicit Owner(T* p) : p_(p) {}
  T* p_ = nullptr;
};

namespace detail {
inline void CloseInput(AVFormatContext** f) { avformat_close_input(f); }
inline void FreeOutput(AVFormatContext** f) {
  AVFormatContext* oc = *f;
  if (oc->pb && !(oc->oformat->flags & AVFMT_NOFILE)) avio_closep(&oc->pb);
  avformat_free_context(oc);
  *f = nullptr;
}
inline void FreeFifo(AVAudioFifo** f) {
  av_audio_fifo_free(*f);
  *f = nullptr;
}
}  // namespace detail

class Packet : public Owner<AVPacket, &av_packet_free> {
 public:
  Packet() : Owner(av_packet_alloc()) {
    if (!p_) throw std::bad_alloc();
  }
};

class Frame : public Owner<AVFrame, &av_frame_free> {
 public:
  Frame() : Owner(av_frame_alloc()) {
    if (!p_) throw std::bad_alloc();
  }
};

class CodecContext : public Owner<AVCodecContext, &avcodec_free_context> {
 public:
  CodecContext() = default;  // empty
  explicit CodecContext(const AVCodec* codec) : Owner(avcodec_alloc_context3(codec)) {
    if (!p_) throw std::bad_alloc();
  }
};

// A demuxer context, opened on a file name or on an I/O context the caller
// owns (see FileIo), which must then outlive it.
class InputFormat : public Owner<AVFormatContext, &detail::CloseInput> {
 public:
  InputFormat() = default;  // empty
  // Throws Error when FFmpeg cannot open the input as the format (or any format
  // when `format` is null). `io` may be null: FFmpeg then opens `url` itself.
  static InputFormat Open(const std::string& url, const AVInputFormat* format, AVDictionary** options,
                          AVIOContext* io = nullptr);
};

// A muxer context for a file; the file FFmpeg opened for it is closed with it.
class OutputFormat : public Owner<AVFormatContext, &detail::FreeOutput> {
 public:
  OutputFormat() = default;
  // Throws Error when the muxer is unknown.
  OutputFormat(const char* muxer, const std::string& path);
};

// A channel layout: its copy may own a channel map, which the destructor releases.
class ChannelLayout {
 public:
  // The default layout of `channels` channels.
  explicit ChannelLayout(int channels) { av_channel_layout_default(&layout_, channels); }
  // A copy of `from`; a layout of unspecified order becomes the default of its
  // channel count. Throws std::bad_alloc.
  explicit ChannelLayout(const AVChannelLayout& from) {
    if (from.order == AV_CHANNEL_ORDER_UNSPEC) {
      av_channel_layout_default(&layout_, from.nb_channels);
    } else if (av_channel_layout_copy(&layout_, &from) < 0) {
      throw std::bad_alloc();
    }
  }
  ~ChannelLayout() { av_channel_layout_uninit(&layout_); }
  ChannelLayout(const ChannelLayout&) = delete;
  ChannelLayout& operator=(const ChannelLayout&) = delete;
  const AVChannelLayout& get() const { return layout_; }

 private:
  AVChannelLayout layout_{};
};

class Resampler : public Owner<SwrContext, &swr_free> {
 public:
  Resampler() = default;  // empty
  // A converter between the two layouts, sample formats and rates, initialised.
  // `matrix` (out channels x in channels, optional) replaces the default mix.
  // Throws Error when FFmpeg refuses the combination.
  Resampler(const AVChannelLayout& outLayout, AVSampleFormat outFormat, int outRate,
            const AVChannelLayout& inLayout, AVSampleFormat inFormat, int inRate,
            const double* matrix = nullptr);
};

class AudioFifo : public Owner<AVAudioFifo, &detail::FreeFifo> {
 public:
  AudioFifo(AVSampleFormat format, int channels, int samples)
      : Owner(av_audio_fifo_alloc(format, channels, samples)) {
    if (!p_) throw std::bad_alloc();
  }
};

class Dictionary : public Owner<AVDictionary, &av_dict_free> {
 public:
  Dictionary() = default;
  void Set(const char* key, const char* value) { av_dict_set(&p_, key, value, 0); }
  void SetInt(const char* key, std::int64_t value) { av_dict_set_int(&p_, key, value, 0); }
  // For the calls that take options and hand back the ones they did not use.
  AVDictionary** out() { return &p_; }
};

// FFmpeg's I/O on a file descriptor the jukebox opened itself (without
// blocking, and only for regular files); owns the descriptor and closes it.
// Reads go through pread, so other readers of the descriptor do not disturb it.
class FileIo {
 public:
  // Takes the descriptor, also when it throws (std::bad_alloc).
  explicit FileIo(int fd);
  ~FileIo();
  FileIo(const FileIo&) = delete;
  FileIo& operator=(const FileIo&) = delete;

  AVIOContext* get() const { return io_; }
  int fd() const { return fd_; }

  // From now on FFmpeg may read at most `bytes` more before it meets the end
  // of the file; negative: no limit. For steps that may look as far as they
  // like for something a hostile file never gives.
  void LimitReads(std::int64_t bytes) {
    readLimit_ = bytes;
    limitReached_ = false;
  }
  bool ReadLimitReached() const { return limitReached_; }

 private:
  static int Read(void* opaque, std::uint8_t* buffer, int size);
  static std::int64_t Seek(void* opaque, std::int64_t offset, int whence);

  int fd_ = -1;
  std::int64_t position_ = 0;
  std::int64_t readLimit_ = -1;  // bytes FFmpeg may still read; negative: any
  bool limitReached_ = false;
  AVIOContext* io_ = nullptr;
};

}  // namespace orvela::audio::ffmpeg
