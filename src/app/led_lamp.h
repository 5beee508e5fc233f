#pragma once
// A round lamp (collection state, search mode) drawn as a lit or dark bulb.
#include <QColor>
#include <QWidget>

namespace orvela {

class TLedLamp : public QWidget {
  Q_OBJECT

 public:
  explicit TLedLamp(QWidget* parent = nullptr);

  void SetActive(bool active);
  bool Active() const { return active_; }
  void SetColorOn(const QColor& color);
  void SetColorOff(const QColor& color);
  QColor ColorOn() const { return colorOn_; }
  QColor ColorOff() const { return colorOff_; }
  // The colour shown now.
  QColor Color() const { return active_ ? colorOn_ : colorOff_; }
  // What the lamp stands for, read out with its state.
  void SetCaption(const QString& caption) { caption_ = caption; }
  QString Caption() const { return caption_; }

  QSize sizeHint() const override { return {22, 22}; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  bool active_ = false;
  QString caption_;
  QColor colorOn_{0x00, 0xFF, 0x00};
  QColor colorOff_{0x80, 0x00, 0x00};
};

}  // namespace orvela
