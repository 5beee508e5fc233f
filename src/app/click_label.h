#pragma once
// A text field that reacts to a finger like a button (the search field).
#include <QLabel>

namespace orvela {

class TClickLabel : public QLabel {
  Q_OBJECT

 public:
  using QLabel::QLabel;

 signals:
  void clicked();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
};

}  // namespace orvela
