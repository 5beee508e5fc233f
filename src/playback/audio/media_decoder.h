#pragma once
// One opened audio file: demuxing, decoding and resampling to interleaved
// stereo float at the mixer's rate. Not thread-safe; a channel's decoder
// thread is its only user once it is opened.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "playback/audio/ffmpeg_owners.h"
#include "playback/audio/mpeg_index.h"

namespace orvela::audio {

class MediaDecoder {
 public:
  enum class Kind { kStream, kModule };

  // Sample rates a stream may have. Outside them the file is refused: a header
  // claiming 1 Hz would make every decoded sample a few dozen at the output.
  static constexpr int kMinSourceRate = 4000;
  static constexpr int kMaxSourceRate = 384000;

  // nullptr when the file is missing, not a regular file, not audio, or yields
  // no decodable frame; never throws. kStream refuses tracker modules (they take
  // the module path); with `prescan` an MPEG audio file is indexed for exact
  // length and seeking.
  static std::unique_ptr<MediaDecoder> Open(const std::string& nativePath, Kind kind, bool prescan,
                                            int outputRate);
  ~MediaDecoder();
  MediaDecoder(const MediaDecoder&) = delete;
  MediaDecoder& operator=(const MediaDecoder&) = delete;

  int SourceRate() const { return sourceRate_; }
  int OutputRate() const { return outputRate_; }
  // In source frames; exact when indexed, otherwise the container's estimate (0 if none).
  std::int64_t LengthFrames() const { return length_; }
  bool Indexed() const { return !index_.empty(); }
  const MpegIndex& Index() const { return index_; }

  // Fills up to maxFrames stereo frames; answers 0 only at the end of the stream.
  // May throw (std::bad_alloc); the caller then ends the stream.
  int Read(float* out, int maxFrames);
  // Source-rate position of the next frame Read gives.
  std::int64_t SourcePosition() const;
  // The next Read starts at `sourceFrame` (clamped to 0..length when the length is exact).
  void Seek(std::int64_t sourceFrame);
  // True once decoding ran from the start to the end without a seek in between,
  // so SourcePosition() at the end is the true length.
  bool DecodedWholeStream() const { return atEnd_ && continuous_; }

 private:
  MediaDecoder() = default;
  bool OpenInput(const std::string& nativePath, Kind kind, bool prescan, int outputRate);
  // demuxerMayRead: the demuxer can still read on (else only the byte walk is tried).
  bool BuildIndex(bool demuxerMayRead);
  bool DecodeMore();          // appends to staging_; false at the end
  bool DecodeIndexedPacket();
  bool DecodeDemuxedPacket();
  void Drain();               // end of input: flush decoder and resampler
  // Converts samples [begin, end) of `frame` and appends them to staging_.
  void Convert(const AVFrame* frame, int begin, int end);
  void AppendSilence(std::int64_t sourceFrames);
  bool EnsureResampler(const AVFrame* frame);
  void HandleDemuxedFrame(AVFrame* frame);

  // Declared in the order they may be released: the demuxer reads through the
  // I/O context, which owns the file.
  std::unique_ptr<ffmpeg::FileIo> io_;
  ffmpeg::InputFormat format_;
  ffmpeg::CodecContext codec_;
  ffmpeg::Packet packet_;
  ffmpeg::Frame frame_;
  ffmpeg::Resampler swr_;
  int swrFormat_ = -1, swrRate_ = 0, swrChannels_ = 0;
  std::uint64_t swrLayoutMask_ = 0;
  int stream_ = -1;
  int sourceRate_ = 0;
  int outputRate_ = 44100;
  std::int64_t length_ = 0;
  std::int64_t startTime_ = 0;  // stream time base

  MpegIndex index_;
  std::size_t nextEntry_ = 0;
  std::vector<std::uint8_t> frameBytes_;

  std::vector<float> staging_;  // interleaved stereo at outputRate_
  std::size_t stagingRead_ = 0; // floats
  std::int64_t anchor_ = 0;     // source position of the first frame after the last seek
  std::int64_t delivered_ = 0;  // output frames given since then
  std::int64_t dropBefore_ = 0; // source frames before this are decoded but not kept
  bool seekPending_ = false;    // demuxed: the next frame's time fixes the anchor
  bool atEnd_ = false;
  bool inputDone_ = false;
  bool continuous_ = true;
};

}  // namespace orvela::audio
