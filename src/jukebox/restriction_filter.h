#pragma once
// Restricting the collection to chosen genres, artists or years (or, inversely,
// to everything else), without any window: the fifteen filter slots with their
// stack rules, the action buttons' states, the value lists, the filter
// expression, the settings in section "Filter" of Jukebox.ini, and the actions
// that replace the collection table's content.
//
// The filter window mirrors this model: before an action it copies what the
// operator did to its controls into the model, afterwards it shows the model.
// Everything the restriction changes outside that window (the main screen's
// counters and lamp, the settings menu's box) goes through TRestrictionDisplay.
#include <array>
#include <string>
#include <vector>

#include "jukebox/value_list.h"

namespace orvela {

class Dialogs;
class TCollectionTable;
struct TProgramState;

enum class TFilterKind : int { Genre = 0, Interpret = 1, Jahr = 2 };
inline constexpr int kFilterKindCount = 3;
inline constexpr int kFilterSlotCount = 5;
inline constexpr std::array<TFilterKind, kFilterKindCount> kFilterKinds{TFilterKind::Genre, TFilterKind::Interpret,
                                                                        TFilterKind::Jahr};

// "Genre", "Interpret", "Jahr": the field compared, and the start of the slots'
// captions and settings keys.
const char* FilterKindName(TFilterKind kind);
// 0, 5, 10: FilterSelection of the kind's slot k is base + k.
int FilterKindBase(TFilterKind kind);
// "TempGenre.text", "TempInterpret.text", "TempJahr.text".
const char* ValueListFileName(TFilterKind kind);
// What a slot ticked while the kind's list is empty says (code page).
std::string EmptyValueListText(TFilterKind kind, int slot);

// The six files every action needs, in the order they are looked for.
const std::vector<std::string>& RestrictionFileNames();
std::string MissingFilesText();     // "Es sind nicht alle ... Aktion wurde abgebrochen."
std::string IniMissingText();       // "Jukebox.ini wurde nicht gefunden. ..."
std::string RestrictedStatusText();  // "Musiksammlung eingeschränkt verfügbar"
std::string CompleteStatusText();    // "Musiksammlung komplett verfügbar"

// A value as a filter literal: in single quotes, each quote inside doubled.
std::string QuoteFilterLiteral(const std::string& value);
// The restriction for FilterSelection 1 to 15 over the kind's first values
// (texts holds the kind's five slot texts); "" for 0 or anything out of range.
std::string BuildFilterExpression(int filterSelection, const std::array<std::string, kFilterSlotCount>& texts);

// Copies the bytes of ProgramDir + source to ProgramDir + the file-name part of
// target, replacing the target atomically. Throws std::runtime_error.
void CopyFileToProgramDir(const std::string& programDir, const std::string& source, const std::string& target);

// One filter slot: a check box and the editable combo box below it.
struct TFilterSlot {
  bool ticked = false;
  bool boxEnabled = false;
  bool comboEnabled = false;
  std::string text;
  int itemIndex = -1;  // the list entry selected, -1 none (a typed or loaded text)
};

// The action buttons and the inverse box ("Komplette Musiksammlung anzeigen ausser Filter").
struct TFilterButtons {
  bool aktivieren = false;
  bool deaktivieren = false;
  bool leeren = false;
  bool inverseEnabled = true;
  bool inverseTicked = false;
};

enum class TButtonState { Show, Deaktivieren, Aktivieren, Leeren };

// A long loop's progress: told its length, each step, and its end.
class TFilterProgress {
 public:
  virtual ~TFilterProgress() = default;
  virtual void Begin(int total) = 0;
  virtual void Advance() = 0;
  virtual void Finish() = 0;
};

// The restriction's marks outside the filter window.
class TRestrictionDisplay {
 public:
  virtual ~TRestrictionDisplay() = default;
  // The title counters (and the browse grid) after the table's content changed:
  // "n Titel in TempMusiksammlung vorhanden" when restricted, "n Titel in
  // Musiksammlung vorhanden" otherwise.
  virtual void ShowTitleCount(int count, bool restricted) = 0;
  // The status text and lamp: yellow restricted, lime complete.
  virtual void ShowCollectionState(bool restricted) = 0;
  // The settings menu's "Musiksammlung einschränken...", ticked in code.
  virtual void SetRestrictionBox(bool ticked) = 0;
};

class TRestrictionFilter {
 public:
  TRestrictionFilter(TProgramState& state, TCollectionTable& collection, TCollectionTable& transfer, Dialogs& dialogs,
                     TRestrictionDisplay& display);

  // The model the window mirrors. k is 1 to 5.
  TFilterSlot& Slot(TFilterKind kind, int k) { return slots_[Index(kind)][k - 1]; }
  const TFilterSlot& Slot(TFilterKind kind, int k) const { return slots_[Index(kind)][k - 1]; }
  // The entries of the kind's five combo boxes, and a number that changes
  // whenever they are replaced.
  const std::vector<std::string>& Items(TFilterKind kind) const { return items_[Index(kind)]; }
  int ItemsVersion(TFilterKind kind) const { return itemsVersion_[Index(kind)]; }
  void SetItems(TFilterKind kind, std::vector<std::string> items);
  TFilterButtons& Buttons() { return buttons_; }
  const TFilterButtons& Buttons() const { return buttons_; }
  // 0 none; 1 to 5 genre, 6 to 10 artist, 11 to 15 year, with that many values.
  int FilterSelection() const { return filterSelection_; }
  void SetFilterSelection(int value) { filterSelection_ = value; }

  // The window opens: value lists from their files, the settings, the states.
  void FormShow();
  // The operator clicked the slot's check box (its tick already flipped).
  void SlotClicked(TFilterKind kind, int k);
  // "Genre aktualisieren" and its kin. False when the action stopped.
  bool BuildValueList(TFilterKind kind, TFilterProgress& progress);
  // "Filter aktivieren", "Filter deaktivieren", "Filter leeren". False when
  // the action stopped (a message has been shown).
  bool Activate(TFilterProgress& progress);
  bool Deactivate();
  void Clear();
  // "Schließen", apart from the window's closing.
  void Close();

  void LoadFilterSettings();
  void SaveFilterSettings();
  std::string BuildFilterExpression() const;
  void SetButtonState(TButtonState state);
  void UpdateBoxStates();
  void UpdateComboStates();
  void ResetFilterBoxes();
  void LockFilterBoxes();
  void LockFilterCombos();
  void ClearFilterCombos();

 private:
  static int Index(TFilterKind kind) { return static_cast<int>(kind); }
  bool RequiredFilesPresent() const;
  void SelectSecondEntry(TFilterKind kind, int k);
  void CopyCurrentTitle();
  void RestrictNormal(TFilterProgress& progress, bool* collectionReplaced);
  void RestrictInverse(TFilterProgress& progress, bool* collectionReplaced);
  void RestoreAfterFailure(bool collectionReplaced);
  void RebuildPlayOnce();

  TProgramState& state_;
  TCollectionTable& collection_;
  TCollectionTable& transfer_;
  Dialogs& dialogs_;
  TRestrictionDisplay& display_;
  std::array<std::array<TFilterSlot, kFilterSlotCount>, kFilterKindCount> slots_{};
  std::array<std::vector<std::string>, kFilterKindCount> items_{};
  std::array<int, kFilterKindCount> itemsVersion_{};
  TFilterButtons buttons_;
  int filterSelection_ = 0;
};

}  // namespace orvela
