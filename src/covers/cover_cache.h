#pragma once
// Thumbnails of the titles' covers for the screen. A cover is found, decoded
// and scaled on one background worker of the lowest priority, never on the
// screen's thread: asking for one that is not in memory yet answers a null
// image at once and queues the read; CoverReady follows on the screen's thread.
// Thumbnails stay in memory within a fixed budget (least recently asked go
// first) and on disk in the program folder's cover cache, so a restart does
// not read every file again.
#include <QImage>
#include <QObject>
#include <QString>

#include <cstddef>
#include <memory>
#include <string>

namespace orvela {

class TCoverWorker;

class TCoverCache : public QObject {
  Q_OBJECT
 public:
  static constexpr int kThumbnailPixels = 160;  // the square size kept (scaled down for the grid)
  // What the thumbnails in memory may take at most, whatever the collection.
  static constexpr std::size_t kMemoryBudgetBytes = std::size_t{64} << 20;

  // programDir: the program folder (code page, with its trailing "/"); the
  // cache on disk lives in it.
  explicit TCoverCache(std::string programDir, QObject* parent = nullptr);
  // Stops and joins the worker (a read under way is finished, no more).
  ~TCoverCache() override;
  TCoverCache(const TCoverCache&) = delete;
  TCoverCache& operator=(const TCoverCache&) = delete;

  // The cover of the audio file (code-page path) if it is known now; a null
  // image while it is being read (it is queued, CoverReady follows) or when the
  // title has none (the artist's tile then).
  QImage Thumbnail(const std::string& audioPath);
  // Whether the title is known to have no cover (read, nothing found).
  bool KnownWithoutCover(const std::string& audioPath) const;
  // Forgets the queue of pending reads (the grid shows other titles now). Of
  // those still queued, the most recently asked is read first.
  void CancelPending();

  // Reads queued or under way.
  std::size_t Pending() const;
  // What the thumbnails in memory take now (bytes, as counted against the budget).
  std::size_t MemoryUsed() const;

 signals:
  // audioPathUtf8: the audio file's path as the screen's text (code page -> QString).
  void CoverReady(QString audioPathUtf8);

 private:
  struct Impl;
  std::unique_ptr<Impl> d_;
};

// The tile of a title without cover: the artist's initials on a colour chosen
// from the name (the same name always the same colour).
QImage ArtistTile(const std::string& artist /* code page */, int pixels);

}  // namespace orvela
