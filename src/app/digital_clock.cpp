#include "app/digital_clock.h"

#include "common/platform.h"
#include "jukebox/date_time.h"

namespace orvela {

TDigitalClock::TDigitalClock(Clock* clock, QWidget* parent) : QLabel(parent), clock_(clock) {
  setAlignment(Qt::AlignCenter);
  timer_.setInterval(kIntervalMs);
  connect(&timer_, &QTimer::timeout, this, &TDigitalClock::Tick);
  Tick();
  timer_.start();
}

void TDigitalClock::Tick() {
  if (clock_ != nullptr) {
    setText(QString::fromStdString(FormatGermanTime(clock_->Now())));
  }
}

}  // namespace orvela
