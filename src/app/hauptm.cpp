#include "app/hauptm.h"

namespace orvela {

THauptmenu::THauptmenu(QWidget* parent)
    : TOperatorWindow(QString::fromUtf8("Hauptmenü"), parent) {
  setObjectName(QStringLiteral("Hauptmenu"));
}

}  // namespace orvela
