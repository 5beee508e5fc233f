#include "collection/ui/menu.h"

namespace orvela {

TFormMenu::TFormMenu(QWidget* parent)
    : TOperatorWindow(QString::fromUtf8("Musiktitel hinzufügen..."), parent) {
  setObjectName(QStringLiteral("FormMenu"));
}

}  // namespace orvela
