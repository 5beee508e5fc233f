#pragma once
// The collection management window, where the operator builds the collection.
#include "app/operator_window.h"

namespace orvela {

class TForm1;

class TFormMenu : public TOperatorWindow {
  Q_OBJECT

 public:
  explicit TFormMenu(TForm1& form1, QWidget* parent = nullptr);

 private:
  TForm1& form1_;
};

}  // namespace orvela
