#pragma once
// The operator's settings menu.
#include "app/operator_window.h"

namespace orvela {

class THauptmenu : public TOperatorWindow {
  Q_OBJECT

 public:
  explicit THauptmenu(QWidget* parent = nullptr);
};

}  // namespace orvela
