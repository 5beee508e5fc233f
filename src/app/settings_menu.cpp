#include "app/settings_menu.h"

namespace orvela {

THauptmenu::THauptmenu(QWidget* parent)
    : TOperatorWindow(QString::fromUtf8("Hauptmenü"), parent) {
  setObjectName(QStringLiteral("Hauptmenu"));
}

}  // namespace orvela
