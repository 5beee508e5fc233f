#pragma once
// The post function the program gives the player: a call handed over from an
// audio thread runs later on the thread of `receiver` (the user-interface thread
// for a window), through that thread's event loop. Calls still waiting when the
// receiver is destroyed are dropped by Qt.
#include "playback/tilu_player.h"

class QObject;

namespace orvela {

TTiluPlayer::PostFunction QueuedPost(QObject* receiver);

}  // namespace orvela
