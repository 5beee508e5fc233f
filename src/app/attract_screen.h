#pragma once
// The attract screen of the idle hours: a slowly moving wall of the
// collection's covers behind the jukebox's name, "Bitte berühren" and, when the
// phones' page is on, its QR code. Everything on it moves or changes colour, so
// no pixel of the panel holds one colour for long enough to burn in.
//
// It lies over the whole main window. A touch only wakes the jukebox: the
// press and its release both land here, so nothing under the finger is chosen.
#include <QElapsedTimer>
#include <QImage>
#include <QWidget>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "app/collection_grid.h"

class QTimer;

namespace orvela {

class TAttractScreen : public QWidget {
  Q_OBJECT

 public:
  static constexpr const char* kName = "Orvela Jukebox";
  static constexpr const char* kTouchText = "Bitte berühren";  // UTF-8
  // The wall's rows move this far a second; at ten frames a second a step is
  // barely visible but a cover leaves its place within a minute.
  static constexpr double kPixelsPerSecond = 12.0;
  static constexpr int kFrameMilliseconds = 100;

  // Covers over the parent's whole area; hidden until Begin().
  explicit TAttractScreen(QWidget* parent);

  // Where the wall's pictures come from (the grid's lookup: cover or tile).
  void SetCoverLookup(TCollectionGrid::CoverLookup lookup);
  // The titles on the wall: path and artist, code page.
  void SetTitles(std::vector<std::pair<std::string, std::string>> titles);
  // The phones' page's QR code, one pixel a module with its quiet zone; a null
  // image shows none. It is drawn a quarter of the screen high, in whole
  // pixels a module, with "Mit dem Handy wählen" under it.
  void SetQrCode(const QImage& code);
  // The moment drawn, in seconds since Begin(); the frame timer sets it, tests script it.
  void SetElapsed(double seconds);
  double Elapsed() const { return elapsed_; }

  void Begin();
  void End();
  // Stops the frame timer while the attract screen stays (tests draw frames by hand).
  void StopMoving();

 signals:
  // A finger (or a key) ended the attract screen.
  void Woken();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  const QImage& ScaledPicture(std::size_t title, int side);

  TCollectionGrid::CoverLookup coverLookup_;
  std::vector<std::pair<std::string, std::string>> titles_;
  struct Scaled {
    qint64 sourceKey = 0;
    QImage picture;
  };
  std::unordered_map<std::size_t, Scaled> scaled_;
  int scaledSide_ = 0;
  QImage qrCode_;
  double elapsed_ = 0.0;
  bool pressed_ = false;
  QTimer* frameTimer_ = nullptr;
  QElapsedTimer clock_;
};

}  // namespace orvela
