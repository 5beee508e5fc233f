#pragma once
// The collection management window, where the operator builds the collection.
#include "app/operator_window.h"

namespace orvela {

class TFormMenu : public TOperatorWindow {
 public:
  explicit TFormMenu(QWidget* parent = nullptr);
};

}  // namespace orvela
