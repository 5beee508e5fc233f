#pragma once
// The restriction filter window, which narrows the collection to chosen
// genres, artists or years.
#include "app/operator_window.h"

namespace orvela {

class TFormFilter : public TOperatorWindow {
 public:
  explicit TFormFilter(QWidget* parent = nullptr);
};

}  // namespace orvela
