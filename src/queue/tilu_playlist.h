#pragma once
// The jukebox queue: the titles waiting to be played, in order, and the title
// being played. It is the player itself, extended by the list, so the program
// has exactly one object that both holds the queue and plays it. By the main
// window's convention the first entry is the title being played.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "playback/tilu_player.h"
#include "queue/m3u_file.h"

namespace orvela {

class TTiluPlaylist : public TTiluPlayer {
 public:
  // The most entries the queue holds: as many as one playlist adds, so that a
  // queue written out as a playlist reads back whole.
  static constexpr std::size_t kMaxEntries = kMaxPlaylistEntries;

  using AddItemEvent = std::function<void(TTiluPlaylist* sender, TAudioFile* item)>;
  // Receives the record AddToCollection read; the main window appends it to
  // the collection as a title record.
  using TitleRecordSink = std::function<void(const TAudioFile& file)>;

  TTiluPlaylist(audio::AudioLayer& layer, PostFunction post);
  ~TTiluPlaylist();

  std::int32_t ItemIndex = 0;
  // The entry last handed to Play; none after it left the queue.
  TAudioFile* CurrentItem = nullptr;
  std::vector<std::unique_ptr<TAudioFile>> Items;
  Event OnPlaylistClear;
  AddItemEvent OnPlaylistAddItem;
  TitleRecordSink AppendTitleRecord;
  // Raised after every change of Items (an entry added or removed, the queue
  // cleared), after the change's own event. Within a TChangeBatch it is raised
  // once, when the batch ends, so a playlist of thousands of titles is reported
  // once. Its handler must not throw: a batch ends in a destructor.
  Event OnQueueChange;

  // While one exists, OnQueueChange waits; it is raised once when the
  // outermost batch ends, if anything changed meanwhile.
  class TChangeBatch {
   public:
    explicit TChangeBatch(TTiluPlaylist& queue);
    ~TChangeBatch();
    TChangeBatch(const TChangeBatch&) = delete;
    TChangeBatch& operator=(const TChangeBatch&) = delete;

   private:
    TTiluPlaylist& queue_;
  };

  // Reads the file into a new entry at the end and reports it. A full queue
  // (kMaxEntries) takes nothing: false.
  bool Add(const std::string& path);
  // A new entry at the end from a record known without reading its file (a
  // saved queue's own lines), reported as Add reports it. Its file is read
  // when the entry is played: its tags then replace the record's texts, its
  // duration stays as counted.
  bool AddUnread(const TAudioFile& record);
  // Reads the file and hands the record to AppendTitleRecord; the queue stays as it is.
  void AddToCollection(const std::string& path);
  // Plays the entry at `index` (-1: at ItemIndex); an index past the end plays
  // the last entry. An empty queue plays nothing.
  void PlayIndex(std::int32_t index);
  void Next(bool fromStart);
  std::int32_t FirstIndex();
  // The entry after ItemIndex, wrapping to 0 after the last; ItemIndex stays.
  std::int32_t NextIndex() const;
  // Stops, frees every entry and reports the empty queue. Whoever keeps a copy
  // of the queue hears of the empty queue before the stop is reported.
  void Clear();
  // With `current`: the entry at ItemIndex leaves the queue. Without: the last
  // entry, but never the only one (it is the title being played).
  void RemoveItem(bool current);

  // By the lower-cased extension: ".m3u" only; any other file is left alone.
  // Loading appends to the queue. Both throw TPlaylistError with the operator's
  // message; the entries added before a reading error stay, and so do the first
  // kMaxPlaylistEntries of a playlist that lists more, or the titles that fit
  // until the queue is full (the error says so).
  void LoadPlaylist(const std::string& path);
  void SavePlaylist(const std::string& path);
  void LoadM3U(const std::string& path);
  void SaveM3U(const std::string& path);

 private:
  void Changed();
  bool Append(std::unique_ptr<TAudioFile> file);

  // Entries added from a record whose file has not been read yet.
  std::unordered_set<const TAudioFile*> unread_;

  int batchDepth_ = 0;
  bool changedInBatch_ = false;
};

}  // namespace orvela
