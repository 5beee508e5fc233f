// What one TAudioFile::LoadFromFile costs while a collection is built: a corpus
// of small tagged MP3 files is read over and over, warm (page cache) and cold
// (each file's pages dropped first), next to TagLib reading the same facts and
// next to the bare I/O the reader cannot avoid (open, two small reads, close).
//
//   cmake -S . -B build-bench -G Ninja -DORVELA_BUILD_BENCH=ON -DORVELA_BUILD_TESTS=OFF
//   cmake --build build-bench --target bench_audio_file
//   build-bench/bench/bench_audio_file
//
// Counters: items_per_second is files/s; us_per_file the same as a time;
// resident_after_drop the share of sampled pages still cached after a drop (0
// means the cold figures really are cold).
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "common/codepage.h"
#include "demo/tone_encoder.h"
#include "metadata/audio_file.h"

#ifdef ORVELA_HAVE_TAGLIB
#include <taglib/audioproperties.h>
#include <taglib/mpegfile.h>
#include <taglib/tag.h>
#endif

namespace {

constexpr int kFileCount = 2000;
// Files per timed batch in the cold runs: their pages are dropped with the
// clock stopped, then the batch is read with the clock running.
constexpr int kColdBatch = 100;

const char* const kGenres[] = {"Rock", "(17)", "Jazz", "Pop", "Schlager"};

// One MPEG-1 Layer III frame header (128 kbit/s, 44.1 kHz, stereo) with silent
// payload: what the reader sees of real audio.
std::string SilentFrames(int count) {
  std::string frame(417, '\0');
  frame[0] = '\xFF';
  frame[1] = '\xFB';
  frame[2] = '\x90';
  frame[3] = '\x00';
  std::string out;
  for (int i = 0; i < count; ++i) out += frame;
  return out;
}

class Corpus {
 public:
  Corpus() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "orvela-bench-audio-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
      std::perror("mkdtemp");
      std::exit(1);
    }
    folder_ = pattern;
    // Real encoded audio where an MP3 encoder is present (one encode, shared by
    // all files), else silent frames: both about one second.
    std::string audio;
    if (orvela::demo::EncoderFor(orvela::demo::Format::Mp3) != nullptr) {
      audio = orvela::demo::EncodeAudioBytes(orvela::demo::Format::Mp3,
                                             orvela::demo::SynthesizeTone(440.0, 1.0));
    }
    audioKind_ = audio.empty() ? "silent frames" : "encoded tone";
    if (audio.empty()) audio = SilentFrames(40);

    for (int i = 0; i < kFileCount; ++i) {
      const std::string n = std::to_string(i);
      const std::string v2 = orvela::demo::BuildId3v2Tag(
          3,
          {{"TIT2", "Titel Nummer " + n, ""},
           {"TPE1", "K\xC3\xBCnstler " + std::to_string(i % 97), ""},
           {"TYER", std::to_string(1960 + i % 60), ""},
           {"TCON", kGenres[i % 5], ""}},
          orvela::demo::Id3TextEncoding::Utf16, 64);
      orvela::demo::Id3v1Fields v1;
      v1.title = "Titel Nummer " + n;
      v1.artist = "Kuenstler " + std::to_string(i % 97);
      v1.year = std::to_string(1960 + i % 60);
      v1.genre = i % 126;
      const std::string native = (folder_ / ("track" + n + ".mp3")).string();
      if (!orvela::demo::WriteTaggedMp3(native, v2, audio, orvela::demo::BuildId3v1Tag(v1))) {
        std::fprintf(stderr, "cannot write %s\n", native.c_str());
        std::exit(1);
      }
      native_.push_back(native);
      codePage_.push_back(orvela::NativePathToCp1252(native));
      bytes_ += std::filesystem::file_size(native);
    }
    std::fprintf(stderr, "corpus: %d files (%s), %.1f KiB each, in %s\n", kFileCount,
                 audioKind_.c_str(), static_cast<double>(bytes_) / kFileCount / 1024.0,
                 folder_.c_str());
  }
  ~Corpus() {
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
  }
  Corpus(const Corpus&) = delete;
  Corpus& operator=(const Corpus&) = delete;

  const std::string& Native(std::size_t i) const { return native_[i % native_.size()]; }
  const std::string& CodePage(std::size_t i) const { return codePage_[i % codePage_.size()]; }

 private:
  std::filesystem::path folder_;
  std::string audioKind_;
  std::vector<std::string> native_;
  std::vector<std::string> codePage_;
  std::uintmax_t bytes_ = 0;
};

const Corpus& TheCorpus() {
  static const Corpus corpus;
  return corpus;
}

// Drops the file's pages from the page cache.
void DropFile(const std::string& native) {
  const int fd = ::open(native.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return;
  ::fdatasync(fd);
  ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
  ::close(fd);
}

// Share of the file's pages in the page cache (1 = all), via mincore.
double ResidentShare(const std::string& native) {
  const int fd = ::open(native.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return 0;
  const auto size = static_cast<std::size_t>(::lseek(fd, 0, SEEK_END));
  void* map = size > 0 ? ::mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0) : MAP_FAILED;
  ::close(fd);
  if (map == MAP_FAILED) return 0;
  const long page = ::sysconf(_SC_PAGESIZE);
  const std::size_t pages = (size + static_cast<std::size_t>(page) - 1) / static_cast<std::size_t>(page);
  std::vector<unsigned char> residency(pages);
  double share = 0;
  if (::mincore(map, size, residency.data()) == 0) {
    std::size_t resident = 0;
    for (unsigned char r : residency) resident += r & 1;
    share = static_cast<double>(resident) / static_cast<double>(pages);
  }
  ::munmap(map, size);
  return share;
}

// What any reader of the tags and the first frames must at least do.
void BareIo(const std::string& native) {
  char head[1024];
  char tail[128];
  const int fd = ::open(native.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return;
  const off_t size = ::lseek(fd, 0, SEEK_END);
  benchmark::DoNotOptimize(::pread(fd, tail, sizeof tail, size - static_cast<off_t>(sizeof tail)));
  benchmark::DoNotOptimize(::pread(fd, head, sizeof head, 0));
  benchmark::ClobberMemory();
  ::close(fd);
}

void LoadRecord(const Corpus& corpus, std::size_t i) {
  orvela::TAudioFile file;
  file.LoadFromFile(corpus.CodePage(i));
  benchmark::DoNotOptimize(file.Duration);
  benchmark::DoNotOptimize(file.Title.data());
}

#ifdef ORVELA_HAVE_TAGLIB
void TagLibRead(const Corpus& corpus, std::size_t i) {
  TagLib::MPEG::File file(corpus.Native(i).c_str(), true, TagLib::AudioProperties::Fast);
  const TagLib::Tag* tag = file.tag();
  const TagLib::AudioProperties* props = file.audioProperties();
  std::string title = tag ? tag->title().to8Bit(true) : std::string();
  std::string artist = tag ? tag->artist().to8Bit(true) : std::string();
  std::string genre = tag ? tag->genre().to8Bit(true) : std::string();
  unsigned year = tag ? tag->year() : 0;
  int seconds = props ? props->lengthInSeconds() : 0;
  benchmark::DoNotOptimize(title.data());
  benchmark::DoNotOptimize(artist.data());
  benchmark::DoNotOptimize(genre.data());
  benchmark::DoNotOptimize(year);
  benchmark::DoNotOptimize(seconds);
}
#endif

void Report(benchmark::State& state, std::size_t files) {
  state.SetItemsProcessed(static_cast<std::int64_t>(files));
  state.counters["us_per_file"] =
      benchmark::Counter(static_cast<double>(files) * 1e-6,
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

template <void (*Read)(const Corpus&, std::size_t)>
void Warm(benchmark::State& state) {
  const Corpus& corpus = TheCorpus();
  for (std::size_t i = 0; i < kFileCount; ++i) Read(corpus, i);  // into the page cache
  std::size_t next = 0;
  for (auto _ : state) Read(corpus, next++);
  Report(state, next);
}

template <void (*Read)(const Corpus&, std::size_t)>
void Cold(benchmark::State& state) {
  const Corpus& corpus = TheCorpus();
  std::size_t next = 0;
  double resident = 0;
  int samples = 0;
  for (auto _ : state) {
    state.PauseTiming();
    for (std::size_t k = 0; k < kColdBatch; ++k) DropFile(corpus.Native(next + k));
    resident += ResidentShare(corpus.Native(next));
    ++samples;
    DropFile(corpus.Native(next));
    state.ResumeTiming();
    for (std::size_t k = 0; k < kColdBatch; ++k) Read(corpus, next + k);
    next += kColdBatch;
  }
  Report(state, next);
  state.counters["resident_after_drop"] = samples > 0 ? resident / samples : 0;
}

void BareIoRead(const Corpus& corpus, std::size_t i) { BareIo(corpus.Native(i)); }

}  // namespace

BENCHMARK(Warm<LoadRecord>)->Name("LoadFromFile/warm")->MinTime(2.0);
#ifdef ORVELA_HAVE_TAGLIB
BENCHMARK(Warm<TagLibRead>)->Name("TagLib/warm")->MinTime(2.0);
#endif
BENCHMARK(Warm<BareIoRead>)->Name("BareIO/warm")->MinTime(2.0);
BENCHMARK(Cold<LoadRecord>)->Name("LoadFromFile/cold")->Iterations(40)->UseRealTime();
#ifdef ORVELA_HAVE_TAGLIB
BENCHMARK(Cold<TagLibRead>)->Name("TagLib/cold")->Iterations(40)->UseRealTime();
#endif
BENCHMARK(Cold<BareIoRead>)->Name("BareIO/cold")->Iterations(40)->UseRealTime();

BENCHMARK_MAIN();
