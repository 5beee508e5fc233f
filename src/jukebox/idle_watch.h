#pragma once
// When the attract screen comes and goes. The screen is quiet for a while with
// nothing playing and nobody touching it; then the attract screen shows until a
// touch or music ends it. Times are seconds on a clock that only moves forward
// (the caller's steady clock, a script in tests), so a change of the wall
// clock's time never brings the attract screen early or keeps it away.
namespace orvela {

class TIdleWatch {
 public:
  // 0 minutes: the attract screen never comes.
  TIdleWatch(int idleMinutes, double nowSeconds);

  // A finger on the screen (or a key of the operator's keyboard). Answers
  // whether that touch ended the attract screen: such a touch only wakes the
  // screen and must choose nothing.
  bool Touch(double nowSeconds);
  // Called often (every second or so) and whenever the music changes. Music
  // playing keeps the wait at its start and ends the attract screen. Answers
  // whether the attract screen shows now.
  bool Tick(double nowSeconds, bool musicPlaying);

  bool Showing() const { return showing_; }

 private:
  double waitSeconds_;
  double quietSince_;
  bool showing_ = false;
};

}  // namespace orvela
