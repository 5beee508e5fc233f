#pragma once
// The restriction filter window, which narrows the collection to chosen
// genres, artists or years. It mirrors the rules of jukebox/restriction_filter.h:
// a handler copies the operator's ticks and texts into the model, calls the
// rule and shows the model again.
#include <QElapsedTimer>
#include <array>
#include <memory>

#include "app/operator_window.h"
#include "jukebox/restriction_filter.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;

namespace orvela {

class TForm1;

class TFormFilter : public TOperatorWindow, private TRestrictionDisplay, private TFilterProgress {
  Q_OBJECT

 public:
  explicit TFormFilter(TForm1& form1, QWidget* parent = nullptr);
  ~TFormFilter() override;

  TRestrictionFilter& Model() { return *model_; }

  // Handlers.
  void FormShow();
  void SpeedButtonFilterAktivierenClick();
  void SpeedButtonFilterDeaktivierenClick();
  void SpeedButtonFilterLeerenClick();
  void SpeedButtonGenreAktualisierenClick();
  void SpeedButtonInterpretAktualisierenClick();
  void SpeedButtonJahrAktualisierenClick();
  void BitBtn1Click();
  // The click of a slot's check box (k 1 to 5); the click has flipped its tick.
  void FilterCheckBoxClick(TFilterKind kind, int k);

  QCheckBox* FilterCheckBox(TFilterKind kind, int k) const { return boxes_[Index(kind)][k - 1]; }
  QComboBox* FilterComboBox(TFilterKind kind, int k) const { return combos_[Index(kind)][k - 1]; }

  QLabel* LabelTitel = nullptr;
  QLabel* LabelFilter = nullptr;
  QPushButton* SpeedButtonFilterDeaktivieren = nullptr;
  QPushButton* SpeedButtonFilterAktivieren = nullptr;
  QPushButton* SpeedButtonFilterLeeren = nullptr;
  QGroupBox* GroupBoxFilterart = nullptr;
  QCheckBox* CheckBoxFilterart = nullptr;
  QPushButton* BitBtn1 = nullptr;
  QPushButton* SpeedButtonGenreAktualisieren = nullptr;
  QPushButton* SpeedButtonInterpretAktualisieren = nullptr;
  QPushButton* SpeedButtonJahrAktualisieren = nullptr;
  QProgressBar* ProgressBar1 = nullptr;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  static int Index(TFilterKind kind) { return static_cast<int>(kind); }
  void CreateControls();
  // The operator's ticks, texts and inverse box into the model.
  void ReadControls();
  // The model onto the controls; ticks set here run no click handler.
  void ShowModel();
  void BuildValueList(TFilterKind kind);

  // TRestrictionDisplay: the main window's marks.
  void ShowTitleCount(int count, bool restricted) override;
  void ShowCollectionState(bool restricted) override;
  void SetRestrictionBox(bool ticked) override;
  // TFilterProgress: the bar, with the window kept painted.
  void Begin(int total) override;
  void Advance() override;
  void Finish() override;

  TForm1& form1_;
  std::unique_ptr<TRestrictionFilter> model_;
  std::array<std::array<QCheckBox*, kFilterSlotCount>, kFilterKindCount> boxes_{};
  std::array<std::array<QComboBox*, kFilterSlotCount>, kFilterKindCount> combos_{};
  std::array<int, kFilterKindCount> shownItems_{-1, -1, -1};
  int progress_ = 0;
  QElapsedTimer sincePaint_;
};

}  // namespace orvela
