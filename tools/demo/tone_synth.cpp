// Tones, rests and melodies as 16-bit PCM.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "demo/tone_encoder.h"

namespace orvela::demo {
namespace {

std::size_t FramesFor(double seconds, int sampleRate) {
  if (!(seconds > 0.0) || sampleRate <= 0) return 0;
  return static_cast<std::size_t>(std::llround(seconds * sampleRate));
}

// phase in cycles (0..1)
double Wave(Waveform w, double phase) {
  switch (w) {
    case Waveform::Square: return phase < 0.5 ? 1.0 : -1.0;
    case Waveform::Triangle: return phase < 0.5 ? 4.0 * phase - 1.0 : 3.0 - 4.0 * phase;
    case Waveform::Sawtooth: return 2.0 * phase - 1.0;
    case Waveform::Sine: break;
  }
  return std::sin(2.0 * std::numbers::pi * phase);
}

// Writes `frames` frames of a shaped tone at samples[offset...]. attack and
// release are in frames; a hard edge at full amplitude would click.
void Render(std::vector<std::int16_t>& out, std::size_t offsetFrame, std::size_t frames,
            int channels, int sampleRate, double frequency, double amplitude, Waveform w,
            std::size_t attack, std::size_t release) {
  const double amp = std::clamp(amplitude, 0.0, 1.0) * 32767.0;
  const double step = frequency / sampleRate;
  attack = std::min(attack, frames / 2);
  release = std::min(release, frames / 2);
  double phase = 0.0;
  for (std::size_t i = 0; i < frames; ++i) {
    double env = 1.0;
    if (i < attack) env = static_cast<double>(i) / attack;
    if (frames - i <= release) env = std::min(env, static_cast<double>(frames - i - 1) / release);
    const auto v = static_cast<std::int16_t>(std::lround(amp * env * Wave(w, phase)));
    for (int c = 0; c < channels; ++c) out[(offsetFrame + i) * channels + c] = v;
    phase += step;
    phase -= std::floor(phase);
  }
}

}  // namespace

Pcm SynthesizeSilence(double seconds, int sampleRate, int channels) {
  Pcm pcm;
  pcm.sampleRate = sampleRate;
  pcm.channels = channels;
  pcm.samples.assign(FramesFor(seconds, sampleRate) * std::max(channels, 0), 0);
  return pcm;
}

Pcm SynthesizeTone(double frequencyHz, double seconds, double amplitude, int sampleRate,
                   int channels) {
  Pcm pcm = SynthesizeSilence(seconds, sampleRate, channels);
  if (channels <= 0 || !(frequencyHz > 0.0)) return pcm;
  const std::size_t fade = FramesFor(0.01, sampleRate);
  Render(pcm.samples, 0, pcm.FrameCount(), channels, sampleRate, frequencyHz, amplitude,
         Waveform::Sine, fade, fade);
  return pcm;
}

Pcm SynthesizeMelody(const std::vector<Note>& notes, Waveform waveform, int sampleRate,
                     int channels) {
  Pcm pcm;
  pcm.sampleRate = sampleRate;
  pcm.channels = channels;
  if (channels <= 0 || sampleRate <= 0) return pcm;
  std::size_t total = 0;
  for (const Note& n : notes) total += FramesFor(n.seconds, sampleRate);
  pcm.samples.assign(total * channels, 0);
  const std::size_t attack = FramesFor(0.005, sampleRate);
  const std::size_t release = FramesFor(0.03, sampleRate);
  std::size_t at = 0;
  for (const Note& n : notes) {
    const std::size_t frames = FramesFor(n.seconds, sampleRate);
    if (n.frequencyHz > 0.0)
      Render(pcm.samples, at, frames, channels, sampleRate, n.frequencyHz, n.amplitude, waveform,
             attack, release);
    at += frames;
  }
  return pcm;
}

double MidiNoteFrequency(int midiNote) { return 440.0 * std::pow(2.0, (midiNote - 69) / 12.0); }

bool AppendPcm(Pcm& dst, const Pcm& src) {
  if (dst.sampleRate != src.sampleRate || dst.channels != src.channels) return false;
  dst.samples.insert(dst.samples.end(), src.samples.begin(), src.samples.end());
  return true;
}

bool MixPcm(Pcm& dst, const Pcm& src, double gain) {
  if (dst.sampleRate != src.sampleRate || dst.channels != src.channels) return false;
  if (dst.samples.size() < src.samples.size()) dst.samples.resize(src.samples.size(), 0);
  for (std::size_t i = 0; i < src.samples.size(); ++i) {
    const double v = dst.samples[i] + gain * src.samples[i];
    dst.samples[i] = static_cast<std::int16_t>(std::lround(std::clamp(v, -32768.0, 32767.0)));
  }
  return true;
}

void FitPcm(Pcm& pcm, double seconds, double fadeSeconds) {
  if (pcm.channels <= 0) return;
  const std::size_t frames = FramesFor(seconds, pcm.sampleRate);
  pcm.samples.resize(frames * pcm.channels, 0);
  const std::size_t fade = std::min(frames, FramesFor(fadeSeconds, pcm.sampleRate));
  for (std::size_t i = 0; i < fade; ++i) {
    const std::size_t frame = frames - fade + i;
    const double g = static_cast<double>(fade - 1 - i) / fade;
    for (int c = 0; c < pcm.channels; ++c) {
      auto& s = pcm.samples[frame * pcm.channels + c];
      s = static_cast<std::int16_t>(std::lround(s * g));
    }
  }
}

}  // namespace orvela::demo
