#pragma once
// Reading encoded audio back, for tests that must know what a file sounds like.
#include <string>

#include "demo/tone_encoder.h"

namespace orvela::demo {

// Decodes the whole first audio stream of a file (or module) through FFmpeg into
// 16-bit PCM at the stream's own rate, mono or stereo (more channels are mixed
// down to stereo). maxSeconds > 0 stops after that much audio.
bool DecodeAudioFile(const std::string& nativePath, Pcm* out, std::string* error = nullptr,
                     double maxSeconds = 0.0);

// Stream duration in seconds as FFmpeg's demuxer reports it (no decoding); < 0 on failure.
double ProbeDurationSeconds(const std::string& nativePath);

// Whether this FFmpeg can read tracker modules (its libopenmpt demuxer).
bool HasModuleDemuxer();

// Strongest frequency (Hz, 20 .. maxHz) of the channels' mix in the window
// [startSeconds, startSeconds + seconds); 0 when the window is empty or silent.
double DominantFrequency(const Pcm& pcm, double startSeconds, double seconds,
                         double maxHz = 8000.0);

// Root mean square of the mix in the window, 0..1 of full scale.
double RmsLevel(const Pcm& pcm, double startSeconds, double seconds);

}  // namespace orvela::demo
