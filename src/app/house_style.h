#pragma once
// One look for every window of the jukebox: the guest screen, the operator
// windows, the boxes and the file picker. Windows opened above the guest screen
// take its scale, so at 1920x1080 nothing is smaller than the guests' keys.
#include <QPointer>
#include <QString>
#include <vector>

class QWidget;

namespace orvela::house {

// The guest screen's factor from its design size to its present size
// (1.0 at 1014x732 and below). Set by the guest screen when it resizes.
double ScreenScale();
void SetScreenScale(double scale);
// Design pixels at the guest screen's present scale.
int Scaled(int designPixels);

// The screen's one font at a design pixel size, scaled.
void SetScaledFont(QWidget* widget, int designPixels, bool bold = false);

// The colours every window shares.
inline constexpr const char* kText = "#E8ECF4";
inline constexpr const char* kDimText = "#B8C4D8";
inline constexpr const char* kAccent = "#3D6BFF";
inline constexpr const char* kHighlight = "#FFC857";
inline constexpr const char* kPanel = "#0B0E18";
inline constexpr const char* kFrame = "#4A5470";

// Smallest finger target in design pixels.
inline constexpr int kTouchPx = 48;
// Smallest text in design pixels that reads at two metres.
inline constexpr int kReadablePx = 18;

// Boxes and the file picker: their panel and the dimmed screen behind.

inline constexpr const char* kDanger = "#C0475A";

// The dark framed panel of a box or picker, with the guest screen's buttons,
// at the present scale (sizes are baked in: call it after SetScreenScale).
QString PanelStyleSheet();

// While it lives, every visible window but `except` lies under a translucent
// shade: the finger sees at once which window is waiting for it.
class ScreenDimmer {
 public:
  explicit ScreenDimmer(const QWidget* except);
  ~ScreenDimmer();
  ScreenDimmer(const ScreenDimmer&) = delete;
  ScreenDimmer& operator=(const ScreenDimmer&) = delete;

 private:
  std::vector<QPointer<QWidget>> shades_;
};

// Places a frameless window in the middle of the window it covers (the
// active one, else its screen).
void CentreOverActiveWindow(QWidget* window);

}  // namespace orvela::house
