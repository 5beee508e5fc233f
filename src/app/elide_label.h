#pragma once
// A one-line text of the guest screen that never widens its column: a text
// longer than its room (a long title, a large count) ends in an ellipsis
// instead of pushing the neighbouring controls off the screen.
#include <QLabel>

namespace orvela {

class TElideLabel : public QLabel {
  Q_OBJECT

 public:
  explicit TElideLabel(const QString& text, QWidget* parent = nullptr);

  QSize minimumSizeHint() const override;

  // The text as painted.
  QString DisplayedText() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace orvela
