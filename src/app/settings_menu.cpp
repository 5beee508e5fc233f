#include "app/settings_menu.h"

#include <QPushButton>

namespace orvela {

THauptmenu::THauptmenu(QWidget* parent)
    : TOperatorWindow(QString::fromUtf8("Hauptmenü"), parent) {
  setObjectName(QStringLiteral("Hauptmenu"));
  BitBtnSchliessen = new QPushButton(QString::fromUtf8("Schließen"), this);
  BitBtnSchliessen->setObjectName(QStringLiteral("BitBtnSchliessen"));
  // Finger-sized, bottom right, where operator windows keep their way out.
  BitBtnSchliessen->setGeometry(kClientWidth - 16 - 200, kClientHeight - 16 - 64, 200, 64);
  connect(BitBtnSchliessen, &QPushButton::clicked, this, &QDialog::reject);
}

}  // namespace orvela
