// The jukebox automatic: being built; these keep the program whole meanwhile.
#include "app/main_window.h"

namespace orvela {

void TForm1::StartAutomatic() {}
void TForm1::StopAutomatic() {}
void TForm1::FillQueueAutomatic() {}

}  // namespace orvela
