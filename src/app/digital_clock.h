#pragma once
// The time of day with seconds, refreshed once a second from the clock service.
#include <QLabel>
#include <QTimer>

namespace orvela {

class Clock;

class TDigitalClock : public QLabel {
  Q_OBJECT

 public:
  static constexpr int kIntervalMs = 1000;

  // clock is not owned and must outlive the widget.
  explicit TDigitalClock(Clock* clock, QWidget* parent = nullptr);

  // Shows the clock's time now ("hh:mm:ss").
  void Tick();
  QTimer* Timer() { return &timer_; }

 private:
  Clock* clock_;
  QTimer timer_;
};

}  // namespace orvela
