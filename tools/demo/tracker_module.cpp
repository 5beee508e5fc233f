// A four-channel "M.K." module built byte by byte: the playback tests need a
// module file, and one made here carries no one else's music.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "demo/tone_encoder.h"

namespace orvela::demo {
namespace {

constexpr int kRowsPerPattern = 64;
constexpr int kChannels = 4;
constexpr double kSecondsPerRow = 6 * 2.5 / 125.0;  // speed 6, 125 BPM
constexpr int kCycle = 32;                           // bytes of one waveform cycle

void PutWord(std::string& out, unsigned v) {
  out += static_cast<char>((v >> 8) & 0xFF);
  out += static_cast<char>(v & 0xFF);
}

std::string Padded(const std::string& s, std::size_t width) {
  std::string r = s.substr(0, width);
  r.resize(width, '\0');
  return r;
}

struct Cell {
  unsigned sample = 0, period = 0, effect = 0, param = 0;
};

void PutCell(std::string& out, const Cell& c) {
  out += static_cast<char>((c.sample & 0xF0) | ((c.period >> 8) & 0x0F));
  out += static_cast<char>(c.period & 0xFF);
  out += static_cast<char>(((c.sample & 0x0F) << 4) | (c.effect & 0x0F));
  out += static_cast<char>(c.param & 0xFF);
}

// rows < 64 ends the pattern early with a pattern break on its last row.
std::string Pattern(int rows) {
  // C major arpeggio up and down in the middle octave, a bass on C and G below.
  static const unsigned kMelody[] = {428, 339, 285, 214, 285, 339, 381, 320};
  static const unsigned kBass[] = {856, 570};
  std::string out;
  for (int row = 0; row < kRowsPerPattern; ++row) {
    Cell cells[kChannels];
    if (row < rows) {
      if (row % 2 == 0) cells[0] = {1, kMelody[(row / 2) % 8], 0, 0};
      if (row % 8 == 0) cells[1] = {1, kBass[(row / 8) % 2], 0xC, 40};  // quieter bass
    }
    if (row == 0) {
      cells[2] = {0, 0, 0xF, 6};    // speed 6 ticks per row
      cells[3] = {0, 0, 0xF, 125};  // 125 BPM
    }
    if (rows < kRowsPerPattern && row == rows - 1) cells[2] = {0, 0, 0xD, 0};
    for (const Cell& c : cells) PutCell(out, c);
  }
  return out;
}

}  // namespace

std::string BuildTrackerModule(const std::string& title, double seconds) {
  const int totalRows = std::max(1, static_cast<int>(std::lround(seconds / kSecondsPerRow)));
  const int positions = (totalRows + kRowsPerPattern - 1) / kRowsPerPattern;
  const int lastRows = totalRows - (positions - 1) * kRowsPerPattern;
  const int orders = std::min(positions, 128);
  const bool shortLast = lastRows < kRowsPerPattern;

  std::string mod = Padded(title, 20);
  // Sample 1: a looped cycle of a sine with a touch of its octave, so notes have a
  // clear pitch; the other 30 sample slots are empty.
  const unsigned lengthWords = kCycle * 2 / 2;
  mod += Padded("orvela wave", 22);
  PutWord(mod, lengthWords);
  mod += '\0';         // finetune
  mod += '\x40';       // volume 64
  PutWord(mod, 0);     // loop start
  PutWord(mod, lengthWords);
  for (int i = 1; i < 31; ++i) {
    mod += std::string(22 + 2 + 1 + 1 + 2, '\0');
    PutWord(mod, 1);  // loop length 1 word = no loop
  }
  mod += static_cast<char>(orders);
  mod += '\x7F';
  std::string order(128, '\0');
  if (shortLast) order[orders - 1] = 1;
  mod += order;
  mod += "M.K.";
  mod += Pattern(kRowsPerPattern);
  if (shortLast) mod += Pattern(lastRows);
  for (int i = 0; i < kCycle * 2; ++i) {
    const double ph = 2.0 * std::numbers::pi * (i % kCycle) / kCycle;
    const double v = 0.8 * std::sin(ph) + 0.2 * std::sin(2 * ph);
    mod += static_cast<char>(static_cast<signed char>(std::lround(v * 120)));
  }
  return mod;
}

}  // namespace orvela::demo
