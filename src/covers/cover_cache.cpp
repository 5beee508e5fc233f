#include "covers/cover_cache.h"

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <condition_variable>
#include <deque>
#include <list>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "common/codepage.h"
#include "covers/cover_store.h"

namespace orvela {
namespace {

// The screen and the music come first: the worker runs only when the machine
// has nothing else to do (SCHED_IDLE), else at the lowest nice value.
void LowerOwnPriority() {
  sched_param param{};
  param.sched_priority = 0;
  if (pthread_setschedparam(pthread_self(), SCHED_IDLE, &param) == 0) return;
  ::setpriority(PRIO_PROCESS, static_cast<id_t>(::syscall(SYS_gettid)), 19);
}

// What one thumbnail costs against the budget beyond its pixels: the path and
// the bookkeeping of the list and the map.
constexpr std::size_t kEntryOverhead = 160;

}  // namespace

struct TCoverCache::Impl {
  explicit Impl(std::string programDir)
      : store(programDir.empty() ? std::string() : Cp1252ToNativePath(programDir), kThumbnailPixels) {}

  struct Entry {
    std::string path;
    QImage image;  // null: no cover
    std::size_t cost = 0;
  };

  // Screen thread only.
  std::list<Entry> recent;  // most recently asked first
  std::unordered_map<std::string, std::list<Entry>::iterator> byPath;
  std::size_t used = 0;
  std::unordered_set<std::string> pending;  // queued or under way

  const TCoverStore store;

  std::mutex mutex;
  std::condition_variable wake;
  std::deque<std::string> jobs;  // under mutex; the back is read first
  bool quit = false;             // under mutex
  std::thread worker;            // started with the first request

  void Keep(const std::string& path, QImage image) {
    if (const auto found = byPath.find(path); found != byPath.end()) {
      used -= found->second->cost;
      recent.erase(found->second);
      byPath.erase(found);
    }
    Entry entry;
    entry.path = path;
    entry.cost = static_cast<std::size_t>(image.sizeInBytes()) + path.size() + kEntryOverhead;
    entry.image = std::move(image);
    used += entry.cost;
    recent.push_front(std::move(entry));
    byPath.emplace(path, recent.begin());
    while (used > kMemoryBudgetBytes && recent.size() > 1) {
      used -= recent.back().cost;
      byPath.erase(recent.back().path);
      recent.pop_back();
    }
  }
};

TCoverCache::TCoverCache(std::string programDir, QObject* parent)
    : QObject(parent), d_(std::make_unique<Impl>(std::move(programDir))) {}

TCoverCache::~TCoverCache() {
  {
    std::lock_guard<std::mutex> lock(d_->mutex);
    d_->quit = true;
    d_->jobs.clear();
  }
  d_->wake.notify_all();
  if (d_->worker.joinable()) d_->worker.join();
  // Results the worker posted and that were not delivered yet go with this
  // object: Qt drops the events of a deleted receiver.
}

QImage TCoverCache::Thumbnail(const std::string& audioPath) {
  if (const auto found = d_->byPath.find(audioPath); found != d_->byPath.end()) {
    d_->recent.splice(d_->recent.begin(), d_->recent, found->second);
    return found->second->image;
  }
  if (!d_->pending.insert(audioPath).second) return {};
  {
    std::lock_guard<std::mutex> lock(d_->mutex);
    d_->jobs.push_back(audioPath);
  }
  if (!d_->worker.joinable()) {
    d_->worker = std::thread([this] {
      LowerOwnPriority();
      Impl& d = *d_;
      for (;;) {
        std::string path;
        {
          std::unique_lock<std::mutex> lock(d.mutex);
          d.wake.wait(lock, [&d] { return d.quit || !d.jobs.empty(); });
          if (d.quit) return;
          path = std::move(d.jobs.back());
          d.jobs.pop_back();
        }
        QImage image;
        if (const std::optional<TCoverThumbnail> thumbnail = d.store.Fetch(path)) image = thumbnail->image;
        QMetaObject::invokeMethod(
            this,
            [this, path = std::move(path), image = std::move(image)]() mutable {
              d_->pending.erase(path);
              d_->Keep(path, std::move(image));
              emit CoverReady(QString::fromStdU16String(Cp1252ToUtf16(path)));
            },
            Qt::QueuedConnection);
      }
    });
  } else {
    d_->wake.notify_one();
  }
  return {};
}

bool TCoverCache::KnownWithoutCover(const std::string& audioPath) const {
  const auto found = d_->byPath.find(audioPath);
  return found != d_->byPath.end() && found->second->image.isNull();
}

void TCoverCache::CancelPending() {
  std::deque<std::string> dropped;
  {
    std::lock_guard<std::mutex> lock(d_->mutex);
    dropped.swap(d_->jobs);
  }
  for (const std::string& path : dropped) d_->pending.erase(path);
}

std::size_t TCoverCache::Pending() const { return d_->pending.size(); }

std::size_t TCoverCache::MemoryUsed() const { return d_->used; }

}  // namespace orvela
