#include "playback/loudness_levelling.h"

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "common/file_open.h"
#include "metadata/replay_gain.h"
#include "playback/audio/audio_layer.h"

namespace orvela {
namespace {

constexpr int kOutputRate = 44100;
constexpr auto kSaveEvery = std::chrono::seconds(30);

// The worker must never take time from the decoders or the screen: it runs
// only when the processor would otherwise idle. Where that is not allowed,
// the lowest nice value of its own (Linux gives each thread its own).
void LowerOwnPriority() {
  sched_param param{};
  param.sched_priority = 0;
  if (pthread_setschedparam(pthread_self(), SCHED_IDLE, &param) == 0) return;
  ::setpriority(PRIO_PROCESS, static_cast<id_t>(::syscall(SYS_gettid)), 19);
}

}  // namespace

TLoudnessLevelling::TLoudnessLevelling(std::string resultsFile, double targetLufs, PostFunction post,
                                       MeasureFunction measure)
    : resultsFile_(std::move(resultsFile)), target_(targetLufs), post_(std::move(post)), measure_(std::move(measure)) {
  store_.Load(ResolveCodePagePath(resultsFile_));
}

TLoudnessLevelling::~TLoudnessLevelling() {
  alive_.reset();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    quit_ = true;
    jobs_.clear();
  }
  cancel_.store(true, std::memory_order_relaxed);
  wake_.notify_one();
  if (worker_.joinable()) worker_.join();
  if (dirty_) Save();
}

void TLoudnessLevelling::Request(const std::string& path) {
  if (path.empty() || pending_.count(path) != 0 || !post_) return;
  const std::optional<TFileStamp> stamp = TLoudnessStore::StampOf(path);
  if (!stamp || store_.Find(path, *stamp)) return;
  pending_.insert(path);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    jobs_.push_back({path, *stamp});
  }
  if (!worker_.joinable()) {
    try {
      worker_ = std::thread([this, alive = std::weak_ptr<Alive>(alive_)] { WorkerLoop(alive); });
    } catch (const std::system_error&) {
      // No thread to be had: the titles play unlevelled, the next request tries again.
      std::lock_guard<std::mutex> lock(mutex_);
      jobs_.clear();
      pending_.clear();
      return;
    }
  }
  wake_.notify_one();
}

float TLoudnessLevelling::GainFor(const std::string& path) {
  const std::optional<TFileStamp> stamp = TLoudnessStore::StampOf(path);
  if (!stamp) return 1.0f;
  if (const std::optional<TLoudnessEntry> entry = store_.Find(path, *stamp)) {
    return LevellingGain(entry->facts, target_);
  }
  Request(path);
  return 1.0f;
}

void TLoudnessLevelling::GainLowered(const std::string& path, float gain) {
  if (!(gain > 0.0f)) return;
  std::optional<TLoudnessEntry> entry = store_.Find(path);
  if (!entry) return;  // replaced or never known: nothing on record to correct
  // The ceiling takes the gain down exactly as far as the loudest sample needs.
  const double heard = audio::kLevelledCeiling / static_cast<double>(gain);
  if (!(heard > entry->facts.peak)) return;
  entry->facts.peak = heard;
  if (!PlausibleLoudness(entry->facts)) return;
  store_.Put(path, *entry);
  dirty_ = true;
  Save();
}

void TLoudnessLevelling::WorkerLoop(std::weak_ptr<Alive> alive) {
  LowerOwnPriority();
  for (;;) {
    Job job;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait(lock, [this] { return quit_ || !jobs_.empty(); });
      if (quit_) return;
      job = std::move(jobs_.front());
      jobs_.pop_front();
    }
    std::optional<TLoudnessEntry> entry;
    try {
      entry = measure_(job.path, job.stamp, &cancel_);
    } catch (...) {
      entry.reset();
    }
    if (cancel_.load(std::memory_order_relaxed)) return;
    post_([this, alive, path = std::move(job.path), entry] {
      if (alive.expired()) return;
      Deliver(path, entry);
    });
  }
}

void TLoudnessLevelling::Deliver(const std::string& path, std::optional<TLoudnessEntry> entry) {
  pending_.erase(path);
  // A file that does not decode stays unknown and unlevelled; it is tried
  // again when it is queued again.
  if (!entry) return;
  store_.Put(path, *entry);
  dirty_ = true;
  // A long playlist measured title after title would otherwise rewrite (and
  // flush to disk) a file of thousands of lines on this thread every few
  // tenths of a second: saved when the work is done, and now and then while
  // it goes on, since the program may be switched off at any moment.
  const auto now = std::chrono::steady_clock::now();
  if (pending_.empty() || now - lastSave_ >= kSaveEvery) Save();
}

void TLoudnessLevelling::Save() {
  lastSave_ = std::chrono::steady_clock::now();
  if (store_.Save(ResolveCodePagePathForWriting(resultsFile_))) dirty_ = false;
}

std::optional<TLoudnessEntry> TLoudnessLevelling::MeasureTitle(const std::string& path, const TFileStamp& stamp,
                                                               const std::atomic<bool>* cancel) {
  const std::string nativePath = ResolveCodePagePath(path);
  TLoudnessEntry entry;
  entry.stamp = stamp;
  // A tag saying what no real title could is ignored: the audio tells.
  if (const std::optional<TReplayGain> tags = ReadReplayGain(nativePath)) {
    if (const std::optional<audio::LoudnessFacts> facts = LoudnessFromReplayGain(*tags)) {
      entry.facts = *facts;
      entry.source = TLoudnessSource::ReplayGain;
      return entry;
    }
  }
  const std::optional<audio::LoudnessFacts> facts = audio::MeasureLoudness(nativePath, kOutputRate, cancel);
  // Damaged audio that decodes far beyond full scale is not levelled, and the
  // results file could not keep it anyway.
  if (!facts || !PlausibleLoudness(*facts)) return std::nullopt;
  entry.facts = *facts;
  entry.source = TLoudnessSource::Measured;
  return entry;
}

}  // namespace orvela
