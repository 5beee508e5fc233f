#pragma once
// Synthesised and encoded audio for the demo collection and for the tests'
// fixtures: tones and little melodies, encoded through FFmpeg's encoders into
// real files, plus byte builders for tags and a tiny tracker module, so no test
// ever needs a binary file it did not make itself.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace orvela::demo {

// Interleaved signed 16-bit samples.
struct Pcm {
  int sampleRate = 44100;
  int channels = 2;
  std::vector<std::int16_t> samples;

  std::size_t FrameCount() const { return channels > 0 ? samples.size() / channels : 0; }
  double DurationSeconds() const {
    return sampleRate > 0 ? static_cast<double>(FrameCount()) / sampleRate : 0.0;
  }
};

enum class Waveform { Sine, Square, Triangle, Sawtooth };

// amplitude 0..1 of full scale. A short fade in and out keeps the edges free of clicks.
Pcm SynthesizeTone(double frequencyHz, double seconds, double amplitude = 0.5,
                   int sampleRate = 44100, int channels = 2);
Pcm SynthesizeSilence(double seconds, int sampleRate = 44100, int channels = 2);

// frequencyHz <= 0 is a rest.
struct Note {
  double frequencyHz = 440.0;
  double seconds = 0.25;
  double amplitude = 0.5;
};

// Each note gets a short attack/release envelope, so repeated notes stay audible as notes.
Pcm SynthesizeMelody(const std::vector<Note>& notes, Waveform waveform = Waveform::Sine,
                     int sampleRate = 44100, int channels = 2);

// Frequency of a MIDI note number (69 = A4 = 440 Hz).
double MidiNoteFrequency(int midiNote);

// Appends src to dst; both must have the same rate and channel count (false otherwise).
bool AppendPcm(Pcm& dst, const Pcm& src);

// Adds src * gain into dst from its start, clipping at full scale; dst grows when
// src is longer. Same rate and channel count required (false otherwise).
bool MixPcm(Pcm& dst, const Pcm& src, double gain = 1.0);

// Cuts or pads (with silence) to exactly `seconds`, then fades the last fadeSeconds out.
void FitPcm(Pcm& pcm, double seconds, double fadeSeconds = 0.0);

enum class Format { Mp3, Mp2, Wav, Aiff, Ogg, Wma };

// ".mp3", ".mp2", ".wav", ".aif", ".ogg", ".wma"
const char* FormatExtension(Format fmt);
// The FFmpeg encoder EncodeAudio uses for fmt on this system ("libmp3lame", ...),
// or nullptr when none of the candidates is present.
const char* EncoderFor(Format fmt);

struct EncodeOptions {
  int sampleRate = 0;      // 0: the PCM's rate; otherwise resampled
  int channels = 0;        // 0: the PCM's channel count; 1 or 2 otherwise
  int bitRate = 128000;    // bits per second (compressed formats, CBR)
  bool vbr = false;        // MP3 only: LAME VBR instead of CBR
  int vbrQuality = 4;      // LAME -V 0 (best) .. 9
  bool writeXing = true;   // MP3 only: Xing/Info header frame at the start
  int id3v2Version = 0;    // MP3 only: FFmpeg's own ID3v2 tag, 3 or 4; 0 = none
};

// Encodes pcm into the file at nativePath (UTF-8 path), replacing it only once the
// encoding succeeded. False with a reason in *error (if given) when anything
// fails; an existing file is then left as it was.
bool EncodeAudio(const std::string& nativePath, Format fmt, const Pcm& pcm,
                 const EncodeOptions& opt = {}, std::string* error = nullptr);

// The same, answering the file's bytes (empty on failure).
std::string EncodeAudioBytes(Format fmt, const Pcm& pcm, const EncodeOptions& opt = {},
                             std::string* error = nullptr);

// ---- ID3 tags --------------------------------------------------------------

enum class Id3TextEncoding : std::uint8_t { Latin1 = 0, Utf16 = 1, Utf16Be = 2, Utf8 = 3 };

// A frame of an ID3v2 tag. Frames whose id starts with 'T' are text frames,
// "COMM" is a comment (language "eng", empty description); both take `text` as
// UTF-8 and store it in the tag's encoding. Any other id needs rawBody, which is
// written unchanged (as is a non-empty rawBody for any id).
struct Id3Frame {
  std::string id;       // "TPE1", "TIT2", "TYER", "TDRC", "TCON", "TALB", "TRCK", "COMM", ...
  std::string text;     // UTF-8
  std::string rawBody;  // bytes written as the frame body instead of text
};

// version 2, 3 or 4 (v2.2 takes three-letter ids: "TP1", "TT2", ...). Latin1
// text is converted from UTF-8 to Windows-1252 ('?' for what it cannot hold);
// Utf16 is little-endian with a byte-order mark. padding zero bytes follow the frames.
std::string BuildId3v2Tag(int version, const std::vector<Id3Frame>& frames,
                          Id3TextEncoding encoding = Id3TextEncoding::Utf16,
                          std::size_t padding = 0);

// Text as UTF-8; stored as Windows-1252, cut or zero-padded to the field widths.
// track 0 writes an ID3v1.0 comment of 30 bytes, otherwise ID3v1.1. genre 255 = none.
struct Id3v1Fields {
  std::string title, artist, album, year, comment;
  int track = 0;
  int genre = 255;
};
std::string BuildId3v1Tag(const Id3v1Fields& fields);  // always 128 bytes

// Writes before + audio + after to path (replacing it). False on I/O failure.
bool WriteTaggedMp3(const std::string& nativePath, const std::string& tagBytesBefore,
                    const std::string& audioBytes, const std::string& tagBytesAfter);

// ---- tracker module --------------------------------------------------------

// A small valid 4-channel ProTracker module ("M.K."): one generated looped sample
// and a melody with a bass, about `seconds` long at speed 6 / 125 BPM (0.12 s a
// row, rounded to whole rows). A full 64-row pattern lasts 7.68 s; longer pieces
// repeat it, and the last one is cut short by a pattern break (at most 128
// positions, about 16 minutes).
std::string BuildTrackerModule(const std::string& title = "orvela demo", double seconds = 4.0);

}  // namespace orvela::demo
