#pragma once
// What the three operator windows share: a fixed client area, a dialog frame
// without title-bar buttons, always above the guest screen, centred on the
// desktop each time it opens, and a background picture. Each is created once
// and shown modally when the operator needs it.
//
// The windows are laid out in design pixels (their 878 x 500). Each time one
// opens it takes the guest screen's scale: its size, every font, fixed size,
// position, spacing and style-sheet length are the design values times that
// factor, so on a large screen the operator's keys are as big as the guests'.
#include <QDialog>
#include <QRect>
#include <QStyledItemDelegate>

class QLabel;
class QPushButton;

namespace orvela {

class TBackgroundImage;

// Rows of a list, a tree or a drop-down at least a finger high at the guest
// screen's scale (the toolkit sizes them by the font, far too low for a tap).
class TFingerRows : public QStyledItemDelegate {
 public:
  explicit TFingerRows(QObject* parent) : QStyledItemDelegate(parent) {}
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

class TOperatorWindow : public QDialog {
 public:
  static constexpr int kClientWidth = 878;
  static constexpr int kClientHeight = 500;
  static inline const char* const kBackgroundResource = ":/assets/dialog_background.png";
  // The border drawn around every operator window, in design pixels.
  static constexpr int kFramePx = 3;
  // Where every operator window keeps its way out, in design pixels.
  static constexpr QRect kCloseButtonRect{kClientWidth - 14 - 200, kClientHeight - 14 - 52, 200, 52};

  TOperatorWindow(const QString& caption, QWidget* parent);

  TBackgroundImage* Background() const { return background_; }
  // The scale the window was last laid out at.
  double AppliedScale() const { return appliedScale_; }
  // Lays the window out at the guest screen's present scale; showing does it too.
  void ApplyScreenScale();

  // One title style and one "Schließen" for every operator window.
  static void StyleTitle(QLabel* label, int designPixels);
  static void StyleCloseButton(QPushButton* button);

 protected:
  void showEvent(QShowEvent* event) override;
  // A window's extra rules on top of the house style sheet (lengths in design px).
  void AddStyleSheet(const QString& rules);
  // For what a window sizes by itself beyond fonts, sizes and sheets.
  virtual void ScaleChanged(double /*scale*/) {}

 private:
  TBackgroundImage* background_;
  QWidget* frame_;
  double appliedScale_ = 0.0;
};

}  // namespace orvela
