#pragma once
// A text field that reacts to a finger like a button (the search field). Its
// size never follows its text: keys beside it must not move under a finger
// while a guest types. A text too long for it shows its end, what was typed last.
#include <QLabel>

namespace orvela {

class TClickLabel : public QLabel {
  Q_OBJECT

 public:
  explicit TClickLabel(QWidget* parent = nullptr);

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

  // The text as painted: whole when it fits, else its end behind an ellipsis.
  QString DisplayedText() const;

 signals:
  void clicked();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace orvela
