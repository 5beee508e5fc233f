#pragma once
// The restriction filter window, which narrows the collection to chosen
// genres, artists or years.
#include "app/operator_window.h"

namespace orvela {

class TForm1;

class TFormFilter : public TOperatorWindow {
  Q_OBJECT

 public:
  explicit TFormFilter(TForm1& form1, QWidget* parent = nullptr);

 private:
  TForm1& form1_;
};

}  // namespace orvela
