#include "app/qt_mouse_pointer.h"

#include <QCursor>
#include <QGuiApplication>

namespace orvela {

QtMousePointer::~QtMousePointer() {
  if (hidden_ && QGuiApplication::instance() != nullptr) QGuiApplication::restoreOverrideCursor();
}

void QtMousePointer::Show(bool visible) {
  // The override cursor needs a running application; without one there is no
  // pointer to change.
  if (QGuiApplication::instance() == nullptr) return;
  if (visible && hidden_) {
    QGuiApplication::restoreOverrideCursor();
    hidden_ = false;
  } else if (!visible && !hidden_) {
    QGuiApplication::setOverrideCursor(QCursor(Qt::BlankCursor));
    hidden_ = true;
  }
}

}  // namespace orvela
