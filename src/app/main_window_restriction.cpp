// What the restriction filter sets in the settings menu.
#include <QCheckBox>
#include <QLabel>

#include "app/main_window.h"
#include "app/settings_menu.h"

namespace orvela {

void TForm1::SetRestrictionMenuBox(bool ticked) {
  if (THauptmenu* menu = SettingsMenuWindow(); menu != nullptr && menu->CheckBoxEinschraenken != nullptr) {
    menu->CheckBoxEinschraenken->setChecked(ticked);
  }
}

}  // namespace orvela
