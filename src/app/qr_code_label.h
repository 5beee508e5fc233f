#pragma once
// The QR code of the phones' page, in the right-hand end of the spectrum area,
// with "Mit dem Handy wählen" beside it. It takes the whole height of the area
// it stands in and paints each module as a square of whole pixels, dark on
// white inside the quiet zone, so a phone's camera reads it from across a
// table. Without an address it hides.
#include <QImage>
#include <QString>
#include <QWidget>
#include <vector>

namespace orvela {

class TQrCodeLabel : public QWidget {
  Q_OBJECT

 public:
  static constexpr const char* kCaption = "Mit dem Handy wählen";  // UTF-8
  // Light modules each side, as the code's readers expect.
  static constexpr int kQuietModules = 4;

  // Stands in parent, at its right-hand end, and follows its size.
  explicit TQrCodeLabel(QWidget* parent);

  // The address the code says; empty (or one that cannot be encoded) hides it.
  void SetText(const QString& text);
  const QString& Text() const { return text_; }
  // Modules per side without the quiet zone; 0 while nothing is encoded.
  int ModuleCount() const { return modules_; }
  bool IsDark(int x, int y) const;
  // The code alone, one pixel a module, with its quiet zone; null while nothing is encoded.
  QImage CodeImage() const;
  // Pixels per module side at the present size.
  int ModulePixels() const;
  // The white square: the code with its quiet zone, in this widget's coordinates.
  QRect CodeRect() const;
  // Where the caption is painted, in this widget's coordinates, and how.
  QRect CaptionRect() const;
  QFont CaptionFont() const;
  // The caption as painted: two lines beside the code.
  static QString CaptionText();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  void Place();

  QString text_;
  int modules_ = 0;
  std::vector<unsigned char> dark_;  // modules_ x modules_, row by row
};

}  // namespace orvela
