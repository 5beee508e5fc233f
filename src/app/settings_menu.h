#pragma once
// The operator's settings menu.
#include "app/operator_window.h"

class QPushButton;

namespace orvela {

class THauptmenu : public TOperatorWindow {
  Q_OBJECT

 public:
  explicit THauptmenu(QWidget* parent = nullptr);

  // The window has no title-bar buttons: on a touch screen this is the only
  // way out.
  QPushButton* BitBtnSchliessen = nullptr;
};

}  // namespace orvela
