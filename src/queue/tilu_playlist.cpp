#include "queue/tilu_playlist.h"

#include "common/codepage.h"
#include "common/file_name.h"
#include "common/file_open.h"
#include "queue/m3u_file.h"

namespace orvela {

TTiluPlaylist::TTiluPlaylist(audio::AudioLayer& layer, PostFunction post)
    : TTiluPlayer(layer, std::move(post)) {}

TTiluPlaylist::~TTiluPlaylist() {
  CurrentItem = nullptr;
  unread_.clear();
  Items.clear();
}

bool TTiluPlaylist::Add(const std::string& path) {
  if (Items.size() >= kMaxEntries) return false;
  auto file = std::make_unique<TAudioFile>();
  file->LoadFromFile(path);
  return Append(std::move(file));
}

bool TTiluPlaylist::AddUnread(const TAudioFile& record) {
  if (Items.size() >= kMaxEntries) return false;
  auto file = std::make_unique<TAudioFile>();
  file->Assign(record);
  unread_.insert(file.get());
  return Append(std::move(file));
}

bool TTiluPlaylist::Append(std::unique_ptr<TAudioFile> file) {
  TAudioFile* added = file.get();
  Items.push_back(std::move(file));
  if (OnPlaylistAddItem) {
    const AddItemEvent call = OnPlaylistAddItem;
    call(this, added);
  }
  Changed();
  return true;
}

void TTiluPlaylist::AddToCollection(const std::string& path) {
  TAudioFile file;
  file.LoadFromFile(path);
  if (AppendTitleRecord) AppendTitleRecord(file);
}

void TTiluPlaylist::PlayIndex(std::int32_t index) {
  if (index >= 0) ItemIndex = index;
  const auto count = static_cast<std::int32_t>(Items.size());
  if (count > 0 && ItemIndex >= count) ItemIndex = count - 1;
  if (ItemIndex >= 0 && ItemIndex < count) CurrentItem = Items[static_cast<std::size_t>(ItemIndex)].get();
  if (CurrentItem != nullptr && unread_.erase(CurrentItem) != 0 &&
      IsRegularFile(ResolveCodePagePath(CurrentItem->FilePath))) {
    // The title's screen shows its own tags; its length was counted with the
    // queue's time and stays, or the time would drift when it leaves.
    TAudioFile read;
    read.LoadFromFile(CurrentItem->FilePath);
    CurrentItem->Artist = read.Artist;
    CurrentItem->Title = read.Title;
    CurrentItem->Year = read.Year;
    CurrentItem->Genre = read.Genre;
  }
  // Play ignores an absent record: an empty queue plays nothing and raises nothing.
  if (count > 0) Play(CurrentItem);
}

void TTiluPlaylist::Next(bool fromStart) { PlayIndex(fromStart ? FirstIndex() : NextIndex()); }

std::int32_t TTiluPlaylist::FirstIndex() {
  if (!Items.empty()) ItemIndex = 0;
  return 0;
}

std::int32_t TTiluPlaylist::NextIndex() const {
  const auto last = static_cast<std::int32_t>(Items.size()) - 1;
  return ItemIndex >= last ? 0 : ItemIndex + 1;
}

void TTiluPlaylist::Clear() {
  // The kept copy of the queue is emptied before the stop is reported: an end
  // between the two must not find the queue there without its playing mark,
  // which would bring back a queue that was emptied.
  std::vector<std::unique_ptr<TAudioFile>> leaving;
  leaving.swap(Items);
  unread_.clear();
  Changed();
  Stop();
  CurrentItem = nullptr;
  leaving.clear();
  if (OnPlaylistClear) {
    const Event call = OnPlaylistClear;
    call(this);
  }
  ItemIndex = 0;
}

void TTiluPlaylist::RemoveItem(bool current) {
  std::size_t index = 0;
  if (current) {
    if (ItemIndex < 0 || static_cast<std::size_t>(ItemIndex) >= Items.size()) return;
    index = static_cast<std::size_t>(ItemIndex);
  } else {
    if (Items.size() <= 1) return;
    index = Items.size() - 1;
  }
  if (Items[index].get() == CurrentItem) CurrentItem = nullptr;
  unread_.erase(Items[index].get());
  Items.erase(Items.begin() + static_cast<std::ptrdiff_t>(index));
  Changed();
}

void TTiluPlaylist::LoadPlaylist(const std::string& path) {
  if (AsciiLower(FileExtension(path)) == ".m3u") LoadM3U(path);
}

void TTiluPlaylist::SavePlaylist(const std::string& path) {
  if (AsciiLower(FileExtension(path)) == ".m3u") SaveM3U(path);
}

void TTiluPlaylist::LoadM3U(const std::string& path) {
  const TM3UPaths listed = ReadM3UFile(path);
  std::size_t taken = 0;
  {
    const TChangeBatch batch(*this);
    while (taken < listed.Paths.size() && Add(listed.Paths[taken])) ++taken;
  }
  if (taken < listed.Paths.size()) {
    throw TPlaylistError("Die Warteschlange fasst h\xF6" "chstens " + std::to_string(kMaxEntries) +
                         " Titel. Von der Playlist " + path + " wurden nur die ersten " + std::to_string(taken) +
                         " \xFC" "bernommen.");
  }
  if (listed.MissingLastPath) {
    throw TPlaylistError("Die Playlist " + path +
                         " ist unvollst\xE4ndig: nach der letzten #EXTINF-Zeile fehlt der Dateipfad.");
  }
  if (listed.TooManyEntries) {
    const std::string limit = std::to_string(kMaxPlaylistEntries);
    throw TPlaylistError("Die Playlist " + path + " enth\xE4lt mehr als " + limit + " Titel. Nur die ersten " +
                         limit + " wurden \xFC" "bernommen.");
  }
}

void TTiluPlaylist::Changed() {
  if (batchDepth_ > 0) {
    changedInBatch_ = true;
    return;
  }
  if (OnQueueChange) {
    const Event call = OnQueueChange;
    call(this);
  }
}

TTiluPlaylist::TChangeBatch::TChangeBatch(TTiluPlaylist& queue) : queue_(queue) { ++queue_.batchDepth_; }

TTiluPlaylist::TChangeBatch::~TChangeBatch() {
  if (--queue_.batchDepth_ > 0 || !queue_.changedInBatch_) return;
  queue_.changedInBatch_ = false;
  queue_.Changed();
}

void TTiluPlaylist::SaveM3U(const std::string& path) {
  std::vector<TM3UEntry> entries;
  entries.reserve(Items.size());
  for (const auto& item : Items) {
    entries.push_back({item->Duration, item->Artist, item->Title, item->FilePath});
  }
  WriteM3UFile(path, entries);
}

}  // namespace orvela
