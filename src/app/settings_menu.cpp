#include "app/settings_menu.h"

#include <QCheckBox>
#include <QPushButton>

#include "app/main_window.h"

namespace orvela {

THauptmenu::THauptmenu(TForm1& form1, TFormMenu& formMenu, TFormFilter& formFilter, QWidget* parent)
    : TOperatorWindow(QString::fromUtf8("Hauptmenü"), parent),
      form1_(form1),
      formMenu_(formMenu),
      formFilter_(formFilter) {
  setObjectName(QStringLiteral("Hauptmenu"));
  BitBtnSchliessen = new QPushButton(QString::fromUtf8("Schließen"), this);
  BitBtnSchliessen->setObjectName(QStringLiteral("BitBtnSchliessen"));
  // Finger-sized, bottom right, where operator windows keep their way out.
  BitBtnSchliessen->setGeometry(kClientWidth - 16 - 200, kClientHeight - 16 - 64, 200, 64);
  connect(BitBtnSchliessen, &QPushButton::clicked, this, &QDialog::reject);

  CheckBoxAutomatik = new QCheckBox(QStringLiteral("Jukebox Automatik"), this);
  CheckBoxAutomatik->setObjectName(QStringLiteral("CheckBoxAutomatik"));
  CheckBoxEinschraenken = new QCheckBox(QString::fromUtf8("Musiksammlung einschränken..."), this);
  CheckBoxEinschraenken->setObjectName(QStringLiteral("CheckBoxEinschraenken"));
  CheckBoxEinschraenken->setEnabled(false);
  SpeedButtonGeburtstagsongStop = new QPushButton(QStringLiteral("Stop"), this);
  SpeedButtonGeburtstagsongStop->setObjectName(QStringLiteral("SpeedButtonGeburtstagsongStop"));
  SpeedButtonGeburtstagsongStop->setEnabled(false);

  form1_.SetSettingsMenuWindow(this);
}

THauptmenu::~THauptmenu() { form1_.SetSettingsMenuWindow(nullptr); }

}  // namespace orvela
