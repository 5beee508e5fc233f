#pragma once
// Invented but realistic collections for the benchmarks: the same titles on every
// run (a fixed generator), artists with a handful of titles each and a few with
// many, titles of one to five words, German letters in the code page.
#include <cstdint>
#include <cstdio>
#include <iterator>
#include <string>
#include <vector>

#include "collection/collection_table.h"

namespace orvela::bench {

// A fixed linear congruential generator: the same collection on every run.
class Lcg {
 public:
  std::uint32_t Next(std::uint32_t range) {
    state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<std::uint32_t>(state_ >> 33) % range;
  }

 private:
  std::uint64_t state_ = 20261210;
};

inline const char* const kSyllables[] = {"ab", "ba", "ka", "lo", "mi", "ne", "ro", "sa", "ti", "vu", "der", "mon",
                                         "tal", "ber", "gen", "lin", "har", "wol", "f\xFC", "m\xF6", "k\xE4", "stra\xDF",
                                         "el", "an", "or", "is", "un", "ch", "sch", "ei"};
inline const char* const kWords[] = {"Love", "Night", "Heart", "Dance", "Fire", "Liebe", "Nacht", "Sommer", "Tr\xE4ume",
                                     "Gl\xFC" "ck", "Stra\xDF" "e", "Baby", "Time", "World", "Dream", "Rock", "Blue",
                                     "Sun", "Rain", "Home", "Road", "Song", "Girl", "Boy", "Summer", "Wind", "Himmel",
                                     "Sterne", "Party", "Feuer", "Ewig", "Zeit", "Morgen", "Herz", "M\xE4" "dchen",
                                     "Don't", "Stop", "Me", "You", "We", "The", "In", "On", "My", "Your"};
inline const char* const kGenres[] = {"Pop", "Rock", "Schlager", "Jazz", "Blues", "Country", "Dance", "Disco", "Metal",
                                      "Hip-Hop", "Soul", "Funk", "Reggae", "Folk", "Classical", "Oldies", "Punk",
                                      "Electronic", "Volksmusik", "Rock & Roll", "Soundtrack", "Latin", "Techno", "House"};

inline std::string Name(Lcg& rng, int syllables) {
  std::string s;
  for (int i = 0; i < syllables; ++i) s += kSyllables[rng.Next(std::size(kSyllables))];
  s[0] = static_cast<char>(s[0] >= 'a' && s[0] <= 'z' ? s[0] - 32 : s[0]);
  return s;
}

// `count` rows made one at a time, for collections too large to hold as values
// first; one artist for every ten titles.
template <class Sink>
void MakeTitles(int count, Sink sink) {
  Lcg rng;
  std::vector<std::string> artists;
  for (int i = 0; i < count / 10 + 1; ++i) {
    std::string a = Name(rng, 2 + static_cast<int>(rng.Next(3)));
    if (rng.Next(3) != 0) a += " " + Name(rng, 2 + static_cast<int>(rng.Next(3)));
    if (rng.Next(8) == 0) a = "The " + a;
    artists.push_back(a);
  }
  for (int i = 0; i < count; ++i) {
    const std::string& artist = artists[rng.Next(rng.Next(4) == 0 ? 300 : static_cast<std::uint32_t>(artists.size()))];
    std::string title;
    const int words = 1 + static_cast<int>(rng.Next(5));
    for (int w = 0; w < words; ++w) {
      if (w > 0) title += ' ';
      title += kWords[rng.Next(std::size(kWords))];
    }
    char duration[8];
    std::snprintf(duration, sizeof duration, "%.2u:%.2u", 1 + rng.Next(7), rng.Next(60));
    sink(TCollectionTable::Values{artist, title, "D:\\Musik\\" + artist + "\\" + title + ".mp3",
                                  kGenres[rng.Next(std::size(kGenres))], std::to_string(1950 + rng.Next(74)),
                                  duration});
  }
}

}  // namespace orvela::bench
