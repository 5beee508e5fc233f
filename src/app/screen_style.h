#pragma once
// The look of the guest screen: dark glass panels over the background picture,
// large high-contrast buttons that read from across a dim bar room.
#include <QString>

namespace orvela {

QString MainScreenStyleSheet();

}  // namespace orvela
