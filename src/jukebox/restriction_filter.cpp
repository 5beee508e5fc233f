#include "jukebox/restriction_filter.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <exception>
#include <stdexcept>

#include "collection/collection_table.h"
#include "common/atomic_file.h"
#include "common/codepage.h"
#include "common/dialogs.h"
#include "common/file_open.h"
#include "jukebox/jukebox_ini.h"
#include "jukebox/program_state.h"
#include "jukebox/title_selection.h"

namespace orvela {
namespace {

constexpr const char* kSection = "Filter";
constexpr const char* kCollectionFile = "Musikliste.xml";
constexpr const char* kRestrictedFile = "TempMusikliste.xml";

class TDescriptor {
 public:
  explicit TDescriptor(int fd) : fd_(fd) {}
  ~TDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  TDescriptor(const TDescriptor&) = delete;
  TDescriptor& operator=(const TDescriptor&) = delete;
  int Get() const { return fd_; }

 private:
  int fd_;
};

std::string BoxKey(TFilterKind kind, int k) {
  return std::string(FilterKindName(kind)) + " Filter " + std::to_string(k) + " aktiv";
}

std::string ComboKey(TFilterKind kind, int k) { return std::string(FilterKindName(kind)) + " Combo" + std::to_string(k); }

}  // namespace

const char* FilterKindName(TFilterKind kind) {
  switch (kind) {
    case TFilterKind::Genre: return "Genre";
    case TFilterKind::Interpret: return "Interpret";
    case TFilterKind::Jahr: return "Jahr";
  }
  return "";
}

int FilterKindBase(TFilterKind kind) { return static_cast<int>(kind) * kFilterSlotCount; }

const char* ValueListFileName(TFilterKind kind) {
  switch (kind) {
    case TFilterKind::Genre: return "TempGenre.text";
    case TFilterKind::Interpret: return "TempInterpret.text";
    case TFilterKind::Jahr: return "TempJahr.text";
  }
  return "";
}

std::string EmptyValueListText(TFilterKind kind, int slot) {
  switch (kind) {
    case TFilterKind::Genre: return "Sie m\xFCssen zuerst das Genre aktualisieren !";
    case TFilterKind::Interpret: return "Sie m\xFCssen zuerst die Interpreten aktualisieren !";
    case TFilterKind::Jahr:
      // The fourth year slot has always said it this way.
      return slot == 4 ? "Sie m\xFCssen zuerst die Jahren aktualisieren !"
                       : "Sie m\xFCssen zuerst die Jahre aktualisieren !";
  }
  return "";
}

const std::vector<std::string>& RestrictionFileNames() {
  static const std::vector<std::string> names{"Jukebox.ini",    "Musikliste.xml",     "TempMusikliste.xml",
                                              "TempGenre.text", "TempInterpret.text", "TempJahr.text"};
  return names;
}

std::string MissingFilesText() {
  return "Es sind nicht alle ben\xF6tigten Dateien vorhanden. Aktion wurde abgebrochen.";
}
std::string IniMissingText() { return "Jukebox.ini wurde nicht gefunden. Aktion wurde abgebrochen."; }
std::string RestrictedStatusText() { return "Musiksammlung eingeschr\xE4nkt verf\xFCgbar"; }
std::string CompleteStatusText() { return "Musiksammlung komplett verf\xFCgbar"; }

std::string QuoteFilterLiteral(const std::string& value) {
  std::string quoted = "'";
  for (char c : value) {
    if (c == '\'') quoted += '\'';
    quoted += c;
  }
  return quoted + "'";
}

std::string BuildFilterExpression(int filterSelection, const std::array<std::string, kFilterSlotCount>& texts) {
  if (filterSelection < 1 || filterSelection > kFilterKindCount * kFilterSlotCount) return {};
  const std::string field = FilterKindName(kFilterKinds[(filterSelection - 1) / kFilterSlotCount]);
  const int count = (filterSelection - 1) % kFilterSlotCount + 1;
  const auto term = [&](int i) { return field + "=" + QuoteFilterLiteral(texts[i]); };
  if (count == 1) return term(0);
  if (count == 2) return "(" + term(0) + ")or (" + term(1) + ")";
  std::string expression = "(" + term(0);
  for (int i = 1; i < count; ++i) expression += ")or(" + term(i);
  return expression + ")";
}

void CopyFileToProgramDir(const std::string& programDir, const std::string& source, const std::string& target) {
  const std::size_t slash = target.find_last_of("/\\");
  const std::string targetName = slash == std::string::npos ? target : target.substr(slash + 1);
  const std::string from = programDir + source;
  const std::string to = programDir + targetName;
  const auto fail = [&](const std::string& reason) {
    throw std::runtime_error("Cannot copy " + from + " to " + to + ": " + reason);
  };
  const TDescriptor in(OpenRegularCodePageFile(from));
  if (in.Get() < 0) fail(std::strerror(errno));
  TAtomicFileWriter writer;
  std::string error;
  if (!writer.Open(ResolveCodePagePathForWriting(to), &error)) fail(error);
  std::string buffer(std::size_t{1} << 20, '\0');
  for (;;) {
    const ssize_t got = ::read(in.Get(), buffer.data(), buffer.size());
    if (got < 0) {
      if (errno == EINTR) continue;
      fail(std::strerror(errno));
    }
    if (got == 0) break;
    if (!writer.Write(std::string_view(buffer.data(), static_cast<std::size_t>(got)), &error)) fail(error);
  }
  if (!writer.Commit(&error)) fail(error);
}

TRestrictionFilter::TRestrictionFilter(TProgramState& state, TCollectionTable& collection, TCollectionTable& transfer,
                                       Dialogs& dialogs, TRestrictionDisplay& display)
    : state_(state), collection_(collection), transfer_(transfer), dialogs_(dialogs), display_(display) {}

void TRestrictionFilter::SetItems(TFilterKind kind, std::vector<std::string> items) {
  items_[Index(kind)] = std::move(items);
  ++itemsVersion_[Index(kind)];
  // A new list leaves the slots' texts as they are, but no entry selected.
  for (TFilterSlot& slot : slots_[Index(kind)]) slot.itemIndex = -1;
}

bool TRestrictionFilter::RequiredFilesPresent() const {
  for (const std::string& name : RestrictionFileNames()) {
    if (!IsRegularFile(ResolveCodePagePath(state_.ProgramDir + name))) {
      dialogs_.ShowMessage(MissingFilesText());
      return false;
    }
  }
  return true;
}

void TRestrictionFilter::FormShow() {
  for (TFilterKind kind : kFilterKinds)
    SetItems(kind, ReadValueListFile(state_.ProgramDir + ValueListFileName(kind)).Values());
  LoadFilterSettings();
  SetButtonState(TButtonState::Show);
  UpdateComboStates();
  if (state_.RestrictionActive) {
    LockFilterBoxes();
    LockFilterCombos();
  } else {
    UpdateBoxStates();
  }
}

void TRestrictionFilter::LoadFilterSettings() {
  const TIniFile ini(state_.ProgramDir + "Jukebox.ini");
  if (!ini.FileExists()) {
    dialogs_.ShowMessage(IniMissingText());
    return;
  }
  for (TFilterKind kind : kFilterKinds) {
    for (int k = 1; k <= kFilterSlotCount; ++k) {
      TFilterSlot& slot = Slot(kind, k);
      slot.ticked = ini.ReadBool(kSection, BoxKey(kind, k), true);
      slot.text = ini.ReadString(kSection, ComboKey(kind, k), "");
      slot.itemIndex = -1;
    }
  }
  const int selection = ini.ReadInteger(kSection, " Filtermenge", 0);
  // A hand-edited number that names no slot would restrict by an empty
  // expression, that is to everything: it counts as no choice.
  filterSelection_ = selection >= 0 && selection <= kFilterKindCount * kFilterSlotCount ? selection : 0;
  buttons_.inverseTicked = ini.ReadBool(kSection, "Filterart", true);
}

void TRestrictionFilter::SaveFilterSettings() {
  TIniFile ini(state_.ProgramDir + "Jukebox.ini");
  if (!ini.FileExists()) {
    dialogs_.ShowMessage(IniMissingText());
    return;
  }
  // One replacement of the file for all 32 values, instead of one each.
  TIniBatch batch;
  for (TFilterKind kind : kFilterKinds) {
    for (int k = 1; k <= kFilterSlotCount; ++k) {
      batch.WriteBool(kSection, BoxKey(kind, k), Slot(kind, k).ticked);
      batch.WriteString(kSection, ComboKey(kind, k), Slot(kind, k).text);
    }
  }
  batch.WriteInteger(kSection, " Filtermenge", filterSelection_);
  batch.WriteBool(kSection, "Filterart", buttons_.inverseTicked);
  try {
    ini.Write(batch);
  } catch (const IniWriteError& e) {
    dialogs_.Error(e.what());
  }
}

void TRestrictionFilter::SelectSecondEntry(TFilterKind kind, int k) {
  TFilterSlot& slot = Slot(kind, k);
  const std::vector<std::string>& items = Items(kind);
  if (items.size() > 1) {
    slot.itemIndex = 1;
    slot.text = items[1];
  } else {
    slot.itemIndex = -1;
    slot.text.clear();
  }
}

void TRestrictionFilter::SlotClicked(TFilterKind kind, int k) {
  const int base = FilterKindBase(kind);
  TFilterSlot& slot = Slot(kind, k);
  if (Items(kind).empty()) {
    dialogs_.Information("", EmptyValueListText(kind, k));
    Slot(kind, 1).ticked = false;
    return;
  }
  if (k == 1) {
    if (slot.ticked) {
      slot.comboEnabled = true;
      SelectSecondEntry(kind, 1);
      Slot(kind, 2).boxEnabled = true;
      // One kind at a time.
      for (TFilterKind other : kFilterKinds) {
        if (other == kind) continue;
        Slot(other, 1).boxEnabled = false;
        Slot(other, 1).comboEnabled = false;
      }
      SetButtonState(TButtonState::Deaktivieren);
      filterSelection_ = base + 1;
    } else {
      ResetFilterBoxes();
      LockFilterCombos();
      ClearFilterCombos();
      SetButtonState(TButtonState::Leeren);
      filterSelection_ = 0;
      if (state_.RestrictionActive) {
        state_.RestrictionActive = false;
        SetButtonState(TButtonState::Leeren);
      }
    }
    return;
  }
  TFilterSlot& before = Slot(kind, k - 1);
  if (slot.ticked) {
    slot.comboEnabled = true;
    SelectSecondEntry(kind, k);
    buttons_.aktivieren = true;
    filterSelection_ = base + k;
    if (k < kFilterSlotCount) Slot(kind, k + 1).boxEnabled = true;
    before.comboEnabled = false;
    before.boxEnabled = false;
  } else {
    before.comboEnabled = true;
    before.boxEnabled = true;
    filterSelection_ = base + k - 1;
    slot.comboEnabled = false;
    slot.itemIndex = -1;
    slot.text.clear();
    slot.ticked = false;
    if (k < kFilterSlotCount) Slot(kind, k + 1).boxEnabled = false;
  }
}

void TRestrictionFilter::SetButtonState(TButtonState state) {
  TFilterButtons& b = buttons_;
  const auto set = [&b](bool aktivieren, bool deaktivieren, bool leeren, bool inverse) {
    b.aktivieren = aktivieren;
    b.deaktivieren = deaktivieren;
    b.leeren = leeren;
    b.inverseEnabled = inverse;
  };
  switch (state) {
    case TButtonState::Show:
      if (state_.RestrictionActive) {
        set(false, true, false, false);
      } else if (filterSelection_ < 1) {
        set(false, false, false, false);
      } else {
        set(true, b.deaktivieren, true, true);
      }
      break;
    case TButtonState::Deaktivieren: set(true, false, true, true); break;
    case TButtonState::Aktivieren: set(false, true, false, false); break;
    case TButtonState::Leeren: set(false, false, false, false); break;
  }
}

void TRestrictionFilter::UpdateBoxStates() {
  for (TFilterKind kind : kFilterKinds) {
    for (int k = 1; k < kFilterSlotCount; ++k) {
      if (Slot(kind, k).ticked && !Slot(kind, k + 1).ticked) {
        Slot(kind, k).boxEnabled = true;
        Slot(kind, k + 1).boxEnabled = true;
      }
    }
    if (Slot(kind, kFilterSlotCount).ticked) Slot(kind, kFilterSlotCount).boxEnabled = true;
  }
  if (filterSelection_ == 0)
    for (TFilterKind kind : kFilterKinds) Slot(kind, 1).boxEnabled = true;
}

void TRestrictionFilter::UpdateComboStates() {
  for (TFilterKind kind : kFilterKinds) {
    for (int k = 1; k < kFilterSlotCount; ++k)
      Slot(kind, k).comboEnabled = Slot(kind, k).ticked && !Slot(kind, k + 1).ticked;
    Slot(kind, kFilterSlotCount).comboEnabled = Slot(kind, kFilterSlotCount).ticked;
  }
}

void TRestrictionFilter::ResetFilterBoxes() {
  for (auto& kind : slots_) {
    for (std::size_t i = 0; i < kind.size(); ++i) {
      kind[i].ticked = false;
      kind[i].boxEnabled = i == 0;
    }
  }
}

void TRestrictionFilter::LockFilterBoxes() {
  for (auto& kind : slots_)
    for (TFilterSlot& slot : kind) slot.boxEnabled = false;
}

void TRestrictionFilter::LockFilterCombos() {
  for (auto& kind : slots_)
    for (TFilterSlot& slot : kind) slot.comboEnabled = false;
}

void TRestrictionFilter::ClearFilterCombos() {
  for (auto& kind : slots_) {
    for (TFilterSlot& slot : kind) {
      slot.text.clear();
      slot.itemIndex = -1;
    }
  }
}

std::string TRestrictionFilter::BuildFilterExpression() const {
  if (filterSelection_ < 1) return {};
  const TFilterKind kind = kFilterKinds[std::min((filterSelection_ - 1) / kFilterSlotCount, kFilterKindCount - 1)];
  std::array<std::string, kFilterSlotCount> texts;
  for (int k = 1; k <= kFilterSlotCount; ++k) texts[k - 1] = Slot(kind, k).text;
  return orvela::BuildFilterExpression(filterSelection_, texts);
}

bool TRestrictionFilter::BuildValueList(TFilterKind kind, TFilterProgress& progress) {
  if (!RequiredFilesPresent()) return false;
  TValueList list;
  const int field = TCollectionTable::FieldIndexOf(FilterKindName(kind));
  // Every stored title, read by its storage number: a guest's search left on
  // the screen neither cuts the list down nor is disturbed by it.
  const int count = collection_.StoredRecordCount();
  progress.Begin(count);
  try {
    for (int number = 1; number <= count; ++number) {
      list.Add(collection_.StoredField(number, field));
      progress.Advance();
    }
    WriteValueListFile(state_.ProgramDir + ValueListFileName(kind), list);
  } catch (const std::exception& e) {
    dialogs_.Error(e.what());
    progress.Finish();
    return false;
  }
  SetItems(kind, list.Values());
  progress.Finish();
  return true;
}

void TRestrictionFilter::CopyCurrentTitle() {
  TCollectionTable::Values values;
  for (int f = 0; f < TCollectionTable::kFieldCount; ++f) values[f] = collection_.FieldAsString(f);
  transfer_.AppendRecord(values);
}

void TRestrictionFilter::RestrictNormal(TFilterProgress& progress, bool* collectionReplaced) {
  const std::string restricted = state_.ProgramDir + kRestrictedFile;
  collection_.SetFilter(BuildFilterExpression());
  collection_.SetFiltered(true);
  transfer_.Open();
  transfer_.Empty();
  transfer_.SaveToFile(restricted);
  const int count = collection_.RecordCount();
  progress.Begin(count);
  for (int recNo = 1; recNo <= count; ++recNo) {
    collection_.SetRecNo(recNo);
    CopyCurrentTitle();
    progress.Advance();
  }
  transfer_.SaveToFile(restricted);
  transfer_.Close();
  *collectionReplaced = true;
  collection_.Close();
  collection_.Open();
  collection_.LoadFromFile(restricted);
  collection_.SetFiltered(false);
}

void TRestrictionFilter::RestrictInverse(TFilterProgress& progress, bool* collectionReplaced) {
  transfer_.Open();
  transfer_.Empty();
  transfer_.Close();
  CopyFileToProgramDir(state_.ProgramDir, kCollectionFile, kRestrictedFile);
  *collectionReplaced = true;
  collection_.Close();
  collection_.Open();
  collection_.LoadFromFile(state_.ProgramDir + kRestrictedFile);
  collection_.SetFiltered(false);
  collection_.SetFilter(BuildFilterExpression());
  collection_.SetFiltered(true);
  const int count = collection_.RecordCount();
  progress.Begin(count);
  for (int i = 0; i < count; ++i) {
    collection_.DeleteCurrent();
    progress.Advance();
  }
  // The matching titles are gone from the table only; the files stay whole.
  collection_.SetFiltered(false);
}

// The action stopped half-way. Left as it stands, the table would show the
// restriction's filter, or an empty or half-thinned collection, while the
// screen calls it complete: guests get the whole collection back instead.
void TRestrictionFilter::RestoreAfterFailure(bool collectionReplaced) {
  try {
    if (collectionReplaced) {
      collection_.Close();
      collection_.Open();
      collection_.LoadFromFile(state_.ProgramDir + kCollectionFile);
    }
    collection_.SetFiltered(false);
  } catch (const std::exception& e) {
    dialogs_.Error(e.what());
  }
  display_.ShowTitleCount(collection_.RecordCount(), false);
  if (collectionReplaced) RebuildPlayOnce();
}

bool TRestrictionFilter::Activate(TFilterProgress& progress) {
  if (!RequiredFilesPresent()) return false;
  bool collectionReplaced = false;
  try {
    if (buttons_.inverseTicked) {
      RestrictInverse(progress, &collectionReplaced);
    } else {
      RestrictNormal(progress, &collectionReplaced);
    }
  } catch (const std::exception& e) {
    dialogs_.Error(e.what());
    progress.Finish();
    RestoreAfterFailure(collectionReplaced);
    return false;
  }
  display_.ShowTitleCount(collection_.RecordCount(), true);
  display_.SetRestrictionBox(true);
  state_.RestrictionActive = true;
  SetButtonState(TButtonState::Aktivieren);
  LockFilterBoxes();
  LockFilterCombos();
  SaveFilterSettings();
  display_.ShowCollectionState(true);
  progress.Finish();
  RebuildPlayOnce();
  return true;
}

bool TRestrictionFilter::Deactivate() {
  if (!RequiredFilesPresent()) return false;
  try {
    collection_.Close();
    collection_.Open();
    collection_.LoadFromFile(state_.ProgramDir + kCollectionFile);
    collection_.SetFiltered(false);
  } catch (const std::exception& e) {
    dialogs_.Error(e.what());
    display_.ShowTitleCount(collection_.RecordCount(), state_.RestrictionActive);
    return false;
  }
  display_.ShowTitleCount(collection_.RecordCount(), false);
  display_.SetRestrictionBox(false);
  state_.RestrictionActive = false;
  SaveFilterSettings();
  SetButtonState(TButtonState::Deaktivieren);
  UpdateBoxStates();
  UpdateComboStates();
  display_.ShowCollectionState(false);
  RebuildPlayOnce();
  return true;
}

void TRestrictionFilter::Clear() {
  SetButtonState(TButtonState::Leeren);
  ResetFilterBoxes();
  ClearFilterCombos();
  LockFilterCombos();
  state_.RestrictionActive = false;
  filterSelection_ = 0;
}

void TRestrictionFilter::Close() {
  display_.SetRestrictionBox(state_.RestrictionActive);
  SaveFilterSettings();
}

// Play-once numbers titles by their place in the table: a new content needs a new list.
void TRestrictionFilter::RebuildPlayOnce() {
  if (!state_.PlayOnceEnabled) return;
  StopPlayOnce(state_);
  StartPlayOnce(state_, collection_.StoredRecordCount());
}

}  // namespace orvela
