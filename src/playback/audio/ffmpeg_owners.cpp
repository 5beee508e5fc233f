#include "playback/audio/ffmpeg_owners.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>

extern "C" {
#include <libavutil/log.h>
#include <libavutil/mem.h>
#include <libavutil/opt.h>
}

namespace orvela::audio::ffmpeg {
namespace {

void DiscardLogLine(void*, int, const char*, std::va_list) {}

// Big enough for the demuxers' probing and the MP3 reader's look at the file's
// tail without a second read; small enough to cost nothing per stream.
constexpr int kIoBufferBytes = 64 * 1024;

}  // namespace

std::string ErrorText(int code) {
  char buf[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, buf, sizeof buf);
  return buf;
}

void SilenceLog() {
  av_log_set_level(AV_LOG_QUIET);
  av_log_set_callback(&DiscardLogLine);
}

InputFormat InputFormat::Open(const std::string& url, const AVInputFormat* format, AVDictionary** options,
                              AVIOContext* io) {
  AVFormatContext* context = avformat_alloc_context();
  if (!context) throw std::bad_alloc();
  if (io) {
    context->pb = io;
    context->flags |= AVFMT_FLAG_CUSTOM_IO;
  }
  // On failure FFmpeg frees the context it was given.
  const int rc = avformat_open_input(&context, url.c_str(), format, options);
  if (rc < 0) throw Error("cannot open " + url, rc);
  InputFormat owner;
  owner.p_ = context;
  return owner;
}

OutputFormat::OutputFormat(const char* muxer, const std::string& path) {
  const int rc = avformat_alloc_output_context2(&p_, nullptr, muxer, path.c_str());
  if (rc < 0 || !p_) throw Error(std::string("no muxer ") + muxer, rc < 0 ? rc : AVERROR_MUXER_NOT_FOUND);
}

Resampler::Resampler(const AVChannelLayout& outLayout, AVSampleFormat outFormat, int outRate,
                     const AVChannelLayout& inLayout, AVSampleFormat inFormat, int inRate,
                     const double* matrix) {
  // FFmpeg 5.1 declares the layouts non-const but only reads them.
  int rc = swr_alloc_set_opts2(&p_, const_cast<AVChannelLayout*>(&outLayout), outFormat, outRate,
                               const_cast<AVChannelLayout*>(&inLayout), inFormat, inRate, 0, nullptr);
  if (rc < 0 || !p_) throw Error("cannot set up conversion", rc < 0 ? rc : AVERROR(ENOMEM));
  if (matrix) {
    rc = swr_set_matrix(p_, matrix, inLayout.nb_channels);
    if (rc < 0) throw Error("cannot set the channel mix", rc);
  }
  rc = swr_init(p_);
  if (rc < 0) throw Error("cannot set up conversion", rc);
}

FileIo::FileIo(int fd) : fd_(fd) {
  auto* buffer = static_cast<std::uint8_t*>(av_malloc(kIoBufferBytes));
  if (buffer) io_ = avio_alloc_context(buffer, kIoBufferBytes, 0, this, &FileIo::Read, nullptr, &FileIo::Seek);
  if (!io_) {
    av_free(buffer);
    if (fd_ >= 0) ::close(fd_);
    throw std::bad_alloc();
  }
}

FileIo::~FileIo() {
  // FFmpeg may have swapped the buffer for one of its own; the context knows.
  if (io_) av_freep(&io_->buffer);
  avio_context_free(&io_);
  if (fd_ >= 0) ::close(fd_);
}

int FileIo::Read(void* opaque, std::uint8_t* buffer, int size) {
  auto* self = static_cast<FileIo*>(opaque);
  if (self->readLimit_ >= 0) {
    if (self->readLimit_ == 0) {
      self->limitReached_ = true;
      return AVERROR_EOF;
    }
    size = static_cast<int>(std::min<std::int64_t>(size, self->readLimit_));
  }
  for (;;) {
    const ssize_t got = ::pread(self->fd_, buffer, static_cast<std::size_t>(size), self->position_);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return AVERROR(errno);
    if (got == 0) return AVERROR_EOF;
    self->position_ += got;
    if (self->readLimit_ > 0) self->readLimit_ -= got;
    return static_cast<int>(got);
  }
}

std::int64_t FileIo::Seek(void* opaque, std::int64_t offset, int whence) {
  auto* self = static_cast<FileIo*>(opaque);
  struct stat info {};
  whence &= ~AVSEEK_FORCE;
  if (whence == AVSEEK_SIZE) return ::fstat(self->fd_, &info) == 0 ? info.st_size : AVERROR(errno);
  std::int64_t base = 0;
  switch (whence) {
    case SEEK_SET: base = 0; break;
    case SEEK_CUR: base = self->position_; break;
    case SEEK_END:
      if (::fstat(self->fd_, &info) != 0) return AVERROR(errno);
      base = info.st_size;
      break;
    default: return AVERROR(EINVAL);
  }
  const std::int64_t target = base + offset;
  if (target < 0) return AVERROR(EINVAL);
  self->position_ = target;
  return target;
}

}  // namespace orvela::audio::ffmpeg
