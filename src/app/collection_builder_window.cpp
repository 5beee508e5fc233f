#include "app/collection_builder_window.h"

namespace orvela {

TFormMenu::TFormMenu(QWidget* parent)
    : TOperatorWindow(QString::fromUtf8("Musiktitel hinzufügen..."), parent) {
  setObjectName(QStringLiteral("FormMenu"));
}

}  // namespace orvela
