#include "app/collection_builder_window.h"

#include "app/main_window.h"

namespace orvela {

TFormMenu::TFormMenu(TForm1& form1, QWidget* parent)
    : TOperatorWindow(QString::fromUtf8("Musiktitel hinzufügen..."), parent), form1_(form1) {
  setObjectName(QStringLiteral("FormMenu"));
}

}  // namespace orvela
