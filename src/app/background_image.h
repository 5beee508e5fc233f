#pragma once
// A picture stretched over the whole client area of a window, behind all of its
// controls. The pictures are compiled into the program; where one is missing
// (a test binary without them) the area stays a plain dark fill.
#include <QPixmap>
#include <QWidget>

// No Q_OBJECT in this folder: its library is built without moc; signals are
// connected to lambdas.

namespace orvela {

class TBackgroundImage : public QWidget {
 public:
  // resource: a Qt resource path such as ":/assets/background.png".
  TBackgroundImage(const QString& resource, QWidget* parent);

  bool HasPicture() const { return !picture_.isNull(); }

 protected:
  void paintEvent(QPaintEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QPixmap picture_;
};

}  // namespace orvela
