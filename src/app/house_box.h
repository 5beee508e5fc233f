#pragma once
// The jukebox's own message box and the panel every box and the file picker
// share: dark, framed, in the screen's font, at the guest screen's scale, above
// everything, with the screen behind it dimmed. Toolkit boxes looked like a
// desktop in the middle of a bar screen and stayed small on a large one.
#include <QDialog>
#include <QString>

class QPushButton;
class QVBoxLayout;

namespace orvela {

// A frameless modal window painted as a framed dark panel.
class THousePanel : public QDialog {
  Q_OBJECT
 public:
  explicit THousePanel(QWidget* parent);
  // Shows the panel modally over the dimmed screen; answers exec()'s result.
  int Run();

 protected:
  void paintEvent(QPaintEvent* event) override;
};

// Text that wraps at word boundaries and, where one word (a path) is wider
// than the box, anywhere inside it, so nothing is cut off.
class TWrappedText : public QWidget {
  Q_OBJECT
 public:
  explicit TWrappedText(const QString& text, QWidget* parent);
  QString Text() const { return text_; }
  bool hasHeightForWidth() const override { return true; }
  int heightForWidth(int width) const override;
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QString text_;
};

// A drawn sign in the house colours in place of the toolkit's pictures.
enum class TBoxSign { None, Information, Error };

class THouseBox : public THousePanel {
  Q_OBJECT
 public:
  THouseBox(const QString& title, const QString& text, TBoxSign sign, QWidget* parent);
  // A button that ends the box with `result`; the default one answers Enter.
  QPushButton* AddButton(const QString& caption, int result, bool isDefault);
  QString Text() const { return text_->Text(); }

 private:
  TWrappedText* text_;
  QWidget* buttonRow_;
};

}  // namespace orvela
