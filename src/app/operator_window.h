#pragma once
// What the three operator windows share: a fixed client area, a dialog frame
// without title-bar buttons, always above the guest screen, centred on the
// desktop each time it opens, and a background picture. Each is created once
// and shown modally when the operator needs it.
#include <QDialog>

namespace orvela {

class TBackgroundImage;

class TOperatorWindow : public QDialog {
 public:
  static constexpr int kClientWidth = 878;
  static constexpr int kClientHeight = 500;
  static inline const char* const kBackgroundResource = ":/assets/dialog_background.png";

  TOperatorWindow(const QString& caption, QWidget* parent);

  TBackgroundImage* Background() const { return background_; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  TBackgroundImage* background_;
};

}  // namespace orvela
