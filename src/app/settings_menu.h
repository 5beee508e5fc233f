#pragma once
// The operator's settings menu.
#include "app/operator_window.h"

class QCheckBox;
class QPushButton;

namespace orvela {

class TForm1;
class TFormFilter;
class TFormMenu;

class THauptmenu : public TOperatorWindow {
  Q_OBJECT

 public:
  // Registers itself with the main window, which from then on knows that the
  // settings window exists.
  THauptmenu(TForm1& form1, TFormMenu& formMenu, TFormFilter& formFilter, QWidget* parent = nullptr);
  ~THauptmenu() override;

  // The window has no title-bar buttons: on a touch screen this is the only
  // way out.
  QPushButton* BitBtnSchliessen = nullptr;

  // The controls the other windows and rules set from outside.
  // "Jukebox Automatik": unticked when the automatic refuses to start.
  QCheckBox* CheckBoxAutomatik = nullptr;
  // "Musiksammlung einschränken...": enabled by collection building, ticked by the filter window.
  QCheckBox* CheckBoxEinschraenken = nullptr;
  // The birthday song's "Stop": disabled when the interruption ends.
  QPushButton* SpeedButtonGeburtstagsongStop = nullptr;

 private:
  TForm1& form1_;
  TFormMenu& formMenu_;
  TFormFilter& formFilter_;
};

}  // namespace orvela
