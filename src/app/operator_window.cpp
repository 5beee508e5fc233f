#include "app/operator_window.h"

#include <QGuiApplication>
#include <QScreen>

#include "app/background_image.h"

namespace orvela {

TOperatorWindow::TOperatorWindow(const QString& caption, QWidget* parent)
    : QDialog(parent,
              Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                  Qt::WindowStaysOnTopHint | Qt::MSWindowsFixedSizeDialogHint),
      background_(new TBackgroundImage(QString::fromLatin1(kBackgroundResource), this)) {
  setWindowTitle(caption);
  setFixedSize(kClientWidth, kClientHeight);
  setModal(true);
  QFont arial(QStringLiteral("Arial"));
  arial.setPixelSize(16);
  setFont(arial);
}

void TOperatorWindow::showEvent(QShowEvent* event) {
  // Centred on the desktop rather than on the guest window, which may be on
  // another screen of a two-monitor bar PC.
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect area = screen->availableGeometry();
    QRect frame = frameGeometry();
    frame.moveCenter(area.center());
    move(frame.topLeft());
  }
  QDialog::showEvent(event);
}

}  // namespace orvela
