// What the restriction filter shows on the main screen and in the settings menu.
#include <QCheckBox>
#include <QColor>
#include <QLabel>

#include "app/led_lamp.h"
#include "app/main_window.h"
#include "app/qt_text.h"
#include "app/settings_menu.h"
#include "jukebox/restriction_filter.h"

namespace orvela {

void TForm1::ShowRestrictionTitleCount(int count, bool restricted) {
  StaticText_titel_vorhanden->setText(QString::number(count) +
                                      (restricted ? QStringLiteral(" Titel in TempMusiksammlung vorhanden")
                                                  : QStringLiteral(" Titel in Musiksammlung vorhanden")));
  StaticTextSucheGefunden->setText(QString::number(count) + QStringLiteral(" Titel"));
  RefreshCollectionGrid();
}

void TForm1::ShowRestrictionState(bool restricted) {
  StaticTextMusikListenStatus->setText(ToQString(restricted ? RestrictedStatusText() : CompleteStatusText()));
  JvLED2->SetColorOn(restricted ? QColor(0xFF, 0xFF, 0x00) : QColor(0x00, 0xFF, 0x00));
  JvLED2->SetActive(true);
}

void TForm1::SetRestrictionMenuBox(bool ticked) {
  if (THauptmenu* menu = SettingsMenuWindow(); menu != nullptr && menu->CheckBoxEinschraenken != nullptr) {
    menu->CheckBoxEinschraenken->setChecked(ticked);
  }
}

}  // namespace orvela
