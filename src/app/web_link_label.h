#pragma once
// A label that opens a web address when touched: hand cursor, underlined, blue
// while the pointer is over it and black again when it leaves.
#include <QLabel>
#include <functional>

namespace orvela {

class TWebLinkLabel : public QLabel {
 public:
  TWebLinkLabel(const QString& text, QWidget* parent);

  void SetOnClick(std::function<void()> onClick) { onClick_ = std::move(onClick); }
  bool Hovered() const { return hovered_; }
  QColor TextColor() const { return hovered_ ? QColor(0x00, 0x00, 0xFF) : QColor(0x00, 0x00, 0x00); }

 protected:
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void ApplyColor();

  std::function<void()> onClick_;
  bool hovered_ = false;
};

}  // namespace orvela
