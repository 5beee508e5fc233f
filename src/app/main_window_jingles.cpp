// Jingles and the birthday interruption: being built; this keeps the program whole meanwhile.
#include "app/main_window.h"

namespace orvela {

void TForm1::SpeedButtonGeburtstagsongStopClick() {}

}  // namespace orvela
