#pragma once
// Every title at the same loudness: the gain each title, jingle and birthday
// song is played with, from what the results file knows, and the measuring of
// what it does not know yet on one background worker of the lowest priority.
//
// Threads: every call is made on the user-interface thread. The worker only
// measures; its results reach this object through the injected post function
// (as the player's end reports do) and are taken into the store and saved
// there. Nothing ever waits for a measurement: a title whose loudness is not
// known when it starts plays unlevelled.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>

#include "playback/loudness_store.h"

namespace orvela {

class TLoudnessLevelling {
 public:
  using PostFunction = std::function<void(std::function<void()>)>;
  // Measures one stored code-page path on the worker thread; gives up (nullopt)
  // once *cancel is true. MeasureTitle below is the real one.
  using MeasureFunction = std::function<std::optional<TLoudnessEntry>(
      const std::string& path, const TFileStamp& stamp, const std::atomic<bool>* cancel)>;

  // resultsFile: the code-page path of the results file, read here.
  TLoudnessLevelling(std::string resultsFile, double targetLufs, PostFunction post,
                     MeasureFunction measure = &MeasureTitle);
  // Stops the worker (a measurement under way gives up within milliseconds).
  ~TLoudnessLevelling();
  TLoudnessLevelling(const TLoudnessLevelling&) = delete;
  TLoudnessLevelling& operator=(const TLoudnessLevelling&) = delete;

  // Queues path for measuring unless its loudness is known or already queued.
  void Request(const std::string& path);
  // The gain for path now; 1 when unknown (and then it is queued, so the next
  // time it is known).
  float GainFor(const std::string& path);
  // The ceiling lowered path's gain to `gain` while it played: a sample was
  // louder than its peak on record. The record is raised to what was heard,
  // so the title starts at the lowered gain from now on.
  void GainLowered(const std::string& path, float gain);
  double TargetLufs() const { return target_; }
  const TLoudnessStore& Store() const { return store_; }
  // Measurements queued or under way.
  std::size_t Pending() const { return pending_.size(); }

  // ReplayGain track values where the file carries them, else the measurement
  // of the decoded audio at the player's output rate.
  static std::optional<TLoudnessEntry> MeasureTitle(const std::string& path, const TFileStamp& stamp,
                                                    const std::atomic<bool>* cancel);

 private:
  struct Job {
    std::string path;
    TFileStamp stamp;
  };
  struct Alive {};

  // alive: taken on this thread as the worker starts, never read from alive_
  // there (the destructor resets alive_ while the worker may be finishing).
  void WorkerLoop(std::weak_ptr<Alive> alive);
  void Deliver(const std::string& path, std::optional<TLoudnessEntry> entry);
  void Save();

  const std::string resultsFile_;
  const double target_;
  PostFunction post_;
  MeasureFunction measure_;
  TLoudnessStore store_;
  std::set<std::string> pending_;  // UI thread
  bool dirty_ = false;             // UI thread: results not yet in the file
  std::chrono::steady_clock::time_point lastSave_ = std::chrono::steady_clock::now();
  // Posted results find this gone once the object is.
  std::shared_ptr<Alive> alive_ = std::make_shared<Alive>();

  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<Job> jobs_;  // under mutex_
  bool quit_ = false;     // under mutex_
  std::atomic<bool> cancel_{false};
  std::thread worker_;    // started with the first request
};

}  // namespace orvela
