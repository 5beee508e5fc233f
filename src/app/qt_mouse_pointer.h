#pragma once
// Hides the pointer over all of the application's windows with a blank
// override cursor. Hiding twice and showing once shows it again: the guest
// screen is either with or without pointer, never "hidden twice".
#include "common/platform.h"

namespace orvela {

class QtMousePointer : public MousePointer {
 public:
  ~QtMousePointer() override;
  void Show(bool visible) override;
  bool Hidden() const { return hidden_; }

 private:
  bool hidden_ = false;
};

}  // namespace orvela
